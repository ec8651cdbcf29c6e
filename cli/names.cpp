#include "cli/names.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "cli/file_runs.h"
#include "cli/name_repair.h"
#include "cli/words.h"
#include "codec/file_attributes.h"

namespace mok::cli {
namespace {

// The log: a comment header, then one line per rename, made before the
// rename is tried; a rename that then failed gets a second line saying so.
//   rename<TAB>folder<TAB>old name<TAB>new name
//   failed<TAB>folder<TAB>old name<TAB>new name
// The folder is absolute; all three are escaped (EscapedName), so that a
// line holds any bytes and the log stays one record per line.
constexpr std::string_view kRenamed = "rename";
constexpr std::string_view kFailed = "failed";

void Write(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

void Print(const std::string& text) { Write(STDOUT_FILENO, text); }

// One line on standard error, in one call.
void Report(const std::string& line) { Write(STDERR_FILENO, "mok: " + line + "\n"); }

std::string Cause(int error_number, const std::string& native_path) {
  return ToUtf8(FileErrorText(error_number, TextOfNativePath(native_path)));
}

// A path for messages: the folder as shown, then the name.
std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool IsUsableName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

constexpr std::string_view kClash = "已有同名的文件或文件夹";

std::string RenameCause(int error_number, const std::string& native_path) {
  if (error_number == EEXIST || error_number == ENOTEMPTY) return std::string(kClash);
  if (error_number == kNoSafeRename) return "文件系统不能保证改名不覆盖别的文件";
  return Cause(error_number, native_path);
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  [[nodiscard]] int get() const { return fd_; }

 private:
  int fd_;
};

struct Entry {
  std::string name;
  bool folder = false;  // a folder itself, not a link to one
};

// The entries of a folder, sorted by their bytes so that runs are repeatable;
// 0 or the errno value.
int ReadEntries(int folder_fd, std::vector<Entry>& entries) {
  const int copy = ::dup(folder_fd);
  if (copy < 0) return errno;
  DIR* folder = ::fdopendir(copy);
  if (folder == nullptr) {
    const int error = errno;
    ::close(copy);
    return error;
  }
  ::rewinddir(folder);
  int error = 0;
  while (true) {
    errno = 0;
    const dirent* entry = ::readdir(folder);
    if (entry == nullptr) {
      error = errno;
      break;
    }
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    bool is_folder = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN) {
      struct stat st;
      is_folder = ::fstatat(folder_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
    }
    entries.push_back({std::string(name), is_folder});
  }
  ::closedir(folder);
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return error;
}

class NameRun {
 public:
  explicit NameRun(const NamesPlan& plan) : plan_(plan) {}

  int Run() {
    const std::vector<std::string> paths = plan_.paths.empty() ? std::vector<std::string>{"."} : plan_.paths;
    for (const std::string& path : paths) {
      if (stopped_) break;
      Argument(path, plan_.paths.empty() ? std::string() : EscapedName(path));
    }
    if (changed_ && !plan_.apply) Report("以上是试运行，没有改名；加 --apply 才改名");
    if (log_fd_ >= 0) {
      ::close(log_fd_);
      Report("改名记录在 " + EscapedName(log_path_) + "；mok names --undo " + EscapedName(log_path_) + " 可以改回");
    }
    return failed_ ? kExitFailed : changed_ ? kExitOk : kExitUnchanged;
  }

 private:
  // A folder stands for its entries, anything else for its own name.
  void Argument(const std::string& path, const std::string& shown) {
    const std::string named = shown.empty() ? "." : shown;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
      const int error = errno;
      Fail(named + ": 打开 未成~ " + Cause(error, path));
      return;
    }
    struct stat target;
    if (S_ISDIR(st.st_mode) || (S_ISLNK(st.st_mode) && ::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode))) {
      const FileDescriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
      if (folder.get() < 0) {
        const int error = errno;
        Fail(named + ": 打开文件夹 未成~ " + Cause(error, path));
        return;
      }
      Folder(folder.get(), shown, Absolute(path));
      return;
    }
    std::string parent = ".", name = path;
    if (const std::size_t slash = path.rfind('/'); slash != std::string::npos) {
      parent = slash == 0 ? "/" : path.substr(0, slash);
      name = path.substr(slash + 1);
    }
    const FileDescriptor folder(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) {
      const int error = errno;
      Fail(named + ": 打开文件夹 未成~ " + Cause(error, parent));
      return;
    }
    const std::string shown_parent = path.find('/') == std::string::npos ? std::string() : EscapedName(parent);
    Name(folder.get(), shown_parent, Absolute(parent), name);
  }

