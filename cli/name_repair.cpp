#include "cli/name_repair.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "codec/file_attributes.h"
#include "repair/explain.h"
#include "repair/suggest.h"

namespace mok::cli {
namespace {

bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }
bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Whether the text holds a surrogate that is not half of a pair: a byte a
// decoding could not read, or a character no name can hold.
bool HasLoneSurrogate(TextView text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
      ++i;
    } else if (IsSurrogate(text[i])) {
      return true;
    }
  }
  return false;
}

bool IsControl(char32_t c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0); }

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHexEscape(std::string& out, unsigned char byte) {
  out += "\\x";
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 15];
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string NameOf(TextView text) {
  std::string native;
  (void)NativePath(text, native);
  return native;
}

}  // namespace

NameRepair RepairName(std::string_view name) {
  NameRepair result;
  const Text text = TextOfNativePath(name);
  const bool valid_utf8 = !HasLoneSurrogate(text);
  std::vector<RepairSuggestion> rows = SuggestRepairs(text, 1);
  if (rows.empty() || !rows.front().ChangesText()) {
    result.verdict = valid_utf8 ? NameVerdict::Clean : NameVerdict::NoRepair;
    return result;
  }
  RepairSuggestion& best = rows.front();
  result.explanation = best.explanation;
  result.lost = best.lost;
  const TextView repaired = best.text;
  if (best.confidence != Confidence::Clear) {
    // A valid UTF-8 name the library is unsure of is as likely an unusual
    // clean name ("培训", "Ærø") as a garbled one: passed over in silence.
    // One that is not UTF-8 is garbled for certain, and the user is told.
    if (valid_utf8) return NameRepair{};
    result.verdict = NameVerdict::Unsure;
    result.confidence = Text(ConfidenceName(best.confidence));
    result.repaired = NameOf(repaired);
    return result;
  }
  if (HasLoneSurrogate(repaired)) {
    result.verdict = NameVerdict::StillInvalid;
  } else if (repaired.empty() || repaired == u"." || repaired == u".." || repaired.find(u'/') != TextView::npos ||
             repaired.find(u'\0') != TextView::npos) {
    result.verdict = NameVerdict::BadName;
  } else if (best.lost > 0) {
    // A name with U+FFFD for what was lost is still garbled, and the
    // characters it stands for are gone from the name for good.
    result.verdict = NameVerdict::Lossy;
  } else {
    result.repaired = NameOf(repaired);
    result.verdict = result.repaired == name ? NameVerdict::Clean : NameVerdict::Repaired;
  }
  if (result.verdict != NameVerdict::Repaired) result.repaired = NameOf(repaired);
  return result;
}

std::string EscapedName(std::string_view bytes) {
  const Text text = TextOfNativePath(bytes);
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
      out += NameOf(text.substr(i, 2));
      ++i;
    } else if (c >= 0xDC80 && c <= 0xDCFF) {
      AppendHexEscape(out, static_cast<unsigned char>(c - 0xDC00));  // a byte that is not UTF-8
    } else if (c == u'\\') {
      out += "\\\\";
    } else if (IsControl(c)) {
      for (const char byte : NameOf(text.substr(i, 1))) AppendHexEscape(out, static_cast<unsigned char>(byte));
    } else {
      out += NameOf(text.substr(i, 1));
    }
  }
  return out;
}

std::optional<std::string> UnescapedName(std::string_view line) {
  std::string out;
  out.reserve(line.size());
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '\\') {
      out += line[i];
    } else if (i + 1 < line.size() && line[i + 1] == '\\') {
      out += '\\';
      ++i;
    } else if (i + 3 < line.size() && line[i + 1] == 'x' && HexValue(line[i + 2]) >= 0 &&
               HexValue(line[i + 3]) >= 0) {
      out += static_cast<char>(HexValue(line[i + 2]) * 16 + HexValue(line[i + 3]));
      i += 3;
    } else {
      return std::nullopt;
    }
  }
  return out;
}

int RenameWithoutReplacing(int folder_fd, const std::string& from, const std::string& to) {
  if (::renameat2(folder_fd, from.c_str(), folder_fd, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  const int refused = errno;
  // EINVAL and ENOSYS: the file system (or an old kernel) does not take the
  // flag. Anything else is the rename's own failure.
  if (refused != EINVAL && refused != ENOSYS) return refused;
  if (::linkat(folder_fd, from.c_str(), folder_fd, to.c_str(), 0) != 0) {
    // A folder cannot be hard-linked, nor can anything on file systems
    // without links: no rename is safe from a race there.
    return errno == EPERM || errno == EOPNOTSUPP ? kNoSafeRename : errno;
  }
  if (::unlinkat(folder_fd, from.c_str(), 0) != 0) {
    const int error = errno;
    (void)::unlinkat(folder_fd, to.c_str(), 0);  // the file keeps its old name only
    return error;
  }
  return 0;
}

}  // namespace mok::cli
