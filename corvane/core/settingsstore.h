// The core's own settings file corvane.ini behind a small interface, so that the storage can be
// swapped for the project's INI layer without touching its users.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

namespace corvane {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual QString value(const QString& section, const QString& key, const QString& fallback = {}) const = 0;
  // Writes the value and stores the file at once (atomically). False when it could not be stored.
  virtual bool setValue(const QString& section, const QString& key, const QString& value) = 0;
};

// INI text file: "[Section]" lines and "key=value" lines; names compared without regard to case.
// Unknown lines (comments, broken lines) are kept as they are when the file is written back.
class IniFileStore : public SettingsStore {
 public:
  explicit IniFileStore(QString path);
  QString value(const QString& section, const QString& key, const QString& fallback = {}) const override;
  bool setValue(const QString& section, const QString& key, const QString& value) override;
  const QString& path() const { return path_; }

 private:
  // Index of the key line in section, or -1; sectionEnd receives the line after the section's
  // last line (or -1 when the section does not exist).
  int find(const QString& section, const QString& key, int* sectionEnd) const;
  void load();
  bool save() const;

  QString path_;
  QStringList lines_;
};

std::unique_ptr<SettingsStore> openSettings(const QString& path);

}  // namespace corvane
