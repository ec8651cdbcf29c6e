#pragma once

// File attributes as the program shows and restores them, and the wording of
// file system failures in messages.
//
// The attribute bits are those of the program's file model: 1 read-only,
// 2 hidden, 4 system, 16 directory, 32 archive. On Linux they map as follows:
//   read-only  the owner has no write permission (setting it removes every write
//              permission bit; clearing it gives the owner write permission back);
//   hidden     the name starts with "." (a property of the name: setting or
//              clearing it changes nothing, and a file saved under the same name
//              stays hidden);
//   system     never set, and ignored when setting;
//   directory  the path is a directory (ignored when setting);
//   archive    the path is a regular file (ignored when setting).
// Symbolic links are followed; a dangling link exists but has only the hidden bit.
//
// Paths are held as text. They reach the file system as UTF-8, except that a lone
// surrogate U+DC80..U+DCFF stands for the raw byte 0x80..0xFF, the same marking the
// decoders use for malformed bytes, so a name that is not valid UTF-8 survives.

#include <cstdint>
#include <string>
#include <string_view>

#include "codec/text_types.h"

namespace mok {

inline constexpr std::int16_t kAttrReadOnly = 1;
inline constexpr std::int16_t kAttrHidden = 2;
inline constexpr std::int16_t kAttrSystem = 4;
inline constexpr std::int16_t kAttrDirectory = 16;
inline constexpr std::int16_t kAttrArchive = 32;

// The file system's name for a path held as text. False (and native empty) when
// the path contains U+0000, which no file name can hold.
[[nodiscard]] bool NativePath(TextView path, std::string& native);

// The path as text for a file system name: the inverse of NativePath. Valid
// UTF-8 is decoded; each byte that is not part of valid UTF-8 becomes U+DC00 +
// byte, so NativePath gives back exactly the same name.
[[nodiscard]] Text TextOfNativePath(std::string_view native);

// True when anything exists at the path: a file, a directory, a dangling link.
[[nodiscard]] bool FileExists(TextView path);

// The attribute bits of whatever exists at the path, or -1 when nothing does.
[[nodiscard]] std::int16_t GetFileAttr(TextView path);

// What the file commands show of a file (links followed).
struct FileFacts {
  std::int16_t attributes = -1;  // as GetFileAttr
  std::int64_t size = 0;         // in bytes
  std::int64_t modified = 0;     // last modification, seconds since 1970 (UTC)
  bool regular = false;          // a regular file: not a folder, pipe or device
};

// Fills facts for the path; 0, or the errno value when it cannot be read.
[[nodiscard]] int GetFileFacts(TextView path, FileFacts& facts);

// Makes the path read-only or writable as the read-only bit says; the other bits
// cannot be changed on Linux and are ignored. Returns 0 or the errno value.
[[nodiscard]] int SetFileAttr(TextView path, std::int16_t attributes);

// " 只读", " 隐藏", " 系统", " 存档" for the bits 1, 2, 4 and 32 that are set, in
// that order; the directory bit is not shown.
[[nodiscard]] Text AttrText(std::int16_t attributes);

// A short description of a failed file operation for a message: Chinese wording
// for the causes (文件不存在, 路径不存在, 没有权限, 磁盘已满, 是文件夹,
// 管道的另一端已关闭, ...), and "系统错误（错误号 N）" for the rare rest, so that
// no English reaches a message. The path tells "file not found" from "folder
// not found" for ENOENT.
[[nodiscard]] Text FileErrorText(int error_number, TextView path);

}  // namespace mok
