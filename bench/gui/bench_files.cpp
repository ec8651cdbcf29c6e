// The file commands on a shown main window, each against bare Qt doing the
// least the same job needs, in the same run on the offscreen platform.
//
// "open": the whole 打开作原始 command on a 48,002-byte file (12,000 Hangul
// syllables of four bytes each in GB18030 and a line break, the largest file the size check lets
// through whose text also fits), with GB18030 chosen in the file browser: size
// check, read, format detection, decoding, the text box, the history commit,
// the caption, then the events and the repaint that follow. Two such files
// alternate, so each open really replaces the text. The reference reads the same
// file with QFile and gives the decoded text to setPlainText of a QPlainTextEdit
// of the text box's size and font, followed by the same events.
//
// "list": the file browser showing a folder of 20,000 files: the listing read,
// filtered and sorted, and the dialog's list filled and painted. The reference
// fills a bare QListWidget of the same size from QDir::entryList with the same
// filter, and paints it.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app/main_window.h"
#include "bench/support/bare_editor.h"
#include "codec/conversion_core.h"
#include "codec/text_files.h"
#include "commands/command_host.h"
#include "files/file_browser.h"
#include "files/file_commands.h"
#include "platform/qt_text.h"
#include "platform/user_prompts.h"
#include "widgets/text_box.h"

namespace {

using mok::Text;

// The file browser "shown" as a user who picks this file and format; any
// message or question would be a failure of the set-up.
class PickingPrompts : public mok::UserPrompts {
 public:
  mok::MessageAnswer ShowMessage(std::u16string_view, mok::MessageButtons, std::u16string_view) override {
    std::abort();
  }
  void Beep() override { std::abort(); }
  void ShowModal(mok::ModalDialog& dialog) override {
    auto& browser = static_cast<mok::FileBrowser&>(dialog);
    browser.sWay = path;
    browser.nPat = format;
  }
  Text path;
  std::int16_t format = 0;
};

// Two different 48,002-byte GB18030 files and their texts.
struct OpenSamples {
  QTemporaryDir dir;
  std::array<Text, 2> paths;
  std::array<Text, 2> texts;
};

const OpenSamples& Samples() {
  static const OpenSamples* samples = [] {
    auto* made = new OpenSamples;
    for (std::size_t i = 0; i < 2; ++i) {
      // Hangul syllables: four bytes each in GB18030.
      Text text;
      for (int c = 0; c < 12000; ++c) text += static_cast<char16_t>(0xAC00 + (c * 7 + i) % 11172);
      text += u"\r\n";
      const mok::Bytes bytes = mok::TextToCpBytes(text, 54936);
      if (bytes.size() != 48002) std::abort();
      const QString path = made->dir.filePath(QStringLiteral("gb18030_%1.txt").arg(i));
      std::ofstream(QFile::encodeName(path).toStdString(), std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
      made->paths[i] = mok::ToText(path);
      made->texts[i] = text;
    }
    return made;
  }();
  return *samples;
}

void BM_OpenCommand(benchmark::State& state) {
  const OpenSamples& samples = Samples();
  PickingPrompts prompts;
  prompts.format = mok::kFormatGb18030;
  mok::MainWindow window(&prompts);
  window.show();
  (void)window.frmB();  // built on first use, which is not what is measured
  mok::bench::Settle();
  std::size_t which = 0;
  for (auto _ : state) {
    which ^= 1;
    prompts.path = samples.paths[which];
    mok::RunOpen(window);
    QCoreApplication::processEvents();
    state.PauseTiming();
    if (window.Box().GetText() != samples.texts[which] || window.History().Current().text != samples.texts[which]) {
      std::abort();
    }
    state.ResumeTiming();
  }
}

void BM_OpenBareEditor(benchmark::State& state) {
  const OpenSamples& samples = Samples();
  PickingPrompts prompts;
  mok::bench::BareEditorWindow bare(prompts);
  QPlainTextEdit& editor = bare.Editor();
  const std::array<QString, 2> paths = {mok::ToQString(samples.paths[0]), mok::ToQString(samples.paths[1])};
  const std::array<QString, 2> texts = {mok::ToQString(samples.texts[0]), mok::ToQString(samples.texts[1])};
  std::size_t which = 0;
  for (auto _ : state) {
    which ^= 1;
    QFile file(paths[which]);
    if (!file.open(QIODevice::ReadOnly) || file.readAll().size() != 48002) std::abort();
    editor.setPlainText(texts[which]);
    QCoreApplication::processEvents();
  }
}

// A folder of 20,000 text files (and nothing else), made once.
const QString& BigFolder() {
  static const QString* folder = [] {
    auto* dir = new QTemporaryDir;
    for (int i = 0; i < 20000; ++i) {
      std::ofstream(QFile::encodeName(dir->filePath(QStringLiteral("note_%1.txt").arg(i))).toStdString());
    }
    return new QString(dir->path() + u'/');
  }();
  return *folder;
}

void BM_ListDialog(benchmark::State& state) {
  const QString& folder = BigFolder();
  PickingPrompts prompts;
  mok::FileBrowser browser(prompts);
  browser.bOpen = true;
  browser.show();
  mok::bench::Settle();
  browser.findChild<QLineEdit*>(QStringLiteral("txtPath"))->setText(folder);
  if (!browser.txtPath_Validate()) std::abort();
  QListWidget* list = browser.findChild<QListWidget*>(QStringLiteral("filA"));
  for (auto _ : state) {
    // Showing the dialog reads its folder again and fills the list.
    if (!browser.Form_Activate()) std::abort();
    QCoreApplication::processEvents();
    state.PauseTiming();
    if (list->count() != 20000) std::abort();
    state.ResumeTiming();
  }
}

void BM_ListBareWidget(benchmark::State& state) {
  const QString& folder = BigFolder();
  QListWidget list;
  list.resize(mok::TwipsToPixels(4680), mok::TwipsToPixels(5610));
  list.show();
  mok::bench::Settle();
  for (auto _ : state) {
    list.clear();
    list.addItems(QDir(folder).entryList({QStringLiteral("*.txt")}, QDir::Files));
    QCoreApplication::processEvents();
    state.PauseTiming();
    if (list.count() != 20000) std::abort();
    state.ResumeTiming();
  }
}

BENCHMARK(BM_OpenCommand)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenBareEditor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListDialog)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListBareWidget)->Unit(benchmark::kMillisecond);

}  // namespace
