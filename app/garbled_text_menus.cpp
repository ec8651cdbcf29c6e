#include "app/garbled_text_menus.h"

#include <QMenu>

#include "commands/asked_conversions.h"
#include "commands/half_char_commands.h"
#include "commands/make_garbled.h"
#include "platform/qt_text.h"
#include "widgets/menu_builder.h"

namespace mok {

void BuildDecodingMenuC(MenuBuilder& build, QMenu* menu, CommandHost& host) {
  for (int i = 0; i < static_cast<int>(kCabTable.size()); ++i) {
    QAction* item = build.Item(menu, QStringLiteral("mnuCAB_%1").arg(i), ToQString(kCabTable[i].caption),
                               [&host, i] { RunCAB(host, i); });
    if (i == kCabCheckedIndex) MenuBuilder::CheckPermanently(item);
  }
  build.Separator(menu, QStringLiteral("mnuBarC1"));
  for (int i = 0; i < static_cast<int>(k2022Captions.size()); ++i) {
    QAction* item = build.Item(menu, QStringLiteral("mnu2022_%1").arg(i), ToQString(k2022Captions[i]),
                               [&host, i] { Run2022(host, i); });
    if (i == k2022CheckedIndex) MenuBuilder::CheckPermanently(item);
  }
  build.Separator(menu, QStringLiteral("mnuBarC2"));
  for (int i = 0; i < static_cast<int>(kAskA2BCaptions.size()); ++i) {
    build.Item(menu, QStringLiteral("mnuAskA2B_%1").arg(i), ToQString(kAskA2BCaptions[i]),
               [&host, i] { RunAskA2B(host, i); });
  }
}

QMenu* BuildMakeMenu(MenuBuilder& build, QMenu* edits, CommandHost& host) {
  QMenu* makes = build.SubMenu(edits, QStringLiteral("mnuMakes"), QStringLiteral("编写“乱码” (&M)"));
  for (int i = 0; i < static_cast<int>(kMakeTable.size()); ++i) {
    build.Item(makes, QStringLiteral("mnuMake_%1").arg(i), ToQString(kMakeTable[i].caption),
               [&host, i] { RunMake(host, i); });
  }
  return makes;
}

}  // namespace mok
