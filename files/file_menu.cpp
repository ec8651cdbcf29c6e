#include "files/file_menu.h"

#include <QAction>
#include <QMenu>

#include "files/file_commands.h"
#include "widgets/menu_builder.h"

namespace mok {

QMenu* BuildFileMenu(MenuBuilder& build, CommandHost& host, std::function<void()> new_window) {
  QMenu* files = build.TopMenu(QStringLiteral("mnuFiles"), QStringLiteral(" 文件 (&F)"));
  build.Item(files, QStringLiteral("mnuClear"), QStringLiteral("清空作原始 (&K)"), [&host] { RunClear(host); });
  build.Item(files, QStringLiteral("mnuOpen"), QStringLiteral("打开作原始 (&O) …"), [&host] { RunOpen(host); });
  build.Separator(files, QStringLiteral("mnuBarF1"));
  QAction* save = build.Item(files, QStringLiteral("mnuSave"), QStringLiteral("保存到文件 (&S) …"), [&host] { RunSave(host); });
  save->setCheckable(true);
  QAction* attributes =
      build.Item(files, QStringLiteral("mnuAttr"), QStringLiteral("文件属性 (&Q) …"), [&host] { RunAttributes(host); });
  build.Separator(files, QStringLiteral("mnuBarF2"));
  build.Item(files, QStringLiteral("mnuNewWin"), QStringLiteral("新窗口 (&W)"), std::move(new_window));
  // mnuFiles_Click, also run once so the items are right before the first drop-down.
  auto mnuFiles_Click = [&host, save, attributes] {
    const FileMenuState state = FileMenuStateOf(host);
    save->setChecked(state.save_checked);
    attributes->setEnabled(state.attributes_enabled);
  };
  QObject::connect(files, &QMenu::aboutToShow, files, mnuFiles_Click);
  mnuFiles_Click();
  return files;
}

}  // namespace mok
