#include "cli/file_runs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "cli/file_io.h"
#include "cli/words.h"
#include "codec/file_attributes.h"
#include "codec/text_files.h"

namespace mok::cli {
namespace {

// One line on standard error, written in one call so that lines of files
// converted at once do not mix.
void Report(const std::string& line) {
  const std::string text = "mok: " + line + "\n";
  (void)!::write(STDERR_FILENO, text.data(), text.size());
}

std::string Cause(int error_number, const std::string& path) {
  return ToUtf8(FileErrorText(error_number, FromUtf8(path)));
}

// A piece of text for the writer, and where it came from: the input offset
// of its first unit while no step stands between input and output. On the
// UTF-8 path, output bytes come before the text.
struct Piece {
  Text text;
  bool last = false;
  std::uint64_t input_offset = 0;
  Bytes utf8;
};

constexpr std::uint64_t kNoInputOffset = static_cast<std::uint64_t>(-1);

// Why the encoder stopped: the character (or escaped byte), and the offset in
// the input (while no step stands between) or in the output.
struct StopPlace {
  EncodeProblem problem;
  bool in_input = false;
  std::uint64_t offset = 0;
};

// Encodes and writes the text of one input. On a large input it does so in a
// thread of its own, so that decoding and encoding take a core each; at most
// kQueued chunks wait between them, so memory stays bounded (a few megabytes),
// yet neither thread waits for the other at every chunk when the machine is
// busy.
class Writer {
 public:
  static constexpr std::size_t kQueued = 8;

  Writer(OutputEncoder& encoder, OutputSink& sink, const InputDecoder& decoder)
      : encoder_(encoder), sink_(sink), decoder_(decoder) {}
  ~Writer() { (void)Finish(); }

  void StartThread() {
    try {
      thread_ = std::thread([this] { Drain(); });
    } catch (...) {
      // No thread to be had: the text is written in this one.
    }
  }

  // An empty piece whose buffers a written chunk left behind, so that chunk
  // after chunk reuses the same few buffers.
  Piece Spare() {
    std::lock_guard lock(mutex_);
    if (spare_.empty()) return Piece();
    Piece piece = std::move(spare_.back());
    spare_.pop_back();
    piece.text.clear();
    piece.utf8.clear();
    return piece;
  }

  // False when encoding or writing has failed (Finish tells which).
  bool Put(Piece piece) {
    if (!thread_.joinable()) {
      const bool written = Write(piece);
      spare_.push_back(std::move(piece));
      return written;
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < kQueued || failed_; });
    if (failed_) return false;
    queue_.push_back(std::move(piece));
    changed_.notify_all();
    return true;
  }

  // Waits for the text to be written. 0, or -1 when the encoder failed (with
  // Stopped() set when a rule stopped it), or the errno value of a failed write.
  int Finish() {
    if (thread_.joinable()) {
      {
        std::lock_guard lock(mutex_);
        done_ = true;
      }
      changed_.notify_all();
      thread_.join();
    }
    return error_;
  }

  [[nodiscard]] const std::optional<StopPlace>& Stopped() const { return stopped_; }

 private:
  bool Write(const Piece& piece) {
    if (!piece.utf8.empty()) {
      // Bytes of the UTF-8 path, after the byte order mark the encoder
      // writes first, if any.
      if (!encoder_.Encode(TextView(), false, bytes_)) {
        error_ = -1;
        return false;
      }
      int error = sink_.Write(bytes_);
      if (error == 0) error = sink_.Write(piece.utf8);
      if (error != 0) {
        error_ = error;
        return false;
      }
    }
    // A step on the whole text gives it all at once; it is encoded in pieces
    // of a chunk's size all the same.
    const Text& text = piece.text;
    for (std::size_t from = 0; from < text.size() || from == 0; from += kChunkBytes) {
      const bool last_piece = piece.last && from + kChunkBytes >= text.size();
      const TextView part = TextView(text).substr(from, kChunkBytes);
      if (!encoder_.Encode(part, last_piece, bytes_)) {
        error_ = -1;
        if (const EncodeProblem* problem = encoder_.Problem()) {
          // What came before the problem is written, as iconv does.
          (void)sink_.Write(bytes_);
          StopPlace place{*problem, piece.input_offset != kNoInputOffset, sink_.Written()};
          if (place.in_input) {
            // A pair cut by the end of the piece before counts from this one's start.
            const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(from) + problem->position;
            place.offset = piece.input_offset + decoder_.InputBytesOf(TextView(text).substr(0, at > 0 ? at : 0));
          }
          stopped_ = place;
        }
        return false;
      }
      if (int error = sink_.Write(bytes_); error != 0) {
        error_ = error;
        return false;
      }
    }
    return true;
  }

