#include "codec/text_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>

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

// Kills the process at a step of a save when a test build is asked to
// (MOK_TEST_KILL_SAVE_AT=<step name>): a crash there must leave the file's old
// content at its name. Outside test builds it does nothing.
void ReachSaveStep([[maybe_unused]] file_internal::SaveStep step) {
#ifdef MOK_TEST_HOOKS
  const char* at = std::getenv("MOK_TEST_KILL_SAVE_AT");
  if (at != nullptr && std::string_view(at) == file_internal::kSaveStepNames[static_cast<int>(step)]) {
    ::kill(::getpid(), SIGKILL);
  }
#endif
}

// Where a save writes: the file a symbolic link at the name leads to, through
// a chain of links, a dangling one included, so that every link stays a link.
// 0, or the errno value when a link cannot be read or the chain loops.
int FollowLinks(std::string& native) {
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st;
    if (::lstat(native.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
    if (!S_ISLNK(st.st_mode)) return 0;
    std::string link(static_cast<std::size_t>(std::max<off_t>(st.st_size, PATH_MAX)) + 1, '\0');
    const ssize_t length = ::readlink(native.c_str(), link.data(), link.size());
    if (length < 0) return errno;
    if (static_cast<std::size_t>(length) >= link.size()) return ENAMETOOLONG;
    link.resize(static_cast<std::size_t>(length));
    if (link.empty()) return ENOENT;
    native = link.front() == '/' ? link : file_internal::ParentOf(native) + "/" + link;
  }
  return ELOOP;
}

// One save: the new content is written in full under a temporary name in the
// target's folder, flushed to disk, given the old file's owner and permissions,
// and only then renamed over the target, which replaces it in one step. Until
// that rename the target holds its old content, whatever happens; a failure
// removes the temporary file.
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
  [[nodiscard]] int CreateTemporary();
  [[nodiscard]] int CarryOver(const struct stat& old, std::int16_t attributes);

  TextView path_;
  Text& failure_;
  std::string target_;
  std::string temporary_;  // while it exists
  int fd_ = -1;
};

bool SaveOperation::Run(TextView text, std::int16_t& format, std::int16_t attributes) {
  if (!NativePath(path_, target_)) return Fail(EINVAL);
  if (const int error = FollowLinks(target_); error != 0) return Fail(error);
  struct stat old;
  const bool exists = ::lstat(target_.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) return Fail(errno);
  // A folder is never written over; nor is a pipe or a device, which a file
  // in its place would destroy.
  if (exists && S_ISDIR(old.st_mode)) return Fail(EISDIR);
  if (exists && !S_ISREG(old.st_mode)) return FailWith(Text(kNotRegularFile));
  // What is on disk decides whether there is an old file to take after: one
  // that appeared after the caller looked counts too.
  if (!exists) {
    attributes = -1;
  } else if (attributes < 0) {
    attributes = file_internal::AttributesOf(target_);
  }

  if (!IsFormat(format)) format = kFormatUtf16LeBom;
  Bytes bytes;
  if (!EncodeFileText(text, format, bytes)) return Fail(EILSEQ);

  if (const int error = CreateTemporary(); error != 0) return Fail(error);
  ReachSaveStep(file_internal::SaveStep::kTemporaryCreated);
  // Written in two halves so that a test build can stop between them.
  const BytesView all(bytes);
  const std::size_t half = all.size() / 2;
  std::error_code error;
  if (!WriteFileBytes(fd_, all.substr(0, half), error)) return Fail(error.value());
  ReachSaveStep(file_internal::SaveStep::kHalfWritten);
  if (!WriteFileBytes(fd_, all.substr(half), error)) return Fail(error.value());
  ReachSaveStep(file_internal::SaveStep::kWritten);
  if (exists) {
    if (const int carry_error = CarryOver(old, attributes); carry_error != 0) return Fail(carry_error);
  }
  if (g_system_calls.fsync(fd_) != 0) return Fail(errno);
  const int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0 && errno != EINTR) return Fail(errno);
  ReachSaveStep(file_internal::SaveStep::kFlushed);

  if (g_system_calls.rename(temporary_.c_str(), target_.c_str()) != 0) return Fail(errno);
  temporary_.clear();
  ReachSaveStep(file_internal::SaveStep::kRenamed);
  // The new name must be on disk before the save counts as done.
  if (const int sync_error = SyncDirectory(target_); sync_error != 0) return Fail(sync_error);
  return true;
}

