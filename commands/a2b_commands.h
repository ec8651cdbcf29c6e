#pragma once

// The second decoding menu: fifteen fixed reinterpretations from the character
// set the text was wrongly decoded with (A) to the one its bytes really are in (B).

#include <array>
#include <cstdint>
#include <string_view>

namespace mok {

class CommandHost;

struct A2BRow {
  std::u16string_view caption;  // "-" for a separator
  std::int32_t code_a;
  std::int32_t code_b;
  bool checked;
};

inline constexpr int kA2BCount = 17;
extern const std::array<A2BRow, kA2BCount> kA2BTable;

// The command of item index: reinterpret the whole text, commit it with the
// command name, or refuse a result over the text limit.
void RunA2B(CommandHost& host, int index);

}  // namespace mok
