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

// Standard output, or a file written under a temporary name beside it and
// renamed into place by Commit; a sink destroyed before that removes it.
// Each operation returns 0 or the errno value.
class OutputSink {
 public:
  OutputSink() = default;
  OutputSink(const OutputSink&) = delete;
  OutputSink& operator=(const OutputSink&) = delete;
  ~OutputSink();

  // Opens path for writing (mask: the process's umask); same_as_input when
  // path names the input itself, which is then left alone.
  int Open(const std::string& path, const struct stat& input, mode_t mask, bool& same_as_input);
  int Write(BytesView bytes);
  int Commit();

 private:
  int fd_ = 1;             // standard output until Open
  std::string temporary_;  // empty: writing fd_ directly
  std::string target_;
  int slot_ = -1;
  mode_t mode_ = 0644;
};

// From now on SIGINT, SIGTERM and SIGHUP remove the temporary files of
// outputs not yet complete before they end the program.
void RemoveTemporaryFilesOnInterrupt();

}  // namespace mok::cli
