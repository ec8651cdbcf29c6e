#include "app/edit_menu.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>

#include "tests/support/window_fixture.h"

namespace mok::testing {
namespace {

class EditMenuTest : public WindowTest {
 protected:
  QMenu* Edits() { return window->menuBar()->findChild<QMenu*>(QStringLiteral("mnuEdits")); }

  // The names of the enabled items after the menu was opened.
  QStringList EnabledItems() {
    QStringList enabled;
    for (QAction* item : Edits()->actions()) {
      if (!item->isSeparator() && item->isEnabled()) enabled << item->objectName();
    }
    return enabled;
  }
};

// The garbled-text makers' submenu mnuMakes is enabled with the selection, like
// copy, the conversions, replace and delete.
TEST_F(EditMenuTest, EnablingFollowsTheSelectionAndTheClipboard) {
  const QStringList always = {QStringLiteral("mnuASel"),  QStringLiteral("mnuSeekNew"), QStringLiteral("mnuIns_1"),
                              QStringLiteral("mnuIns_2"), QStringLiteral("mnuIns_3"),   QStringLiteral("mnuIns_4")};
  box().SetText(u"abc");
  QGuiApplication::clipboard()->clear();
  emit Edits()->aboutToShow();
  EXPECT_EQ(EnabledItems(), always);
  // The keys are the text box's: an item with a shortcut of its own would run twice.
  for (QAction* item : Edits()->actions()) EXPECT_TRUE(item->shortcut().isEmpty()) << item->objectName().toStdString();

  box().SetSelLength(1);
  QGuiApplication::clipboard()->setText(QString());  // an empty text is still text
  emit Edits()->aboutToShow();
  EXPECT_EQ(EnabledItems().size(), Edits()->actions().size() - 4);  // all but the four separators
  EXPECT_TRUE(EnabledItems().contains(QStringLiteral("mnuMakes")));

  // The right button opens the same menu, enabled the same way.
  box().SetSelLength(0);
  QTest::mouseClick(box().viewport(), Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
  EXPECT_TRUE(Edits()->isVisible());
  EXPECT_EQ(EnabledItems(), QStringList{QStringLiteral("mnuPasteOrig")} + always.mid(0, 1) +
                                QStringList{QStringLiteral("mnuPaste")} + always.mid(1));
  Edits()->close();
}

TEST_F(EditMenuTest, HoldingAFindKeyFindsOnceOnRelease) {
  box().SetText(u"a a a a");
  box().SetSelLength(1);
  QTest::keyPress(&box(), Qt::Key_F2);
  QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_F2, Qt::NoModifier, QString(), /*autorep=*/true);
  QCoreApplication::sendEvent(&box(), &repeat);
  QTest::keyRelease(&box(), Qt::Key_F2);
  EXPECT_EQ(box().SelStart(), 2);
}

}  // namespace
}  // namespace mok::testing
