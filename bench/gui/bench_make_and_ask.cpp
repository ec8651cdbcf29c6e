// The makers of garbled text and the asked conversions on a shown main window,
// each against a bare Qt plain-text editor making the same change, both on the
// offscreen platform in the same run. (The executable's main() is in
// bench_a2b_command.cpp.)
//
// Each iteration: (untimed) the box gets one of two different texts and a
// selection of 5000 characters, and pending events are handled; (timed) the
// menu item is triggered (dialog with the choices left from its last showing,
// codec, write-back, history commit, status label), then the window is
// painted; (untimed) the commit is checked. "window_repaint" repaints the whole
// window at once and then handles the events that follow (the measure for the
// targets, as in bench_a2b_command.cpp); "event_loop" leaves the painting to
// the event loop, as the running program does. The reference replaces the same
// characters of the same text with the same result in a QPlainTextEdit of the
// text box's size and font, selects it like the command does (makers) or sets
// it as the whole text (asked conversions), and paints the same way.
//
// Makers: the selection is 5000 characters of a text of about 5600, the most
// around it that a maker takes (three times the selection must fit in 16000
// less the text that stays), so the result brings the text close to the limit.
// The text is mostly ASCII with runs of hanzi, so that every maker's result
// (up to eight characters for one hanzi) still fits.
// Asked conversions: the selection plays no part; the whole text of close to
// 16000 characters is decoded or reinterpreted.

#include <QAction>
#include <QComboBox>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

#include "app/main_window.h"
#include "bench/support/bare_editor.h"
#include "bench/support/gui_bench.h"
#include "bench/support/prose.h"
#include "codec/base64.h"
#include "codec/conversion_core.h"
#include "codec/qp_url.h"
#include "dialogs/pair_dialog.h"
#include "dialogs/transfer_dialog.h"
#include "menus/menu_tables.h"
#include "widgets/text_box.h"

