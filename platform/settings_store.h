#pragma once

// The per-user settings store: QSettings in INI format, application "MOK".
// Values are plain texts written and read exactly as the program gives them.

#include <QString>

#include <optional>

namespace mok {

class SettingsStore {
 public:
  // The value of section/key, or nothing when it is missing or unreadable.
  [[nodiscard]] static std::optional<QString> Read(const QString& section, const QString& key);
  // Writes section/key; false when the store could not be written.
  static bool Write(const QString& section, const QString& key, const QString& value);
};

}  // namespace mok