  void Drain() {
    for (;;) {
      Piece piece;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !queue_.empty() || done_; });
        if (queue_.empty()) return;
        piece = std::move(queue_.front());
        queue_.pop_front();
      }
      changed_.notify_all();
      bool written = false;
      try {
        written = Write(piece);
      } catch (...) {
        error_ = ENOMEM;
      }
      std::lock_guard lock(mutex_);
      if (!written) {
        failed_ = true;
        queue_.clear();
        changed_.notify_all();
        return;
      }
      if (spare_.size() < kQueued + 1) spare_.push_back(std::move(piece));
    }
  }

  OutputEncoder& encoder_;
  OutputSink& sink_;
  const InputDecoder& decoder_;
  Bytes bytes_;
  int error_ = 0;
  std::optional<StopPlace> stopped_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Piece> queue_;
  std::vector<Piece> spare_;
  bool done_ = false;
  bool failed_ = false;
};

int Failed(const std::string& shown, std::string_view operation, int error_number, const std::string& path) {
  if (error_number == kReadOnlyFile) {
    Report(shown + ": " + std::string(operation) + " 未成~ 文件只读（加 --force 仍然写入）");
  } else {
    Report(shown + ": " + std::string(operation) + " 未成~ " + Cause(error_number, path));
  }
  return kExitFailed;
}

std::string Hex(std::uint32_t value, int digits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text(static_cast<std::size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = kDigits[value & 15];
  return text;
}

// "字符 U+4E2D “中”", the character itself where a terminal can show it.
std::string CharacterWords(char32_t code_point) {
  std::string words = "字符 U+" + Hex(code_point, code_point > 0xFFFF ? 6 : 4);
  const bool showable = code_point >= 0x20 && code_point != 0x7F && !(code_point >= 0x80 && code_point < 0xA0) &&
                        !(code_point >= 0xD800 && code_point <= 0xDFFF);
  if (showable) {
    Text unit;
    if (code_point > 0xFFFF) {
      unit += static_cast<char16_t>(0xD800 + ((code_point - 0x10000) >> 10));
      unit += static_cast<char16_t>(0xDC00 + ((code_point - 0x10000) & 0x3FF));
    } else {
      unit += static_cast<char16_t>(code_point);
    }
    words += " “" + ToUtf8(unit) + "”";
  }
  return words;
}

// The one line for an input the output's rules stopped: where, and what.
int Invalid(const std::string& shown, const StopPlace& place, const std::string& input_name,
            const std::string& output_name) {
  const std::string where = (place.in_input ? "字节偏移 " : "结果的字节偏移 ") + std::to_string(place.offset);
  std::string what;
  if (place.problem.escaped) {
    const std::string byte = "0x" + Hex(place.problem.code_point - 0xDC00, 2);
    what = place.in_input ? "处的字节 " + byte + " 不能按 " + input_name + " 解码" : "处有不能解码的字节 " + byte;
  } else {
    what = "处的" + CharacterWords(place.problem.code_point) + " 不能用 " + output_name + " 写出";
  }
  Report(shown + ": 转换 未成~ " + where + " " + what);
  return kExitInvalid;
}

// Converts one input into output (empty: standard output); with
// use_two_cores, a large input is encoded in a thread of its own.
int ConvertOne(const RunPlan& plan, const std::string& input, const std::string& output, mode_t mask,
               bool use_two_cores) {
  const std::string shown_in = input == "-" ? "标准输入" : input;
  const std::string shown_out = output.empty() ? "标准输出" : output;
  InputSource source;
  if (int error = source.Open(input); error != 0) return Failed(shown_in, "打开", error, input);
  BytesView chunk;
  bool at_end = false;
  if (int error = source.Next(chunk, at_end); error != 0) return Failed(shown_in, "打开", error, input);
  // The format is decided on the first chunk, so that the input is read once
  // and streams; a requested byte order mark is checked against its first bytes.
  std::int16_t detected = 0;
  if (NeedsDetection(plan.input)) {
    detected = DetectInputFormat(chunk, at_end);
  } else if (plan.input.format >= kFormatUtf16LeBom && plan.input.format <= kFormatUtf8Bom) {
    detected = DetectFileFormat(chunk.substr(0, 3));
  }

  OutputSink sink;
  if (!output.empty()) {
    bool same = false;
    if (int error = sink.Open(output, source.Stat(), mask, plan.force, same); error != 0) {
      return Failed(shown_out, "保存", error, output);
    }
    if (same) {
      Report(shown_out + ": 保存 未成~ 输出文件就是输入文件");
      return kExitFailed;
    }
  }

  InputDecoder decoder(plan.input, detected);
  OutputEncoder encoder(plan.output, plan.rules);
  std::vector<std::unique_ptr<Stage>> stages;
  for (const Step& step : plan.steps) stages.push_back(step.MakeStage());
  // A file decodes to at most one unit a byte; a step on the whole text holds
  // it in one buffer, sized once.
  if (!stages.empty() && S_ISREG(source.Stat().st_mode)) {
    stages.front()->Expect(static_cast<std::size_t>(source.Stat().st_size));
  }
  Writer writer(encoder, sink, decoder);
  if (use_two_cores && !at_end) writer.StartThread();
  auto write_failed = [&] {
    const int error = writer.Finish();
    if (error > 0) return Failed(shown_out, "保存", error, output);
    if (writer.Stopped()) {
      const std::string output_name = plan.output.name.empty() ? "utf8" : plan.output.name;
      return Invalid(shown_in, *writer.Stopped(), decoder.Name(), output_name);
    }
    Report(shown_in + ": 转换 未成~ 转换器出错");
    return kExitFailed;
  };
  // UTF-8 in and out through one step that takes it: the step reads the
  // input's bytes and gives the output's, without text in between.
  const bool utf8_path = stages.size() == 1 && stages.front()->TakesUtf8() && decoder.ReadsUtf8() &&
                         encoder.WritesUtf8();
  Piece piece;
  Text next;
  for (;;) {
    bool converted = true;
    if (utf8_path) {
      converted = stages.front()->RunUtf8(decoder.Pass(chunk), at_end, piece.utf8, piece.text);
    } else {
      converted = decoder.Decode(chunk, at_end, piece.text);
      for (auto& stage : stages) {
        converted = converted && stage->Run(piece.text, at_end, next);
        piece.text.swap(next);
      }
    }
    const std::uint64_t offset = stages.empty() ? decoder.TextOffset() : kNoInputOffset;
    if (!converted) {
      (void)writer.Finish();
      Report(shown_in + ": 转换 未成~ 转换器出错");
      return kExitFailed;
    }
    if (at_end) {
      // A step that gave nothing leaves this input without a result: no file
      // is written for it (the window keeps its text and writes nothing).
      for (std::size_t i = 0; i < stages.size(); ++i) {
        if (stages[i]->Unchanged()) {
          (void)writer.Finish();
          Report(shown_in + ": " + plan.steps[i].name + " 未经改动");
          return kExitUnchanged;
        }
      }
    }
    piece.last = at_end;
    piece.input_offset = offset;
    if (!writer.Put(std::move(piece))) return write_failed();
    piece = writer.Spare();
    if (at_end) break;
    if (int error = source.Next(chunk, at_end); error != 0) {
      (void)writer.Finish();
      return Failed(shown_in, "打开", error, input);
    }
  }
  if (writer.Finish() != 0) return write_failed();
  if (int error = sink.Commit(); error != 0) return Failed(shown_out, "保存", error, output);
  return kExitOk;
}

// The output of each input in the folder: its own name there. Two inputs of
// the same name would overwrite each other, so that is refused up front.
bool OutputNames(const RunPlan& plan, std::vector<std::string>& outputs) {
  std::set<std::string> seen;
  for (const std::string& input : plan.inputs) {
    const std::string name = std::filesystem::path(input).filename().string();
    if (name.empty() || name == "." || name == "..") {
      Report(input + ": 不是文件的名字");
      return false;
    }
    if (!seen.insert(name).second) {
      Report(input + ": 与另一个输入文件同名，-d 里会互相覆盖");
      return false;
    }
    outputs.push_back((std::filesystem::path(plan.output_dir) / name).string());
  }
  std::error_code error;
  std::filesystem::create_directories(plan.output_dir, error);
  if (error) {
    Report(plan.output_dir + ": 创建文件夹 未成~ " + Cause(error.value(), plan.output_dir));
    return false;
  }
  return true;
}

}  // namespace

