#pragma once

// The file list of the file browser without its widget: the regular files of
// one folder that match a pattern, the current folder and the folder left
// behind, and where the folder buttons lead. Plain C++ on the file system, so
// tests drive it without a window.
//
// Folders are held as text ending in "/". Names reach the text through
// TextOfNativePath, so a name that is not valid UTF-8 (GBK bytes unpacked from
// a Windows archive) is listed with its bytes kept and opens under its own name.

#include <cstdint>
#include <vector>

#include "codec/text_types.h"

namespace mok {

// The regular files of a folder, without hidden ones (names starting with "."),
// sorted by name without regard to ASCII letter case. With text_only only names
// ending in ".txt", in any letter case. 0, or the errno value when the folder
// cannot be read (names is then empty).
[[nodiscard]] int ListFolder(TextView folder, bool text_only, std::vector<Text>& names);

// The folder a typed path names, as the list keeps it: relative to base unless
// it starts with "/", with "." and ".." and repeated "/" resolved, ending in "/".
// Empty for an empty path.
[[nodiscard]] Text ResolveFolder(TextView path, TextView base);

// The full path of a file a path names, as the kernel resolves it: relative to
// base unless it starts with "/", its folder the real folder (symbolic links
// followed, so "lnk/../x.txt" is the x.txt beside the folder lnk leads to, not
// the one beside lnk), its name kept as given. A path ending in "/", "." or
// ".." names that folder, in full. When the folder cannot be resolved (it does
// not exist) the path is kept as given, made absolute, so that opening it
// fails as the kernel says. Empty for an empty path.
[[nodiscard]] Text RealFilePath(TextView path, TextView base);

class FolderListing {
 public:
  // Starts in this folder (it is not read until Refresh or SetFolder).
  explicit FolderListing(TextView start_folder);

  // Moves to a folder and reads it. On success the folder left behind becomes
  // Previous() (when the folder really changes) and 0 is returned; otherwise
  // the errno value, and nothing changes.
  [[nodiscard]] int SetFolder(TextView folder);
  // Reads the current folder again; on failure the list is empty.
  [[nodiscard]] int Refresh();
  // "*.txt" when on, "*.*" when off; the list is read again.
  void SetTextOnly(bool on);

  [[nodiscard]] const Text& Folder() const { return folder_; }
  // The folder as the list reports it: without the final "/" unless it is "/".
  [[nodiscard]] Text ReportedFolder() const;
  [[nodiscard]] const Text& Previous() const { return previous_; }
  [[nodiscard]] bool TextOnly() const { return text_only_; }
  [[nodiscard]] const std::vector<Text>& Names() const { return names_; }
  // Index of the first name equal to this one (exact comparison), or -1.
  [[nodiscard]] int IndexOf(TextView name) const;

 private:
  Text folder_;
  Text previous_;
  bool text_only_ = true;
  std::vector<Text> names_;
};

// The target of "默认路径": the folder MOK_TXT beside the program, created when
// missing and the program's folder is writable; otherwise MOK_TXT in the home
// folder, created when missing; if neither can be had, the start folder. All
// folders end in "/".
[[nodiscard]] Text DefaultFolderTarget(TextView program_folder, TextView home_folder, TextView start_folder);

// The cause of a failure to enter a folder, for messages; a folder that does
// not exist reads "路径不存在".
[[nodiscard]] Text FolderErrorText(int error_number, TextView folder);

// The process's current folder, ending in "/", where the list starts.
[[nodiscard]] Text StartFolder();

}  // namespace mok
