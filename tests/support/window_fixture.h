#pragma once

// A main window on the offscreen platform with scripted prompts, and helpers to
// trigger its menu items and keys the way a user does.

#include <QAction>
#include <QMenuBar>
#include <QSettings>
#include <QTest>

#include <memory>
#include <utility>

#include <gtest/gtest.h>

#include "app/main_window.h"
#include "codec/text_types.h"
#include "platform/qt_text.h"
#include "tests/support/hex.h"
#include "tests/support/scripted_prompts.h"
#include "widgets/text_box.h"

namespace mok::testing {

inline QString Q(TextView text) { return ToQString(text); }
inline Text T(const QString& text) { return ToText(text); }

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSettings();
    prompts = std::make_unique<ScriptedPrompts>();
    window = std::make_unique<MainWindow>(prompts.get());
    window->show();
  }

  void TearDown() override {
    // Closing must not ask anything unless the test scripted it.
    window.reset();
    prompts.reset();
  }

  static void ClearSettings() {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("MOK"), QStringLiteral("MOK"));
    settings.clear();
    settings.sync();
  }

  TextBox& box() { return window->Box(); }

  QAction* Action(const QString& name) {
    QAction* action = window->menuBar()->findChild<QAction*>(name);
    if (action == nullptr) {
      // Items live in the menus, which are children of the bar.
      for (QMenu* menu : window->menuBar()->findChildren<QMenu*>()) {
        for (QAction* item : menu->actions()) {
          if (item->objectName() == name) return item;
        }
      }
    }
    return action;
  }

  void Trigger(const QString& name) {
    QAction* action = Action(name);
    ASSERT_NE(action, nullptr) << name.toStdString();
    action->trigger();
  }

  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(&box(), key, modifiers);
  }

  Text Say() { return T(window->Say()); }

  // Selects positions [start, start + length) in the scale where a line break counts one.
  void Select(std::int32_t start, std::int32_t length) {
    box().SetSelStart(start);
    box().SetSelLength(length);
  }
  // The selection as (start, length), to compare with std::pair(start, length).
  std::pair<std::int32_t, std::int32_t> Selection() { return {box().SelStart(), box().SelLength()}; }

  // The text, made the original with the status "start", as a file or paste leaves it.
  void StartWith(TextView text) {
    box().SetText(text);
    window->SetOriginal(u"start");
  }
  // Runs a menu item on this text made the original; the text it leaves.
  Text RunOn(const QString& item, TextView text) {
    StartWith(text);
    Trigger(item);
    return box().GetText();
  }

  std::unique_ptr<ScriptedPrompts> prompts;
  std::unique_ptr<MainWindow> window;
};

}  // namespace mok::testing
