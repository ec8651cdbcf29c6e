#include "cli/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "codec/text_files.h"

namespace mok::cli {
namespace {

// Temporary files being written, removed when an interrupt ends the program
// before they are complete: never a stray file where the user asked for one.
// One slot for each file written at once (at most 1024 with -j).
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

}  // namespace

void RemoveTemporaryFilesOnInterrupt() {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal_number, RemoveTemporaryFilesAndDie);
}

InputSource::~InputSource() {
  if (fd_ > STDERR_FILENO) ::close(fd_);
}

int InputSource::Open(const std::string& path) {
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

// Fills the buffer, or stops short at the end of the input. The buffer is not
// cleared first: a small file touches only the memory it needs.
int InputSource::Next(BytesView& chunk, bool& at_end) {
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

OutputSink::~OutputSink() {
  if (!temporary_.empty()) {
    ::close(fd_);
    ::unlink(temporary_.c_str());
    Unregister(slot_);
  } else if (fd_ > STDERR_FILENO) {
    ::close(fd_);
  }
}

int OutputSink::Open(const std::string& path, const struct stat& input, mode_t mask, bool& same_as_input) {
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

int OutputSink::Write(BytesView bytes) {
  std::error_code error;
  return WriteFileBytes(fd_, bytes, error) ? 0 : error.value();
}

int OutputSink::Commit() {
  if (temporary_.empty()) return 0;
  const int fd = fd_;
  fd_ = -1;
  int error = ::fchmod(fd, mode_) == 0 ? 0 : errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temporary_.c_str(), target_.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(temporary_.c_str());
  Unregister(slot_);
  temporary_.clear();
  return error;
}

}  // namespace mok::cli
