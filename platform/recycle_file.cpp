#include "platform/recycle_file.h"

#include <QFile>
#include <QFileInfo>

#include "codec/file_attributes.h"

namespace mok {

bool RecycleFile(TextView path, std::int32_t /*owner_window*/) {
  std::string native;
  if (!NativePath(path, native)) return false;
  const QString name = QFile::decodeName(QByteArray::fromStdString(native));
  const QFileInfo info(name);
  // Only files: the shell deletes a single named file here, never a folder tree.
  if (!info.exists() && !info.isSymLink()) return false;
  if (info.isDir() && !info.isSymLink()) return false;
  if (QFile::moveToTrash(name)) return true;
  return QFile::remove(name);
}

}  // namespace mok
