// convert streams: 100 MB through mok take no more memory than a few.

#include <signal.h>

#include <fstream>

#include "tests/cli/mok_runner.h"

namespace mok::testing {
namespace {

// The peak resident memory of a running process in KB (VmHWM counts from its
// exec, so the test's own memory is not in it).
long PeakKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

bool WriteAll(int fd, const std::string& bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// A hundred megabytes through mok with the arguments, fed through a pipe:
// the peak may not grow with the input.
void ExpectConstantMemory(const std::vector<std::string>& args, const std::string& line = "",
                          long total_mb = 100) {
  SCOPED_TRACE(::testing::PrintToString(args));
  ::signal(SIGPIPE, SIG_IGN);
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[0], 0);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[1]);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const pid_t pid = SpawnMok(args, actions);
  posix_spawn_file_actions_destroy(&actions);
  ASSERT_GT(pid, 0);
  ::close(pipe_fds[0]);

  // GBK prose with line breaks (or the line given), made here and streamed:
  // nothing on disk.
  std::string block;
  for (int i = 0; block.size() < (1u << 20); ++i) {
    if (!line.empty()) {
      block += line;
      continue;
    }
    block += "\xD6\xD0\xCE\xC4\xC2\xD2\xC2\xEB line ";
    block += std::to_string(i);
    block += "\r\n";
  }
  const long kTotalMb = total_mb;
  long after_ten = -1;
  std::size_t sent = 0;
  while (sent < static_cast<std::size_t>(kTotalMb) << 20) {
    ASSERT_TRUE(WriteAll(pipe_fds[1], block));
    sent += block.size();
    if (after_ten < 0 && sent >= (10u << 20)) after_ten = PeakKb(pid);
  }
  const long after_all = PeakKb(pid);  // mok has read all but a pipe's worth
  ::close(pipe_fds[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_GT(after_ten, 0);
  // Ninety more megabytes may not grow the peak by more than a chunk's
  // buffers (sanitizer builds keep some freed memory for a while).
  EXPECT_LT(after_all - after_ten, 16 * 1024) << "peak after 10 MB " << after_ten << " KB, after 100 MB " << after_all;
  EXPECT_LT(after_all, 64 * 1024);
}


TEST(ConstantMemory, HundredMegabytesOfGbkConvertInAFewMegabytes) {
  ExpectConstantMemory({"convert", "-f", "gbk", "-t", "utf8"});
  // Without -f the format is decided on the first part: standard input still
  // streams.
  ExpectConstantMemory({"convert"});
}

TEST(ConstantMemory, TransferFormatsDecodeInAFewMegabytes) {
  // Quoted-printable whose runs go on across soft breaks, and Base64 whose
  // lines are one stream of bytes: neither may be held whole.
  ExpectConstantMemory({"decode", "QP-GBK"}, "=D6=D0=CE=C4=C2=D2=C2=EB=D6=D0=CE=C4=\n", 40);
  ExpectConstantMemory({"decode", "Base64-GBK"}, "1tDOxMLS1tDOxMLS\r\n", 40);
}

}  // namespace
}  // namespace mok::testing
