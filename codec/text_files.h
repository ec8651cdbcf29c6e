#pragma once

// The nine file formats in which text is read from and written to disk, the
// guess of a file's format from its bytes, and loading and saving a whole text
// file through a ".bak" backup.
//
//   1 GBK (code page 936)        4 UTF-16LE +BOM   7 UTF-16LE No-BOM
//   2 GB18030 (code page 54936)  5 UTF-16BE +BOM   8 UTF-16BE No-BOM
//   3 Latin-1 (code page 28591)  6 UTF-8 +BOM      9 UTF-8 No-BOM
//
// Formats 4..6 write a byte order mark; adding 3 gives the same encoding without.

#include <cstdint>
#include <system_error>

#include "codec/text_types.h"

namespace mok {

inline constexpr std::int16_t kFormatGbk = 1;
inline constexpr std::int16_t kFormatGb18030 = 2;
inline constexpr std::int16_t kFormatLatin1 = 3;
inline constexpr std::int16_t kFormatUtf16LeBom = 4;
inline constexpr std::int16_t kFormatUtf16BeBom = 5;
inline constexpr std::int16_t kFormatUtf8Bom = 6;
inline constexpr std::int16_t kFormatUtf16Le = 7;
inline constexpr std::int16_t kFormatUtf16Be = 8;
inline constexpr std::int16_t kFormatUtf8 = 9;

// The format the bytes look like, 1..9, or 0 when nothing is recognised: byte
// order marks first, then CR LF as 16-bit units, then any NUL byte (UTF-16LE),
// then IsValidUtf8.
[[nodiscard]] std::int16_t DetectFileFormat(BytesView bytes);

// Whether the bytes look like UTF-8: a tolerant test, true when at least six
// bytes are not ASCII and at most one in sixteen of those is malformed.
[[nodiscard]] bool IsValidUtf8(BytesView bytes);

// Decodes the bytes of a whole file. format is the requested format on entry (0
// asks for detection; 4..6 fall back to 7..9 when the file lacks that mark) and
// the format used on return. The byte order mark of 4..6 is dropped and NULs
// become spaces. False only when a converter fails; format is then unchanged.
[[nodiscard]] bool DecodeFileBytes(BytesView bytes, std::int16_t& format, Text& text);

// Encodes text for a file. A format outside 1..9 becomes 4 (and format says so);
// 4..6 put the byte order mark first. False only when a converter fails.
[[nodiscard]] bool EncodeFileText(TextView text, std::int16_t& format, Bytes& bytes);

// Reads up to count bytes at the current position of an open file (fewer only
// at its end); empty for count <= 0. On failure error is set and the result empty.
[[nodiscard]] Bytes ReadFileBytes(int fd, std::int64_t count, std::error_code& error);

// Writes all bytes at the current position. False (with error set) when any byte
// could not be written: a short write is never taken for success.
[[nodiscard]] bool WriteFileBytes(int fd, BytesView bytes, std::error_code& error);

// Reads a whole file into text (format as for DecodeFileBytes). Only a regular
// file is read: a folder, a named pipe or a device is refused. On failure it
// returns false with failure set to the message for the user, path + CR LF CR LF
// + "打开 未成~ " + the cause; text and format are then unchanged.
[[nodiscard]] bool LoadTextFile(Text& text, TextView path, std::int16_t& format, Text& failure);

// Writes text to path in the format (outside 1..9 means 4, reported back).
// attributes are those of the file at the path (GetFileAttr), or negative when
// there is none. An existing file is first renamed to path + ".bak" (an older
// backup is deleted), the new file is written and flushed to disk, the read-only
// attribute is carried over, and only then is the backup deleted. A symbolic link
// at the path is followed, so the link stays and its target is saved.
//
// A folder, a named pipe or a device at the path is refused, never moved aside.
// On failure it returns false with failure set to the message for the user,
// path + CR LF CR LF + "保存 未成~ " + the cause. The previous content is then always on disk: back at the path when the
// new file could not be written completely (a partial file is removed), or under
// the ".bak" name when the new file is complete but a later step failed.
[[nodiscard]] bool SaveTextFile(TextView text, TextView path, std::int16_t& format, std::int16_t attributes,
                                Text& failure);

// "GBK", "GB18030", "Latin-1", "UTF-16LE", "UTF-16BE" or "UTF-8", followed by
// " +BOM" (4..6) or " No-BOM" (7..9) unless bare; empty outside 1..9.
[[nodiscard]] Text FileFormatName(std::int16_t format, bool bare);

}  // namespace mok
