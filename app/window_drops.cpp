#include "app/window_drops.h"

#include <QMimeData>
#include <QUrl>

#include "codec/file_attributes.h"
#include "commands/clipboard_commands.h"
#include "commands/command_host.h"
#include "files/file_commands.h"

namespace mok {

Text LocalPathOfUrl(const QUrl& url) {
  if (!url.isLocalFile() || !(url.host().isEmpty() || url.host() == QStringLiteral("localhost"))) return {};
  // Decoded from the percent-encoded form by hand: QUrl's own decoding makes
  // text of the name and replaces bytes that are not UTF-8.
  const QByteArray native = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
  return TextOfNativePath(std::string_view(native.constData(), static_cast<std::size_t>(native.size())));
}

Dropped TakeDrop(const QMimeData& data) {
  Dropped dropped;
  if (data.hasUrls()) {
    for (const QUrl& url : data.urls()) {
      Text path = LocalPathOfUrl(url);
      if (path.empty()) continue;
      dropped.kind = Dropped::Kind::kFile;
      dropped.path = std::move(path);
      return dropped;
    }
  }
  if (data.hasText()) {
    dropped.kind = Dropped::Kind::kText;
    dropped.text = data.text();
  }
  return dropped;
}

void RunDrop(CommandHost& host, const Dropped& dropped) {
  switch (dropped.kind) {
    case Dropped::Kind::kFile:
      if (host.AskDiscard()) return;
      OpenAsOriginal(host, dropped.path, 0);  // the format is detected
      return;
    case Dropped::Kind::kText:
      PasteText(host, TextView(reinterpret_cast<const char16_t*>(dropped.text.utf16()),
                               static_cast<std::size_t>(dropped.text.size())));
      return;
    case Dropped::Kind::kNothing:
      return;
  }
}

}  // namespace mok
