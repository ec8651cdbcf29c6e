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

// Output files written under their own name before they are complete (only
// where the file system has no unnamed files), removed when an interrupt ends
// the program: never a partial file where the user asked for one. One slot
// for each file written at once (at most 1024 with -j).
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

OutputSink::~OutputSink() { Discard(); }

void OutputSink::Discard() {
  if (owns_fd_) ::close(fd_);
  owns_fd_ = false;
  fd_ = -1;
  if (existing_fd_ >= 0) ::close(existing_fd_);
  existing_fd_ = -1;
  if (named_now_) ::unlink(target_.c_str());
  named_now_ = false;
  Unregister(slot_);
  slot_ = -1;
  if (restore_mode_) (void)::chmod(target_.c_str(), mode_);
  restore_mode_ = false;
}

// An unnamed file in folder (or, for the content of an existing file whose
// folder takes no new files, in the temporary folder). Without O_TMPFILE a
// new file is created under its name and removed unless committed; the
// content of an existing file goes to a temporary file unlinked at once.
int OutputSink::OpenUnnamed(const std::string& folder, bool new_file, mode_t mode) {
  fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
  if (fd_ >= 0) {
    owns_fd_ = true;
    return 0;
  }
  const int error = errno;
  const bool unsupported = error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == ENOENT;
  if (new_file) {
    if (!unsupported) return error;
    fd_ = ::open(target_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOCTTY, mode);
    if (fd_ < 0) return errno;
    owns_fd_ = true;
    named_now_ = true;
    slot_ = Register(target_.c_str());
    new_file_ = false;
    return 0;
  }
  const char* temporary = std::getenv("TMPDIR");
  const std::string elsewhere = temporary != nullptr && *temporary != 0 ? temporary : "/tmp";
  fd_ = ::open(elsewhere.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    std::string pattern = elsewhere + "/mok-XXXXXX";
    fd_ = ::mkstemp(pattern.data());
    if (fd_ < 0) return error;
    ::unlink(pattern.c_str());
  }
  owns_fd_ = true;
  return 0;
}

int OutputSink::Open(const std::string& path, const struct stat& input, mode_t mask, bool force,
                     bool& same_as_input) {
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
  target_ = target;
  if (exists && !S_ISREG(old.st_mode)) {
    // A device or a pipe (/dev/null, a FIFO) is written directly.
    fd_ = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) return errno;
    owns_fd_ = true;
    return 0;
  }
  std::string folder = std::filesystem::path(target).parent_path().string();
  if (folder.empty()) folder = ".";
  if (!exists) {
    new_file_ = true;
    return OpenUnnamed(folder, true, 0666 & ~mask);
  }
  // An existing file: checked and opened now, so that a file that cannot be
  // written fails before any work; filled only once the content is complete.
  const bool read_only = (old.st_mode & S_IWUSR) == 0 || ::access(target.c_str(), W_OK) != 0;
  if (read_only && !force) return (old.st_mode & S_IWUSR) == 0 ? kReadOnlyFile : EACCES;
  if (read_only) {
    mode_ = old.st_mode & 07777;
    if (::chmod(target.c_str(), mode_ | S_IWUSR) != 0) return errno;
    restore_mode_ = true;
  }
  existing_fd_ = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (existing_fd_ < 0) return errno;
  return OpenUnnamed(folder, false, 0600);
}

int OutputSink::Write(BytesView bytes) {
  std::error_code error;
  if (!WriteFileBytes(fd_, bytes, error)) return error.value();
  written_ += bytes.size();
  return 0;
}

// Copies the complete content into the existing file from its start and cuts
// it there: the file stays the same file.
int OutputSink::CopyIntoExisting() {
  if (::lseek(fd_, 0, SEEK_SET) != 0) return errno;
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kChunkBytes]);
  for (;;) {
    const ssize_t got = ::read(fd_, buffer.get(), kChunkBytes);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) break;
    std::error_code error;
    if (!WriteFileBytes(existing_fd_, BytesView(buffer.get(), static_cast<std::size_t>(got)), error)) {
      return error.value();
    }
  }
  if (::ftruncate(existing_fd_, static_cast<off_t>(written_)) != 0) return errno;
  return 0;
}

int OutputSink::Commit() {
  int error = 0;
  if (existing_fd_ >= 0) {
    error = CopyIntoExisting();
    if (::close(existing_fd_) != 0 && error == 0) error = errno;
    existing_fd_ = -1;
  } else if (new_file_) {
    // The unnamed file gets its name; through /proc, or where /proc is not
    // mounted, by its descriptor (which needs more privilege).
    const std::string proc = "/proc/self/fd/" + std::to_string(fd_);
    if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      error = errno;
      if (error == ENOENT && ::linkat(fd_, "", AT_FDCWD, target_.c_str(), AT_EMPTY_PATH) == 0) error = 0;
    }
    new_file_ = false;
  }
  if (owns_fd_ && ::close(fd_) != 0 && error == 0 && errno != EINTR) error = errno;
  owns_fd_ = false;
  fd_ = -1;
  if (error == 0) named_now_ = false;  // complete: it stays
  Discard();
  return error;
}

}  // namespace mok::cli
