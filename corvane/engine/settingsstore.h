// The core's own settings file corvane.ini behind a small interface, so that the storage can be
// swapped without touching its users.
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
  // Writes several keys of one section in one store of the file (the store's default: one by
  // one). Other keys of the section stay.
  virtual bool setValues(const QString& section, const QList<std::pair<QString, QString>>& entries);
};

// An INI file read and written through the program's private-profile layer: nothing is kept in
// memory, so every read sees the file as it is now, and every write changes only its own key
// under the layer's file lock, keeping what other processes (JexUI, jexui-ini) wrote meanwhile.
// Names are compared without regard to case; other lines stay as they are.
class IniFileStore : public SettingsStore {
 public:
  explicit IniFileStore(QString path);
  QString value(const QString& section, const QString& key, const QString& fallback = {}) const override;
  bool setValue(const QString& section, const QString& key, const QString& value) override;
  bool setValues(const QString& section, const QList<std::pair<QString, QString>>& entries) override;
  const QString& path() const { return path_; }

 private:
  QString path_;
};

std::unique_ptr<SettingsStore> openSettings(const QString& path);

}  // namespace corvane
