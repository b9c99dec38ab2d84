#include "corvane/engine/commandlist.h"

#include <QFile>
#include <QHash>

#include "base/log.h"
#include "corvane/engine/commandrouter.h"
#include "corvane/engine/keybindings.h"

namespace corvane {

namespace {

class CommandObject : public Dispatchable {
 public:
  explicit CommandObject(CommandInfo c) : Dispatchable(QStringLiteral("Command")), c_(std::move(c)) {
    property(QStringLiteral("Group"), [this] { return QVariant(c_.group); });
    property(QStringLiteral("Name"), [this] { return QVariant(c_.name); });
    property(QStringLiteral("InternalName"), [this] { return QVariant(c_.internalName); });
    property(QStringLiteral("Description"), [this] { return QVariant(c_.description); });
    defaultMember(QStringLiteral("InternalName"));
  }

 private:
  CommandInfo c_;
};

class CommandCollection : public Collection {
 public:
  explicit CommandCollection(const QList<CommandInfo>& commands) {
    for (const CommandInfo& c : commands) {
      add(fromObj(Obj(std::make_shared<CommandObject>(c))), c.internalName);
      table_ << c.group << c.name << c.internalName << c.description;
    }
    property(
        QStringLiteral("Table"), [this] { return QVariant(table_); }, {},
        QStringLiteral("Group, Name, InternalName and Description of every command, in one list"));
  }

 private:
  QStringList table_;
};

}  // namespace

QList<CommandInfo> loadCommands(const QString& appPath, const QString& lng) {
  QFile f(appPath + QStringLiteral("commands/") + lng + QStringLiteral(".ini"));
  if (!f.exists()) f.setFileName(appPath + QStringLiteral("commands/1031.ini"));
  QList<CommandInfo> out;
  if (!f.open(QIODevice::ReadOnly)) {
    jex::WriteLog(QStringLiteral("COMMANDS: no command list ") + f.fileName(), jex::kFirstRun);
    return out;
  }
  QHash<QString, QString> groups;
  QHash<QString, bool> seen;
  QString section;
  for (const QByteArray& raw : f.read(4 * 1024 * 1024).split('\n')) {
    const QString line = QString::fromUtf8(raw).trimmed();
    if (line.isEmpty() || line.startsWith(u';')) continue;
    if (line.startsWith(u'[') && line.endsWith(u']')) {
      section = line.mid(1, line.size() - 2).toLower();
      continue;
    }
    const qsizetype eq = line.indexOf(u'=');
    if (eq <= 0) continue;
    const QString key = line.left(eq).trimmed(), value = line.mid(eq + 1).trimmed();
    if (section == u"groups") {
      groups.insert(key, value);
      continue;
    }
    const QStringList parts = value.split(u'|');
    if (section != u"commands" || parts.size() != 3 || !isCommandName(key) || seen.contains(key.toUpper())) {
      jex::WriteLog(QStringLiteral("COMMANDS: line left out: ") + line.left(80), jex::kFirstRun);
      continue;
    }
    seen.insert(key.toUpper(), true);
    out.append({parts[0], groups.value(parts[0], parts[0]), parts[1], key.toUpper(), parts[2]});
  }
  return out;
}

Obj makeAllCommands(const QList<CommandInfo>& commands) { return Obj(std::make_shared<CommandCollection>(commands)); }

int addAcknowledged(CommandRouter& router, const QList<CommandInfo>& commands,
                    const std::function<void(const QString&)>& speak) {
  int added = 0;
  for (const CommandInfo& c : commands) {
    if (c.groupKey == kJexUiGroup || router.isOwnCommand(c.internalName)) continue;
    router.addCommand(c.internalName, [speak, name = c.name] {
      speak(name);
      return QString();
    });
    ++added;
  }
  return added;
}

}  // namespace corvane
