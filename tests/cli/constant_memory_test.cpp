// convert, the transfer-format decoders and suggest --apply stream: 100 MB
// through mok take no more memory than a few.

#include <signal.h>

#include <cstdlib>
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

// Streams `total_mb` of the block through mok run with the arguments; the
// peak resident memory after 10 MB and after all of it, in KB.
std::pair<long, long> PeaksWhileStreaming(const std::vector<std::string>& args, const std::string& block,
                                          long total_mb) {
  ::signal(SIGPIPE, SIG_IGN);
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return {-1, -1};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[0], 0);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[1]);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const pid_t pid = SpawnMok(args, actions);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[0]);
  if (pid <= 0) return {-1, -1};
  long after_ten = -1;
  std::size_t sent = 0;
  while (sent < static_cast<std::size_t>(total_mb) << 20) {
    if (!WriteAll(pipe_fds[1], block)) break;
    sent += block.size();
    if (after_ten < 0 && sent >= (10u << 20)) after_ten = PeakKb(pid);
  }
  const long after_all = PeakKb(pid);  // mok has read all but a pipe's worth
  ::close(pipe_fds[1]);
  int status = 0;
  const bool exited = ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return {exited ? after_ten : -1, after_all};
}

// A megabyte of the line repeated, or of numbered lines of GBK prose when no
// line is given: made here and streamed, nothing on disk.
std::string Block(const std::string& line = "") {
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
  return block;
}

// The peak may not grow with the input: the megabytes after the first ten
// may not grow it by more than a chunk's buffers (sanitizer builds keep some
// freed memory for a while).
void ExpectConstantMemory(const std::vector<std::string>& args, const std::string& block, long total_mb = 100) {
  SCOPED_TRACE(::testing::PrintToString(args));
  const auto [after_ten, after_all] = PeaksWhileStreaming(args, block, total_mb);
  ASSERT_GT(after_ten, 0);
  EXPECT_LT(after_all - after_ten, 16 * 1024) << "peak after 10 MB " << after_ten << " KB, after all " << after_all;
  EXPECT_LT(after_all, 64 * 1024);
}

TEST(ConstantMemory, HundredMegabytesOfGbkConvertInAFewMegabytes) {
  ExpectConstantMemory({"convert", "-f", "gbk", "-t", "utf8"}, Block());
  // Without -f the format is decided on the first part: standard input still
  // streams.
  ExpectConstantMemory({"convert"}, Block());
}

TEST(ConstantMemory, TransferFormatsDecodeInAFewMegabytes) {
  // Quoted-printable whose runs go on across soft breaks, and Base64 whose
  // lines are one stream of bytes: neither may be held whole.
  ExpectConstantMemory({"decode", "QP-GBK"}, Block("=D6=D0=CE=C4=C2=D2=C2=EB=D6=D0=CE=C4=\n"), 40);
  ExpectConstantMemory({"decode", "Base64-GBK"}, Block("1tDOxMLS1tDOxMLS\r\n"), 40);
}

TEST(ConstantMemory, SuggestApplyChoosesOnASampleAndStreamsTheRest) {
  // Chinese whose UTF-8 was read as cp1252, one numbered line after another.
  std::string block;
  for (int i = 0; block.size() < (1u << 20); ++i) {
    block += "\xC3\xA4\xC2\xB8\xC2\xAD\xC3\xA6\xE2\x80\x93\xE2\x80\xA1\xC3\xA4\xC2\xB9\xC2\xB1 line ";
    block += std::to_string(i);
    block += "\n";
  }
  // Each line allocates a little: a sanitizer build's quarantine of freed
  // memory (256 MB by default) is kept small, so that only what mok holds counts.
  const char* options = std::getenv("ASAN_OPTIONS");
  const std::string saved = options != nullptr ? options : "";
  ::setenv("ASAN_OPTIONS", (saved + (saved.empty() ? "" : ":") + "quarantine_size_mb=4").c_str(), 1);
  ExpectConstantMemory({"suggest", "--apply", "-f", "utf8"}, block);
  if (options != nullptr) {
    ::setenv("ASAN_OPTIONS", saved.c_str(), 1);
  } else {
    ::unsetenv("ASAN_OPTIONS");
  }
}

}  // namespace
}  // namespace mok::testing