int SaveOperation::CreateTemporary() {
  // A short name of its own, so that a target name of up to 255 bytes still
  // leaves room for it; hidden, so that the file list never shows it.
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  const std::string prefix = file_internal::ParentOf(target_) + "/" + std::string(file_internal::kTemporaryPrefix);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = prefix;
    for (int i = 0; i < 8; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    // Created as any new file is: the umask and the folder's default ACL apply.
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd >= 0) {
      fd_ = fd;
      temporary_ = std::move(name);
      return 0;
    }
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

int SaveOperation::CarryOver(const struct stat& old, std::int16_t attributes) {
  // The old file's owner and group where this user may give them (root may;
  // anyone may give a group of their own); otherwise the new file is theirs.
  struct stat now;
  if (::fstat(fd_, &now) != 0) return errno;
  if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && ::fchown(fd_, old.st_uid, old.st_gid) != 0) {
    (void)::fchown(fd_, static_cast<uid_t>(-1), old.st_gid);
  }
  if (::fstat(fd_, &now) != 0) return errno;
  mode_t mode = old.st_mode & 07777;
  // Set-user and set-group bits only go with the owner and group they were for.
  if (now.st_uid != old.st_uid) mode &= ~mode_t{S_ISUID};
  if (now.st_gid != old.st_gid) mode &= ~mode_t{S_ISGID};
  if (attributes & kAttrReadOnly) mode &= ~mode_t{S_IWUSR | S_IWGRP | S_IWOTH};
  return ::fchmod(fd_, mode) == 0 ? 0 : errno;
}

bool SaveOperation::FailWith(Text cause) {
  CloseFile();
  if (!temporary_.empty()) {
    (void)::unlink(temporary_.c_str());
    temporary_.clear();
  }
  failure_ = JoinMessage(path_, u"保存 未成~ ", cause);
  return false;
}

}  // namespace

void Utf8Plausibility::Add(BytesView bytes) {
  std::size_t ascii = ascii_;
  std::size_t badness = badness_;
  int pending = pending_;
  int length = length_;
  std::uint8_t lower = lower_;
  const std::uint8_t* p = bytes.data();
  const std::uint8_t* const end = p + bytes.size();
  while (p != end) {
    // Outside a sequence, eight ASCII bytes at once only count as ASCII.
    if (pending == 0 && end - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      if ((word & 0x8080808080808080u) == 0) {
        ascii += 8;
        length = 1;
        p += 8;
        continue;
      }
    }
    const std::uint8_t b = *p++;
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
  size_ += bytes.size();
  ascii_ = ascii;
  badness_ = badness;
  pending_ = pending;
  length_ = length;
  lower_ = lower;
}

bool Utf8Plausibility::Result() const {
  std::size_t badness = badness_;
  if (pending_ > 0) badness += static_cast<size_t>(length_ - pending_);
  const size_t non_ascii = size_ - ascii_;
  return non_ascii >= 6 && badness <= non_ascii / 16;
}

void FileFormatSniffer::Add(BytesView bytes) {
  for (size_t i = 0; size_ + i < sizeof head_ && i < bytes.size(); ++i) head_[size_ + i] = bytes[i];
  // Once CR LF is seen as UTF-16LE units nothing later can change the answer.
  if (!le_line_break_) {
    if (first_nul_ == kNone && !bytes.empty()) {
      if (const void* nul = std::memchr(bytes.data(), 0, bytes.size())) {
        first_nul_ = size_ + static_cast<size_t>(static_cast<const std::uint8_t*>(nul) - bytes.data());
      }
    }
    // Units are pairs at even offsets from the start of the whole input.
    size_t at = 0;
    if (size_ % 2 == 1 && !bytes.empty()) {
      Unit(static_cast<std::uint16_t>(odd_byte_ | (bytes[0] << 8)));
      at = 1;
    }
    const size_t pairs_end = at + (bytes.size() - at) / 2 * 2;
    if (first_nul_ < size_ + pairs_end) {
      for (; at < pairs_end; at += 2) Unit(static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8)));
    } else if (at < pairs_end) {
      // Both line breaks hold a NUL byte; without one only the last unit matters.
      previous_unit_ = static_cast<std::uint16_t>(bytes[pairs_end - 2] | (bytes[pairs_end - 1] << 8));
      at = pairs_end;
    }
    if (at < bytes.size()) odd_byte_ = bytes[at];
    utf8_.Add(bytes);
  }
  size_ += bytes.size();
}

void FileFormatSniffer::Unit(std::uint16_t unit) {
  // CR LF read as little-endian units: 0D 00 0A 00, or 00 0D 00 0A for big-endian.
  le_line_break_ |= previous_unit_ == 0x000D && unit == 0x000A;
  be_line_break_ |= previous_unit_ == 0x0D00 && unit == 0x0A00;
  previous_unit_ = unit;
}

std::int16_t FileFormatSniffer::Result() const {
  const size_t n = size_;
  if (n < 2) return 0;
  if (n >= 3 && head_[0] == 0xEF && head_[1] == 0xBB && head_[2] == 0xBF) return kFormatUtf8Bom;
  if (head_[0] == 0xFF && head_[1] == 0xFE) return kFormatUtf16LeBom;
  if (head_[0] == 0xFE && head_[1] == 0xFF) return kFormatUtf16BeBom;
  if (le_line_break_) return kFormatUtf16Le;
  if (be_line_break_) return kFormatUtf16Be;
  if (first_nul_ < n - 1) return kFormatUtf16Le;  // a NUL anywhere but the last byte
  if (utf8_.Result()) return kFormatUtf8;
  return 0;
}

std::int16_t DetectFileFormat(BytesView bytes) {
  FileFormatSniffer sniffer;
  sniffer.Add(bytes);
  return sniffer.Result();
}

bool IsValidUtf8(BytesView bytes) {
  Utf8Plausibility check;
  check.Add(bytes);
  return check.Result();
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
