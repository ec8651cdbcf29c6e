#include "repair/language_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <set>
#include <string>

#include "repair/explain.h"
#include "tests/support/hex.h"
#include "tests/support/read_as.h"

namespace mok::testing {
namespace {

struct Sample {
  Language language;
  Text text;
};

// One ordinary sentence of every modelled language.
const Sample kSamples[] = {
    {Language::SimplifiedChinese, u"这是一段简体中文的说明文字，用来检查语言模型。"},
    {Language::TraditionalChinese, u"這是一段繁體中文的說明文字，用來檢查語言模型。"},
    {Language::Japanese, u"これは日本語の説明文です。言語モデルを確かめます。"},
    {Language::Korean, u"이것은 언어 모델을 확인하기 위한 한국어 설명입니다."},
    {Language::Russian, u"Это описание на русском языке для проверки модели."},
    {Language::German, u"Dies ist eine Beschreibung für die Prüfung der Sprachmodelle."},
    {Language::French, u"Ceci est une description en français pour vérifier le modèle."},
    {Language::English, u"This is a description in English that checks the language model."},
    {Language::Greek, u"Αυτή είναι μια περιγραφή στα ελληνικά για τον έλεγχο του μοντέλου."},
    {Language::Hebrew, u"זהו תיאור בעברית לבדיקת מודל השפה."},
    {Language::Arabic, u"هذا وصف باللغة العربية لاختبار نموذج اللغة."},
    {Language::Persian, u"این یک توضیح به زبان فارسی برای آزمایش مدل زبان است."},
    {Language::Polish, u"To jest opis w języku polskim służący do sprawdzenia modelu."},
    {Language::Czech, u"Toto je popis v češtině, který slouží ke kontrole jazykového modelu."},
    {Language::Turkish, u"Bu, dil modelini denetlemek için Türkçe yazılmış bir açıklamadır."},
    {Language::Ukrainian, u"Це опис українською мовою для перевірки мовної моделі."},
    {Language::Vietnamese, u"Đây là một đoạn mô tả bằng tiếng Việt để kiểm tra mô hình ngôn ngữ."},
    {Language::Thai, u"นี่คือคำอธิบายภาษาไทยสำหรับตรวจสอบแบบจำลองภาษา"},
    {Language::Spanish, u"Esta es una descripción en español para comprobar el modelo de lenguaje."},
    {Language::Italian, u"Questa è una descrizione in italiano per verificare il modello linguistico."},
    {Language::Portuguese, u"Esta é uma descrição em português para verificar o modelo de linguagem."},
    {Language::Dutch, u"De ideeën van de gebruikers in België zijn beëindigd."},
    {Language::Hungarian, u"Ez egy magyar nyelvű leírás a nyelvi modell ellenőrzéséhez."},
    {Language::Swedish, u"Det här är en beskrivning på svenska för att kontrollera språkmodellen."},
    {Language::Romanian, u"Aceasta este o descriere în limba română și servește la verificarea modelului."},
    {Language::Bulgarian, u"Това е описание на български език за проверка на езиковия модел."},
    {Language::Lithuanian, u"Tai lietuvių kalbos aprašymas, skirtas kalbos modeliui patikrinti."},
    {Language::Latvian, u"Šis ir apraksts latviešu valodā valodas modeļa pārbaudei."},
};

TEST(LanguageModelTest, EveryLanguageHasItsModelCodeAndName) {
  ASSERT_TRUE(LanguageModelLoaded());
  ASSERT_EQ(std::size(kSamples), kLanguageCount);
  std::set<std::string_view> codes;
  std::set<std::u16string_view> names;
  for (std::size_t l = 0; l < kLanguageCount; ++l) {
    const auto language = static_cast<Language>(l);
    EXPECT_EQ(kSamples[l].language, language);
    codes.insert(LanguageCode(language));
    names.insert(LanguageName(language));
    EXPECT_LT(CleanTextFloor(language, 10), 0) << LanguageCode(language);
  }
  codes.erase(std::string_view());
  names.erase(std::u16string_view());
  EXPECT_EQ(codes.size(), kLanguageCount);
  EXPECT_EQ(names.size(), kLanguageCount);
}

TEST(LanguageModelTest, KnowsEachLanguageByItsOwnSentence) {
  for (const Sample& sample : kSamples) {
    SCOPED_TRACE(LanguageCode(sample.language));
    const LanguageScore score = ScoreText(sample.text);
    EXPECT_EQ(LanguageCode(score.language), LanguageCode(sample.language));
    EXPECT_TRUE(LooksLikeCleanText(sample.text));
  }
}

// Scoring only the languages whose scripts occur gives clean text, of any
// script or a mixture, the same best language and score as scoring all of them;
// garbled text never scores better for it.
TEST(LanguageModelTest, ScoringOnlyTheTextsScriptsLosesNoBestLanguage) {
  std::vector<Text> clean = {u"", u"Hello", u"a\r\nb", u"…™ ©", u"Ａｂｃ１２３", u"ｶﾀｶﾅ", u"ㄅㄆㄇ注音",
                             u"Greek α in English", u"Русский text 中文 ελληνικά", u"\xD83D\xDE00 emoji"};
  std::vector<Text> garbled;
  for (const Sample& sample : kSamples) {
    clean.push_back(sample.text);
    clean.push_back(u"See the notes: " + sample.text + u" (2024)");
    garbled.push_back(ReadAs(sample.text, 65001, 1252));
    garbled.push_back(ReadAs(sample.text, 65001, 936));
  }
  for (const Text& text : clean) {
    SCOPED_TRACE(Hex(text));
    const auto every = ScoreEveryLanguage(text);
    const LanguageScore best = ScoreText(text);
    EXPECT_EQ(best.log_probability, *std::max_element(every.begin(), every.end()));
    EXPECT_EQ(every[static_cast<std::size_t>(best.language)], best.log_probability);
  }
  for (const Text& text : garbled) {
    const auto every = ScoreEveryLanguage(text);
    const LanguageScore best = ScoreText(text);
    EXPECT_EQ(every[static_cast<std::size_t>(best.language)], best.log_probability) << Hex(text);
  }
}

// The ceiling bounds the score from above (the score of every language the
// search weighs), and the units' ceiling the ceiling;
// asked to stop below a bar, the ceiling stops only when all of it is below
// the bar, and says so by -infinity.
TEST(LanguageModelTest, TheCeilingBoundsTheScoreAndStopsOnlyBelowItsBar) {
  std::vector<Text> texts = {u"a\r\nb", u"Русский text 中文 ελληνικά", u"\xD83D\xDE00 emoji", u"ファイルＡＢＣ１.txt",
                             // Full-width letters among half-width kana: a result the search meets.
                             ReadAs(u"(-r o -R) para borrar también cada directorio listado, junto con todo", 437, 932)};
  for (const Sample& sample : kSamples) {
    texts.push_back(sample.text);
    texts.push_back(ReadAs(sample.text, 65001, 1252));
    texts.push_back(ReadAs(sample.text, 65001, 936));
  }
  constexpr double kNone = -std::numeric_limits<double>::infinity();
  for (const Text& text : texts) {
    SCOPED_TRACE(Hex(text));
    const double ceiling = ScoreCeiling(text);
    const LanguageScore score = ScoreText(text);
    EXPECT_GE(ceiling, score.log_probability);
    EXPECT_GE(ScoreUnitCeiling(text), ceiling);
    // The search's scoring weighs the same languages and gives the same score.
    const auto at_least = ScoreTextAtLeast(text, kNone);
    ASSERT_TRUE(at_least.has_value());
    EXPECT_EQ(at_least->log_probability, score.log_probability);
    EXPECT_EQ(at_least->language, score.language);
    for (const double bar : {ceiling - 40, ceiling - 0.5, ceiling, kNone}) EXPECT_EQ(ScoreCeiling(text, bar), ceiling);
    for (const double bar : {ceiling + 0.5, ceiling + 40, ceiling * 0.5, 0.0}) {
      const double cut = ScoreCeiling(text, bar);
      EXPECT_TRUE(cut == ceiling || cut == kNone) << bar;
    }
  }
  // A long garbled text stops well before its end.
  EXPECT_EQ(ScoreCeiling(ReadAs(Text(200, u'中'), 65001, 1252), -10), kNone);
}

TEST(LanguageModelTest, CountsCharactersAsTheyAreScored) {
  const struct {
    Text text;
    std::size_t characters;
  } cases[] = {
      {u"", 0}, {u"ab", 2}, {u"a\r\nb", 3}, {u"a\r\rb", 4}, {u"a\n\nb", 4}, {u"\xD83D\xDE00x", 2}, {u"\xDC80x", 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScoreText(c.text).characters, c.characters) << Hex(c.text);
  }
  EXPECT_EQ(ScoreText(u"a\r\nb").log_probability, ScoreText(u"a\nb").log_probability);
}

Text SwapBytes(TextView text) {
  Text out(text);
  for (char16_t& c : out) c = static_cast<char16_t>((c >> 8) | (c << 8));
  return out;
}

// Clean text clears the floor of its language; text of a script outside ASCII
// garbled the ways the repair suggestions undo does not.
TEST(LanguageModelTest, GarbledTextFallsBelowTheCleanTextFloor) {
  for (const Sample& sample : kSamples) {
    SCOPED_TRACE(LanguageCode(sample.language));
    const LanguageScore score = ScoreText(sample.text);
    EXPECT_GE(score.log_probability / static_cast<double>(score.characters),
              CleanTextFloor(sample.language, score.characters));
    // In the Latin alphabets most letters read the same when garbled.
    if (std::count_if(sample.text.begin(), sample.text.end(), [](char16_t c) { return c < 0x80; }) >
        static_cast<std::ptrdiff_t>(sample.text.size() / 2)) {
      continue;
    }
    EXPECT_FALSE(LooksLikeCleanText(ReadAs(sample.text, 65001, 1252))) << "UTF-8 read as cp1252";
    EXPECT_FALSE(LooksLikeCleanText(ReadAs(sample.text, 65001, 936))) << "UTF-8 read as GBK";
    EXPECT_FALSE(LooksLikeCleanText(SwapBytes(sample.text))) << "UTF-16 bytes swapped";
  }
}

// A U+FFFD marks a character that is lost, not garbling: clean text keeps
// clearing its floor with some, garbled text stays below it.
TEST(LanguageModelTest, LostCharactersAreLeftOutOfTheJudgement) {
  for (const Sample& sample : kSamples) {
    SCOPED_TRACE(LanguageCode(sample.language));
    Text lossy = sample.text;
    for (std::size_t i = 3; i < lossy.size(); i += 7) lossy[i] = u'\uFFFD';
    EXPECT_TRUE(LooksLikeCleanText(lossy));
  }
  Text garbled = ReadAs(kSamples[0].text, 65001, 936);
  for (std::size_t i = 3; i < garbled.size(); i += 7) garbled[i] = u'\uFFFD';
  EXPECT_FALSE(LooksLikeCleanText(garbled));
  EXPECT_TRUE(LooksLikeCleanText(u"\uFFFD\uFFFD"));
}

}  // namespace
}  // namespace mok::testing