namespace {

using mok::Text;
using mok::bench::FindAction;
using mok::bench::Paint;
using mok::bench::PaintCounter;
using mok::bench::Repaint;
using mok::bench::Settle;

constexpr std::size_t kLimit = 16000;
constexpr std::int32_t kSelected = 5000;
constexpr std::int32_t kAround = 300;  // characters kept before and after a maker's selection

// Mostly ASCII words, with runs of two to four common hanzi making about a
// sixth of the characters, and a CR LF every sixty-odd characters.
Text MixedProse(std::size_t length, std::uint32_t seed) {
  static const char16_t* const kWords[] = {u"mail ", u"the ", u"subject ", u"of ", u"2024 ", u"reply ", u"OK, "};
  const std::vector<char16_t>& hanzi = mok::bench::CommonGbHanzi();
  std::mt19937 rng(seed);
  Text text;
  std::size_t line = 0;
  while (text.size() < length) {
    if (rng() % 100 < 35) {
      for (unsigned n = 2 + rng() % 3; n > 0; --n) text += hanzi[rng() % hanzi.size()];
      text += u' ';
    } else {
      text += kWords[rng() % 7];
    }
    if (text.size() - line > 60 + rng() % 10) {
      text += u"\r\n";
      line = text.size();
    }
  }
  text.resize(length);
  return text;
}

// Confirms each dialog with the choices it shows, through its own showing step
// and OK button, as a user repeating a command does.
class ConfirmingPrompts : public mok::bench::NoPrompts {
 public:
  void ShowModal(mok::ModalDialog& shown) override {
    auto& dialog = dynamic_cast<mok::ParameterDialog&>(shown);
    if (!dialog.Form_Activate()) std::abort();
    dialog.findChild<QPushButton*>(QStringLiteral("cmdA_0"))->click();
  }
};

void Pick(QDialog& dialog, const char* list, const QString& item) {
  auto* combo = dialog.findChild<QComboBox*>(QString::fromLatin1(list));
  const int index = combo->findText(item);
  if (index < 0) std::abort();
  combo->setCurrentIndex(index);
}

// One benchmark: the item, its two alternating texts, and how its dialog is
// first set up (nothing for the makers).
struct Case {
  QString item;
  std::array<Text, 2> texts;
  std::function<void(mok::MainWindow&)> choose;
  bool selection_result;  // makers: the result replaces the selection and stays selected
};

// The texts of a maker: 5000 selected characters with kAround on each side.
std::array<Text, 2> MakerTexts() {
  std::array<Text, 2> texts;
  for (std::uint32_t i = 0; i < 2; ++i) {
    Text text = MixedProse(20000, 31 + i);
    // Cut at kAround + kSelected + kAround characters, a CR LF counting one.
    const std::int32_t wanted = 2 * kAround + kSelected;
    std::size_t end = 0;
    for (std::int32_t scale = 0; scale < wanted; ++scale) end += (text[end] == u'\r' && text[end + 1] == u'\n') ? 2 : 1;
    text.resize(end);
    texts[i] = std::move(text);
  }
  return texts;
}

// Text in a transfer format, cut at the last line break within the limit so no
// escape is split.
Text CutAtLineBreak(Text text) {
  if (text.size() > kLimit) text.resize(text.rfind(u"\r\n", kLimit - 2) + 2);
  return text;
}

// Big5 prose bytes read as GBK, exactly kLimit characters.
Text Garbled(std::uint32_t seed) {
  const Text prose = mok::bench::Prose(kLimit + 200, mok::bench::CommonBig5Hanzi(), seed);
  Text text = mok::CpBytesToText(mok::TextToCpBytes(prose, 950), 936);
  text.resize(kLimit);
  return text;
}

// The items measured: every maker, then the four asked conversions.
std::vector<QString> ItemNames() {
  std::vector<QString> names;
  for (int i = 0; i < static_cast<int>(mok::kMakeTable.size()); ++i) {
    if (mok::kMakeTable[static_cast<std::size_t>(i)].codec != mok::MakeCodec::Separator) {
      names.push_back(QStringLiteral("mnuMake_%1").arg(i));
    }
  }
  for (const char* asked : {"mnuAskA2B_0", "mnuAskA2B_1", "mnuAskA2B_3", "mnuAskA2B_4"}) {
    names.push_back(QString::fromLatin1(asked));
  }
  return names;
}

// The cases in the order of ItemNames(), made on first use.
const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = [] {
    std::vector<Case> made;
    const std::array<Text, 2> maker_texts = MakerTexts();
    for (const QString& name : ItemNames()) {
      if (name.startsWith(QStringLiteral("mnuMake_"))) made.push_back({name, maker_texts, nullptr, true});
    }

    std::array<Text, 2> qp, base64, garbled;
    for (std::uint32_t i = 0; i < 2; ++i) {
      qp[i] = mok::bench::Prose(kLimit / 4, mok::bench::CommonGbHanzi(), 41 + i);
      mok::EncodeQpUrl(qp[i], 0);
      qp[i] = CutAtLineBreak(std::move(qp[i]));
      base64[i] = mok::bench::Prose(kLimit / 2, mok::bench::CommonGbHanzi(), 51 + i);
      mok::EncodeBase64Text(base64[i], 0);
      base64[i] = CutAtLineBreak(std::move(base64[i]));
      garbled[i] = Garbled(61 + i);
    }
    // Sets up the dialog for the mode and picks items in its lists by text.
    auto choose = [](bool pair, int mode, std::vector<std::pair<const char*, QString>> picks) {
      return [=](mok::MainWindow& window) {
        mok::ParameterDialog& dialog = pair ? static_cast<mok::ParameterDialog&>(window.frmLid()) : window.frmTL();
        dialog.nOpr = static_cast<std::int16_t>(mode);
        if (!dialog.Form_Activate()) std::abort();
        for (const auto& [list, item] : picks) Pick(dialog, list, item);
      };
    };
    // Asked conversions, in the order of ItemNames().
    made.push_back({QStringLiteral("mnuAskA2B_0"), qp,
                    choose(false, 0, {{"cboTrn", QStringLiteral("QP")}, {"cboCS", QStringLiteral("GB")}}), false});
    made.push_back({QStringLiteral("mnuAskA2B_1"), base64,
                    choose(false, 1, {{"cboTrn", QStringLiteral("Base64")}, {"cboCS", QStringLiteral("中文简(GBK)")}}),
                    false});
    made.push_back({QStringLiteral("mnuAskA2B_3"), garbled,
                    choose(true, 0, {{"cboCS_0", QStringLiteral("GB")}, {"cboCS_1", QStringLiteral("Big5")}}), false});
    made.push_back(
        {QStringLiteral("mnuAskA2B_4"), garbled,
         choose(true, 1, {{"cboCS_0", QStringLiteral("中文简(GBK)")}, {"cboCS_1", QStringLiteral("中文繁(Big5)")}}),
         false});
    return made;
  }();
  return cases;
}

void Select(mok::TextBox& box) {
  box.SetSelStart(kAround);
  box.SetSelLength(kSelected);
}

// What the command leaves: the whole text and, for a maker, the selected part.
struct Outcome {
  Text text;
  std::int32_t sel_length;
};

