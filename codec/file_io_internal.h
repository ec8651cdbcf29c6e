#pragma once

// Internal to the codec's file functions and their tests; the rest of the program
// uses file_attributes.h and text_files.h.

#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "codec/text_types.h"

namespace mok::file_internal {

// The system calls through which file contents are read, written and flushed.
// Tests replace an entry to make a call fail part way (a disk that fills up in
// the middle of a save); one indirect call per system call costs nothing next to
// the call itself.
struct SystemCalls {
  ssize_t (*read)(int fd, void* buffer, size_t count) = ::read;
  ssize_t (*write)(int fd, const void* buffer, size_t count) = ::write;
  int (*fsync)(int fd) = ::fsync;
  int (*rename)(const char* from, const char* to) = ::rename;
};
inline SystemCalls g_system_calls;

// A save writes its new content under this name and 8 letters or digits, in
// the target's folder, then renames it over the target.
inline constexpr std::string_view kTemporaryPrefix = ".mokrin-save-";

// The steps of a save after which a test build can kill the process
// (MOK_TEST_KILL_SAVE_AT=<name>): the temporary file made, half of the bytes
// written, all written, flushed to disk and closed, renamed over the target.
enum class SaveStep { kTemporaryCreated, kHalfWritten, kWritten, kFlushed, kRenamed };
inline constexpr const char* kSaveStepNames[] = {"temporary-created", "half-written", "written", "flushed",
                                                 "renamed"};

// The attribute functions of file_attributes.h on file system names.
[[nodiscard]] bool Exists(const std::string& native);
[[nodiscard]] std::int16_t AttributesOf(const std::string& native);
[[nodiscard]] int SetAttributesOf(const std::string& native, std::int16_t attributes);
[[nodiscard]] Text ErrorText(int error_number, const std::string& native);

// The folder part of a file system name ("." for a bare name).
[[nodiscard]] std::string ParentOf(const std::string& native);

}  // namespace mok::file_internal
