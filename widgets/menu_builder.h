#pragma once

// Builds menu items in one place, each with an object name so tests can find and
// trigger them by name. Captions are used as stored: "&" marks the access key
// and "&&" shows a single ampersand.

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <functional>

namespace mok {

class MenuBuilder {
 public:
  MenuBuilder(QMenuBar& bar, QObject* context) : bar_(bar), context_(context) {}

  QMenu* TopMenu(const QString& name, const QString& caption) {
    QMenu* menu = bar_.addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
  }

  QMenu* SubMenu(QMenu* parent, const QString& name, const QString& caption) {
    QMenu* menu = parent->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
  }

  // An item; a caption of "-" makes a separator that runs nothing.
  QAction* Item(QMenu* menu, const QString& name, const QString& caption, std::function<void()> handler) {
    if (caption == QStringLiteral("-")) return Separator(menu, name);
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    QObject::connect(action, &QAction::triggered, context_, [handler = std::move(handler)] { handler(); });
    return action;
  }

  QAction* Separator(QMenu* menu, const QString& name) {
    QAction* action = menu->addSeparator();
    action->setObjectName(name);
    return action;
  }

  // A check mark that stays: it marks a recommended item and carries no state.
  static void CheckPermanently(QAction* action) {
    action->setCheckable(true);
    action->setChecked(true);
    QObject::connect(action, &QAction::toggled, action, [action](bool on) {
      if (!on) action->setChecked(true);
    });
  }

 private:
  QMenuBar& bar_;
  QObject* context_;
};

}  // namespace mok
