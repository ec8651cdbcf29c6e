#include "codec/text_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "codec/charset_conversion.h"
#include "codec/conversion_core.h"
#include "codec/file_attributes.h"
#include "codec/file_io_internal.h"

namespace mok {

namespace {

using file_internal::g_system_calls;

constexpr std::int32_t kCodePageOfFormat[] = {0, 936, 54936, 28591, 0, 0, 65001, 0, 0, 65001};

bool IsFormat(std::int16_t format) { return format >= 1 && format <= 9; }

// UTF-16 code units from bytes, high byte first; a trailing odd byte forms no unit.
Text BigEndianUnitsToText(BytesView bytes) {
  Text text(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>((bytes[2 * i] << 8) | bytes[2 * i + 1]);
  }
  return text;
}

// The UTF-16 bytes of an optional byte order mark and the text, written in one go.
Bytes TextToUtf16Bytes(TextView text, bool big_endian, bool mark) {
  Bytes bytes((text.size() + (mark ? 1 : 0)) * 2, 0);
  size_t at = 0;
  auto put = [&](char16_t unit) {
    std::uint8_t high = static_cast<std::uint8_t>(unit >> 8), low = static_cast<std::uint8_t>(unit & 0xFF);
    bytes[at++] = big_endian ? high : low;
    bytes[at++] = big_endian ? low : high;
  };
  if (mark) put(u'\uFEFF');
  for (char16_t unit : text) put(unit);
  return bytes;
}

bool Decode(BytesView bytes, std::int32_t code_page, Text& text) {
  if (bytes.empty()) {
    text.clear();
    return true;
  }
  return DecodeWithCodePage(bytes, code_page, text);
}

bool Encode(TextView text, std::int32_t code_page, Bytes& bytes) {
  if (text.empty()) {
    bytes.clear();
    return true;
  }
  return EncodeWithCodePage(text, code_page, bytes);
}

// What a named pipe, a socket or a device is called in a message: this program
// reads and writes only regular files.
constexpr std::u16string_view kNotRegularFile = u"不是普通文件";

Text JoinMessage(TextView path, TextView operation, TextView cause) {
  Text message;
  message.reserve(path.size() + operation.size() + cause.size() + 4);
  message.append(path).append(u"\r\n\r\n").append(operation).append(cause);
  return message;
}

// Flushes a folder's entries (a new name, a rename) to disk. A folder that cannot
// be opened for reading, or a file system without folder flushing, is left as it
// is; a real write error is reported.
int SyncDirectory(const std::string& native_file) {
  int fd = ::open(file_internal::ParentOf(native_file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return 0;
  int error = g_system_calls.fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  return error == EINVAL ? 0 : error;
}

// The steps of one save, with what has been done so far, so that any failure can
// put the previous content back.
class SaveOperation {
 public:
  SaveOperation(TextView path, Text& failure) : path_(path), failure_(failure) {}
  ~SaveOperation() { CloseFile(); }

  bool Run(TextView text, std::int16_t& format, std::int16_t attributes);
  bool Fail(int error_number) { return FailWith(file_internal::ErrorText(error_number, target_)); }
  bool FailWith(Text cause);

 private:
  void CloseFile() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  TextView path_;
  Text& failure_;
  std::string target_;
  std::string backup_;
  int fd_ = -1;
  bool moved_to_backup_ = false;  // the previous file now lives under backup_
  bool file_created_ = false;     // target_ is a new file of this save
  bool file_complete_ = false;    // ... holding all its bytes, flushed to disk
};

bool SaveOperation::Run(TextView text, std::int16_t& format, std::int16_t attributes) {
  if (!NativePath(path_, target_)) return Fail(EINVAL);
  struct stat old;
  bool exists = ::lstat(target_.c_str(), &old) == 0;
  if (exists && S_ISLNK(old.st_mode)) {
    // Save the file the link points to, so that the link stays a link.
    if (char* resolved = ::realpath(target_.c_str(), nullptr)) {
      target_ = resolved;
      std::free(resolved);
      exists = ::lstat(target_.c_str(), &old) == 0;
    }
  }
  // A folder is never moved aside nor written over.
  if (exists && S_ISDIR(old.st_mode)) return Fail(EISDIR);
  // Nor is a pipe or a device: replacing it by a file would destroy it. (A
  // dangling link is replaced like a file.)
  if (exists && !S_ISREG(old.st_mode) && !S_ISLNK(old.st_mode)) return FailWith(Text(kNotRegularFile));
  // What is on disk decides whether there is a previous file to keep: one that
  // appeared after the caller looked is kept too, never truncated.
  if (!exists) {
    attributes = -1;
  } else if (attributes < 0) {
    attributes = file_internal::AttributesOf(target_);
  }
  backup_ = target_ + ".bak";

  if (attributes >= 0) {
    // Linux deletes a read-only file without first making it writable, so the
    // attributes of an old backup need no change before it goes.
    if (file_internal::Exists(backup_) && ::unlink(backup_.c_str()) != 0) return Fail(errno);
    if (::rename(target_.c_str(), backup_.c_str()) != 0) return Fail(errno);
    moved_to_backup_ = true;
  }

  if (!IsFormat(format)) format = kFormatUtf16LeBom;
  Bytes bytes;
  if (!EncodeFileText(text, format, bytes)) return Fail(EILSEQ);

  // O_EXCL: the name was just freed; never write into a file that took it since.
  fd_ = ::open(target_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd_ < 0) return Fail(errno);
  file_created_ = true;
  if (moved_to_backup_ && S_ISREG(old.st_mode)) {
    // Keep the owner and the permissions of the file being replaced (a private
    // file stays private); where that is not allowed the defaults stay.
    if (::fchown(fd_, old.st_uid, old.st_gid) != 0) {
      // Not the owner's to give away: the new file is ours.
    }
    (void)::fchmod(fd_, old.st_mode & 0777);
  }

  std::error_code error;
  if (!WriteFileBytes(fd_, bytes, error)) return Fail(error.value());
  if (g_system_calls.fsync(fd_) != 0) return Fail(errno);
  int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0 && errno != EINTR) return Fail(errno);
  // The new name must be on disk before the old content may go.
  if (int sync_error = SyncDirectory(target_); sync_error != 0) return Fail(sync_error);
  file_complete_ = true;

  if (attributes >= 0) {
    if (attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem)) {
      if (int attr_error = file_internal::SetAttributesOf(target_, attributes); attr_error != 0) {
        return Fail(attr_error);
      }
    }
    if (::unlink(backup_.c_str()) != 0) return Fail(errno);
    moved_to_backup_ = false;
  }
  return true;
}

bool SaveOperation::FailWith(Text cause) {
  CloseFile();
  bool restore_failed = false;
  if (file_created_ && !file_complete_) {
    // A partial file is worth nothing: the previous file takes its place again
    // (rename replaces it in one step), or, without one, it is removed.
    if (moved_to_backup_) {
      restore_failed = ::rename(backup_.c_str(), target_.c_str()) != 0;
      moved_to_backup_ = restore_failed;
    } else {
      (void)::unlink(target_.c_str());
    }
    (void)SyncDirectory(target_);
  } else if (moved_to_backup_ && !file_internal::Exists(target_)) {
    restore_failed = ::rename(backup_.c_str(), target_.c_str()) != 0;
    moved_to_backup_ = restore_failed;
    (void)SyncDirectory(target_);
  }
  if (restore_failed) {
    const auto* name = reinterpret_cast<const std::uint8_t*>(backup_.data());
    cause.append(u"（原内容在 ").append(Utf8BytesToText(BytesView(name, backup_.size()))).append(u"）");
  }
  failure_ = JoinMessage(path_, u"保存 未成~ ", cause);
  return false;
}

}  // namespace

std::int16_t DetectFileFormat(BytesView bytes) {
  const size_t n = bytes.size();
  if (n < 2) return 0;
  if (n >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) return kFormatUtf8Bom;
  if (bytes[0] == 0xFF && bytes[1] == 0xFE) return kFormatUtf16LeBom;
  if (bytes[0] == 0xFE && bytes[1] == 0xFF) return kFormatUtf16BeBom;
  // CR LF as 16-bit units, looked for at even offsets only; an odd last byte is no unit.
  const size_t units_end = n & ~size_t{1};
  for (size_t k = 0; k + 4 <= units_end; k += 2) {
    if (bytes[k] == 0x0D && bytes[k + 1] == 0 && bytes[k + 2] == 0x0A && bytes[k + 3] == 0) return kFormatUtf16Le;
  }
  for (size_t k = 0; k + 4 <= units_end; k += 2) {
    if (bytes[k] == 0 && bytes[k + 1] == 0x0D && bytes[k + 2] == 0 && bytes[k + 3] == 0x0A) return kFormatUtf16Be;
  }
  if (std::memchr(bytes.data(), 0, n - 1) != nullptr) return kFormatUtf16Le;
  if (IsValidUtf8(bytes)) return kFormatUtf8;
  return 0;
}

bool IsValidUtf8(BytesView bytes) {
  size_t ascii = 0;
  size_t badness = 0;
  int pending = 0;        // continuation bytes still expected
  int length = 0;         // length of the current sequence
  std::uint8_t lower = 0; // the least next continuation byte that is not overlong
  for (std::uint8_t b : bytes) {
    if (b >= 0x80 && b <= 0xBF) {
      if (pending == 0) {
        ++badness;
      } else {
        if (b < lower) ++badness;
        lower = 0;
        --pending;
      }
      continue;
    }
    if (pending > 0) badness += static_cast<size_t>(length - pending);  // a sequence cut short
    if (b < 0x80) {
      ++ascii;
      pending = 0;
    } else if (b <= 0xDF) {
      pending = 1;
      lower = b <= 0xC1 ? 0xC0 : 0;
    } else if (b <= 0xEF) {
      pending = 2;
      lower = b == 0xE0 ? 0xA0 : 0;
    } else if (b <= 0xF7) {
      pending = 3;
      lower = b == 0xF0 ? 0x90 : 0;
    } else {
      ++badness;
      pending = 0;
    }
    length = pending + 1;
  }
  if (pending > 0) badness += static_cast<size_t>(length - pending);
  const size_t non_ascii = bytes.size() - ascii;
  return non_ascii >= 6 && badness <= non_ascii / 16;
}

bool DecodeFileBytes(BytesView bytes, std::int16_t& format, Text& text) {
  text.clear();
  try {
    std::int16_t detected = DetectFileFormat(bytes);
    if (!IsFormat(detected)) detected = kFormatGbk;
    std::int16_t used = format;
    if (used >= kFormatUtf16LeBom && used <= kFormatUtf8Bom) {
      if (detected != used) used += 3;  // the file lacks the mark: same encoding without it
    } else if (!IsFormat(used)) {
      used = detected;
    }
    // With 4..6 kept the file starts with the mark (detection saw it), so it is
    // skipped as bytes: the same as decoding it and dropping the first unit.
    bool ok = true;
    switch (used) {
      case kFormatUtf16LeBom:
        text = ByteViewToText(bytes.substr(2));
        break;
      case kFormatUtf16BeBom:
        text = BigEndianUnitsToText(bytes.substr(2));
        break;
      case kFormatUtf8Bom:
        ok = Decode(bytes.substr(3), 65001, text);
        break;
      case kFormatUtf16Le:
        text = ByteViewToText(bytes);
        break;
      case kFormatUtf16Be:
        text = BigEndianUnitsToText(bytes);
        break;
      default:
        ok = Decode(bytes, kCodePageOfFormat[used], text);
        break;
    }
    if (!ok) {
      text.clear();
      return false;
    }
    ReplaceNulBySpace(text);
    format = used;
    return true;
  } catch (...) {
    text.clear();
    return false;
  }
}

bool EncodeFileText(TextView text, std::int16_t& format, Bytes& bytes) {
  bytes.clear();
  if (!IsFormat(format)) format = kFormatUtf16LeBom;
  try {
    switch (format) {
      case kFormatUtf16LeBom:
      case kFormatUtf16Le:
        bytes = TextToUtf16Bytes(text, false, format == kFormatUtf16LeBom);
        return true;
      case kFormatUtf16BeBom:
      case kFormatUtf16Be:
        bytes = TextToUtf16Bytes(text, true, format == kFormatUtf16BeBom);
        return true;
      case kFormatUtf8Bom: {
        Text marked;
        marked.reserve(text.size() + 1);
        marked.append(1, u'\uFEFF').append(text);
        return Encode(marked, 65001, bytes);
      }
      default:
        return Encode(text, kCodePageOfFormat[format], bytes);
    }
  } catch (...) {
    bytes.clear();
    return false;
  }
}

Bytes ReadFileBytes(int fd, std::int64_t count, std::error_code& error) {
  error.clear();
  if (count <= 0) return {};
  Bytes bytes;
  try {
    if (static_cast<std::uint64_t>(count) >= bytes.max_size()) throw std::bad_alloc();
    bytes.resize(static_cast<size_t>(count));
  } catch (...) {
    error = std::make_error_code(std::errc::not_enough_memory);
    return {};
  }
  size_t done = 0;
  while (done < bytes.size()) {
    size_t chunk = std::min<size_t>(bytes.size() - done, size_t{1} << 30);
    ssize_t got = g_system_calls.read(fd, bytes.data() + done, chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      error = std::error_code(errno, std::generic_category());
      return {};
    }
    if (got == 0) break;  // the file ended early (it shrank since its length was taken)
    done += static_cast<size_t>(got);
  }
  bytes.resize(done);
  return bytes;
}

bool WriteFileBytes(int fd, BytesView bytes, std::error_code& error) {
  error.clear();
  size_t done = 0;
  while (done < bytes.size()) {
    size_t chunk = std::min<size_t>(bytes.size() - done, size_t{1} << 30);
    ssize_t written = g_system_calls.write(fd, bytes.data() + done, chunk);
    if (written < 0) {
      if (errno == EINTR) continue;
      error = std::error_code(errno, std::generic_category());
      return false;
    }
    if (written == 0) {
      // No progress and no reason given: stop rather than loop, and say so.
      error = std::make_error_code(std::errc::io_error);
      return false;
    }
    done += static_cast<size_t>(written);
  }
  return true;
}

bool LoadTextFile(Text& text, TextView path, std::int16_t& format, Text& failure) {
  std::string native;
  int fd = -1;
  auto fail_with = [&](TextView cause) {
    if (fd >= 0) ::close(fd);
    fd = -1;
    failure = JoinMessage(path, u"打开 未成~ ", cause);
    return false;
  };
  auto fail = [&](int error_number) { return fail_with(file_internal::ErrorText(error_number, native)); };
  try {
    if (!NativePath(path, native)) return fail(EINVAL);
    // O_NONBLOCK: opening a named pipe must not wait for a writer.
    fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return fail(errno);
    struct stat st;
    if (::fstat(fd, &st) != 0) return fail(errno);
    if (S_ISDIR(st.st_mode)) return fail(EISDIR);
    // A pipe or a device has no length to read up to: it would give an empty
    // text, or wait for ever.
    if (!S_ISREG(st.st_mode)) return fail_with(kNotRegularFile);
    std::error_code error;
    Bytes bytes = ReadFileBytes(fd, st.st_size, error);
    if (error) return fail(error.value());
    int closed = ::close(fd);
    fd = -1;
    if (closed != 0 && errno != EINTR) return fail(errno);
    std::int16_t used = format;
    Text decoded;
    if (!DecodeFileBytes(bytes, used, decoded)) return fail(EILSEQ);
    text = std::move(decoded);
    format = used;
    return true;
  } catch (...) {
    try {
      return fail(ENOMEM);
    } catch (...) {
      return false;
    }
  }
}

bool SaveTextFile(TextView text, TextView path, std::int16_t& format, std::int16_t attributes,
                  Text& failure) {
  try {
    SaveOperation save(path, failure);
    try {
      return save.Run(text, format, attributes);
    } catch (...) {
      return save.Fail(ENOMEM);
    }
  } catch (...) {
    return false;
  }
}

Text FileFormatName(std::int16_t format, bool bare) {
  if (!IsFormat(format)) return {};
  static constexpr const char16_t* kNames[] = {u"",         u"GBK",      u"GB18030",
                                               u"Latin-1",  u"UTF-16LE", u"UTF-16BE",
                                               u"UTF-8",    u"UTF-16LE", u"UTF-16BE",
                                               u"UTF-8"};
  Text name = kNames[format];
  if (!bare && format >= kFormatUtf16LeBom) name += format <= kFormatUtf8Bom ? u" +BOM" : u" No-BOM";
  return name;
}

}  // namespace mok
