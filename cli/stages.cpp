#include <utility>

#include "cli/charset_stream.h"
#include "cli/steps.h"

namespace mok::cli {
namespace {

// Encodes each chunk by A and decodes the bytes by B, each with its state
// carried across chunks, then cleans up as the whole-text reinterpretation
// does: one leading U+FEFF of the whole result goes, NULs become spaces.
class ReinterpretStage : public Stage {
 public:
  ReinterpretStage(std::unique_ptr<CharsetStream> a, std::unique_ptr<CharsetStream> b)
      : a_(std::move(a)), b_(std::move(b)) {}

  bool Run(TextView chunk, bool last, Text& out) override {
    out.clear();
    bytes_.clear();
    if (!a_->Usable() || !b_->Usable() || !a_->Encode(chunk, last, bytes_) || !b_->Decode(bytes_, last, out)) {
      return false;
    }
    if (!started_ && !out.empty()) {
      started_ = true;
      if (out.front() == 0xFEFF) out.erase(0, 1);
    }
    ReplaceNulBySpace(out);
    produced_ = produced_ || !out.empty();
    return true;
  }

  bool Unchanged() const override { return !produced_; }

 private:
  std::unique_ptr<CharsetStream> a_, b_;
  Bytes bytes_;
  bool started_ = false;   // the first unit of the result has been seen
  bool produced_ = false;  // the result is not empty
};

// Collects the whole text and runs the codec call on it at the end.
class WholeStage : public Stage {
 public:
  explicit WholeStage(std::function<void(Text&)> run) : run_(std::move(run)) {}

  void Expect(std::size_t units) override { text_.reserve(units); }

  bool Run(TextView chunk, bool last, Text& out) override {
    out.clear();
    text_ += chunk;
    if (!last) return true;
    out = std::move(text_);
    text_ = Text();
    run_(out);
    unchanged_ = out.empty();
    return true;
  }

  bool Unchanged() const override { return unchanged_; }

 private:
  std::function<void(Text&)> run_;
  Text text_;
  bool unchanged_ = false;
};

}  // namespace

std::unique_ptr<Stage> Step::MakeStage() const {
  if (make) return make();
  if (!streams) return std::make_unique<WholeStage>(whole);
  auto charset = [this](std::int32_t code) {
    return by_code_page ? CharsetStream::ByCodePage(code) : CharsetStream::ByLanguageCode(code);
  };
  return std::make_unique<ReinterpretStage>(charset(code_a), charset(code_b));
}

}  // namespace mok::cli
