#include "app/commandfilter.h"

#include <QHash>

#include "app/cmdqueue.h"
#include "base/error.h"
#include "base/log.h"
#include "global/cglobal.h"
#include "global/sounds.h"
#include "localisation/frmlocalizer.h"
#include "users/cuser.h"
#include "widgets/formservice.h"

namespace jex {
namespace commands {

const Command* find(const QString& name) {
  static const QHash<QString, const Command*> rows = [] {
    QHash<QString, const Command*> h;
    for (const Command& c : table()) h.insert(c.name, &c);
    return h;
  }();
  return rows.value(name);
}

Group groupOf(const QString& name) {
  if (const Command* row = find(name)) return row->group;
  return forms::command(name) ? Group::Consumed : Group::Own;
}

}  // namespace commands

namespace {
const QString kSubPrefix = QStringLiteral(".Sub.");
const QString kDelay = QStringLiteral("DELAYPROCESSING");
constexpr int kDelayRepeats = 3;
constexpr int kNavNameStart = 4;  // "NAV:" + name

void newForegroundWindow(QString& s) {
  cGlobal& g = gGlobal();
  if (g.NextFGWinCmd.isEmpty()) return;
  const QString stored = g.NextFGWinCmd;
  g.NextFGWinCmd.clear();
  WriteLog(QStringLiteral("NEWFGWIN! + NextFGWinCmd: ") + stored, kDetail);
  if (stored.left(kSubPrefix.size()) == kSubPrefix) {
    s = kDelay;
    for (int i = 0; i < kDelayRepeats; ++i) iAdd2JexCmdQ(kDelay);
    iAdd2JexCmdQ(stored);
  } else {
    s = stored;
  }
}

void navigationSound(QString& s) {
  const auto& user = gGlobal().UserProfile;
  if (!user || user->UseSounds() == 0) return;
  PlaySound(s.mid(kNavNameStart));
  s.clear();
}
}  // namespace

void FilterCommand(QString& s, CommandQueue& queue, QWidget* mainWindow) {
  trap("frmMDI.JexNotifier_HandleCmd", [&] {
    WriteLog(QStringLiteral("CMD: ") + s, kDetail);
    const auto consume = [&] {
      queue.add(s);
      s.clear();
    };
    using commands::Group;
    const Group group = commands::groupOf(s);
    if (group == Group::Consumed || group == Group::Voices) {
      consume();
    } else if (group == Group::QueuedToo) {
      queue.add(s);
    } else if (s == QLatin1String("UI_LNGCHANGE")) {
      if (mainWindow) frmLocalizer().Localize(mainWindow);
    } else if (group == Group::WhileInFront) {
      if (gGlobal().UiActive()) consume();
    } else if (s == QLatin1String("NEWFGWIN!")) {
      newForegroundWindow(s);
    } else if (s.contains(QLatin1String("UI_OPEN:")) || s.contains(QLatin1String("UI_HELP:"))) {
      consume();
    } else if (s.contains(QLatin1String("NAV:"))) {
      navigationSound(s);
    }
    queue.kick();
  });
}

}  // namespace jex
