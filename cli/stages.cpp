#include <cstring>
#include <utility>

#include "cli/steps.h"
#include "codec/base64.h"
#include "codec/charset_stream.h"
#include "codec/qp_url.h"
#include "codec/utf7_hz.h"

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

// A transfer-format decoder over the chunks as they come: the result of the
// whole-text call, in bounded memory.
template <typename Decoder>
class TransferStage : public Stage {
 public:
  explicit TransferStage(std::unique_ptr<Decoder> decoder) : decoder_(std::move(decoder)) {}

  bool Run(TextView chunk, bool last, Text& out) override {
    out.clear();
    if (!decoder_->Decode(chunk, last, out)) return false;
    produced_ = produced_ || !out.empty();
    return true;
  }

  bool Unchanged() const override { return !produced_; }

 protected:
  Decoder& decoder() { return *decoder_; }
  void Produced(bool something) { produced_ = produced_ || something; }

 private:
  std::unique_ptr<Decoder> decoder_;
  bool produced_ = false;
};

// Base64 whose bytes are UTF-8 takes the UTF-8 path: the input's Base64
// decodes straight to the output's bytes.
class Base64Utf8Stage : public TransferStage<Base64StreamDecoder> {
 public:
  explicit Base64Utf8Stage(std::unique_ptr<Base64StreamDecoder> decoder)
      : TransferStage(std::move(decoder)) {}

  bool TakesUtf8() const override { return true; }

  bool RunUtf8(BytesView chunk, bool last, Bytes& utf8, Text& text) override {
    utf8.clear();
    text.clear();
    if (std::memchr(chunk.data(), 0, chunk.size()) != nullptr) {
      // NULs are spaces in the input's text: blanks, which Base64 skips.
      spaced_.assign(chunk.data(), chunk.size());
      for (std::uint8_t& byte : spaced_) byte = byte == 0 ? ' ' : byte;
      chunk = spaced_;
    }
    if (!decoder().DecodeToUtf8(chunk, last, utf8, text)) return false;
    Produced(!utf8.empty() || !text.empty());
    return true;
  }

 private:
  Bytes spaced_;
};

}  // namespace

std::unique_ptr<Stage> QpUrlStage(std::int32_t code, std::int16_t mode) {
  auto decoder = std::make_unique<QpUrlStreamDecoder>(code, mode);
  if (!decoder->Usable()) {
    return std::make_unique<WholeStage>([code, mode](Text& text) { DecodeQpUrl(text, code, mode); });
  }
  return std::make_unique<TransferStage<QpUrlStreamDecoder>>(std::move(decoder));
}

std::unique_ptr<Stage> Base64Stage(std::int32_t code, std::int16_t mode) {
  auto decoder = std::make_unique<Base64StreamDecoder>(code, mode);
  if (!decoder->Usable()) {
    return std::make_unique<WholeStage>([code, mode](Text& text) { DecodeBase64Text(text, code, mode); });
  }
  if (decoder->DecodesUtf8()) return std::make_unique<Base64Utf8Stage>(std::move(decoder));
  return std::make_unique<TransferStage<Base64StreamDecoder>>(std::move(decoder));
}

std::unique_ptr<Stage> Utf7Stage() {
  return std::make_unique<TransferStage<Utf7StreamDecoder>>(std::make_unique<Utf7StreamDecoder>());
}

std::unique_ptr<Stage> HzStage() {
  return std::make_unique<TransferStage<HzStreamDecoder>>(std::make_unique<HzStreamDecoder>());
}

std::unique_ptr<Stage> Step::MakeStage() const {
  if (stream) return stream();
  if (!streams) return std::make_unique<WholeStage>(whole);
  auto charset = [this](std::int32_t code) {
    return by_code_page ? CharsetStream::ByCodePage(code) : CharsetStream::ByLanguageCode(code);
  };
  return std::make_unique<ReinterpretStage>(charset(code_a), charset(code_b));
}

}  // namespace mok::cli
