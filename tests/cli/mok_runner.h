#pragma once

// Runs the built mok as a user would: arguments, standard input, a working
// folder; gives back its exit status and what it wrote.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codec/conversion_core.h"
#include "tests/support/temp_folder.h"

extern char** environ;

namespace mok::testing {

struct MokResult {
  int status = -1;  // exit status, or -1 when mok did not exit normally
  std::string out;
  std::string err;
};

// The mok under test: the one built beside the tests, or MOK_EXE.
inline std::string MokPath() {
  const char* path = std::getenv("MOK_EXE");
  return path != nullptr ? path : MOK_BUILT_EXE;
}

// Starts mok with the arguments and the file actions; -1 when it could not start.
inline pid_t SpawnMok(const std::vector<std::string>& args, const posix_spawn_file_actions_t& actions) {
  std::vector<std::string> strings = {MokPath()};
  strings.insert(strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : strings) argv.push_back(s.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  return posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

inline std::string Utf8Of(TextView text) {
  const Bytes bytes = TextToCpBytes(text, 65001);
  return std::string(bytes.begin(), bytes.end());
}

inline Text TextOf(std::string_view utf8) { return CpBytesToText(ToBytes(utf8), 65001); }

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder per test, removed afterwards.
class MokTest : public ::testing::Test {
 protected:
  std::filesystem::path Path(const std::string& name) const { return folder_.Native(name); }

  // Runs mok in the test's folder with the arguments and standard input.
  MokResult Run(const std::vector<std::string>& args, std::string_view input = {}) const {
    WriteFile(Path(".stdin"), input);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, Path(".stdin").c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, Path(".stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, Path(".stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, folder_.Native().c_str());
    MokResult result;
    if (const pid_t pid = SpawnMok(args, actions); pid > 0) {
      int status = 0;
      ::waitpid(pid, &status, 0);
      result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = ReadFile(Path(".stdout"));
    result.err = ReadFile(Path(".stderr"));
    for (const char* name : {".stdin", ".stdout", ".stderr"}) std::filesystem::remove(Path(name));
    return result;
  }

  // The names in the folder other than the test's own.
  std::vector<std::string> Names(const std::string& folder = ".") const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Path(folder))) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TempFolder folder_;
};

}  // namespace mok::testing
