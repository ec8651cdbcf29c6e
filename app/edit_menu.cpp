#include "app/edit_menu.h"

#include <QMenu>

#include "app/garbled_text_menus.h"
#include "commands/clipboard_commands.h"
#include "commands/command_host.h"
#include "commands/edit_conversions.h"
#include "commands/find_replace.h"
#include "platform/qt_text.h"
#include "widgets/menu_builder.h"
#include "widgets/text_box.h"

namespace mok {

QMenu* BuildEditMenu(MenuBuilder& build, CommandHost& host, FindReplace& find) {
  QMenu* edits = build.TopMenu(QStringLiteral("mnuEdits"), QStringLiteral(" 编辑 (&E)"));
  QObject::connect(edits, &QMenu::aboutToShow, edits, [edits, &host] { mnuEdits_Click(*edits, host); });

  build.Item(edits, QStringLiteral("mnuPasteOrig"), QStringLiteral("粘贴作原始 [Ctrl+&P]"),
             [&host] { mnuPasteOrig_Click(host); });
  build.Separator(edits, QStringLiteral("mnuBarE0"));
  build.Item(edits, QStringLiteral("mnuASel"), QStringLiteral("全选 [Ctrl+&A]"), [&host] { mnuASel_Click(host); });
  build.Item(edits, QStringLiteral("mnuCopy"), QStringLiteral("复制 [Ctrl+&C]"), [&host] { mnuCopy_Click(host); });
  build.Item(edits, QStringLiteral("mnuPaste"), QStringLiteral("粘贴 [Ctrl+&V]"), [&host] { mnuPaste_Click(host); });
  build.Separator(edits, QStringLiteral("mnuBarE1"));
  for (int i = 0; i < static_cast<int>(kCaseCaptions.size()); ++i) {
    build.Item(edits, QStringLiteral("mnuCase_%1").arg(i), ToQString(kCaseCaptions[static_cast<std::size_t>(i)]),
               [&host, i] { mnuCase_Click(host, i); });
  }
  build.Separator(edits, QStringLiteral("mnuBarE3"));
  BuildMakeMenu(build, edits, host);
  build.Item(edits, QStringLiteral("mnuSeekNew"), QStringLiteral("查找 [F3] …"), [&host, &find] { find.mnuSeekNew_Click(host); });
  build.Item(edits, QStringLiteral("mnuReplace"), QStringLiteral("替换 [F4] …"), [&host, &find] { find.mnuReplace_Click(host); });
  build.Separator(edits, QStringLiteral("mnuBarE4"));
  for (int i = 0; i < static_cast<int>(kInsCaptions.size()); ++i) {
    build.Item(edits, QStringLiteral("mnuIns_%1").arg(i), ToQString(kInsCaptions[static_cast<std::size_t>(i)]),
               [&host, i] { mnuIns_Click(host, i); });
  }
  return edits;
}

void mnuEdits_Click(QMenu& menu, CommandHost& host) {
  const bool can_paste = host.Box().CanPaste();
  const bool selected = host.Box().SelLength() > 0;
  for (QAction* item : menu.actions()) {
    const QString name = item->objectName();
    if (name == QStringLiteral("mnuPasteOrig") || name == QStringLiteral("mnuPaste")) {
      item->setEnabled(can_paste);
    } else if (name == QStringLiteral("mnuCopy") || name.startsWith(QStringLiteral("mnuCase_")) ||
               name == QStringLiteral("mnuMakes") || name == QStringLiteral("mnuReplace") ||
               name == QStringLiteral("mnuIns_0")) {
      item->setEnabled(selected);
    }
  }
}

}  // namespace mok
