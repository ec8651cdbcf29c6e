#include "platform/settings_store.h"

#include <QSettings>

namespace mok {

std::optional<QString> SettingsStore::Read(const QString& section, const QString& key) {
  QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("MOK"), QStringLiteral("MOK"));
  if (settings.status() != QSettings::NoError) return std::nullopt;
  const QVariant value = settings.value(section + u'/' + key);
  if (!value.isValid()) return std::nullopt;
  return value.toString();
}

bool SettingsStore::Write(const QString& section, const std::vector<std::pair<QString, QString>>& values) {
  QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("MOK"), QStringLiteral("MOK"));
  for (const auto& [key, value] : values) settings.setValue(section + u'/' + key, value);
  settings.sync();
  return settings.status() == QSettings::NoError;
}

}  // namespace mok
