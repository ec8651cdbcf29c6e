#include "platform/recycle_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace mok {
namespace {

Text ToText(const QString& s) { return Text(reinterpret_cast<const char16_t*>(s.utf16()), s.size()); }

TEST(RecycleFile, RemovesAFileAndRefusesWhatIsNotOne) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString file = dir.filePath(QStringLiteral("乱码.txt"));
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
  }
  EXPECT_TRUE(RecycleFile(ToText(file)));
  EXPECT_FALSE(QFile::exists(file));

  EXPECT_FALSE(RecycleFile(ToText(file)));  // nothing there any more
  EXPECT_FALSE(RecycleFile(ToText(dir.path())));  // a folder is not deleted
  EXPECT_TRUE(QDir(dir.path()).exists());
  EXPECT_FALSE(RecycleFile(Text(u"a\0b", 3)));  // a name with a NUL names no file
}

}  // namespace
}  // namespace mok
