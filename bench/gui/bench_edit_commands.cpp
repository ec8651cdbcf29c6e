// Three editing commands end to end on a shown main window (the command, the
// history commit, the display), each against a bare Qt plain-text editor doing
// the same replacement and repaint, in the same run:
//
// - paste: 16000 characters of prose from the clipboard over a selection of the
//   whole text; the reference is the bare editor's own paste;
// - replace: 2000 occurrences of a two-character string in 16000 characters,
//   through the input dialog (shown by its showing step, confirmed with OK);
//   the reference replaces with QString::replace and puts the result in;
// - full width: a selection of 16000 characters; the reference puts the
//   converted text (converted before the timing) in place of its selection and
//   selects it, as the command leaves it selected.
//
// Each iteration starts (untimed) from one of two different texts, so every
// commit is a new history state. "window_repaint" repaints the whole window at
// once and handles the events that follow: the measure for the targets.
// "event_loop" paints only what the change made dirty, "no_paint" stops before
// painting (the command and the commit alone).

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QTextCursor>

#include <benchmark/benchmark.h>

#include <array>

#include "app/main_window.h"
#include "bench/support/bare_editor.h"
#include "bench/support/gui_bench.h"
#include "bench/support/prose.h"
#include "codec/width_mapping.h"
#include "dialogs/input_dialog.h"
#include "widgets/text_box.h"

