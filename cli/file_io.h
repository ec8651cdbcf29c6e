#pragma once

// The files of a run: an input read in chunks, and an output that appears
// whole or not at all.

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

#include "codec/text_types.h"

namespace mok::cli {

// Large enough that the converters run at full speed, small enough that a
// run stays within a few megabytes whatever the size of the file.
inline constexpr std::size_t kChunkBytes = 256 * 1024;

// An input file, or standard input ("-"), read in chunks. Each operation
// returns 0 or the errno value.
class InputSource {
 public:
  InputSource() = default;
  InputSource(const InputSource&) = delete;
  InputSource& operator=(const InputSource&) = delete;
  ~InputSource();

  int Open(const std::string& path);
  [[nodiscard]] const struct stat& Stat() const { return stat_; }
  // The next chunk, valid until the next call; at_end when nothing follows it.
  // Each chunk is full (kChunkBytes) unless it is the last.
  int Next(BytesView& chunk, bool& at_end);

 private:
  std::unique_ptr<std::uint8_t[]> buffer_;
  int fd_ = -1;
  struct stat stat_ {};
};

// Open() answers this for an existing file without write permission, which
// is written only with --force.
inline constexpr int kReadOnlyFile = -2;

// Standard output, or an output file that appears complete or not at all. A
// new file is written unnamed (O_TMPFILE in its folder) and linked under its
// name by Commit, so that even a killed run leaves nothing behind. An
// existing file keeps its inode, and with it its mode, owner and other hard
// links: the new content is written unnamed first, and copied into the file
// by Commit. A device or a pipe is written directly. Each operation returns
// 0 or the errno value.
class OutputSink {
 public:
  OutputSink() = default;
  OutputSink(const OutputSink&) = delete;
  OutputSink& operator=(const OutputSink&) = delete;
  ~OutputSink();

  // Opens path for writing (mask: the process's umask); same_as_input when
  // path names the input itself, which is then left alone. A file without
  // write permission gives kReadOnlyFile unless force, which writes it all
  // the same and gives it its mode back.
  int Open(const std::string& path, const struct stat& input, mode_t mask, bool force, bool& same_as_input);
  int Write(BytesView bytes);
  int Commit();
  // Bytes written so far.
  [[nodiscard]] std::uint64_t Written() const { return written_; }

 private:
  int OpenUnnamed(const std::string& folder, bool new_file, mode_t mode);
  int CopyIntoExisting();
  void Discard();

  int fd_ = 1;                // where Write goes: standard output until Open
  bool owns_fd_ = false;
  std::string target_;        // the output file
  bool new_file_ = false;     // fd_ is unnamed and becomes target_ on Commit
  int existing_fd_ = -1;      // an existing file that Commit fills from fd_
  bool named_now_ = false;    // no O_TMPFILE: fd_ is target_ itself, removed unless committed
  int slot_ = -1;             // its registration for removal on an interrupt
  bool restore_mode_ = false; // --force gave a read-only file write permission
  mode_t mode_ = 0;
  std::uint64_t written_ = 0;
};

// From now on SIGINT, SIGTERM and SIGHUP remove outputs not yet complete that
// have a name (only on file systems without unnamed files) before they end
// the program.
void RemoveTemporaryFilesOnInterrupt();

}  // namespace mok::cli
