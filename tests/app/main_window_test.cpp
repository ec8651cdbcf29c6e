#include "app/main_window.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QFontInfo>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QWheelEvent>

#include "codec/conversion_core.h"
#include "tests/support/read_as.h"
#include "tests/support/window_fixture.h"
#include "widgets/status_label.h"

namespace mok::testing {
namespace {

using MainWindowTest = WindowTest;

TEST_F(MainWindowTest, StartsWithItsControlsAndCaptions) {
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Mokrin"));
  EXPECT_EQ(window->TitleSuffix(), QStringLiteral("  ~Mokrin"));
  EXPECT_TRUE(window->Say().isEmpty());
  const char* captions[4] = {"退到原始", "撤消 F5", "重做 F6", "进到最新"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(window->HistoryButton(i)->text(), QString::fromUtf8(captions[i]));
    EXPECT_FALSE(window->HistoryButton(i)->isEnabled()) << i;
    EXPECT_EQ(window->HistoryButton(i)->focusPolicy(), Qt::NoFocus);
  }
  EXPECT_EQ(window->SeekButton(0)->text(), QStringLiteral("逆找 F1"));
  EXPECT_EQ(window->SeekButton(1)->text(), QStringLiteral("顺找 F2"));
  EXPECT_TRUE(box().GetText().empty());
  EXPECT_EQ(box().MaxLength(), 16000);
  EXPECT_TRUE(box().Locked());
  EXPECT_TRUE(box().WordWrap());
  EXPECT_DOUBLE_EQ(box().FontSize(), 12);
  EXPECT_EQ(box().FontName(), QStringLiteral("宋体"));

  QStringList titles;
  for (QAction* top : window->menuBar()->actions()) titles << top->text();
  EXPECT_EQ(titles, (QStringList{QStringLiteral(" 文件 (&F)"), QStringLiteral(" 编辑 (&E)"), QStringLiteral(" 解读乱码 (&1)"),
                                 QStringLiteral(" 解读乱码 (&2)"), QStringLiteral(" 解读乱码 (&3)"),
                                 QStringLiteral(" 查看 (&L)")}));
}

TEST_F(MainWindowTest, SecondDecodingMenuHoldsTheWholeTable) {
  QMenu* menu = window->menuBar()->findChild<QMenu*>(QStringLiteral("mnuJiedusB"));
  ASSERT_NE(menu, nullptr);
  const QList<QAction*> items = menu->actions();
  ASSERT_EQ(items.size(), 17);
  const char* captions[17] = {
      "GB--Big5 ：英文通顺,中文不通,排列不紧密,多日文",
      "GB--日文 ：英文通顺,中文不通,多单人旁,句中丄,句尾丅",
      "GB--韩文 ：英文通顺,中文不通,多简体字,隔几字有一空格",
      "GB--俄文 ：英文通顺,中文不通,稍密,间有问号",
      "GB--Utf8 ：英文通顺,中文不通,稍密,间有 € ,或开头有 锘",
      nullptr,
      "Big5--GB ：英文通顺,中文不通,句中有ㄛ﹜ㄩ,句尾有﹝",
      "Big5--韩文 ：英文通顺,中文不通,多繁体字,隔几字有一空格",
      "日文--GB ：英文通顺,中文不通,繁体,多半角日文片假名",
      "韩文--GB ：英文通顺,中文不通,繁体,多繁复韩文",
      "俄文--GB ：英文通顺,无中文,多附点变形俄文字母",
      nullptr,
      "Eng--GB ：英文通顺,无中文,多附点变形拉丁字母,多数大写",
      "Eng--Utf8 ：同上类似,字母多数小写,有方框",
      "Latin1--GB ：类似 Eng--GB,字母多数大写,有方框",
      "Latin1--Utf8 ：类似 Eng--Utf8,字母多数小写,方框更多",
      "UBE--ULE ：全文不通,多方框和中文,兼有空格和韩文",
  };
  for (int i = 0; i < 17; ++i) {
    QAction* item = items[i];
    EXPECT_EQ(item->objectName(), QStringLiteral("mnuA2B_%1").arg(i));
    if (captions[i] == nullptr) {
      EXPECT_TRUE(item->isSeparator()) << i;
      continue;
    }
    EXPECT_EQ(item->text(), QString::fromUtf8(captions[i])) << i;
    const bool checked = i == 0 || i == 4 || i == 6 || i == 12;
    EXPECT_EQ(item->isChecked(), checked) << i;
  }
  // Choosing a checked item leaves its mark in place.
  box().SetText(u"abc");
  items[0]->trigger();
  EXPECT_TRUE(items[0]->isChecked());
}

TEST_F(MainWindowTest, HistoryStepsWithButtonsAndKeys) {
  box().SetText(u"\u00C3\u00A4");
  Trigger(QStringLiteral("mnuA2B_15"));  // Latin1--Utf8
  EXPECT_EQ(box().GetText(), u"\u00E4");
  EXPECT_EQ(window->Say(), QStringLiteral("Latin1--Utf8"));
  EXPECT_TRUE(window->HistoryButton(0)->isEnabled());
  EXPECT_TRUE(window->HistoryButton(1)->isEnabled());
  EXPECT_FALSE(window->HistoryButton(2)->isEnabled());
  EXPECT_FALSE(window->HistoryButton(3)->isEnabled());

  Key(Qt::Key_F5);  // undo: back to the original, which was empty
  EXPECT_TRUE(box().GetText().empty());
  EXPECT_TRUE(window->HistoryButton(2)->isEnabled());
  EXPECT_FALSE(window->HistoryButton(0)->isEnabled());
  Key(Qt::Key_F6);  // redo
  EXPECT_EQ(box().GetText(), u"\u00E4");
  EXPECT_EQ(window->Say(), QStringLiteral("Latin1--Utf8"));
  Key(Qt::Key_F5, Qt::ControlModifier);  // back to the original
  EXPECT_TRUE(box().GetText().empty());
  Key(Qt::Key_F6, Qt::ControlModifier);  // to the newest
  EXPECT_EQ(box().GetText(), u"\u00E4");
  Key(Qt::Key_F6, Qt::ControlModifier);  // already newest: nothing
  EXPECT_EQ(box().GetText(), u"\u00E4");
  window->cmdUd_Click(0);
  Key(Qt::Key_F5);  // at the original: nothing
  EXPECT_TRUE(box().GetText().empty());
  // Shift with F5 is still undo/redo: only Ctrl alone selects the other command.
  Key(Qt::Key_F6, Qt::ShiftModifier | Qt::ControlModifier);
  EXPECT_EQ(window->History().nCur(), 0);
}

TEST_F(MainWindowTest, UnchangedEmptyAndTooLongResults) {
  Trigger(QStringLiteral("mnuA2B_0"));  // empty text
  EXPECT_EQ(Say(), u"未经改动");
  EXPECT_EQ(prompts->beeps, 1);
  EXPECT_EQ(window->History().nCur(), TextHistory::kOriginal);

  box().SetText(u"plain ASCII");
  window->SetOriginal(u"start");
  Trigger(QStringLiteral("mnuA2B_0"));  // GB--Big5 leaves ASCII as it is
  EXPECT_EQ(Say(), u"经过改动，仍然相同");
  EXPECT_FALSE(window->HistoryButton(1)->isEnabled());

  // 8000 characters that GB--Big5 doubles make 16000.
  const char16_t doubling = GbkIdeographDoubledAsBig5();
  ASSERT_NE(doubling, 0);
  box().SetText(Text(8000, doubling));
  Trigger(QStringLiteral("mnuA2B_0"));
  EXPECT_EQ(box().TextLength(), 16000);
  EXPECT_EQ(Say(), u"GB--Big5");
  EXPECT_TRUE(prompts->messages.empty());

  Text longer(8000, doubling);
  longer += u'A';
  box().SetText(longer);
  Trigger(QStringLiteral("mnuA2B_0"));
  ASSERT_EQ(prompts->messages.size(), 1u);
  EXPECT_EQ(prompts->messages[0].text, u"GB--Big5 未成~ 文本过长");
  EXPECT_EQ(prompts->messages[0].title, u"MOK");
  EXPECT_EQ(prompts->messages[0].buttons, MessageButtons::Ok);
  EXPECT_EQ(box().GetText(), longer);
}

TEST_F(MainWindowTest, ClosingWithUnsavedTextAsks) {
  box().SetText(u"A");
  Trigger(QStringLiteral("mnuA2B_16"));  // UBE--ULE
  EXPECT_EQ(box().GetText(), u"\u4100");
  prompts->AnswerNext(MessageAnswer::No);
  EXPECT_FALSE(window->close());
  ASSERT_EQ(prompts->messages.size(), 1u);
  EXPECT_EQ(prompts->messages[0].text, u"当前文本尚未保存。是否要清空它？");
  EXPECT_EQ(prompts->messages[0].buttons, MessageButtons::YesNo);
  EXPECT_EQ(prompts->messages[0].title, u"MOK");
  EXPECT_EQ(box().GetText(), u"\u4100");

  // Undoing back to the original makes the text count as saved: no question.
  window->cmdUd_Click(1);
  EXPECT_TRUE(window->close());
  EXPECT_EQ(prompts->messages.size(), 1u);
}

TEST_F(MainWindowTest, PositionLineFollowsKeysAndClicks) {
  box().SetText(u"\u5B57\tb");
  box().SetSelStart(0);
  Key(Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(Say(), u"位于 0  选取 1\r\n[字] UBE= 5B57  GBK= D7D6");
  Key(Qt::Key_Right);
  Key(Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(Say(), u"位于 1  选取 1\r\n[ ] UBE= 0009  GBK= 09");
  QTest::mouseClick(box().viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
  EXPECT_EQ(Say().substr(0, 3), u"位于 ");
  Key(Qt::Key_F2, Qt::ControlModifier);
  EXPECT_EQ(box().SelStart(), 3);
  Key(Qt::Key_F1, Qt::ControlModifier);
  EXPECT_EQ(box().SelStart(), 0);
}

// A key acts on its release, as Ctrl+ when Ctrl was down as the key went down:
// letting go of Ctrl a moment before the key (as many typists do, and as
// "xdotool key ctrl+p" does) still gives Ctrl+, and pressing Ctrl only after
// the key went down does not.
TEST_F(MainWindowTest, CtrlCountsWhenItWasDownAsTheKeyWentDown) {
  struct Case {
    Qt::Key key;
    Text with_ctrl_text, with_ctrl_say;
    std::pair<std::int32_t, std::int32_t> with_ctrl_selection;
    Text bare_text;
    std::pair<std::int32_t, std::int32_t> bare_selection;
    int bare_beeps;
  };
  const Case cases[] = {
      {Qt::Key_P, u"x", u"粘贴作原始", {1, 0}, u"abc", {1, 0}, 0},
      {Qt::Key_V, u"axbc", u"粘贴", {2, 0}, u"abc", {1, 0}, 0},
      {Qt::Key_F1, u"abc", u"start", {0, 0}, u"abc", {1, 0}, 1},  // bare: find backward, no search string
      {Qt::Key_F2, u"abc", u"start", {3, 0}, u"abc", {1, 0}, 1},
      {Qt::Key_Delete, u"a bc", u"空格", {2, 0}, u"abc", {1, 0}, 0},  // bare: delete, nothing selected
  };
  QGuiApplication::clipboard()->setText(QStringLiteral("x"));
  for (const Case& c : cases) {
    SCOPED_TRACE(QKeySequence(c.key).toString().toStdString());
    StartWith(u"abc");
    box().SetSelStart(1);
    QTest::keyPress(&box(), c.key, Qt::ControlModifier);  // Ctrl goes down, then the key
    QTest::keyRelease(&box(), Qt::Key_Control, Qt::NoModifier);
    QTest::keyRelease(&box(), c.key, Qt::NoModifier);
    EXPECT_EQ(box().GetText(), c.with_ctrl_text);
    EXPECT_EQ(Say(), c.with_ctrl_say);
    EXPECT_EQ(Selection(), c.with_ctrl_selection);
    EXPECT_EQ(prompts->beeps, 0);

    StartWith(u"abc");
    box().SetSelStart(1);
    QTest::keyPress(&box(), c.key);  // the key goes down, then Ctrl
    QTest::keyPress(&box(), Qt::Key_Control, Qt::ControlModifier);
    QTest::keyRelease(&box(), c.key, Qt::ControlModifier);
    EXPECT_EQ(box().GetText(), c.bare_text);
    EXPECT_EQ(Selection(), c.bare_selection);
    EXPECT_EQ(prompts->beeps, c.bare_beeps);
    prompts->beeps = 0;
  }
}

TEST_F(MainWindowTest, ResizeKeepsTheMargins) {
  QWidget* client = window->centralWidget();
  window->resize(900, 700);
  QCoreApplication::processEvents();
  const int expected_width = static_cast<int>(std::lround((client->width() * 15.0 - 200) / 15.0));
  EXPECT_EQ(box().width(), expected_width);
  const int before = box().width();
  client->resize(10, 300);  // 150 twips: narrower than the margins, so the width stays
  EXPECT_EQ(box().width(), before);
  EXPECT_EQ(box().height(), 250);  // (4500 - 650 - 100) / 15
  EXPECT_EQ(box().x(), TwipsToPixels(100));
  EXPECT_EQ(box().y(), TwipsToPixels(650));
}

TEST_F(MainWindowTest, ViewSettingsPersistBetweenRuns) {
  QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("MOK"), QStringLiteral("MOK"));
  Trigger(QStringLiteral("mnuHScr"));
  box().SetFontSize(10.5);
  EXPECT_TRUE(window->close());  // saves on a successful close
  settings.sync();
  EXPECT_EQ(settings.value(QStringLiteral("Picks/WordWrap")).toString(), QStringLiteral("False"));
  EXPECT_EQ(settings.value(QStringLiteral("Picks/FontSize")).toString(), QStringLiteral("10.5"));

  MainWindow next(prompts.get());
  EXPECT_FALSE(next.Box().WordWrap());
  EXPECT_DOUBLE_EQ(next.Box().FontSize(), 10.5);

  // An unreadable size is skipped; start-up goes on with 12.
  settings.setValue(QStringLiteral("Picks/FontSize"), QStringLiteral("big"));
  settings.setValue(QStringLiteral("Picks/WordWrap"), QStringLiteral("True"));
  settings.sync();
  MainWindow third(prompts.get());
  EXPECT_TRUE(third.Box().WordWrap());
  EXPECT_DOUBLE_EQ(third.Box().FontSize(), 12);

  Trigger(QStringLiteral("mnuSize_8"));
  QMenu* looks = window->menuBar()->findChild<QMenu*>(QStringLiteral("mnuLooks"));
  emit looks->aboutToShow();
  EXPECT_EQ(Action(QStringLiteral("mnuSize0"))->text(), QStringLiteral("26"));
}

}  // namespace
}  // namespace mok::testing

namespace mok::testing {
namespace {

TEST_F(WindowTest, NewWindowSavesTheViewSettingsAndStartsItself) {
  QString started;
  window->SetProcessStarter([&](const QString& program) {
    started = program;
    return true;
  });
  Trigger(QStringLiteral("mnuHScr"));
  Trigger(QStringLiteral("mnuSize_2"));
  Trigger(QStringLiteral("mnuNewWin"));
  // The running executable itself, whatever dots its name holds.
  EXPECT_EQ(started, QCoreApplication::applicationFilePath());
  // The new instance starts with these settings and an empty text.
  MainWindow second(prompts.get());
  EXPECT_FALSE(second.Box().WordWrap());
  EXPECT_DOUBLE_EQ(second.Box().FontSize(), 14);
  EXPECT_TRUE(second.Box().GetText().empty());
}

TEST_F(WindowTest, AboutBoxShowsNameVersionAndMaker) {
  Trigger(QStringLiteral("mnuAbout"));
  ASSERT_EQ(prompts->messages.size(), 1u);
  EXPECT_EQ(prompts->messages[0].text, u"产品名：Mokrin   版本号：4.3\r\n\r\n作者：Mokrin 开发组  mokrin@example.org");
  EXPECT_EQ(prompts->messages[0].title, u"MOK");
  EXPECT_EQ(prompts->messages[0].buttons, MessageButtons::Ok);
}

TEST_F(WindowTest, ClientAreaIsTheDesignsBelowTheBuiltMenus) {
  QCoreApplication::processEvents();
  EXPECT_EQ(window->centralWidget()->size(), QSize(762, 519));  // 11430 x 7785 twips
  EXPECT_EQ(box().size(), QSize(749, 469));
}

TEST_F(WindowTest, CtrlWheelScrollsAndLeavesTheFontSize) {
  box().SetText(Text(4000, u'\u5B57'));
  QWheelEvent wheel(QPointF(20, 20), box().viewport()->mapToGlobal(QPointF(20, 20)), QPoint(), QPoint(0, 120),
                    Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(box().viewport(), &wheel);
  EXPECT_DOUBLE_EQ(box().FontSize(), 12);
  EXPECT_TRUE(window->close());
  QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("MOK"), QStringLiteral("MOK"));
  EXPECT_EQ(settings.value(QStringLiteral("Picks/FontSize")).toString(), QStringLiteral("12"));
}

// Both lines of the position line, brackets and descenders included, are
// painted inside the label's box at the scales of common screens.
TEST_F(WindowTest, StatusLabelFitsBothLines) {
  auto* label = window->findChild<StatusLabel*>(QStringLiteral("lblSay"));
  ASSERT_NE(label, nullptr);
  const QSize box = label->size();
  const int margin = 20;
  for (const qreal scale : {1.0, 1.5, 2.0}) {
    SCOPED_TRACE(scale);
    QImage image((QSizeF(box.width(), box.height() + 2 * margin) * scale).toSize(), QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.setDotsPerMeterX(3780);  // 96 dpi, as the screen
    image.setDotsPerMeterY(3780);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    painter.translate(0, margin);
    PaintStatusText(painter, label->font(), QStringLiteral("位于 12  选取 1\r\n[g] UBE= 0067  GBK= 67"), box);
    painter.end();
    int top = image.height();
    int bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (qGray(image.pixel(x, y)) < 255) {
          top = std::min(top, y);
          bottom = std::max(bottom, y);
        }
      }
    }
    EXPECT_GE(top, margin * scale);
    EXPECT_LT(bottom, (margin + box.height()) * scale);
    // The second line's descenders reach into the lowest sixth of the box.
    EXPECT_GE(bottom, (margin + box.height() * 5.0 / 6) * scale);
  }
  // The font stays close to its design size.
  EXPECT_GE(QFontInfo(label->font()).pointSizeF(), 11);
}

}  // namespace
}  // namespace mok::testing
