#include "app/startup.h"

#include "app/ownlibrary.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include "app/cmdqueue.h"
#include "app/frmmdi.h"
#include "app/uiapplication.h"
#include "automation/dbustransport.h"
#include "base/error.h"
#include "base/log.h"
#include "base/paths.h"
#include "global/cglobal.h"
#include "localisation/frmlocalizer.h"
#include "platform/system.h"
#include "platform/termsignals.h"

namespace jex {
namespace {
namespace bus = automation::dbus;

std::shared_ptr<UI_Application> g_uiApplication;
bool g_shuttingDown = false;

// Takes the bus name of this program; false when another copy holds it. Its objects answer the
// core only (the owner of "corvane.application"), or every program on the bus when JexUI was
// started with --trust-bus (tests and tools that call it from connections of their own).
bool publishUiApplication() {
  if (QCoreApplication::arguments().contains(QLatin1String(kTrustBusOption))) {
    bus::setCallerGate({});
    WriteLog(QStringLiteral("every program on the bus may call JexUI"), kTraffic);
  } else {
    bus::setCallerGate(bus::ownersOf({QString::fromLatin1(kCoreProgId)}, QDBusConnection::sessionBus()));
  }
  auto app = std::make_shared<UI_Application>();
  if (!bus::publish(QString::fromLatin1(kUiProgId), app)) return false;
  g_uiApplication = std::move(app);
  return true;
}

void unpublishUiApplication() {
  if (!g_uiApplication) return;
  bus::unpublish(QString::fromLatin1(kUiProgId));
  bus::setCallerGate({});
  g_uiApplication.reset();
}

// The language set at start-up: the localiser loads its language file.
void SetInterfaceLanguage(const QString& lng) { frmLocalizer().setLNG(lng); }

int secondCopy() {
  WriteLog(QStringLiteral("PrevInstance found"), kDetail);
  try {
    Jex() = CreateCoreObject();
  } catch (...) {
    WriteLog(QStringLiteral("no Corvane ! > END"), kTraffic);
    return kExitNoCore;
  }
  WriteLog(QStringLiteral("activating PrevInstance;  Add TOGGMEN; ending ..."), kDetail);
  iAdd2JexCmdQ(QStringLiteral("TOGGMEN"));
  Jex() = Obj();
  return kExitOk;
}

int startLauncher() {
  const QString dir = programDirectory();
  WriteLog(QStringLiteral("no JEX - shellEx QMTWCD: ") + dir, kDetail);
  const bool ok = platform::shellOpen(QString::fromLatin1(kLauncher), dir);
  WriteLog(QStringLiteral("returns: ") + boolText(ok), kDetail);
  WriteLog(QStringLiteral("UI ends ..."), kDetail);
  return kExitOk;
}
}  // namespace

QString boolText(bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); }

QString programDirectory() { return QCoreApplication::applicationDirPath(); }

QString logDirectory() {
  const QString dir = qEnvironmentVariable("JEXUI_LOGDIR");
  return dir.isEmpty() ? programDirectory() : dir;
}

void openLog() { logfile::setPath(QDir(logDirectory()).filePath(QStringLiteral("jexui.log"))); }

Obj CreateCoreObject() {
  Obj core = automation::createObject(QString::fromLatin1(kCoreProgId));
  core.obj(QStringLiteral("proc"));
  return core;
}

int Main() {
  return trapped("Main", kExitNoCore, []() -> int {
    WriteLog(QStringLiteral("Start Main"), kDetail);
    if (!publishUiApplication()) return secondCopy();
    WriteLog(QStringLiteral("check JEX"), kDetail);
    if (!bus::isNameOwned(QString::fromLatin1(kCoreProgId))) {
      unpublishUiApplication();
      return startLauncher();
    }
    WriteLog(QStringLiteral("JEX active, try CreateObject"), kDetail);
    try {
      Jex() = CreateCoreObject();
    } catch (const Error& e) {
      WriteLog(QStringLiteral("returns: ") + QString::number(e.number()) + QStringLiteral(", ") + e.description(),
               kDetail);
      unpublishUiApplication();
      return kExitNoCore;
    }
    WriteLog(QStringLiteral("JEX OK > proceed"), kDetail);
    registerOwnTypeLibrary();
    ConnectShutdownTriggers();
    if (!Initialise() && !frmMDI::instance()) {
      unpublishUiApplication();
      return kExitNoCore;
    }
    return -1;
  });
}