namespace {

using mok::Text;
using mok::bench::BareEditorWindow;
using mok::bench::FindAction;
using mok::bench::NoPrompts;
using mok::bench::Paint;
using mok::bench::Repaint;
using mok::bench::Settle;

constexpr std::size_t kLength = 16000;

QString ToQString(const Text& text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

// What one command starts from and what it must make of it.
struct Sample {
  Text before;
  Text after;
};

// Prose to paste over other prose.
std::array<Sample, 2> PasteSamples() {
  std::array<Sample, 2> made;
  for (std::uint32_t i = 0; i < 2; ++i) {
    made[i] = {mok::bench::Prose(kLength, mok::bench::CommonGbHanzi(), 100 + i),
               mok::bench::Prose(kLength, mok::bench::CommonGbHanzi(), 200 + i)};
  }
  return made;
}

// 2000 lines of four hanzi, "ab" and a line break; "ab" becomes kReplacements[i].
constexpr std::array<std::u16string_view, 2> kReplacements = {u"xy", u"yx"};
std::array<Sample, 2> ReplaceSamples() {
  std::array<Sample, 2> made;
  const auto& hanzi = mok::bench::CommonGbHanzi();
  for (std::size_t i = 0; i < 2; ++i) {
    for (std::size_t line = 0; made[i].before.size() < kLength; ++line) {
      Text chunk;
      for (std::size_t k = 0; k < 4; ++k) chunk += hanzi[(line * 7 + k * 13 + i) % hanzi.size()];
      made[i].before += chunk + u"ab\r\n";
      made[i].after += chunk + Text(kReplacements[i]) + u"\r\n";
    }
  }
  return made;
}

// ASCII prose (words, spaces, a line break every few words) and its full width.
std::array<Sample, 2> WidthSamples() {
  static const char16_t* const kWords[] = {u"garbled ", u"text ", u"reads ", u"well ", u"after ", u"repair, ", u"GBK ", u"Big5 "};
  std::array<Sample, 2> made;
  for (std::size_t i = 0; i < 2; ++i) {
    for (std::size_t w = 0; made[i].before.size() < kLength; ++w) {
      made[i].before += kWords[(w * 3 + i) % 8];
      if (w % 6 == 5) made[i].before += u"\r\n";
    }
    made[i].before.resize(kLength);
    if (made[i].before.back() == u'\r') made[i].before.back() = u'.';
    made[i].after = mok::ToFullWidth(made[i].before);
  }
  return made;
}

enum class Command { kPaste, kReplace, kFullWidth };

const std::array<Sample, 2>& SamplesOf(Command command) {
  static const std::array<Sample, 2> paste = PasteSamples();
  static const std::array<Sample, 2> replace = ReplaceSamples();
  static const std::array<Sample, 2> width = WidthSamples();
  return command == Command::kPaste ? paste : command == Command::kReplace ? replace : width;
}

void BM_Window(benchmark::State& state, Command command, Paint paint) {
  const auto& samples = SamplesOf(command);
  NoPrompts prompts;
  mok::MainWindow window(&prompts);
  window.show();
  Settle();
  mok::TextBox& box = window.Box();
  std::size_t which = 0;
  // The replacement typed into the input dialog, which the showing step has
  // filled with the selected string.
  prompts.on_dialog = [&](mok::ModalDialog& dialog) {
    auto& input = dynamic_cast<mok::InputDialog&>(dialog);
    input.Form_Activate();
    input.Box().SetSelUnits(kReplacements[which]);
    input.cmdA_Click(0);
  };
  const QString name = command == Command::kPaste     ? QStringLiteral("mnuPaste")
                       : command == Command::kReplace ? QStringLiteral("mnuReplace")
                                                      : QStringLiteral("mnuCase_0");
  QAction* item = FindAction(window.menuBar(), name);
  for (auto _ : state) {
    state.PauseTiming();
    which ^= 1;
    box.SetText(samples[which].before);
    if (command == Command::kPaste) QGuiApplication::clipboard()->setText(ToQString(samples[which].after));
    if (command == Command::kReplace) {
      box.SetSelStart(4);
      box.SetSelLength(2);
    } else {
      box.SetSelStart(0);
      box.SetSelLength(box.ScaleLength());
    }
    Settle();
    state.ResumeTiming();

    item->trigger();
    Repaint(window, paint);

    state.PauseTiming();
    if (box.GetText() != samples[which].after || window.History().Current().text != samples[which].after) std::abort();
    state.ResumeTiming();
  }
}

void BM_BareEditor(benchmark::State& state, Command command, Paint paint) {
  const auto& samples = SamplesOf(command);
  NoPrompts prompts;
  BareEditorWindow bare(prompts);
  QPlainTextEdit* editor = &bare.Editor();
  const std::array<QString, 2> before = {ToQString(samples[0].before), ToQString(samples[1].before)};
  const std::array<QString, 2> after = {ToQString(samples[0].after), ToQString(samples[1].after)};
  std::size_t which = 0;
  for (auto _ : state) {
    state.PauseTiming();
    which ^= 1;
    editor->setPlainText(before[which]);
    if (command == Command::kPaste) QGuiApplication::clipboard()->setText(after[which]);
    editor->selectAll();
    Settle();
    state.ResumeTiming();

    if (command == Command::kPaste) {
      editor->paste();
    } else if (command == Command::kReplace) {
      QString replaced = before[which];
      replaced.replace(QStringLiteral("ab"), ToQString(Text(kReplacements[which])));
      editor->textCursor().insertText(replaced);
    } else {
      // The converted text stays selected, as the command leaves it.
      QTextCursor cursor = editor->textCursor();
      cursor.insertText(after[which]);
      cursor.setPosition(cursor.position());
      cursor.setPosition(0, QTextCursor::KeepAnchor);
      editor->setTextCursor(cursor);
    }
    Repaint(bare.Window(), paint);

    state.PauseTiming();
    if (editor->document()->characterCount() < 2) std::abort();
    state.ResumeTiming();
  }
}

#define MOK_EDIT_BENCH(command, label)                                                                   \
  BENCHMARK_CAPTURE(BM_Window, label##_window_repaint, command, Paint::kWindow)->Unit(benchmark::kMillisecond); \
  BENCHMARK_CAPTURE(BM_BareEditor, label##_window_repaint, command, Paint::kWindow)->Unit(benchmark::kMillisecond); \
  BENCHMARK_CAPTURE(BM_Window, label##_event_loop, command, Paint::kEventLoop)->Unit(benchmark::kMillisecond); \
  BENCHMARK_CAPTURE(BM_BareEditor, label##_event_loop, command, Paint::kEventLoop)->Unit(benchmark::kMillisecond); \
  BENCHMARK_CAPTURE(BM_Window, label##_no_paint, command, Paint::kNone)->Unit(benchmark::kMillisecond); \
  BENCHMARK_CAPTURE(BM_BareEditor, label##_no_paint, command, Paint::kNone)->Unit(benchmark::kMillisecond)

MOK_EDIT_BENCH(Command::kPaste, paste);
MOK_EDIT_BENCH(Command::kReplace, replace_2000);
MOK_EDIT_BENCH(Command::kFullWidth, full_width);

}  // namespace
