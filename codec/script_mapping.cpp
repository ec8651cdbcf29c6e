#include "codec/script_mapping.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <array>
#include <memory>

namespace mok {
namespace {

// Simplified <-> traditional mapping of single code units, computed once per
// character with ICU's transliterator and remembered. 0 marks "not yet known".
class ScriptMap {
 public:
  explicit ScriptMap(const char* id) {
    UErrorCode err = U_ZERO_ERROR;
    transliterator_.reset(icu::Transliterator::createInstance(icu::UnicodeString::fromUTF8(id), UTRANS_FORWARD, err));
    if (U_FAILURE(err)) transliterator_.reset();
    known_ = std::make_unique<std::array<char16_t, 0x10000>>();
    known_->fill(0);
  }

  [[nodiscard]] bool Usable() const { return transliterator_ != nullptr; }

  char16_t Map(char16_t unit) {
    // Below the CJK radicals and in the surrogate range nothing maps to one unit.
    if (unit < 0x2E80 || (unit >= 0xD800 && unit <= 0xDFFF)) return unit;
    char16_t& slot = (*known_)[unit];
    if (slot == 0) {
      icu::UnicodeString s(static_cast<UChar>(unit));
      transliterator_->transliterate(s);
      slot = s.length() == 1 ? static_cast<char16_t>(s.charAt(0)) : unit;
    }
    return slot;
  }

 private:
  std::unique_ptr<icu::Transliterator> transliterator_;
  std::unique_ptr<std::array<char16_t, 0x10000>> known_;
};

}  // namespace

void MapTextCase(Text& text, bool traditional) {
  if (text.empty()) return;
  try {
    thread_local ScriptMap to_traditional("Hans-Hant");
    thread_local ScriptMap to_simplified("Hant-Hans");
    ScriptMap& map = traditional ? to_traditional : to_simplified;
    if (!map.Usable()) {
      text.clear();
      return;
    }
    for (char16_t& unit : text) unit = map.Map(unit);
  } catch (...) {
    text.clear();
  }
}

}  // namespace mok
