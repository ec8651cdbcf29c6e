#include "cli/file_runs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "cli/words.h"
#include "codec/file_attributes.h"
#include "codec/text_files.h"

namespace mok::cli {
namespace {

// Large enough that the converters run at full speed, small enough that a
// run stays within a few megabytes whatever the size of the file.
constexpr std::size_t kChunkBytes = 256 * 1024;

// One line on standard error, written in one call so that lines of files
// converted at once do not mix.
void Report(const std::string& line) {
  const std::string text = "mok: " + line + "\n";
  (void)!::write(STDERR_FILENO, text.data(), text.size());
}

std::string Cause(int error_number, const std::string& path) {
  return ToUtf8(FileErrorText(error_number, FromUtf8(path)));
}

// Temporary files being written, removed when an interrupt ends the program
// before they are complete: never a stray file where the user asked for one.
std::atomic<const char*> g_temporary[1024 + 1];

void RemoveTemporaryFilesAndDie(int signal_number) {
  for (auto& slot : g_temporary) {
    if (const char* path = slot.load()) ::unlink(path);
  }
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

int Register(const char* path) {
  for (int i = 0; i < static_cast<int>(std::size(g_temporary)); ++i) {
    const char* empty = nullptr;
    if (g_temporary[i].compare_exchange_strong(empty, path)) return i;
  }
  return -1;
}

void Unregister(int slot) {
  if (slot >= 0) g_temporary[slot].store(nullptr);
}

// An input file, or standard input, read in chunks.
class InputSource {
 public:
  ~InputSource() {
    if (fd_ > STDERR_FILENO) ::close(fd_);
  }

  // 0 or the errno value.
  int Open(const std::string& path) {
    if (path == "-") {
      fd_ = STDIN_FILENO;
    } else {
      // O_NONBLOCK so that opening a named pipe does not wait for a writer;
      // reading then blocks as usual once it is cleared.
      fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
      if (fd_ < 0) return errno;
      const int flags = ::fcntl(fd_, F_GETFL);
      if (flags >= 0) (void)::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
    }
    if (::fstat(fd_, &stat_) != 0) return errno;
    return S_ISDIR(stat_.st_mode) ? EISDIR : 0;
  }

  [[nodiscard]] const struct stat& Stat() const { return stat_; }

  // Detects the format from all of the input: a regular file is read once
  // and rewound, anything else is kept in memory.
  int Detect(std::int16_t& format) {
    FileFormatSniffer sniffer;
    const bool rewind = S_ISREG(stat_.st_mode) && ::lseek(fd_, 0, SEEK_CUR) == 0;
    BytesView chunk;
    bool at_end = false;
    while (!at_end) {
      if (int error = Read(chunk, at_end); error != 0) return error;
      sniffer.Add(chunk);
      if (!rewind) held_ += chunk;
    }
    format = sniffer.Result();
    if (rewind) return ::lseek(fd_, 0, SEEK_SET) == 0 ? 0 : errno;
    holding_ = true;
    return 0;
  }

  // The next chunk (valid until the next call); at_end when nothing follows it.
  int Next(BytesView& chunk, bool& at_end) {
    if (!holding_) return Read(chunk, at_end);
    const std::size_t size = std::min<std::size_t>(kChunkBytes, held_.size() - held_at_);
    chunk = BytesView(held_).substr(held_at_, size);
    held_at_ += size;
    at_end = held_at_ == held_.size();
    return 0;
  }

 private:
  // Fills the buffer, or stops short at the end of the input. The buffer is
  // not cleared first: a small file touches only the memory it needs.
  int Read(BytesView& chunk, bool& at_end) {
    if (!buffer_) buffer_.reset(new std::uint8_t[kChunkBytes]);
    std::size_t size = 0;
    while (size < kChunkBytes) {
      const ssize_t got = ::read(fd_, buffer_.get() + size, kChunkBytes - size);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return errno;
      if (got == 0) break;
      size += static_cast<std::size_t>(got);
    }
    chunk = BytesView(buffer_.get(), size);
    at_end = size < kChunkBytes;
    return 0;
  }

  std::unique_ptr<std::uint8_t[]> buffer_;
  int fd_ = -1;
  struct stat stat_ {};
  Bytes held_;
  std::size_t held_at_ = 0;
  bool holding_ = false;
};

// Standard output, or a file written under a temporary name beside it and
// renamed into place by Commit; a sink destroyed before that removes it.
class OutputSink {
 public:
  ~OutputSink() {
    if (!temporary_.empty()) {
      ::close(fd_);
      ::unlink(temporary_.c_str());
      Unregister(slot_);
    } else if (fd_ > STDERR_FILENO) {
      ::close(fd_);
    }
  }

  // 0, or the errno value; same_as_input when path names the input itself.
  int Open(const std::string& path, const struct stat& input, mode_t mask, bool& same_as_input) {
    same_as_input = false;
    std::string target = path;
    struct stat old {};
    bool exists = ::lstat(target.c_str(), &old) == 0;
    if (exists && S_ISLNK(old.st_mode)) {
      // Write the file the link points to, so that the link stays a link.
      if (char* resolved = ::realpath(target.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
      }
      exists = ::stat(target.c_str(), &old) == 0;
    }
    if (exists && old.st_dev == input.st_dev && old.st_ino == input.st_ino) {
      same_as_input = true;
      return 0;
    }
    if (exists && S_ISDIR(old.st_mode)) return EISDIR;
    if (exists && !S_ISREG(old.st_mode)) {
      // A device or a pipe (/dev/null, a FIFO) is written directly.
      fd_ = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
      return fd_ < 0 ? errno : 0;
    }
    const std::filesystem::path where(target);
    std::string pattern = (where.parent_path() / ("." + where.filename().string() + ".mok-XXXXXX")).string();
    fd_ = ::mkstemp(pattern.data());
    if (fd_ < 0) return errno;
    temporary_ = std::move(pattern);
    slot_ = Register(temporary_.c_str());
    target_ = std::move(target);
    mode_ = exists ? (old.st_mode & 07777) : (0666 & ~mask);
    return 0;
  }

  int Write(BytesView bytes) {
    std::error_code error;
    return WriteFileBytes(fd_, bytes, error) ? 0 : error.value();
  }

  int Commit() {
    if (temporary_.empty()) return 0;
    const int fd = fd_;
    fd_ = -1;
    if (::fchmod(fd, mode_) != 0 || ::close(fd) != 0) {
      const int error = errno;
      ::unlink(temporary_.c_str());
      Unregister(slot_);
      temporary_.clear();
      return error;
    }
    const int error = ::rename(temporary_.c_str(), target_.c_str()) == 0 ? 0 : errno;
    if (error != 0) ::unlink(temporary_.c_str());
    Unregister(slot_);
    temporary_.clear();
    return error;
  }

 private:
  int fd_ = STDOUT_FILENO;
  std::string temporary_;  // empty: writing fd_ directly
  std::string target_;
  int slot_ = -1;
  mode_t mode_ = 0644;
};

// Encodes and writes the text of one input. On a large input it does so in a
// thread of its own, so that decoding and encoding take a core each; at most
// two chunks wait between them, so memory stays bounded.
class Writer {
 public:
  Writer(OutputEncoder& encoder, OutputSink& sink) : encoder_(encoder), sink_(sink) {}
  ~Writer() { (void)Finish(); }

  void StartThread() {
    try {
      thread_ = std::thread([this] { Drain(); });
    } catch (...) {
      // No thread to be had: the text is written in this one.
    }
  }

  // An empty text whose buffer a written chunk left behind, so that chunk
  // after chunk reuses the same few buffers.
  Text Spare() {
    std::lock_guard lock(mutex_);
    if (spare_.empty()) return Text();
    Text text = std::move(spare_.back());
    spare_.pop_back();
    text.clear();
    return text;
  }

  // False when encoding or writing has failed (Finish tells which).
  bool Put(Text text, bool last) {
    if (!thread_.joinable()) {
      const bool written = Write(text, last);
      spare_.push_back(std::move(text));
      return written;
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < 2 || failed_; });
    if (failed_) return false;
    queue_.push_back({std::move(text), last});
    changed_.notify_all();
    return true;
  }

  // Waits for the text to be written. 0, or -1 when the encoder failed, or
  // the errno value of a failed write.
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

 private:
  bool Write(const Text& text, bool last) {
    // A step on the whole text gives it all at once; it is encoded in pieces
    // of a chunk's size all the same.
    for (std::size_t from = 0; from < text.size() || from == 0; from += kChunkBytes) {
      const bool last_piece = last && from + kChunkBytes >= text.size();
      if (!encoder_.Encode(TextView(text).substr(from, kChunkBytes), last_piece, bytes_)) {
        error_ = -1;
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
      std::pair<Text, bool> item;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !queue_.empty() || done_; });
        if (queue_.empty()) return;
        item = std::move(queue_.front());
        queue_.pop_front();
      }
      changed_.notify_all();
      bool written = false;
      try {
        written = Write(item.first, item.second);
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
      if (spare_.size() < 3) spare_.push_back(std::move(item.first));
    }
  }

  OutputEncoder& encoder_;
  OutputSink& sink_;
  Bytes bytes_;
  int error_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::pair<Text, bool>> queue_;
  std::vector<Text> spare_;
  bool done_ = false;
  bool failed_ = false;
};

int Failed(const std::string& shown, std::string_view operation, int error_number, const std::string& path) {
  Report(shown + ": " + std::string(operation) + " 未成~ " + Cause(error_number, path));
  return kExitFailed;
}

// Converts one input into output (empty: standard output); with
// use_two_cores, a large input is encoded in a thread of its own.
int ConvertOne(const RunPlan& plan, const std::string& input, const std::string& output, mode_t mask,
               bool use_two_cores) {
  const std::string shown_in = input == "-" ? "标准输入" : input;
  const std::string shown_out = output.empty() ? "标准输出" : output;
  InputSource source;
  if (int error = source.Open(input); error != 0) return Failed(shown_in, "打开", error, input);
  std::int16_t detected = 0;
  if (NeedsWholeDetection(plan.input)) {
    if (int error = source.Detect(detected); error != 0) return Failed(shown_in, "打开", error, input);
  }
  BytesView chunk;
  bool at_end = false;
  if (int error = source.Next(chunk, at_end); error != 0) return Failed(shown_in, "打开", error, input);
  // A requested byte order mark is checked against the first bytes only.
  if (plan.input.format >= kFormatUtf16LeBom && plan.input.format <= kFormatUtf8Bom) {
    detected = DetectFileFormat(chunk.substr(0, 3));
  }

  OutputSink sink;
  if (!output.empty()) {
    bool same = false;
    if (int error = sink.Open(output, source.Stat(), mask, same); error != 0) {
      return Failed(shown_out, "保存", error, output);
    }
    if (same) {
      Report(shown_out + ": 保存 未成~ 输出文件就是输入文件");
      return kExitFailed;
    }
  }

  InputDecoder decoder(plan.input, detected);
  OutputEncoder encoder(plan.output);
  std::vector<std::unique_ptr<Stage>> stages;
  for (const Step& step : plan.steps) stages.push_back(step.MakeStage());
  // A file decodes to at most one unit a byte; a step on the whole text holds
  // it in one buffer, sized once.
  if (!stages.empty() && S_ISREG(source.Stat().st_mode)) {
    stages.front()->Expect(static_cast<std::size_t>(source.Stat().st_size));
  }
  Writer writer(encoder, sink);
  if (use_two_cores && !at_end) writer.StartThread();
  auto write_failed = [&] {
    const int error = writer.Finish();
    if (error > 0) return Failed(shown_out, "保存", error, output);
    Report(shown_in + ": 转换 未成~ 转换器出错");
    return kExitFailed;
  };
  Text text, next;
  for (;;) {
    bool converted = decoder.Decode(chunk, at_end, text);
    for (auto& stage : stages) {
      converted = converted && stage->Run(text, at_end, next);
      text.swap(next);
    }
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
    if (!writer.Put(std::move(text), at_end)) return write_failed();
    text = writer.Spare();
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
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal_number, RemoveTemporaryFilesAndDie);

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
