// Every cause mok can name after "未成~ " reads in Chinese, the system's
// failures included.

#include <gtest/gtest.h>

#include <cerrno>

#include "cli/words.h"
#include "codec/file_attributes.h"

namespace mok::cli {
namespace {

TEST(SystemCauses, EveryErrorNumberReadsInChinese) {
  for (int error_number = 1; error_number < 134; ++error_number) {
    const std::string cause = ToUtf8(FileErrorText(error_number, u"/tmp/x"));
    SCOPED_TRACE(error_number);
    ASSERT_FALSE(cause.empty());
    for (const char c : cause) EXPECT_FALSE((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) << cause;
  }
  EXPECT_EQ(ToUtf8(FileErrorText(EPIPE, u"x")), "管道的另一端已关闭");
  EXPECT_EQ(ToUtf8(FileErrorText(4095, u"x")), "系统错误（错误号 4095）");
}

}  // namespace
}  // namespace mok::cli