bool Initialise() {
  return trap("Initialise", [] {
    cGlobal& g = gGlobal();
    g.AppPath = withTrailingSlash(Jex().str(QStringLiteral("proc.AppPath")).trimmed()).trimmed();
    g.Ini = std::make_shared<cIniFil>();
    g.Ini->Init(g.AppPath + QStringLiteral("JEXUI.INI"), true);
    ReadStartupSettings();
    SetInterfaceLanguage(Jex().str(QStringLiteral("proc.DefaultLng")).trimmed());
    logfile::remove();
    auto* form = new frmMDI;
    form->Load();
    form->show();
    WriteLog(QStringLiteral("frmMDI shown"), kDetail);
  });
}

void ReadStartupSettings() {
  cGlobal& g = gGlobal();
  if (!g.Ini) throw Error(err::ObjectRequired, QStringLiteral("JEXUI.INI is not open"));
  cIniFil& ini = *g.Ini;
  const QString service = QStringLiteral("SERVICE"), voices = QStringLiteral("Voices"),
                general = QStringLiteral("General");
  g.setWriteLogFile(ini.GetLong(service, QStringLiteral("WriteLogFile"), 0));
  WriteLog(QStringLiteral("INI: ") + ini.FileName(), kDetail);
  WriteLog(QStringLiteral("Jex.proc.AppPath = ") + g.AppPath, kDetail);
  g.SpeedMin = ini.GetLong(voices, QStringLiteral("SpeedMin"), 100);
  g.SpeedMax = ini.GetLong(voices, QStringLiteral("SpeedMax"), 500);
  g.VolMax = ini.GetLong(voices, QStringLiteral("VolMax"), 50000);
  g.Features = ini.GetLong(service, QStringLiteral("Features"), 0);
  g.ParkMouse = qint16(ini.GetLong(QStringLiteral("WinPos"), QStringLiteral("ParkMouse"), 1));
  g.TipDelay = ini.GetLong(general, QStringLiteral("TipDelay"), 3);
  g.ClipTimeOut = ini.GetLong(general, QStringLiteral("ClipTimeOut"), 300);
  g.ReadTimeOut = ini.GetLong(general, QStringLiteral("ReadTimeOut"), 1000);
  g.UseForceForeGround = ini.GetLong(general, QStringLiteral("UseForceForeGround"), 1);
}

void Shutdown() {
  if (g_shuttingDown) return;
  g_shuttingDown = true;
  trap("Shutdown", [] {
    gGlobal().Quitting = true;
    // An open box (the exit question, a save question) is answered with its default; its loop
    // returns once this handler has.
    for (int i = 0; i < 8; ++i) {
      QWidget* box = QApplication::activeModalWidget();
      if (!box || !box->isVisible()) break;
      WriteLog(QStringLiteral("Quit with Modal Form open !"), kDetail);
      box->close();
    }
    if (frmMDI* form = frmMDI::instance()) form->Unload();
  });
  // This may run inside a modal box's loop or a call waiting for the core: the window is
  // released only after every loop has returned (ReleaseMainWindow).
  frmMDI::quitApplication();
}

void ReleaseMainWindow() {
  trap("ReleaseMainWindow", [] {
    if (frmMDI* form = frmMDI::instance()) {
      form->Unload();
      delete form;
    }
    unpublishUiApplication();
  });
  g_shuttingDown = false;
}

void ConnectShutdownTriggers() {
  QObject::connect(&bus::Bridge::instance(), &bus::Bridge::peerVanished, qApp, [](const QString& name) {
    if (name != QLatin1String(kCoreProgId)) return;
    WriteLog(QStringLiteral("JEX vanished > END"), kTraffic);
    Jex() = Obj();  // nobody left to tell about the sink
    Shutdown();
  });
  QObject::connect(&platform::TermSignals::instance(), &platform::TermSignals::terminateRequested, qApp, [](int signo) {
    WriteLog(QStringLiteral("signal %1 > END").arg(signo), kTraffic);
    Shutdown();
  });
}

}  // namespace jex
