#include "repair/repair_step.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "codec/charset_conversion.h"

namespace mok {
namespace {

bool IsKeptByte(char16_t unit) { return unit >= 0xDC80 && unit <= 0xDCFF; }
bool IsLead(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsTrail(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// A byte an earlier wrong decoding kept as U+DC00 + byte encodes as that byte;
// anything else the code page cannot map leaves the error set, which stops the
// conversion.
void U_CALLCONV KeptBytesOnly(const void*, UConverterFromUnicodeArgs* args, const UChar* units, int32_t length,
                              UChar32, UConverterCallbackReason reason, UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;
  if (length == 1 && IsKeptByte(units[0])) {
    *err = U_ZERO_ERROR;
    const char byte = static_cast<char>(units[0] - 0xDC00);
    ucnv_cbFromUWriteBytes(args, &byte, 1, 0, err);
  }
}

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};

// Converters that stop at the first character or byte they cannot convert, one
// per code page and thread, opened on first use.
UConverter* StrictConverter(std::int32_t code_page) {
  struct Entry {
    std::int32_t code_page;
    std::unique_ptr<UConverter, ConverterCloser> converter;
  };
  thread_local std::vector<Entry> cache;
  for (Entry& entry : cache) {
    if (entry.code_page == code_page) return entry.converter.get();
  }
  std::unique_ptr<UConverter, ConverterCloser> converter;
  if (const char* name = IcuConverterName(code_page)) {
    UErrorCode err = U_ZERO_ERROR;
    converter.reset(ucnv_open(name, &err));
    ucnv_setFromUCallBack(converter.get(), KeptBytesOnly, nullptr, nullptr, nullptr, &err);
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    if (U_FAILURE(err)) converter.reset();
  }
  cache.push_back({code_page, std::move(converter)});
  return cache.back().converter.get();
}

// The count of leading output units whose source offset lies before `end`.
std::size_t OutputBefore(const std::vector<int32_t>& offsets, std::size_t written, std::size_t end) {
  std::size_t i = 0;
  while (i < written && (offsets[i] < 0 || static_cast<std::size_t>(offsets[i]) < end)) ++i;
  return i;
}

bool Encode(UConverter* converter, TextView text, Bytes& out, std::vector<int32_t>* offsets) {
  ucnv_resetFromUnicode(converter);
  out.resize(text.size() * static_cast<std::size_t>(ucnv_getMaxCharSize(converter)) + 16);
  if (offsets != nullptr) offsets->resize(out.size());
  char* target = reinterpret_cast<char*>(out.data());
  const UChar* source = reinterpret_cast<const UChar*>(text.data());
  UErrorCode err = U_ZERO_ERROR;
  ucnv_fromUnicode(converter, &target, reinterpret_cast<char*>(out.data() + out.size()), &source,
                   source + text.size(), offsets != nullptr ? offsets->data() : nullptr, true, &err);
  if (U_FAILURE(err)) return false;
  out.resize(static_cast<std::size_t>(target - reinterpret_cast<char*>(out.data())));
  return true;
}

bool Decode(UConverter* converter, BytesView bytes, Text& out, std::vector<int32_t>& offsets) {
  ucnv_resetToUnicode(converter);
  out.resize(2 * bytes.size() + 2);
  offsets.resize(out.size());
  UChar* target = reinterpret_cast<UChar*>(out.data());
  const char* source = reinterpret_cast<const char*>(bytes.data());
  UErrorCode err = U_ZERO_ERROR;
  ucnv_toUnicode(converter, &target, target + out.size(), &source, source + bytes.size(), offsets.data(), true,
                 &err);
  if (U_FAILURE(err)) return false;
  out.resize(static_cast<std::size_t>(target - reinterpret_cast<UChar*>(out.data())));
  return true;
}

bool IsWellFormedUtf16(TextView text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsLead(text[i]) && i + 1 < text.size() && IsTrail(text[i + 1])) {
      ++i;
    } else if (IsLead(text[i]) || IsTrail(text[i])) {
      return false;
    }
  }
  return true;
}

std::optional<StepResult> SwapBytes(TextView text, Stretch stretch) {
  if (!IsWellFormedUtf16(text)) return std::nullopt;
  StepResult result{Text(text), stretch};
  for (char16_t& unit : result.text) unit = static_cast<char16_t>((unit >> 8) | (unit << 8));
  if (!IsWellFormedUtf16(result.text)) return std::nullopt;
  return result;
}

std::optional<StepResult> Reinterpret(TextView text, RepairStep step, Stretch stretch) {
  UConverter* encoder = StrictConverter(step.code_page_a);
  UConverter* decoder = StrictConverter(step.code_page_b);
  if (encoder == nullptr || decoder == nullptr) return std::nullopt;
  thread_local Bytes bytes;
  thread_local Bytes again;
  thread_local std::vector<int32_t> byte_offsets;
  thread_local std::vector<int32_t> unit_offsets;
  if (!Encode(encoder, text, bytes, &byte_offsets)) return std::nullopt;
  const std::size_t byte_begin = OutputBefore(byte_offsets, bytes.size(), stretch.begin);
  const std::size_t byte_end = OutputBefore(byte_offsets, bytes.size(), stretch.end);
  StepResult result;
  if (!Decode(decoder, bytes, result.text, unit_offsets)) return std::nullopt;
  if (!Encode(decoder, result.text, again, nullptr) || again != bytes) return std::nullopt;
  result.stretch = {OutputBefore(unit_offsets, result.text.size(), byte_begin),
                    OutputBefore(unit_offsets, result.text.size(), byte_end)};
  return result;
}

}  // namespace

std::optional<StepResult> ApplyLosslessStep(TextView text, RepairStep step, Stretch stretch) {
  if (text.empty()) return std::nullopt;
  try {
    std::optional<StepResult> result =
        step == kUtf16Swap ? SwapBytes(text, stretch) : Reinterpret(text, step, stretch);
    if (!result || result->text.empty()) return std::nullopt;
    if (result->text.front() == 0xFEFF) {
      result->text.erase(0, 1);
      if (result->stretch.begin > 0) --result->stretch.begin;
      if (result->stretch.end > 0) --result->stretch.end;
    }
    ReplaceNulBySpace(result->text);
    return result;
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace mok
