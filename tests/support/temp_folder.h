#pragma once

// A temporary folder for file tests, with helpers to put files in it by their
// file system names (bytes, so names that are not UTF-8 can be made).

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "codec/file_attributes.h"
#include "codec/text_types.h"

namespace mok::testing {

class TempFolder {
 public:
  TempFolder() {
    char name[] = "/tmp/mok_files_XXXXXX";
    if (::mkdtemp(name) == nullptr) ADD_FAILURE() << "no temporary folder";
    native_ = name;
    ::chmod(native_.c_str(), 0755);  // reachable by an ordinary user too
  }
  ~TempFolder() {
    std::error_code ignored;
    for (auto& entry : std::filesystem::recursive_directory_iterator(native_, ignored)) {
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(native_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The file system name of something inside, and the same as text.
  [[nodiscard]] std::string Native(const std::string& name = "") const { return native_ + "/" + name; }
  [[nodiscard]] Text Path(const std::string& name = "") const { return TextOfNativePath(Native(name)); }

  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(Native(name), std::ios::binary | std::ios::trunc) << bytes;
  }
  [[nodiscard]] std::string Read(const std::string& name) const {
    std::ifstream in(Native(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  [[nodiscard]] bool Exists(const std::string& name) const {
    struct stat st;
    return ::lstat(Native(name).c_str(), &st) == 0;
  }
  void MakeFolder(const std::string& name) const { ::mkdir(Native(name).c_str(), 0755); }

 private:
  std::string native_;
};

}  // namespace mok::testing
