#pragma once

// Python's str and bytes to the libraries' Text and Bytes and back, taking
// every code point as it is: a lone surrogate in a str becomes that one code
// unit and a lone surrogate in a Text that one code point, so any str (the
// ones bytes were smuggled into with "surrogateescape" included) goes through
// without an error and comes back unchanged. Callers hold the GIL.

#include <Python.h>

#include <cstddef>
#include <string>

#include "codec/text_types.h"

namespace mok::python {

// The UTF-16 code units of a str: a code point above U+FFFF gives a pair,
// any other one unit. A lone surrogate stays one unit, so a str holding a
// high and a low surrogate next to each other gives the same units as the
// character they stand for.
[[nodiscard]] Text TextOfStr(PyObject* str);

// A new str of the code points of a text: a surrogate pair gives one code
// point, an unpaired surrogate itself. nullptr with a Python error set when
// memory runs out.
[[nodiscard]] PyObject* StrOfText(TextView text);

// How many code points the first `units` code units of a text make (a
// surrogate pair counts once): an index into the text as Python counts it.
[[nodiscard]] std::size_t CodePointIndex(TextView text, std::size_t units);

// The bytes of any object with the buffer protocol (bytes, bytearray,
// memoryview …), copied. False with a Python error set for anything else.
[[nodiscard]] bool BytesOfBuffer(PyObject* object, Bytes& out);

}  // namespace mok::python
