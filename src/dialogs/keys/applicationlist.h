// The applications a list offers for a choice "global or this application" (the keys dialog, the
// options dialog): the global entry first, then by [Mixed] ComboTasksMode of JEXUI.INI the user's
// configured applications (0), the running tasks (1, 2) or both (3, the default), upper case,
// each once, "DEFAULT" and "UNKNOWN" left out.
#pragma once

#include <QString>
#include <QStringList>

class QComboBox;

namespace jex {

// [Mixed] ComboTasksMode, 3 when it is missing.
int comboTasksMode();
// The names of the user's configured applications (proc.User.AppS.C), upper case.
QStringList configuredApplications();
// The process names of the running tasks, upper case.
QStringList runningApplications();
// The names offered after the global entry, in this order, each once.
QStringList offeredApplications(int mode, const QStringList& configured, const QStringList& running);
// Fills list with globalText and the offered names and chooses prefer when it is offered, else
// the global entry. Signals of list are held while it is filled.
void fillApplicationList(QComboBox* list, const QString& globalText, const QString& prefer);
// "DEFAULT" for the global entry (the first), else the chosen entry upper case.
QString chosenApplication(const QComboBox* list);

}  // namespace jex
