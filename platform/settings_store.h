#pragma once

// The per-user settings store: QSettings in INI format, application "MOK".
// Values are plain texts written and read exactly as the program gives them.

#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace mok {

class SettingsStore {
 public:
  // The value of section/key, or nothing when it is missing or unreadable.
  [[nodiscard]] static std::optional<QString> Read(const QString& section, const QString& key);
  // Writes keys of one section in one go; false when the store could not be
  // written (a key that fails does not stop the others).
  static bool Write(const QString& section, const std::vector<std::pair<QString, QString>>& values);
};

}  // namespace mok
