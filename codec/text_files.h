#pragma once

// The nine file formats in which text is read from and written to disk, the
// guess of a file's format from its bytes, and loading and saving a whole text
// file, a save replacing the old file only once the new one is complete.
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

// IsValidUtf8 fed piece by piece: Result() answers for all bytes added so far.
class Utf8Plausibility {
 public:
  void Add(BytesView bytes);
  [[nodiscard]] bool Result() const;

 private:
  std::size_t size_ = 0;
  std::size_t ascii_ = 0;
  std::size_t badness_ = 0;
  int pending_ = 0;         // continuation bytes still expected
  int length_ = 0;          // length of the current sequence
  std::uint8_t lower_ = 0;  // the least next continuation byte that is not overlong
};

// DetectFileFormat fed piece by piece, so a file of any size is detected in
// bounded memory: Result() answers for all bytes added so far.
class FileFormatSniffer {
 public:
  void Add(BytesView bytes);
  [[nodiscard]] std::int16_t Result() const;

 private:
  void Unit(std::uint16_t unit);

  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t size_ = 0;
  std::uint8_t head_[3] = {};
  std::uint8_t odd_byte_ = 0;             // first byte of a unit the last piece cut
  std::uint16_t previous_unit_ = 0xFFFF;  // neither half of a line break
  bool le_line_break_ = false;
  bool be_line_break_ = false;
  std::size_t first_nul_ = kNone;
  Utf8Plausibility utf8_;
};

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
// there is none. The whole new file is written under a temporary name in the
// same folder and flushed to disk; it takes the old file's permission bits, its
// owner and group where this user may give them, and the read-only attribute;
// then it is renamed over the old file and the folder is flushed. Until that
// rename the old content stays at the path, so a crash at any moment leaves
// either the old file or the complete new one. No backup file is made, and no
// other file in the folder is touched. A symbolic link at the path is followed
// (through a chain of links, a dangling one too), so the link stays a link and
// the file it leads to is saved.
//
// A folder, a named pipe or a device at the path is refused. On failure it
// returns false with failure set to the message for the user, path + CR LF CR
// LF + "保存 未成~ " + the cause; the old content is then untouched at the path
// and the temporary file is removed.
[[nodiscard]] bool SaveTextFile(TextView text, TextView path, std::int16_t& format, std::int16_t attributes,
                                Text& failure);

// "GBK", "GB18030", "Latin-1", "UTF-16LE", "UTF-16BE" or "UTF-8", followed by
// " +BOM" (4..6) or " No-BOM" (7..9) unless bare; empty outside 1..9.
[[nodiscard]] Text FileFormatName(std::int16_t format, bool bare);

}  // namespace mok
