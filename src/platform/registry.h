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
#include <functional>
#include <optional>

namespace jex::platform {

class Registry {
 public:
  explicit Registry(QString filePath);
  // The registry file of this user: $XDG_CONFIG_HOME/jexui/registry.json.
  static QString defaultPath();
  // The registry file the program uses: defaultPath() unless another was set.
  static QString machinePath();
  static void setMachinePath(const QString& path);  // empty: back to defaultPath()
  const QString& filePath() const { return path_; }

  // Splits "ROOT\key\path" into a canonical root and the path; false for an unknown root.
  static bool splitRoot(const QString& fullKey, QString& root, QString& keyPath);
  // True when the key can be opened (its root is known). Creates the key.
  bool openKey(const QString& root, const QString& keyPath);
  bool setString(const QString& root, const QString& keyPath, const QString& name, const QString& value);
  bool setDword(const QString& root, const QString& keyPath, const QString& name, quint32 value);
  // QString for strings, quint32 for dwords, invalid when absent. Names without regard to case.
  QVariant value(const QString& root, const QString& keyPath, const QString& name) const;
  // True when the key is there (made by openKey or a value, or the parent of one that is, and not
  // deleted since).
  bool hasKey(const QString& root, const QString& keyPath) const;
  bool deleteValue(const QString& root, const QString& keyPath, const QString& name);
  // The names of the keys directly below keyPath, as they were written, sorted without regard to
  // case.
  QStringList subKeys(const QString& root, const QString& keyPath) const;
  // Reads the file afresh and runs change on it while holding the file's lock, so that two
  // programs writing at the same moment both keep their entries; false when the lock could not
  // be had (change did not run) or change returned false.
  static bool update(const QString& filePath, const std::function<bool(Registry&)>& change);
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

// Windows services as the registry holds them: HKLM\SYSTEM\CurrentControlSet\Services\<name>,
// value "Start" (1 system, 2 automatic, 3 manual, 4 disabled). JexUI touches two: the logon
// service SSRD, which brings speech and Braille to the logon screen, and its keyboard driver
// QMTKBDHK. A machine where they were never installed has neither key.
namespace services {
inline constexpr const char* kLogonService = "SSRD";
inline constexpr const char* kKeyboardDriver = "QMTKBDHK";
// The service's key below HKEY_LOCAL_MACHINE.
QString keyPath(const QString& service);
bool exists(const Registry& reg, const QString& service);
// "Start"; nullopt when the key or the value is missing.
std::optional<quint32> start(const Registry& reg, const QString& service);
// Sets "Start"; false (nothing written) when the service's key is missing.
bool setStart(Registry& reg, const QString& service, quint32 start);
}  // namespace services

// COM classes as the registry holds them: HKCR\<ProgID>\CLSID names the class, and
// HKCR\CLSID\<class>\InprocServer32 (or LocalServer32) its server file. Registering a server
// file writes the entries of the classes it serves, unregistering removes them; on this platform
// no server code runs, so the classes of a server are known here by its file name (only the
// web-page add-on's "pagecast.dll", serving "webview.viewsource", is known).
namespace com {
// The server file the class progId resolves to; empty when it does not resolve.
QString serverPath(const Registry& reg, const QString& progId);
// Registers the server file (it must exist and be known); false otherwise, nothing written.
bool registerServer(Registry& reg, const QString& file);
// Removes the classes the server file serves; false when it is not known.
bool unregisterServer(Registry& reg, const QString& file);
}  // namespace com

// Type libraries as the registry holds them: HKCR\TypeLib\{LIBID}\<major>.<minor>\0\win32 names
// the library's file (win64 for a 64-bit library).
namespace typelibs {
// Registers file as the library guid of that version, under the file's lock.
bool registerLibrary(const QString& registryFile, const QString& guid, int major, int minor, const QString& file,
                     bool win64 = false);
// Every registered library file, in registry order.
QStringList registeredFiles(const Registry& reg);
// The registered file whose base name is baseName's ("corvane.exe" finds ".../corvane.tlb"),
// without regard to case; empty when none is.
QString findByBaseName(const Registry& reg, const QString& baseName);
}  // namespace typelibs

// The web-page add-on: its registry key and the value holding its installation folder.
namespace pagecaster {
inline constexpr const char* kKey = "SOFTWARE\\TALVERO AUDIOWARE\\Version\\PageCaster\\2";
inline constexpr const char* kTarget = "Target";
inline constexpr const char* kProgId = "webview.viewsource";
inline constexpr const char* kServerFile = "pagecast.dll";
}  // namespace pagecaster

}  // namespace jex::platform
