#include "dialogs/keys/applicationlist.h"

#include <QComboBox>
#include <QSignalBlocker>

#include "base/error.h"
#include "dialogs/tasks/ctask.h"
#include "global/cglobal.h"
#include "ini/cinifil.h"

namespace jex {

int comboTasksMode() {
  return trapped("ComboTasks.Mode", 3, [] {
    const auto& ini = gGlobal().Ini;
    return ini ? int(ini->GetLong(QStringLiteral("Mixed"), QStringLiteral("ComboTasksMode"), 3)) : 3;
  });
}

QStringList configuredApplications() {
  return trapped("ComboTasks.Configured", QStringList(), [] {
    QStringList names;
    const Obj apps = Jex().obj(QStringLiteral("proc.User.AppS.C"));
    const int n = apps.count();
    for (int i = 1; i <= n; ++i) names << apps.itemObj(i).str(QStringLiteral("Name")).toUpper();
    return names;
  });
}

QStringList runningApplications() {
  return trapped("ComboTasks.Running", QStringList(), [] {
    QStringList names;
    cTaskList tasks;
    tasks.Refresh();
    for (int i = 1; i <= tasks.Count(); ++i)
      if (cTask* t = tasks.TaskByIndex(i); t && !t->OfScreenReader()) names << t->ProcessName().toUpper();
    return names;
  });
}

QStringList offeredApplications(int mode, const QStringList& configured, const QStringList& running) {
  QStringList out;
  const auto take = [&out](const QStringList& names) {
    for (const QString& raw : names) {
      const QString n = raw.trimmed().toUpper();
      if (n.isEmpty() || n == u"DEFAULT" || n == u"UNKNOWN" || out.contains(n)) continue;
      out << n;
    }
  };
  if (mode == 0 || mode == 3) take(configured);
  if (mode >= 1 && mode <= 3) take(running);
  return out;
}

void fillApplicationList(QComboBox* list, const QString& globalText, const QString& prefer) {
  trap("ComboTasks.Fill", [&] {
    const int mode = comboTasksMode();
    const QStringList names =
        offeredApplications(mode, mode == 1 || mode == 2 ? QStringList() : configuredApplications(),
                            mode == 0 ? QStringList() : runningApplications());
    const QSignalBlocker hold(list);
    list->clear();
    list->addItem(globalText);
    list->addItems(names);
    const int at = names.indexOf(prefer.toUpper());
    list->setCurrentIndex(at < 0 ? 0 : at + 1);
  });
}

QString chosenApplication(const QComboBox* list) {
  return list->currentIndex() <= 0 ? QStringLiteral("DEFAULT") : list->currentText().toUpper();
}

}  // namespace jex