int RunAll(const RunPlan& plan) {
  try {
    std::vector<std::string> inputs = plan.inputs;
    if (inputs.empty()) inputs.push_back("-");
    std::vector<std::string> outputs;
    if (!plan.output_dir.empty()) {
      if (!OutputNames(plan, outputs)) return kExitFailed;
    } else {
      outputs.assign(inputs.size(), plan.output_file == "-" ? std::string() : plan.output_file);
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    RemoveTemporaryFilesOnInterrupt();

    // Files in a folder are independent and convert at once; anything bound
    // for one output goes in order.
    const std::size_t workers = plan.output_dir.empty() ? 1 : std::min<std::size_t>(plan.jobs, inputs.size());
    std::atomic<std::size_t> next{0};
    std::atomic<int> worst{kExitOk};
    auto work = [&] {
      for (std::size_t i; (i = next++) < inputs.size();) {
        int status = kExitFailed;
        try {
          status = ConvertOne(plan, inputs[i], outputs[i], mask, workers == 1);
        } catch (...) {
          Report(inputs[i] + ": 转换 未成~ 内存不足");
        }
        for (int seen = worst.load(); status > seen && !worst.compare_exchange_weak(seen, status);) {
        }
      }
    };
    std::vector<std::thread> threads;
    for (std::size_t t = 1; t < workers; ++t) {
      try {
        threads.emplace_back(work);
      } catch (...) {
        break;  // fewer threads than asked: the others take the files
      }
    }
    work();
    for (auto& thread : threads) thread.join();
    return worst.load();
  } catch (...) {
    Report("内存不足");
    return kExitFailed;
  }
}

}  // namespace mok::cli
