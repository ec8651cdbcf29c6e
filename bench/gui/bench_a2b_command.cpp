// The whole GB--Big5 command on a shown main window, against a bare Qt plain-text
// editor showing the same text, both on the offscreen platform in the same run.
//
// Each iteration of the command: (untimed) the box gets one of two different
// 16000-character garbled texts and pending events are handled; (timed) the
// GB--Big5 menu item is triggered (reinterpretation, SetText, history commit,
// status label), then the whole window is repainted and the events that follow
// are handled ("window_repaint", the measure for the targets). Two variants
// split the cost: "event_loop" paints only what the change made dirty, as the
// running program does, and "no_paint" stops before painting. The two garbled texts alternate, so each commit really changes
// the history (which wraps its ring, as it may). The reference does the same
// with setPlainText of the same repaired text into a QPlainTextEdit that is the
// central widget of a QMainWindow of the text box's size, with the text box's
// font, so both lay out and paint the same glyphs in the same area. "paints" is
// the number of paint events the editor viewport received per iteration in the
// timed part: it shows the repaint really lays out and paints the text.

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStandardPaths>

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "app/application.h"
#include "app/main_window.h"
#include "bench/support/bare_editor.h"
#include "bench/support/gui_bench.h"
#include "bench/support/prose.h"
#include "codec/conversion_core.h"
#include "platform/user_prompts.h"
#include "widgets/text_box.h"

namespace {

using mok::Bytes;
using mok::Text;
using mok::bench::FindAction;
using mok::bench::NoPrompts;
using mok::bench::Paint;
using mok::bench::PaintCounter;
using mok::bench::Repaint;

constexpr std::size_t kLength = 16000;

QString ToQString(const Text& text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

// One garbled text (Big5 bytes read as GBK, exactly kLength characters) and
// what GB--Big5 makes of it.
struct Sample {
  Text garbled;
  Text clean;
};

const std::array<Sample, 2>& Samples() {
  static const std::array<Sample, 2> samples = [] {
    std::array<Sample, 2> made;
    for (std::size_t i = 0; i < made.size(); ++i) {
      const Text prose = mok::bench::Prose(kLength + 200, mok::bench::CommonBig5Hanzi(), 7 + i);
      Text garbled = mok::CpBytesToText(mok::TextToCpBytes(prose, 950), 936);
      garbled.resize(kLength);
      Text clean = garbled;
      mok::ReinterpretByLid(clean, 2052, 1028);
      if (clean.empty() || clean.size() > kLength) std::abort();  // the command must accept it
      made[i] = {std::move(garbled), std::move(clean)};
    }
    if (made[0].clean == made[1].clean) std::abort();
    return made;
  }();
  return samples;
}

void BM_A2BCommand(benchmark::State& state, Paint paint) {
  const auto& samples = Samples();
  NoPrompts prompts;
  mok::MainWindow window(&prompts);
  window.show();
  mok::bench::Settle();
  mok::TextBox& box = window.Box();
  QAction* gb_big5 = FindAction(window.menuBar(), QStringLiteral("mnuA2B_0"));
  PaintCounter paints(box.viewport());
  std::size_t which = 0;
  std::int64_t timed_paints = 0;
  for (auto _ : state) {
    state.PauseTiming();
    which ^= 1;
    box.SetText(samples[which].garbled);
    mok::bench::Settle();
    const std::int64_t paints_before = paints.count;
    state.ResumeTiming();

    gb_big5->trigger();
    Repaint(window, paint);

    state.PauseTiming();
    // The box shows the repaired text, the history took it as a new state, and
    // the editor painted.
    if (box.GetText() != samples[which].clean || window.History().Current().text != samples[which].clean ||
        (paint != Paint::kNone && paints.count == paints_before)) {
      std::abort();
    }
    timed_paints += paints.count - paints_before;
    state.ResumeTiming();
  }
  state.counters["paints"] = benchmark::Counter(static_cast<double>(timed_paints), benchmark::Counter::kAvgIterations);
}

void BM_BareEditor(benchmark::State& state, Paint paint) {
  const auto& samples = Samples();
  NoPrompts prompts;
  mok::bench::BareEditorWindow bare(prompts);
  QMainWindow& window = bare.Window();
  QPlainTextEdit* editor = &bare.Editor();
  PaintCounter paints(editor->viewport());
  const std::array<QString, 2> garbled = {ToQString(samples[0].garbled), ToQString(samples[1].garbled)};
  const std::array<QString, 2> clean = {ToQString(samples[0].clean), ToQString(samples[1].clean)};
  std::size_t which = 0;
  std::int64_t timed_paints = 0;
  for (auto _ : state) {
    state.PauseTiming();
    which ^= 1;
    editor->setPlainText(garbled[which]);
    mok::bench::Settle();
    const std::int64_t paints_before = paints.count;
    state.ResumeTiming();

    editor->setPlainText(clean[which]);
    Repaint(window, paint);

    state.PauseTiming();
    if (paint != Paint::kNone && paints.count == paints_before) std::abort();
    timed_paints += paints.count - paints_before;
    state.ResumeTiming();
  }
  state.counters["paints"] = benchmark::Counter(static_cast<double>(timed_paints), benchmark::Counter::kAvgIterations);
}

BENCHMARK_CAPTURE(BM_A2BCommand, window_repaint, Paint::kWindow)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BareEditor, window_repaint, Paint::kWindow)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_A2BCommand, event_loop, Paint::kEventLoop)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BareEditor, event_loop, Paint::kEventLoop)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_A2BCommand, no_paint, Paint::kNone)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BareEditor, no_paint, Paint::kNone)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Settings go to the test-mode folders, never the user's.
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  mok::PrepareApplication(app);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
