// The extension module mokrin._mokrin: repair suggestions, reinterpretation,
// the decoding menus' items and the makers, and bytes to text and back, on
// the same libraries as the window and mok. Every function takes any str
// (lone surrogates included), runs the C++ work with the GIL released so
// that threads run in parallel, and raises ValueError with a message in
// Chinese for a name or number it does not know.

#include <pybind11/pybind11.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "codec/conversion_core.h"
#include "codec/text_files.h"
#include "menus/menu_items.h"
#include "python/names.h"
#include "python/python_text.h"
#include "repair/explain.h"
#include "repair/language_model.h"
#include "repair/suggest.h"

namespace py = pybind11;

namespace mok::python {
namespace {

// ---- arguments and results -------------------------------------------------

py::str StrResult(TextView text) {
  PyObject* str = StrOfText(text);
  if (str == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(str);
}

std::string Utf8Of(TextView text) {
  const Bytes bytes = TextToCpBytes(text, 65001);
  return std::string(bytes.begin(), bytes.end());
}

std::string TypeName(py::handle object) { return Py_TYPE(object.ptr())->tp_name; }

Text TextArgument(py::handle object, const char* argument) {
  if (!PyUnicode_Check(object.ptr())) {
    throw py::type_error(std::string(argument) + " 应为 str，不是 " + TypeName(object));
  }
  return TextOfStr(object.ptr());
}

std::string Utf8Argument(py::handle object, const char* argument) {
  if (!PyUnicode_Check(object.ptr())) {
    throw py::type_error(std::string(argument) + " 应为 str，不是 " + TypeName(object));
  }
  return Utf8Of(TextOfStr(object.ptr()));
}

// An int argument (bool excluded: True is no code page).
bool IsNumber(py::handle object) { return PyLong_Check(object.ptr()) && !PyBool_Check(object.ptr()); }

std::int64_t NumberOf(py::handle object, const char* argument) {
  const long long value = PyLong_AsLongLong(object.ptr());
  if (value == -1 && PyErr_Occurred()) {
    PyErr_Clear();
    throw py::value_error(std::string(argument) + " 超出范围");
  }
  return value;
}

template <typename T>
T Resolved(std::optional<T> value, const std::string& error) {
  if (!value) throw py::value_error(error);
  return *value;
}

// A character set given as a code page number or a table's name.
Charset CharsetArgument(py::handle object, const char* argument) {
  std::string error;
  if (IsNumber(object)) return Resolved(CharsetNumbered(NumberOf(object, argument), error), error);
  if (PyUnicode_Check(object.ptr())) return Resolved(CharsetNamed(Utf8Argument(object, argument), error), error);
  throw py::type_error(std::string(argument) + " 应为代码页号 (int) 或名字 (str)，不是 " + TypeName(object));
}

// A language code given as a number or a name of the language-code table.
std::int32_t LanguageCodeArgument(py::handle object, const char* argument) {
  const Charset charset = CharsetArgument(object, argument);
  if (charset.language_code) return charset.code;
  throw py::value_error(std::string(argument) + " 应为语文区号表里的名字（GB、Big5、日文、Utf8 …）");
}

std::int32_t CodePageArgument(py::handle object, const char* argument) {
  const Charset charset = CharsetArgument(object, argument);
  if (!charset.language_code) return charset.code;
  throw py::value_error(std::string(argument) + " 应为代码页（号或代码页表里的名字）");
}

FileEncoding FileEncodingArgument(py::handle object, const char* argument) {
  std::string error;
  if (IsNumber(object)) return Resolved(FileEncodingNumbered(NumberOf(object, argument), error), error);
  if (PyUnicode_Check(object.ptr())) return Resolved(FileEncodingNamed(Utf8Argument(object, argument), error), error);
  throw py::type_error(std::string(argument) + " 应为编码名 (str) 或代码页号 (int)，不是 " + TypeName(object));
}

// ---- suggestions -------------------------------------------------------------

using StepPairs = std::vector<std::pair<int, int>>;

StepPairs PairsOf(const std::vector<RepairStep>& steps) {
  StepPairs pairs;
  for (const RepairStep& step : steps) pairs.emplace_back(step.code_page_a, step.code_page_b);
  return pairs;
}

py::list ListOf(const StepPairs& pairs) {
  py::list list;
  for (const auto& [a, b] : pairs) list.append(py::make_tuple(a, b));
  return list;
}

// One passage repaired on its own, its places counted in code points as
// Python indexes the input and the suggestion's text.
struct Passage {
  std::size_t start = 0, end = 0;
  std::size_t result_start = 0, result_end = 0;
  StepPairs steps;
  std::size_t lost = 0;
};

struct Suggestion {
  RepairSuggestion row;
  std::vector<Passage> passages;
};

Suggestion SuggestionOf(RepairSuggestion row, TextView input) {
  Suggestion suggestion;
  for (const RepairedPassage& passage : row.passages) {
    suggestion.passages.push_back({CodePointIndex(input, passage.begin), CodePointIndex(input, passage.end),
                                   CodePointIndex(row.text, passage.result_begin),
                                   CodePointIndex(row.text, passage.result_end), PairsOf(passage.steps),
                                   passage.lost});
  }
  suggestion.row = std::move(row);
  return suggestion;
}

py::object OptionalStr(TextView text) { return text.empty() ? py::object(py::none()) : py::object(StrResult(text)); }

py::list Suggest(py::handle text_object, py::handle max_object) {
  const Text text = TextArgument(text_object, "text");
  if (!IsNumber(max_object)) throw py::type_error("max_results 应为 int，不是 " + TypeName(max_object));
  const std::int64_t max_results = NumberOf(max_object, "max_results");
  if (max_results < 1) throw py::value_error("max_results 应至少为 1，不是 " + std::to_string(max_results));
  std::vector<RepairSuggestion> rows;
  {
    py::gil_scoped_release release;
    rows = SuggestRepairs(text, static_cast<std::size_t>(max_results));
  }
  py::list suggestions;
  for (RepairSuggestion& row : rows) suggestions.append(py::cast(SuggestionOf(std::move(row), text)));
  return suggestions;
}

py::object Repair(py::handle text_object) {
  const Text text = TextArgument(text_object, "text");
  std::optional<Text> repaired;
  {
    py::gil_scoped_release release;
    repaired = BestRepair(text);
  }
  if (!repaired) return py::reinterpret_borrow<py::object>(text_object);
  return StrResult(*repaired);
}

// ---- reinterpretation, menu items, bytes --------------------------------------

py::str Reinterpret(py::handle text_object, py::handle a_object, py::handle b_object) {
  Text text = TextArgument(text_object, "text");
  std::string error;
  const CharsetPair pair = Resolved(
      PairOf(CharsetArgument(a_object, "encode_as"), CharsetArgument(b_object, "decode_as"), error), error);
  {
    py::gil_scoped_release release;
    if (pair.by_code_page) {
      ReinterpretByCp(text, pair.a, pair.b);
    } else {
      ReinterpretByLid(text, pair.a, pair.b);
    }
  }
  return StrResult(text);
}

// The arguments an item needs, from the keywords; each one it does not need
// is refused.
ItemArguments ArgumentsFor(const MenuItem& item, py::handle cp, py::handle lcid, py::handle format) {
  const bool wants_format = item.needs == ItemNeeds::FormatAndLcid || item.needs == ItemNeeds::FormatAndCp;
  const bool wants_cp =
      item.needs == ItemNeeds::FormatAndCp || item.needs == ItemNeeds::CodePage || item.needs == ItemNeeds::TwoCps;
  const bool wants_lcid = item.needs == ItemNeeds::FormatAndLcid || item.needs == ItemNeeds::TwoLcids;
  auto check = [&item](const char* keyword, bool wanted, py::handle value) {
    if (wanted && value.is_none()) throw py::value_error(item.name + " 需要参数 " + keyword);
    if (!wanted && !value.is_none()) throw py::value_error(item.name + " 不用参数 " + keyword);
  };
  check("cp", wants_cp, cp);
  check("lcid", wants_lcid, lcid);
  check("format", wants_format, format);
  ItemArguments args;
  if (wants_format) {
    std::string error;
    if (IsNumber(format)) {
      args.transfer = Resolved(TransferNamed(std::to_string(NumberOf(format, "format")), error), error);
    } else {
      args.transfer = Resolved(TransferNamed(Utf8Argument(format, "format"), error), error);
    }
  }
  const bool pair = item.needs == ItemNeeds::TwoCps || item.needs == ItemNeeds::TwoLcids;
  py::handle code = wants_cp ? cp : lcid;
  const char* keyword = wants_cp ? "cp" : "lcid";
  auto one = [&](py::handle value) {
    return wants_cp ? CodePageArgument(value, keyword) : LanguageCodeArgument(value, keyword);
  };
  if (pair) {
    if (!PyTuple_Check(code.ptr()) || PyTuple_GET_SIZE(code.ptr()) != 2) {
      throw py::value_error(item.name + " 的参数 " + keyword + " 应为 (A, B) 两个");
    }
    args.a = one(PyTuple_GET_ITEM(code.ptr(), 0));
    args.b = one(PyTuple_GET_ITEM(code.ptr(), 1));
  } else if (wants_cp || wants_lcid) {
    args.code = one(code);
  }
  return args;
}

py::object RunItem(const std::vector<std::string_view>& groups, py::handle name_object, py::handle text_object,
                   py::handle cp, py::handle lcid, py::handle format) {
  const std::string name = Utf8Argument(name_object, "name");
  Text text = TextArgument(text_object, "text");
  std::string error;
  const MenuItem* item = ItemNamed(name, groups, error);
  if (item == nullptr) throw py::value_error(error);
  const ItemArguments args = ArgumentsFor(*item, cp, lcid, format);
  const bool had_text = !text.empty();
  {
    py::gil_scoped_release release;
    item->Apply(text, args);
  }
  // The menus leave the text as it was and say so; here that is an error.
  if (had_text && text.empty()) throw py::value_error(item->name + " 未经改动");
  return StrResult(text);
}

py::str DecodeBytes(py::handle data, py::handle encoding_object) {
  Bytes bytes;
  if (PyUnicode_Check(data.ptr()) || !BytesOfBuffer(data.ptr(), bytes)) {
    PyErr_Clear();
    throw py::type_error("data 应为 bytes、bytearray 或 memoryview，不是 " + TypeName(data));
  }
  const FileEncoding encoding =
      encoding_object.is_none() ? FileEncoding{} : FileEncodingArgument(encoding_object, "encoding");
  Text text;
  {
    py::gil_scoped_release release;
    if (encoding.format == 0 && encoding.code_page != 0) {
      text = CpBytesToText(bytes, encoding.code_page);
      ReplaceNulBySpace(text);
    } else {
      std::int16_t format = encoding.format;
      if (!DecodeFileBytes(bytes, format, text)) text.clear();
    }
  }
  return StrResult(text);
}

py::bytes EncodeText(py::handle text_object, py::handle encoding_object) {
  const Text text = TextArgument(text_object, "text");
  const FileEncoding encoding = FileEncodingArgument(encoding_object, "encoding");
  Bytes bytes;
  {
    py::gil_scoped_release release;
    if (encoding.format == 0) {
      bytes = TextToCpBytes(text, encoding.code_page);
    } else {
      std::int16_t format = encoding.format;
      if (!EncodeFileText(text, format, bytes)) bytes.clear();
    }
  }
  return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::string PassageRepr(const Passage& passage) {
  std::string steps;
  for (const auto& [a, b] : passage.steps) {
    steps += (steps.empty() ? "" : ", ") + std::string("(") + std::to_string(a) + ", " + std::to_string(b) + ")";
  }
  return "Passage(start=" + std::to_string(passage.start) + ", end=" + std::to_string(passage.end) + ", steps=[" +
         steps + "], lost=" + std::to_string(passage.lost) + ")";
}

}  // namespace
}  // namespace mok::python

PYBIND11_MODULE(_mokrin, m) {
  using namespace mok;
  using namespace mok::python;
  m.doc() = "Mokrin's codec and repair libraries: repair garbled text (mojibake), re-read it with other "
            "character sets, decode transfer formats, make garbled text.";
#ifdef MOK_VERSION
  m.attr("__version__") = MOK_VERSION;
#endif

  py::class_<Passage>(m, "Passage",
                      "One passage of a partly garbled text, repaired on its own (逐段修复).\n\n"
                      "start, end: where it stands in the input (str indices);\n"
                      "result_start, result_end: where its repair stands in the suggestion's text;\n"
                      "steps: the (code page A, code page B) steps that repaired it;\n"
                      "lost: characters of it that could not be recovered (each one U+FFFD).")
      .def_readonly("start", &Passage::start)
      .def_readonly("end", &Passage::end)
      .def_readonly("result_start", &Passage::result_start)
      .def_readonly("result_end", &Passage::result_end)
      .def_property_readonly("steps", [](const Passage& p) { return ListOf(p.steps); })
      .def_readonly("lost", &Passage::lost)
      .def("__repr__", &PassageRepr);

  py::class_<Suggestion>(m, "Suggestion",
                         "One repair of a text, as 自动解读 lists it.\n\n"
                         "text: the repaired text;\n"
                         "steps: (code page A, code page B) pairs in the order applied: encode with A (what "
                         "the bytes were wrongly read as), decode with B; empty for no change and for a "
                         "repair by passages;\n"
                         "passages: the Passage list of a repair by passages (逐段修复), else empty;\n"
                         "explanation: what happened to the text, in Chinese;\n"
                         "menu: the menu command that does the same (\"GB--日文\"), or None;\n"
                         "language: the code of the language the result looks like (\"zh_CN\", \"ja\" …) "
                         "or None; language_name its Chinese name;\n"
                         "confidence: \"明确\" (clear), \"难分\" (close call) or \"仍像乱码\" (still looks "
                         "garbled) for the first suggestion, None for the others;\n"
                         "lost: characters that could not be recovered, each one U+FFFD in text;\n"
                         "changes_text: False for the suggestion to leave the text as it is;\n"
                         "score, margin: the ranking's log-probability and its lead over the next row.")
      .def_property_readonly("text", [](const Suggestion& s) { return StrResult(s.row.text); })
      .def_property_readonly("steps", [](const Suggestion& s) { return ListOf(PairsOf(s.row.steps)); })
      .def_property_readonly("passages",
                             [](const Suggestion& s) {
                               py::list list;
                               for (const Passage& passage : s.passages) list.append(py::cast(passage));
                               return list;
                             })
      .def_property_readonly("explanation", [](const Suggestion& s) { return StrResult(ExplainSuggestion(s.row)); })
      .def_property_readonly("menu",
                             [](const Suggestion& s) {
                               return OptionalStr(s.row.passages.empty() ? MenuCommandsOf(s.row.steps) : Text());
                             })
      .def_property_readonly("language",
                             [](const Suggestion& s) -> py::object {
                               if (!s.row.language) return py::none();
                               return py::str(std::string(LanguageCode(*s.row.language)));
                             })
      .def_property_readonly("language_name",
                             [](const Suggestion& s) -> py::object {
                               if (!s.row.language) return py::none();
                               return StrResult(LanguageName(*s.row.language));
                             })
      .def_property_readonly("confidence",
                             [](const Suggestion& s) { return OptionalStr(ConfidenceName(s.row.confidence)); })
      .def_property_readonly("lost", [](const Suggestion& s) { return s.row.lost; })
      .def_property_readonly("changes_text", [](const Suggestion& s) { return s.row.ChangesText(); })
      .def_property_readonly("score", [](const Suggestion& s) { return s.row.score; })
      .def_property_readonly("margin", [](const Suggestion& s) { return s.row.margin; })
      .def("__repr__", [](const Suggestion& s) {
        const std::string explanation = Utf8Of(ExplainSuggestion(s.row));
        const std::string confidence = Utf8Of(ConfidenceName(s.row.confidence));
        return "<Suggestion " + explanation + (confidence.empty() ? "" : " " + confidence) + ">";
      });

  m.def("suggest", &Suggest, py::arg("text"), py::arg("max_results") = 5,
        "suggest(text, max_results=5) -> list[Suggestion]\n\n"
        "The repairs 自动解读 offers for a garbled text, best first: every reinterpretation between the "
        "character sets real software mixes up, chains of two, repairs by passages, and leaving the text "
        "as it is (the Suggestion whose changes_text is False). The first one carries the confidence. "
        "An empty list for the empty text.");
  m.def("repair", &Repair, py::arg("text"),
        "repair(text) -> str\n\n"
        "The best repair of a text, or the text itself when the best is to change nothing.");
  m.def("reinterpret", &Reinterpret, py::arg("text"), py::arg("encode_as"), py::arg("decode_as"),
        "reinterpret(text, encode_as, decode_as) -> str\n\n"
        "Encodes the text with the character set it was wrongly decoded with and decodes the bytes with "
        "the right one. Each is a code page number (936, 950, 65001 …) or a name of the code-page table "
        "(\"中文简(GBK)\", \"日文(Shift-JIS)\") or of the language-code table (\"GB\", \"Big5\", \"日文\", "
        "\"Utf8\" …). Two language codes reinterpret as the second decoding menu does "
        "(reinterpret(t, \"GB\", \"Big5\") is GB--Big5), anything else as CP--CP with code pages. Bytes "
        "the second character set cannot decode become lone surrogates (U+DC00 + byte), so nothing is "
        "lost and a wrong guess can be undone.");
  m.def(
      "decode",
      [](py::handle name, py::handle text, py::handle cp, py::handle lcid, py::handle format) {
        return RunItem({"a2b", "decode"}, name, text, cp, lcid, format);
      },
      py::arg("name"), py::arg("text"), py::kw_only(), py::arg("cp") = py::none(), py::arg("lcid") = py::none(),
      py::arg("format") = py::none(),
      "decode(name, text, *, cp=None, lcid=None, format=None) -> str\n\n"
      "An item of the decoding menus by its status name, letters in any case: \"QP-GBK\", \"Base64-Utf8\", "
      "\"HZ-GB\", \"Utf7\", \"URL-Utf8\", \"HTM(U)\", \"GB--Big5\", \"Esc+日文(ISO-2022)\", \"GB+半字\" … "
      "(DECODE_NAMES lists them). \"CP+半字\" takes cp=; \"Trans-CP\" format= and cp=, \"Trans-LCID\" "
      "format= and lcid=; \"CP--CP\" cp=(A, B) and \"LCID--LCID\" lcid=(A, B). ValueError when the item "
      "gives nothing (\"未经改动\").");
  m.def(
      "make",
      [](py::handle name, py::handle text) {
        return RunItem({"make"}, name, text, py::none(), py::none(), py::none());
      },
      py::arg("name"), py::arg("text"),
      "make(name, text) -> str\n\n"
      "One of the makers of garbled text (编写“乱码”) by name: \"QP-GBK\", \"Base64-Utf8\", \"HZ-GB\", "
      "\"Utf7\", \"HTM(U)\", \"Num(UBE)\" … (MAKE_NAMES lists them).");
  m.def("decode_bytes", &DecodeBytes, py::arg("data"), py::arg("encoding") = py::none(),
        "decode_bytes(data, encoding=None) -> str\n\n"
        "Reads bytes as mok -f does: a file format (\"gbk\", \"gb18030\", \"latin1\", \"utf8\", \"utf8-bom\", "
        "\"utf16le\", \"utf16be\", \"utf16le-bom\", \"utf16be-bom\") or a code page of the table by number. "
        "Without an encoding the format is detected as the window's open does. A byte order mark is "
        "dropped, NULs become spaces, and bytes the encoding cannot decode become lone surrogates "
        "(U+DC00 + byte, Python's \"surrogateescape\" form), so nothing is lost.");
  m.def("encode_text", &EncodeText, py::arg("text"), py::arg("encoding") = "utf8",
        "encode_text(text, encoding=\"utf8\") -> bytes\n\n"
        "Writes text as mok -t does, with the same names as decode_bytes. Lone surrogates U+DC00 + byte "
        "give their bytes back; a character the encoding cannot hold becomes its question mark.");

  auto names = [](const std::vector<std::string>& list) {
    py::list out;
    for (const std::string& name : list) out.append(py::str(name));
    return py::tuple(out);
  };
  m.attr("DECODE_NAMES") = names(ItemNames({"a2b", "decode"}));
  m.attr("MAKE_NAMES") = names(ItemNames({"make"}));
}
