#include "codec/file_attributes.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <string_view>
#include <system_error>

#include "codec/charset_conversion.h"
#include "codec/conversion_core.h"
#include "codec/file_io_internal.h"

namespace mok {

namespace file_internal {

namespace {

// The last component of a name, ignoring trailing slashes.
std::string_view BaseName(std::string_view native) {
  while (native.size() > 1 && native.back() == '/') native.remove_suffix(1);
  size_t slash = native.rfind('/');
  return slash == std::string_view::npos ? native : native.substr(slash + 1);
}

bool IsHiddenName(std::string_view native) {
  std::string_view name = BaseName(native);
  return name.size() > 0 && name[0] == '.' && name != "." && name != "..";
}

bool IsDirectory(const std::string& native) {
  struct stat st;
  return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool Exists(const std::string& native) {
  struct stat st;
  return ::lstat(native.c_str(), &st) == 0;
}

std::int16_t AttributesOf(const std::string& native) {
  struct stat st;
  std::int16_t attributes = IsHiddenName(native) ? kAttrHidden : 0;
  if (::stat(native.c_str(), &st) != 0) {
    // A dangling link still occupies the name.
    return ::lstat(native.c_str(), &st) == 0 ? attributes : std::int16_t{-1};
  }
  if ((st.st_mode & S_IWUSR) == 0) attributes |= kAttrReadOnly;
  if (S_ISDIR(st.st_mode)) {
    attributes |= kAttrDirectory;
  } else if (S_ISREG(st.st_mode)) {
    attributes |= kAttrArchive;
  }
  return attributes;
}

int SetAttributesOf(const std::string& native, std::int16_t attributes) {
  struct stat st;
  if (::stat(native.c_str(), &st) != 0) return errno;
  mode_t mode = st.st_mode & 07777;
  mode_t wanted = mode;
  if (attributes & kAttrReadOnly) {
    wanted &= ~mode_t{S_IWUSR | S_IWGRP | S_IWOTH};
  } else {
    wanted |= S_IWUSR;
  }
  // Only touch the mode when it changes: a file owned by someone else may not be
  // changed, but needs no change either.
  if (wanted != mode && ::chmod(native.c_str(), wanted) != 0) return errno;
  return 0;
}

std::string ParentOf(const std::string& native) {
  std::string_view view = native;
  while (view.size() > 1 && view.back() == '/') view.remove_suffix(1);
  size_t slash = view.rfind('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return std::string(view.substr(0, slash));
}

Text ErrorText(int error_number, const std::string& native) {
  switch (error_number) {
    case ENOENT:
      // The file is missing if its folder is there; otherwise the folder is.
      return IsDirectory(ParentOf(native)) ? u"文件不存在" : u"路径不存在";
    case ENOTDIR:
      return u"路径不存在（其中一段不是文件夹）";
    case EACCES:
    case EPERM:
      return u"没有权限";
    case ENOSPC:
    case EDQUOT:
      return u"磁盘已满";
    case EISDIR:
      return u"是文件夹";
    case EROFS:
      return u"磁盘只读";
    case EEXIST:
      return u"文件已存在";
    case ENAMETOOLONG:
      return u"文件名过长";
    case EINVAL:
      return u"文件名无效";
    case ELOOP:
      return u"符号链接层数过多";
    case EIO:
      return u"读写出错";
    case EMFILE:
    case ENFILE:
      return u"打开的文件过多";
    case ENOMEM:
      return u"内存不足";
    case EBUSY:
    case ETXTBSY:
      return u"文件正在使用";
    case EFBIG:
      return u"文件过大";
    case EILSEQ:
      return u"字符集转换失败";
    // Causes met in pipelines, on devices and on network file systems: the
    // user reads every one in Chinese, never the system's English.
    case EPIPE:
      return u"管道的另一端已关闭";
    case EAGAIN:
      return u"暂时无法读写，请重试";
    case EINTR:
      return u"被信号打断";
    case EBADF:
      return u"文件没有打开";
    case ENXIO:
    case ENODEV:
      return u"设备不存在";
    case ESPIPE:
      return u"不能定位（管道或设备）";
    case ENOTEMPTY:
      return u"文件夹不是空的";
    case EXDEV:
      return u"不能跨文件系统移动";
    case EMLINK:
      return u"链接过多";
    case EOVERFLOW:
      return u"文件过大，超出可处理的范围";
    case ETIMEDOUT:
      return u"超时";
    case ECONNRESET:
    case ECONNABORTED:
      return u"连接已断开";
    case ENOTCONN:
      return u"没有连接";
    case ESTALE:
      return u"网络文件已失效";
    case EOPNOTSUPP:
      return u"文件系统不支持这项操作";
    case ENOSYS:
      return u"系统不支持这项操作";
    case ENOLCK:
      return u"没有可用的文件锁";
    case EDEADLK:
      return u"文件锁会造成死锁";
    default:
      break;
  }
  // Any cause not named above still reads in Chinese, with its number for
  // looking it up.
  return u"系统错误（错误号 " + Text(Latin1BytesToText(ToBytes(std::to_string(error_number)))) + u"）";
}

}  // namespace file_internal

bool NativePath(TextView path, std::string& native) {
  native.clear();
  try {
    native.reserve(path.size() * 3);
    for (size_t i = 0; i < path.size(); ++i) {
      char32_t c = path[i];
      if (c == 0) {
        native.clear();
        return false;
      }
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < path.size() && path[i + 1] >= 0xDC00 && path[i + 1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (path[i + 1] - 0xDC00);
        ++i;
      } else if (c >= 0xDC80 && c <= 0xDCFF) {
        native.push_back(static_cast<char>(c - 0xDC00));  // a raw byte of a name that is not UTF-8
        continue;
      } else if (c >= 0xD800 && c <= 0xDFFF) {
        c = 0xFFFD;
      }
      if (c < 0x80) {
        native.push_back(static_cast<char>(c));
      } else if (c < 0x800) {
        native.push_back(static_cast<char>(0xC0 | (c >> 6)));
        native.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      } else if (c < 0x10000) {
        native.push_back(static_cast<char>(0xE0 | (c >> 12)));
        native.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        native.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      } else {
        native.push_back(static_cast<char>(0xF0 | (c >> 18)));
        native.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        native.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        native.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      }
    }
    return true;
  } catch (...) {
    native.clear();
    return false;
  }
}

Text TextOfNativePath(std::string_view native) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(native.data());
  // Most names are ASCII: no converter needed.
  if (std::all_of(bytes, bytes + native.size(), [](std::uint8_t b) { return b < 0x80; })) {
    return Text(bytes, bytes + native.size());
  }
  // The UTF-8 converter turns each byte it cannot decode into U+DC00 + byte.
  Text text;
  if (!DecodeWithCodePage(BytesView(bytes, native.size()), 65001, text)) {
    text.clear();
    for (std::uint8_t b : native) text.push_back(b < 0x80 ? char16_t{b} : static_cast<char16_t>(0xDC00 + b));
  }
  return text;
}

int GetFileFacts(TextView path, FileFacts& facts) {
  std::string native;
  if (!NativePath(path, native)) return EINVAL;
  struct stat st;
  if (::stat(native.c_str(), &st) != 0) return errno;
  facts.attributes = file_internal::AttributesOf(native);
  facts.size = static_cast<std::int64_t>(st.st_size);
  facts.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec);
  facts.regular = S_ISREG(st.st_mode);
  return 0;
}

bool FileExists(TextView path) {
  std::string native;
  return NativePath(path, native) && file_internal::Exists(native);
}

std::int16_t GetFileAttr(TextView path) {
  std::string native;
  return NativePath(path, native) ? file_internal::AttributesOf(native) : std::int16_t{-1};
}

int SetFileAttr(TextView path, std::int16_t attributes) {
  std::string native;
  if (!NativePath(path, native)) return EINVAL;
  return file_internal::SetAttributesOf(native, attributes);
}

Text AttrText(std::int16_t attributes) {
  Text text;
  if (attributes & kAttrReadOnly) text += u" 只读";
  if (attributes & kAttrHidden) text += u" 隐藏";
  if (attributes & kAttrSystem) text += u" 系统";
  if (attributes & kAttrArchive) text += u" 存档";
  return text;
}

Text FileErrorText(int error_number, TextView path) {
  std::string native;
  (void)NativePath(path, native);
  return file_internal::ErrorText(error_number, native);
}

}  // namespace mok
