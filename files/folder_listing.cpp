#include "files/folder_listing.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "codec/file_attributes.h"

namespace mok {
namespace {

constexpr char16_t kSlash = u'/';

char16_t FoldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

// Name order of the list: letter case does not count for ASCII letters; names
// that differ only in case keep a fixed order among themselves.
bool NameBefore(const Text& a, const Text& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t x = FoldAscii(a[i]), y = FoldAscii(b[i]);
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

bool EndsWithTxt(std::string_view name) {
  if (name.size() < 4) return false;
  const std::string_view tail = name.substr(name.size() - 4);
  return tail[0] == '.' && (tail[1] | 0x20) == 't' && (tail[2] | 0x20) == 'x' && (tail[3] | 0x20) == 't';
}

bool IsFolder(const std::string& native) {
  struct stat st;
  return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

Text WithSlash(TextView folder) {
  Text text(folder);
  if (text.empty() || text.back() != kSlash) text += kSlash;
  return text;
}

// parent + "MOK_TXT/" when that folder exists or could be made; empty otherwise.
Text MokTxtIn(TextView parent) {
  if (parent.empty()) return {};
  const Text target = WithSlash(parent) + u"MOK_TXT/";
  std::string native;
  if (!NativePath(target, native)) return {};
  native.pop_back();
  if (IsFolder(native)) return target;
  if (::mkdir(native.c_str(), 0777) == 0) return target;
  return {};
}

}  // namespace

int ListFolder(TextView folder, bool text_only, std::vector<Text>& names) {
  names.clear();
  std::string native;
  if (folder.empty()) return ENOENT;
  if (!NativePath(folder, native)) return EINVAL;
  DIR* dir = ::opendir(native.c_str());
  if (dir == nullptr) return errno;
  const int dir_fd = ::dirfd(dir);
  int error = 0;
  try {
    for (;;) {
      errno = 0;
      const dirent* entry = ::readdir(dir);
      if (entry == nullptr) {
        error = errno;
        break;
      }
      const std::string_view name(entry->d_name);
      if (name.empty() || name[0] == '.') continue;  // hidden, and "." and ".."
      if (text_only && !EndsWithTxt(name)) continue;
      bool regular = entry->d_type == DT_REG;
      if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
        struct stat st;  // a link counts as what it points to
        regular = ::fstatat(dir_fd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
      }
      if (regular) names.push_back(TextOfNativePath(name));
    }
  } catch (...) {
    error = ENOMEM;
  }
  ::closedir(dir);
  if (error != 0) {
    names.clear();
    return error;
  }
  std::sort(names.begin(), names.end(), NameBefore);
  return 0;
}

Text ResolveFolder(TextView path, TextView base) {
  if (path.empty()) return {};
  Text joined;
  if (path.front() != kSlash) joined = WithSlash(base);
  joined += path;
  std::vector<TextView> parts;
  const TextView all(joined);
  std::size_t at = 0;
  while (at <= all.size()) {
    std::size_t end = all.find(kSlash, at);
    if (end == TextView::npos) end = all.size();
    const TextView part = all.substr(at, end - at);
    if (part == u"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != u".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  Text folder(1, kSlash);
  for (TextView part : parts) folder.append(part).append(1, kSlash);
  return folder;
}

Text RealFilePath(TextView path, TextView base) {
  if (path.empty()) return {};
  const Text joined = path.front() == kSlash ? Text(path) : WithSlash(base) + Text(path);
  const std::size_t slash = joined.rfind(kSlash);
  const TextView name = TextView(joined).substr(slash + 1);
  const bool folder_named = name.empty() || name == u"." || name == u"..";
  std::string native;
  if (!NativePath(folder_named ? TextView(joined) : TextView(joined).substr(0, slash + 1), native)) return joined;
  char* real = ::realpath(native.c_str(), nullptr);
  if (real == nullptr) return joined;
  Text resolved = TextOfNativePath(real);
  std::free(real);
  if (folder_named) return resolved;
  return WithSlash(resolved).append(name);
}

FolderListing::FolderListing(TextView start_folder) : folder_(WithSlash(start_folder)), previous_(folder_) {}

int FolderListing::SetFolder(TextView folder) {
  const Text resolved = ResolveFolder(folder, folder_);
  std::vector<Text> names;
  if (const int error = ListFolder(resolved, text_only_, names); error != 0) return error;
  if (resolved != folder_) {
    previous_ = std::move(folder_);
    folder_ = resolved;
  }
  names_ = std::move(names);
  return 0;
}

int FolderListing::Refresh() { return ListFolder(folder_, text_only_, names_); }

void FolderListing::SetTextOnly(bool on) {
  text_only_ = on;
  (void)Refresh();  // a folder that has gone shows an empty list
}

Text FolderListing::ReportedFolder() const {
  if (folder_.size() > 1 && folder_.back() == kSlash) return folder_.substr(0, folder_.size() - 1);
  return folder_;
}

int FolderListing::IndexOf(TextView name) const {
  const auto found = std::find(names_.begin(), names_.end(), name);
  return found == names_.end() ? -1 : static_cast<int>(found - names_.begin());
}

Text DefaultFolderTarget(TextView program_folder, TextView home_folder, TextView start_folder) {
  if (Text beside = MokTxtIn(program_folder); !beside.empty()) return beside;
  if (Text home = MokTxtIn(home_folder); !home.empty()) return home;
  return WithSlash(start_folder);
}

Text FolderErrorText(int error_number, TextView folder) {
  // Worded as for a name inside the folder, whose missing folder is the cause.
  return FileErrorText(error_number, WithSlash(folder) + u'.');
}

Text StartFolder() {
  char* current = ::getcwd(nullptr, 0);
  if (current == nullptr) return Text(1, kSlash);
  const Text folder = WithSlash(TextOfNativePath(current));
  std::free(current);
  return folder;
}

}  // namespace mok