  // The entries of a folder; with -r the folders among them first, each with
  // its contents before its own name, so that every path stays valid.
  void Folder(int folder_fd, const std::string& shown, const std::string& absolute) {
    std::vector<Entry> entries;
    if (const int error = ReadEntries(folder_fd, entries); error != 0) {
      Fail((shown.empty() ? "." : shown) + ": 读文件夹 未成~ " + Cause(error, absolute));
      return;
    }
    if (plan_.recursive) {
      for (const Entry& entry : entries) {
        if (stopped_) return;
        if (!entry.folder) continue;
        const std::string shown_child = Join(shown, EscapedName(entry.name));
        const FileDescriptor child(
            ::openat(folder_fd, entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (child.get() < 0) {
          const int error = errno;
          Fail(shown_child + ": 打开文件夹 未成~ " + Cause(error, Join(absolute, entry.name)));
          continue;
        }
        Folder(child.get(), shown_child, Join(absolute, entry.name));
      }
    }
    for (const Entry& entry : entries) {
      if (stopped_) return;
      Name(folder_fd, shown, absolute, entry.name);
    }
  }

  void Name(int folder_fd, const std::string& shown_folder, const std::string& absolute, const std::string& name) {
    if (!IsUsableName(name)) return;
    const NameRepair repair = RepairName(name);
    const std::string shown = Join(shown_folder, EscapedName(name));
    const std::string guess = "“" + EscapedName(repair.repaired) + "”";
    switch (repair.verdict) {
      case NameVerdict::Clean: return;
      case NameVerdict::Unsure:
        Report(shown + ": 未改名~ 解读不够明确（" + ToUtf8(repair.confidence) + "），可能是 " + guess);
        return;
      case NameVerdict::Lossy:
        Report(shown + ": 未改名~ 解读后有 " + std::to_string(repair.lost) + " 处无法恢复：" + guess);
        return;
      case NameVerdict::StillInvalid:
        Report(shown + ": 未改名~ 解读后仍有不能解码的字节：" + guess);
        return;
      case NameVerdict::BadName:
        Report(shown + ": 未改名~ 解读后不能作文件名：" + guess);
        return;
      case NameVerdict::NoRepair:
        Report(shown + ": 未改名~ 名字不是合乎规范的 UTF-8，也找不到明确的解读");
        return;
      case NameVerdict::Repaired: break;
    }
    const std::string& repaired = repair.repaired;
    const std::string done = shown + " → " + EscapedName(repaired) + "\n   " + ToUtf8(repair.explanation) + "\n";
    const std::string failure = shown + ": 改名为 " + EscapedName(repaired) + " 未成~ ";
    std::set<std::string>& claimed = claimed_[absolute];
    struct stat st;
    if (claimed.contains(repaired) || ::fstatat(folder_fd, repaired.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
      Fail(failure + std::string(kClash));
      return;
    }
    if (!plan_.apply) {
      claimed.insert(repaired);
      changed_ = true;
      Print(done);
      return;
    }
    if (!LogLine(kRenamed, absolute, name, repaired)) return;
    if (const int error = RenameWithoutReplacing(folder_fd, name, repaired); error != 0) {
      (void)LogLine(kFailed, absolute, name, repaired);
      Fail(failure + RenameCause(error, Join(absolute, repaired)));
      return;
    }
    changed_ = true;
    Print(done);
  }

  // Writes a line to the log, opened at the first rename, and flushes it to
  // disk. False, and the run stopped, when it cannot: no name changes
  // without its line in the log.
  bool LogLine(std::string_view what, const std::string& folder, const std::string& from, const std::string& to) {
    if (log_fd_ < 0 && !OpenLog()) return false;
    const std::string line = std::string(what) + "\t" + EscapedName(folder) + "\t" + EscapedName(from) + "\t" +
                             EscapedName(to) + "\n";
    errno = 0;
    if (::write(log_fd_, line.data(), line.size()) != static_cast<ssize_t>(line.size()) || ::fdatasync(log_fd_) != 0) {
      Stop(EscapedName(log_path_) + ": 写改名记录 未成~ " + Cause(errno != 0 ? errno : ENOSPC, log_path_));
      return false;
    }
    return true;
  }

  bool OpenLog() {
    const bool named = !plan_.log.empty();
    const std::string base = named ? plan_.log : DefaultLogName(std::time(nullptr));
    for (int attempt = 1; attempt <= 100; ++attempt) {
      // Two runs within a second: the second log gets a number.
      log_path_ = attempt == 1 ? base : base.substr(0, base.size() - 4) + "-" + std::to_string(attempt) + ".log";
      log_fd_ = ::open(log_path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644);
      if (log_fd_ >= 0 || errno != EEXIST || named) break;
    }
    if (log_fd_ < 0) {
      Stop(EscapedName(log_path_) + ": 创建改名记录 未成~ " + Cause(errno, log_path_));
      return false;
    }
    Write(log_fd_, "# mok names 的改名记录；mok names --undo 这个文件 可以改回\n"
                   "# 每行：rename 或 failed（没有改成），文件夹，原名，新名，以 Tab 分开；\n"
                   "# 不是 UTF-8 的字节写作 \\xHH，\\ 写作 \\\\\n");
    return true;
  }

  std::string Absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    if (cwd_.empty()) {
      std::string buffer(4096, '\0');
      while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return Join(".", path);  // the log then says where the run was
        buffer.resize(buffer.size() * 2);
      }
      cwd_ = buffer.c_str();
    }
    return path == "." ? cwd_ : Join(cwd_, path);
  }

  void Fail(const std::string& line) {
    Report(line);
    failed_ = true;
  }

  void Stop(const std::string& line) {
    Fail(line);
    stopped_ = true;
  }

  const NamesPlan& plan_;
  std::map<std::string, std::set<std::string>> claimed_;  // a dry run's new names, by folder
  std::string cwd_;
  std::string log_path_;
  int log_fd_ = -1;
  bool changed_ = false, failed_ = false, stopped_ = false;
};

struct LoggedRename {
  std::string folder, from, to;
  bool operator==(const LoggedRename&) const = default;
};

// The renames a log records that were made, oldest first; false with the
// number of a line that is no record.
bool ReadLog(const std::string& text, std::vector<LoggedRename>& renames, std::size_t& bad_line) {
  std::istringstream in(text);
  std::size_t number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    for (std::size_t from = 0;;) {
      const std::size_t tab = line.find('\t', from);
      fields.push_back(line.substr(from, tab - from));
      if (tab == std::string::npos) break;
      from = tab + 1;
    }
    bad_line = number;
    if (fields.size() != 4 || (fields[0] != kRenamed && fields[0] != kFailed)) return false;
    const std::optional<std::string> folder = UnescapedName(fields[1]);
    const std::optional<std::string> from = UnescapedName(fields[2]);
    const std::optional<std::string> to = UnescapedName(fields[3]);
    if (!folder || !from || !to || folder->empty() || (*folder)[0] != '/' ||
        folder->find('\0') != std::string::npos || !IsUsableName(*from) || !IsUsableName(*to)) {
      return false;
    }
    LoggedRename rename{*folder, *from, *to};
    if (fields[0] == kRenamed) {
      renames.push_back(std::move(rename));
    } else if (const auto made = std::find(renames.rbegin(), renames.rend(), rename); made != renames.rend()) {
      renames.erase(std::next(made).base());
    }
  }
  return true;
}

}  // namespace

