#include "core/commandfilter.h"

#include "core/base/error.h"
#include "core/base/log.h"
#include "core/cmdqueue.h"
#include "core/global/cglobal.h"
#include "core/report/sounds.h"
#include "localisation/frmlocalizer.h"
#include "users/cuser.h"

namespace jex {
namespace commands {

const QStringList& groupA() {
  static const QStringList list{
      QStringLiteral("TOGGMEN"),       QStringLiteral("EXITHALDA"),       QStringLiteral("QUIT"),
      QStringLiteral("DLGRESWIZ"),     QStringLiteral("DLGSPEECH"),       QStringLiteral("DLGBRAILLEOPT"),
      QStringLiteral("EDITCLIPBOARD"), QStringLiteral("DLGKEYECHO"),      QStringLiteral("DLGNUMKEY"),
      QStringLiteral("DLGBRAILLEKEY"), QStringLiteral("VCOMPRESSIONDLG"), QStringLiteral("HCOMPRESSIONDLG"),
      QStringLiteral("QUICKMEN"),      QStringLiteral("DLGTYPELIB"),      QStringLiteral("SHOWTYPEDOC"),
      QStringLiteral("SHOWTASKLIST"),  QStringLiteral("SELCUTEDIT"),      QStringLiteral("CUTEDIT")};
  return list;
}

const QStringList& groupB() {
  static const QStringList list{
      QStringLiteral("SPEEDUP"),    QStringLiteral("SPEEDDN"),    QStringLiteral("SPEEDMAX"), QStringLiteral("SPEEDMIN"),
      QStringLiteral("SPEEDUPNOW"), QStringLiteral("SPEEDDNNOW"), QStringLiteral("VOLUMEUP"), QStringLiteral("VOLUMEDN"),
      QStringLiteral("VOLUMEMAX"),  QStringLiteral("VOLUMEMIN")};
  return list;
}

bool isGroupC(const QString& command) {
  static const QStringList fixed{QStringLiteral("SETSPTOGGLE"), QStringLiteral("SETSPON"), QStringLiteral("SETSPOFF")};
  if (fixed.contains(command)) return true;
  static const QString set = QStringLiteral("USESPSET");
  return command.size() == set.size() + 1 && command.startsWith(set) && command.back() >= u'1' &&
         command.back() <= u'9';
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
    if (commands::groupA().contains(s) || commands::groupB().contains(s)) {
      consume();
    } else if (commands::isGroupC(s)) {
      queue.add(s);
    } else if (s == QLatin1String("UI_LNGCHANGE")) {
      if (mainWindow) frmLocalizer().Localize(mainWindow);
    } else if (s == QLatin1String("HELP")) {
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