void BM_Command(benchmark::State& state, std::size_t which_case, Paint paint) {
  const Case& c = Cases()[which_case];
  ConfirmingPrompts prompts;
  mok::MainWindow window(&prompts);
  window.show();
  Settle();
  if (c.choose) c.choose(window);
  mok::TextBox& box = window.Box();
  QAction* item = FindAction(window.menuBar(), c.item);
  PaintCounter paints(box.viewport());
  std::size_t which = 0;
  std::int64_t timed_paints = 0;
  for (auto _ : state) {
    state.PauseTiming();
    which ^= 1;
    box.SetText(c.texts[which]);
    Select(box);
    Settle();
    const std::int64_t paints_before = paints.count;
    state.ResumeTiming();

    item->trigger();
    Repaint(window, paint);

    state.PauseTiming();
    // The command committed a new state, and the editor painted.
    if (window.History().Current().text != box.GetText() || box.GetText() == c.texts[which] ||
        (c.selection_result && box.SelLength() <= kSelected) || paints.count == paints_before) {
      std::abort();
    }
    timed_paints += paints.count - paints_before;
    state.ResumeTiming();
  }
  state.counters["paints"] = benchmark::Counter(static_cast<double>(timed_paints), benchmark::Counter::kAvgIterations);
  state.counters["chars"] = static_cast<double>(box.TextLength());
}

// The command's outcome for both texts, found by running it once.
std::array<Outcome, 2> Outcomes(const Case& c) {
  ConfirmingPrompts prompts;
  mok::MainWindow window(&prompts);
  if (c.choose) c.choose(window);
  std::array<Outcome, 2> outcomes;
  for (std::size_t i = 0; i < 2; ++i) {
    window.Box().SetText(c.texts[i]);
    Select(window.Box());
    FindAction(window.menuBar(), c.item)->trigger();
    outcomes[i] = {c.selection_result ? window.Box().SelText() : window.Box().GetText(), window.Box().SelLength()};
  }
  return outcomes;
}

void BM_BareEditor(benchmark::State& state, std::size_t which_case, Paint paint) {
  const Case& c = Cases()[which_case];
  const std::array<Outcome, 2> outcomes = Outcomes(c);
  mok::bench::NoPrompts prompts;
  mok::bench::BareEditorWindow reference(prompts);
  QMainWindow& window = reference.Window();
  QPlainTextEdit* editor = &reference.Editor();
  PaintCounter paints(editor->viewport());
  const std::array<QString, 2> texts = {mok::DisplayTextOf(c.texts[0]), mok::DisplayTextOf(c.texts[1])};
  const std::array<QString, 2> results = {mok::DisplayTextOf(outcomes[0].text), mok::DisplayTextOf(outcomes[1].text)};
  std::size_t which = 0;
  std::int64_t timed_paints = 0;
  for (auto _ : state) {
    state.PauseTiming();
    which ^= 1;
    editor->setPlainText(texts[which]);
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(kAround);
    cursor.setPosition(kAround + kSelected, QTextCursor::KeepAnchor);
    editor->setTextCursor(cursor);
    Settle();
    const std::int64_t paints_before = paints.count;
    state.ResumeTiming();

    if (c.selection_result) {
      cursor.insertText(results[which]);
      cursor.setPosition(kAround);
      cursor.setPosition(kAround + outcomes[which].sel_length, QTextCursor::KeepAnchor);
      editor->setTextCursor(cursor);
    } else {
      editor->setPlainText(results[which]);
    }
    Repaint(window, paint);

    state.PauseTiming();
    if (paints.count == paints_before) std::abort();
    timed_paints += paints.count - paints_before;
    state.ResumeTiming();
  }
  state.counters["paints"] = benchmark::Counter(static_cast<double>(timed_paints), benchmark::Counter::kAvgIterations);
}

// Each command beside its reference, named after the menu item.
[[maybe_unused]] const bool kRegistered = [] {
  const std::vector<QString> names = ItemNames();
  const std::pair<const char*, Paint> paints[] = {{"window_repaint", Paint::kWindow}, {"event_loop", Paint::kEventLoop}};
  for (const auto& [mode, paint] : paints) {
    for (std::size_t i = 0; i < names.size(); ++i) {
      const std::string name = names[i].toStdString() + "/" + mode;
      benchmark::RegisterBenchmark(("BM_Command/" + name).c_str(), BM_Command, i, paint)->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("BM_BareEditor/" + name).c_str(), BM_BareEditor, i, paint)
          ->Unit(benchmark::kMillisecond);
    }
  }
  return true;
}();

}  // namespace