int RunNames(const NamesPlan& plan) {
  NameRun run(plan);
  return run.Run();
}

int UndoNames(const std::string& log) {
  const std::string shown_log = EscapedName(log);
  std::ifstream in(log, std::ios::binary);
  if (!in) {
    const int error = errno;
    Report(shown_log + ": 读改名记录 未成~ " + Cause(error != 0 ? error : ENOENT, log));
    return kExitFailed;
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // A line is written whole before its rename: one cut short by a crash
  // was never acted on.
  text.erase(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
  std::vector<LoggedRename> renames;
  std::size_t bad_line = 0;
  if (!ReadLog(text, renames, bad_line)) {
    Report(shown_log + ": 第 " + std::to_string(bad_line) + " 行不是改名记录；没有改回任何名字");
    return kExitFailed;
  }
  if (renames.empty()) {
    Report(shown_log + ": 记录里没有改过的名字");
    return kExitUnchanged;
  }
  bool changed = false, failed = false;
  for (auto rename = renames.rbegin(); rename != renames.rend(); ++rename) {
    const std::string shown_folder = EscapedName(rename->folder);
    const std::string shown = Join(shown_folder, EscapedName(rename->to));
    const FileDescriptor folder(::open(rename->folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    int error = folder.get() < 0 ? errno : 0;
    if (error == 0) error = RenameWithoutReplacing(folder.get(), rename->to, rename->from);
    if (error != 0) {
      Report(shown + ": 改回 " + EscapedName(rename->from) + " 未成~ " +
             RenameCause(error, Join(rename->folder, rename->to)));
      failed = true;
      continue;
    }
    changed = true;
    Print(shown + " → " + EscapedName(rename->from) + "\n");
  }
  return failed ? kExitFailed : changed ? kExitOk : kExitUnchanged;
}

std::string DefaultLogName(std::time_t now) {
  std::tm local{};
  ::localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  return std::string("mok-names-") + stamp + ".log";
}

}  // namespace mok::cli
