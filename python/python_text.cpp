#include "python/python_text.h"

#include <algorithm>

namespace mok::python {
namespace {

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

template <typename Unit>
void WriteCodePoints(TextView text, Unit* out) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    *out++ = static_cast<Unit>(c);
  }
}

}  // namespace

Text TextOfStr(PyObject* str) {
  const Py_ssize_t length = PyUnicode_GET_LENGTH(str);
  const void* data = PyUnicode_DATA(str);
  Text text;
  switch (PyUnicode_KIND(str)) {
    case PyUnicode_1BYTE_KIND: {
      const auto* units = static_cast<const Py_UCS1*>(data);
      text.assign(units, units + length);
      break;
    }
    case PyUnicode_2BYTE_KIND: {
      const auto* units = static_cast<const Py_UCS2*>(data);
      text.assign(units, units + length);
      break;
    }
    default: {
      const auto* points = static_cast<const Py_UCS4*>(data);
      text.reserve(static_cast<std::size_t>(length) + 16);
      for (Py_ssize_t i = 0; i < length; ++i) {
        AppendCodePoint(text, points[i]);
      }
    }
  }
  return text;
}

PyObject* StrOfText(TextView text) {
  std::size_t count = 0;
  char32_t widest = 0;
  for (std::size_t i = 0; i < text.size(); ++i, ++count) {
    if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
      widest = 0x10FFFF;
      ++i;
    } else {
      widest = std::max<char32_t>(widest, text[i]);
    }
  }
  PyObject* str = PyUnicode_New(static_cast<Py_ssize_t>(count), static_cast<Py_UCS4>(widest));
  if (str == nullptr) return nullptr;
  switch (PyUnicode_KIND(str)) {
    case PyUnicode_1BYTE_KIND: WriteCodePoints(text, PyUnicode_1BYTE_DATA(str)); break;
    case PyUnicode_2BYTE_KIND: WriteCodePoints(text, PyUnicode_2BYTE_DATA(str)); break;
    default: WriteCodePoints(text, PyUnicode_4BYTE_DATA(str));
  }
  return str;
}

std::size_t CodePointIndex(TextView text, std::size_t units) {
  units = std::min(units, text.size());
  std::size_t count = 0;
  for (std::size_t i = 0; i < units; ++i, ++count) {
    if (IsHigh(text[i]) && i + 1 < units && IsLow(text[i + 1])) ++i;
  }
  return count;
}

bool BytesOfBuffer(PyObject* object, Bytes& out) {
  Py_buffer view;
  if (PyObject_GetBuffer(object, &view, PyBUF_SIMPLE) != 0) return false;
  const auto* first = static_cast<const std::uint8_t*>(view.buf);
  out.assign(first, first + view.len);
  PyBuffer_Release(&view);
  return true;
}

}  // namespace mok::python
