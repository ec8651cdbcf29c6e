#include "platform/recycle_file.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "codec/file_attributes.h"

namespace mok {
namespace {

// The user's trash of the desktop's trash convention: Trash/files holds the
// files, Trash/info one ".trashinfo" each telling where the file came from.
// Qt's own moveToTrash is not used: when the data folder does not exist yet it
// falls back to relative paths and puts "files" and "info" in the current folder.
QByteArray HomeTrash() {
  const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (data.isEmpty()) return {};
  const QString trash = data + QStringLiteral("/Trash");
  if (!QDir().mkpath(trash + QStringLiteral("/files")) || !QDir().mkpath(trash + QStringLiteral("/info"))) return {};
  QByteArray native = QFile::encodeName(QDir(trash).absolutePath());
  ::chmod(native.constData(), 0700);
  return native;
}

bool WriteAll(int fd, const QByteArray& bytes) {
  const char* p = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    left -= n;
  }
  return true;
}

// Moves the file into the trash under a name not yet taken there; false when
// that cannot be done (no trash, another file system, ...).
bool MoveToHomeTrash(const QByteArray& source) {
  const QByteArray trash = HomeTrash();
  if (trash.isEmpty()) return false;
  // The name's own bytes, percent-encoded as the trash convention says: a name
  // that is not UTF-8 must not pass through QString, which would put U+FFFD in
  // it and make the file come back under another name when it is restored.
  QByteArray absolute = source;
  if (!absolute.startsWith('/')) {
    char* current = ::getcwd(nullptr, 0);
    if (current == nullptr) return false;
    absolute = QByteArray(current) + '/' + source;
    std::free(current);
  }
  const QByteArray base = source.mid(source.lastIndexOf('/') + 1);
  const QByteArray info = "[Trash Info]\nPath=" + absolute.toPercentEncoding("/") + "\nDeletionDate=" +
                          QDateTime::currentDateTime().toString(Qt::ISODate).toLatin1() + "\n";
  for (int attempt = 1; attempt < 10000; ++attempt) {
    const QByteArray name = attempt == 1 ? base : base + "." + QByteArray::number(attempt);
    const QByteArray info_path = trash + "/info/" + name + ".trashinfo";
    // The info file is created exclusively: it reserves the name in the trash.
    const int fd = ::open(info_path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    const bool written = WriteAll(fd, info);
    ::close(fd);
    const QByteArray target = trash + "/files/" + name;
    struct stat taken;
    if (!written) {
      ::unlink(info_path.constData());
      return false;
    }
    if (::lstat(target.constData(), &taken) == 0) {  // a file without its info: leave it, try the next name
      ::unlink(info_path.constData());
      continue;
    }
    if (::rename(source.constData(), target.constData()) == 0) return true;
    ::unlink(info_path.constData());
    return false;
  }
  return false;
}

}  // namespace

bool RecycleFile(TextView path, std::int32_t /*owner_window*/, int* error) {
  auto fail = [error](int error_number) {
    if (error != nullptr) *error = error_number;
    return false;
  };
  std::string native_path;
  if (!NativePath(path, native_path) || native_path.empty()) return fail(EINVAL);
  const QByteArray source = QByteArray::fromStdString(native_path);
  struct stat status;
  if (::lstat(source.constData(), &status) != 0) return fail(errno);
  // Only a file (or a link) is deleted here, never a folder tree.
  if (S_ISDIR(status.st_mode)) return fail(EISDIR);
  if (MoveToHomeTrash(source)) return true;
  // No trash for this file (another file system, no data folder): plain delete.
  if (::unlink(source.constData()) != 0) return fail(errno);
  return true;
}

}  // namespace mok
