#include "platform/fonts.h"

#include <QFont>
#include <QStringList>

namespace mok {

void InstallFontSubstitutes() {
  const QStringList serif_sc = {QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")};
  const QStringList sans_sc = {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Serif CJK SC")};
  const QStringList serif_tc = {QStringLiteral("Noto Serif CJK TC"), QStringLiteral("Noto Sans CJK TC"),
                                QStringLiteral("Noto Serif CJK SC")};
  QFont::insertSubstitutions(QStringLiteral("宋体"), serif_sc);
  QFont::insertSubstitutions(QStringLiteral("华文中宋"), serif_sc);
  QFont::insertSubstitutions(QStringLiteral("黑体"), sans_sc);
  QFont::insertSubstitutions(QStringLiteral("MingLiU"), serif_tc);
  QFont::insertSubstitutions(QStringLiteral("PMingLiU"), serif_tc);
  QFont::insertSubstitutions(QStringLiteral("Courier New"),
                             {QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
  QFont::insertSubstitutions(QStringLiteral("Lucida Console"),
                             {QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono")});
  QFont::insertSubstitutions(QStringLiteral("Tahoma"), {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
  QFont::insertSubstitutions(QStringLiteral("Times New Roman"),
                             {QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")});
}

}  // namespace mok
