// The system registry, as far as JexUI writes it.
//
// Linux has no registry. JexUI keeps the values it is told to write (first-run .reg files and
// the [REG_Always] entries of JEXUI.INI) in a registry file of its own, so that they survive and
// can be read back by the program and by tests. Roots: HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,
// HKEY_LOCAL_MACHINE (the HKCR, HKCU and HKLM short forms are accepted too); values are strings
// or 32-bit numbers (dword). The file is JSON and is replaced atomically on every change.
//
// .reg files in the REGEDIT4 (ANSI, code page 1252) and "Windows Registry Editor Version 5.00"
// (UTF-16 LE with byte-order mark, or UTF-8) formats are imported by the program itself:
// [key] and [-key] sections, "name"="string", "name"=dword:hhhhhhhh, @ for the default value,
// "name"=- to delete. Other value types (hex:, hex(n):) are skipped and reported.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace jex::platform {

class Registry {
 public:
  explicit Registry(QString filePath);
  // The registry file of this user: $XDG_CONFIG_HOME/jexui/registry.json.
  static QString defaultPath();
  const QString& filePath() const { return path_; }

  // Splits "ROOT\key\path" into a canonical root and the path; false for an unknown root.
  static bool splitRoot(const QString& fullKey, QString& root, QString& keyPath);
  // True when the key can be opened (its root is known). Creates the key.
  bool openKey(const QString& root, const QString& keyPath);
  bool setString(const QString& root, const QString& keyPath, const QString& name, const QString& value);
  bool setDword(const QString& root, const QString& keyPath, const QString& name, quint32 value);
  // QString for strings, quint32 for dwords, invalid when absent. Names without regard to case.
  QVariant value(const QString& root, const QString& keyPath, const QString& name) const;
  bool deleteKey(const QString& root, const QString& keyPath);  // with its sub-keys

  struct ImportResult {
    bool ok = false;       // the file was read and every line understood
    int values = 0;        // values written or deleted
    QStringList problems;  // one readable line per skipped entry
  };
  ImportResult importRegFile(const QString& regFile);

 private:
  // keys are stored as "ROOT\path" in lower case; each holds display name and values.
  struct Key {
    QString name;
    QHash<QString, std::pair<QString, QVariant>> values;  // lower name -> (name, value)
  };
  void load();
  bool save() const;
  static QString keyId(const QString& root, const QString& keyPath);
  QString path_;
  QHash<QString, Key> keys_;
};

}  // namespace jex::platform
