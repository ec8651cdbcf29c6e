#include "platform/recycle_file.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include "codec/file_attributes.h"

namespace mok {
namespace {

Text ToText(const QString& s) { return Text(reinterpret_cast<const char16_t*>(s.utf16()), s.size()); }

void MakeFile(const QString& path) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("x");
}

TEST(RecycleFile, MovesAFileIntoTheTrashWithWhereItCameFrom) {
  const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash";
  QDir(trash).removeRecursively();  // the tests' own data folder
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString file = dir.filePath(QStringLiteral("乱码.txt"));
  MakeFile(file);
  EXPECT_TRUE(RecycleFile(ToText(file)));
  EXPECT_FALSE(QFile::exists(file));
  EXPECT_TRUE(QFile::exists(trash + QStringLiteral("/files/乱码.txt")));
  QFile info(trash + QStringLiteral("/info/乱码.txt.trashinfo"));
  ASSERT_TRUE(info.open(QIODevice::ReadOnly));
  const QByteArray text = info.readAll();
  EXPECT_TRUE(text.startsWith("[Trash Info]\nPath=")) << text.toStdString();
  EXPECT_TRUE(text.contains(QUrl::toPercentEncoding(QStringLiteral("乱码.txt")))) << text.toStdString();
  EXPECT_TRUE(text.contains("\nDeletionDate=")) << text.toStdString();

  // A second file of the same name takes another name in the trash.
  MakeFile(file);
  EXPECT_TRUE(RecycleFile(ToText(file)));
  EXPECT_TRUE(QFile::exists(trash + QStringLiteral("/files/乱码.txt.2")));
  EXPECT_TRUE(QFile::exists(trash + QStringLiteral("/info/乱码.txt.2.trashinfo")));
  // A name taken in files/ without its info is skipped, never overwritten.
  MakeFile(trash + QStringLiteral("/files/乱码.txt.3"));
  MakeFile(file);
  EXPECT_TRUE(RecycleFile(ToText(file)));
  EXPECT_TRUE(QFile::exists(trash + QStringLiteral("/files/乱码.txt.4")));
  EXPECT_FALSE(QFile::exists(trash + QStringLiteral("/info/乱码.txt.3.trashinfo")));
  // Nothing lands in the current folder.
  EXPECT_FALSE(QFile::exists(QDir::current().filePath(QStringLiteral("info"))));
  QDir(trash).removeRecursively();
}

TEST(RecycleFile, KeepsTheBytesOfANameThatIsNotUtf8) {
  const std::string trash =
      QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash").toStdString();
  // Not QDir::removeRecursively: Qt cannot name, so cannot delete, such files.
  std::filesystem::remove_all(trash);
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // 测试.txt in GBK, as unpacked from a Windows archive.
  const std::string name = "\xB2\xE2\xCA\xD4.txt";
  const std::string native = QFile::encodeName(dir.path()).toStdString() + "/" + name;
  { std::ofstream(native) << "x"; }
  ASSERT_TRUE(RecycleFile(TextOfNativePath(native)));
  struct stat st;
  EXPECT_NE(::lstat(native.c_str(), &st), 0);
  EXPECT_EQ(::lstat((trash + "/files/" + name).c_str(), &st), 0);
  std::ifstream info(trash + "/info/" + name + ".trashinfo");
  std::string header, path_line;
  std::getline(info, header);
  std::getline(info, path_line);
  // Percent escapes of the very bytes, which restoring decodes.
  EXPECT_EQ(path_line, "Path=" + QByteArray::fromStdString(native).toPercentEncoding("/").toStdString());
  std::filesystem::remove_all(trash);
}

TEST(RecycleFile, RefusesWhatIsNotAFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  int error = 0;
  EXPECT_FALSE(RecycleFile(ToText(dir.filePath(QStringLiteral("missing.txt"))), 0, &error));
  EXPECT_EQ(error, ENOENT);
  EXPECT_FALSE(RecycleFile(ToText(dir.path()), 0, &error));  // a folder is not deleted
  EXPECT_EQ(error, EISDIR);
  EXPECT_TRUE(QDir(dir.path()).exists());
  EXPECT_FALSE(RecycleFile(Text(u"a\0b", 3)));  // a name with a NUL names no file
  EXPECT_FALSE(RecycleFile(Text()));
}

}  // namespace
}  // namespace mok
