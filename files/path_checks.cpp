#include "files/path_checks.h"

#include <string>

#include "codec/file_attributes.h"
#include "files/folder_listing.h"
#include "platform/user_prompts.h"

namespace mok {
namespace {

constexpr std::u16string_view kTxt = u".txt";

TextView TrimStart(TextView s) {
  while (!s.empty() && s.front() == u' ') s.remove_prefix(1);
  return s;
}

TextView TrimEnd(TextView s) {
  while (!s.empty() && s.back() == u' ') s.remove_suffix(1);
  return s;
}

TextView Trim(TextView s) { return TrimEnd(TrimStart(s)); }

Text Decimal(std::int64_t n) {
  const std::string digits = std::to_string(n);
  return Text(digits.begin(), digits.end());
}

}  // namespace

std::int32_t FindBadChar(TextView name, UserPrompts& prompts) {
  const std::size_t at = name.find_first_of(kBadChars);
  if (at == TextView::npos) return 0;
  prompts.ShowMessage(Text(u"文件名里不能有 半角的 ") + Text(kBadChars));
  return static_cast<std::int32_t>(at + 1);
}

MendedName MendName(TextView name_box, TextView folder, bool make_unique, UserPrompts& prompts) {
  MendedName result;
  try {
    const TextView s = Trim(name_box);
    if (const std::int32_t bad = FindBadChar(s, prompts); bad >= 1) {
      result.changed = result.replace = true;
      result.text = Text(s);
      result.sel_start = bad - 1;
      result.sel_length = 1;
      return result;
    }
    const auto n = static_cast<std::int32_t>(s.size());
    const std::size_t last_dot = s.rfind(u'.');
    const std::int32_t d = last_dot == TextView::npos ? 0 : static_cast<std::int32_t>(last_dot) + 1;
    Text base;
    Text extension;
    if (s.empty() || s == u"." || s == u".." || s == kTxt) {
      base = kDefaultName;
      extension = kTxt;
      result.sel_start = 0;
      result.sel_length = static_cast<std::int32_t>(kDefaultName.size());
    } else if (d < 2 || d == n || n - d > 8) {
      // No extension of one to eight characters after a base name: add one.
      base = Text(s);
      extension = kTxt;
      result.sel_start = n;
      result.sel_length = static_cast<std::int32_t>(kTxt.size());
    } else {
      base = Text(TrimEnd(s.substr(0, last_dot)));
      extension = u'.' + Text(TrimStart(s.substr(last_dot + 1)));
      result.sel_start = static_cast<std::int32_t>(base.size());
      result.sel_length = 0;
    }
    if (make_unique) {
      while (FileExists(Text(folder) + base + extension)) {
        base += u"_2";
        result.sel_length += 2;
      }
    }
    const auto total = static_cast<std::int64_t>(base.size() + folder.size() + extension.size());
    if (total > kPathLimit) {
      prompts.ShowMessage(Text(folder) + base + extension + u"\r\n\r\n路径字数 " + Decimal(total) + u"  超出 " +
                          Decimal(total - kPathLimit));
      result.changed = true;
      return result;
    }
    result.select_in_list = true;
    Text name = base + extension;
    if (name_box != name) {
      result.changed = result.replace = true;
      result.text = std::move(name);
    }
    return result;
  } catch (...) {
    return MendedName{};  // nothing to show, nothing refused
  }
}

Text TidyPathBox(TextView typed) {
  TextView p = Trim(typed);
  if (!p.empty() && p.back() == u'/') return Text(TrimEnd(p.substr(0, p.size() - 1))) + u'/';
  return Text(p);
}

PathBoxResult CheckPathBox(TextView typed, FolderListing& listing, int& error) {
  error = 0;
  const Text p = TidyPathBox(typed);
  if (p == listing.Folder()) return PathBoxResult::kSame;
  error = listing.SetFolder(p);
  return error == 0 ? PathBoxResult::kMoved : PathBoxResult::kFailed;
}

}  // namespace mok
