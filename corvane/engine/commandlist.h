// The commands the core knows, in its language, for JexUI's keys dialog: AppPath +
// "commands/<language>.ini" ([Groups] key=shown name; [Commands] COMMAND=group|name|description,
// group "0" being hidden commands). Commands of the group "jexui" are JexUI's; every other one
// is the core's own or acknowledged by the core by speaking its name (addAcknowledged()).
//
// Automation member of the root: AllCommands, a collection of command objects (Group, Name,
// InternalName, Description) that also gives the whole list in one call: Table, four strings per
// command in that order.
#pragma once

#include <QList>
#include <QString>
#include <functional>

#include "corvane/engine/automationnames.h"

namespace corvane {

class CommandRouter;

struct CommandInfo {
  QString groupKey;  // "speech", "jexui", "0" ...
  QString group;     // the group's name in the language
  QString name;
  QString internalName;
  QString description;
};

// The list in language lng (German when that language has none); problems are logged.
QList<CommandInfo> loadCommands(const QString& appPath, const QString& lng);
inline const QString kJexUiGroup = QStringLiteral("jexui");

Obj makeAllCommands(const QList<CommandInfo>& commands);

// Gives every listed command that is neither JexUI's nor one of router's an action that speaks
// its name; returns how many were added.
int addAcknowledged(CommandRouter& router, const QList<CommandInfo>& commands,
                    const std::function<void(const QString&)>& speak);

}  // namespace corvane
