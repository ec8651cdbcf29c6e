#pragma once

// Byte strings and code units as hex, so that a failing comparison shows exactly
// which byte or unit differs.

#include <cstdio>
#include <string>

#include "codec/text_types.h"

namespace mok::testing {

inline std::string Hex(BytesView bytes) {
  std::string out;
  char buf[4];
  for (const std::uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, "%02X ", b);
    out += buf;
  }
  return out;
}

inline std::string Hex(TextView text) {
  std::string out;
  char buf[8];
  for (const char16_t c : text) {
    std::snprintf(buf, sizeof buf, "%04X ", static_cast<unsigned>(c));
    out += buf;
  }
  return out;
}

}  // namespace mok::testing
