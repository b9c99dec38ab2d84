// The core's key bindings: which key codes start which command, per level and kind.
//
// Files: the shipped sets in AppPath + "keys/", the user's in the user's directory + "/keys/",
// one file per application and kind: "<APP>.KBD" (PC keyboard and keypad) and "<APP>.BRL"
// (Braille display keys); "DEFAULT" is the global set. One line per command with its codes:
//
//   ; comment
//   SAYLINE=CAP_Up L0N8
//
// A set is read on first use and held in memory per file (user, application and kind) until it
// is reloaded; ReplaceOneBinding changes the held set, Save writes it (atomically). Bad input is
// logged and left out: a line that is no "COMMAND=codes" line, a code that is no key code, a
// code under a second command (the first keeps it); the rest is loaded.
//
// Automation members:
//   binding set  CollA (code -> command, keyed), CollB (the code lists of the lines, in file
//                order), Bindings (every code of CollB in order, each followed by its command,
//                as one list of strings: the whole set in one call), Count, FileName,
//                ReplaceOneBinding(code, command; "" removes), Save.
//   proc.App_Dirs  KeyBindings(app), BrlBindings(app), ReloadKeyBindings(app), ReloadBrlBindings(app)
//   proc.User      AppKeyBindings(app), AppBrlBindings(app), AppS
//   User.AppS      ReloadKeyBindings(app), ReloadBrlBindings(app), C (the configured
//                  applications: DEFAULT, the shipped and the user's sets, each with Name)
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "corvane/engine/automationnames.h"

namespace corvane {

enum class BindingKind { Keyboard, Braille };

// One set as read from its file.
class BindingSetData {
 public:
  struct Line {
    QString command;
    QStringList codes;
  };
  // Reads text; problems are logged with label (the file's name) in front.
  void parse(const QByteArray& text, const QString& label);
  QByteArray serialise() const;
  // Moves code to command (empty: removes it). Throws jex::Error for a bad code or command.
  void replace(const QString& code, const QString& command);
  const QList<Line>& lines() const { return lines_; }
  // Every code followed by its command, in line order (kept until the set changes).
  const QStringList& flat() const;
  QString commandOf(const QString& code) const;

 private:
  void add(const QString& command, const QStringList& codes, const QString& label, int lineNr);
  void rebuildIndex();
  QList<Line> lines_;
  mutable QStringList flat_;
  QHash<QString, int> byCode_;     // folded code -> line
  QHash<QString, int> byCommand_;  // folded command -> line
};

bool isKeyCode(const QString& code);
bool isCommandName(const QString& command);
// The application name as files are named (upper case); throws jex::Error for an empty name,
// "." or "..", a path separator or another character no application name has.
QString bindingAppName(const QString& app);

// The sets held in memory, by file.
class BindingStore {
 public:
  BindingStore(QString appPath, std::function<QString()> userPath);
  QString shippedFile(const QString& app, BindingKind kind) const;
  QString userFile(const QString& app, BindingKind kind) const;
  std::shared_ptr<BindingSetData> set(const QString& file);
  void drop(const QString& file) { sets_.remove(file); }
  // Writes the held set of file atomically; throws jex::Error when it cannot.
  void save(const QString& file);
  // DEFAULT, the applications with a shipped set and those with a set of the user's, sorted.
  QStringList configuredApps() const;
  QString appPath() const { return appPath_; }

 private:
  QString appPath_;
  std::function<QString()> userPath_;
  QHash<QString, std::shared_ptr<BindingSetData>> sets_;
};

Obj makeBindingSet(std::shared_ptr<BindingStore> store, const QString& file);
Obj makeAppDirs(std::shared_ptr<BindingStore> store);
Obj makeUserApps(std::shared_ptr<BindingStore> store);

// The user object's members AppKeyBindings, AppBrlBindings and AppS.
using AddMethod = std::function<void(const QString& name, int minArgs, int maxArgs,
                                     std::function<QVariant(jex::automation::Args&)> fn)>;
void addUserBindingMembers(const AddMethod& add, std::shared_ptr<BindingStore> store);

}  // namespace corvane
