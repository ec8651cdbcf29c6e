#pragma once

// The steps mok applies to a text, named after the window's commands: their
// names and codec calls are read from the menus' tables, so the tool offers
// exactly what the menus offer.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codec/text_types.h"

namespace mok::cli {

// What the command line said for one step: "decode QP-GBK", "lcid GB Big5",
// "decode Trans-CP --format QP --cp 936".
struct StepRequest {
  std::string command;  // a2b, lcid, cp, decode, make
  std::vector<std::string> operands;
  std::optional<std::string> format, cp, lcid;
};

// One step running over a stream of text chunks.
class Stage {
 public:
  virtual ~Stage() = default;
  // How many code units the input will have at most, when it is known.
  virtual void Expect(std::size_t /*units*/) {}
  // Replaces out with the result of the next chunk; last marks the end.
  [[nodiscard]] virtual bool Run(TextView chunk, bool last, Text& out) = 0;
  // After the last chunk: the step gave the empty text ("未经改动"), so the
  // input has no result.
  [[nodiscard]] virtual bool Unchanged() const = 0;

  // The UTF-8 path, for an input read as UTF-8 and an output written in
  // UTF-8: a step that takes it reads the input's bytes as they come (NULs
  // as spaces, as the input's text has them) and gives the output's bytes
  // while they are the UTF-8 of its result, without the text in between;
  // from where they would not be, it gives the text instead, for the output
  // to write by its rules. The result is the same as Run's, written.
  [[nodiscard]] virtual bool TakesUtf8() const { return false; }
  // Appends the next chunk's result, its UTF-8 to utf8 and then its text to
  // text; last marks the end. Not to be mixed with Run.
  [[nodiscard]] virtual bool RunUtf8(BytesView /*chunk*/, bool /*last*/, Bytes& /*utf8*/, Text& /*text*/) {
    return false;
  }
};

struct Step {
  std::string name;  // the menu item's name, for messages
  // Reinterpretations stream: encode by a, decode by b, then the clean-up of
  // ReinterpretByLid (language codes) or ReinterpretByCp (code pages).
  bool streams = false;
  bool by_code_page = false;
  std::int32_t code_a = 0, code_b = 0;
  // Steps that stream with a stage of their own (the transfer-format decoders,
  // suggest --apply): their stage, made for each input; unset when the
  // whole-text call must serve.
  std::function<std::unique_ptr<Stage>()> stream;
  // Every other step: the codec call on the whole text.
  std::function<void(Text&)> whole;

  [[nodiscard]] std::unique_ptr<Stage> MakeStage() const;
};

// The step commands: the names that may follow "mok" or "--then".
[[nodiscard]] bool IsStepCommand(std::string_view command);

// How many operands the command takes, given those read so far (decode takes
// two more after LCID--LCID and CP--CP).
[[nodiscard]] std::size_t OperandCount(std::string_view command, const std::vector<std::string>& operands);

// The step asked for, or nothing and a one-line message in error.
[[nodiscard]] std::optional<Step> BuildStep(const StepRequest& request, std::string& error);

// The stage of a transfer-format decoder (QP, URL, Base64, UTF-7, HZ), or of
// the whole-text call when its decoder refuses the arguments.
[[nodiscard]] std::unique_ptr<Stage> QpUrlStage(std::int32_t code, std::int16_t mode);
[[nodiscard]] std::unique_ptr<Stage> Base64Stage(std::int32_t code, std::int16_t mode);
[[nodiscard]] std::unique_ptr<Stage> Utf7Stage();
[[nodiscard]] std::unique_ptr<Stage> HzStage();

// What `mok list` prints: every name, number, ASCII spelling and character-set
// alias the steps and -f, -t accept. With a search word, only the entries
// that hold it (letters in any case; "-", "_" and spaces do not count) under
// their headings, and the empty string when none does.
[[nodiscard]] std::string ListText(std::string_view search = {});

}  // namespace mok::cli
