// The command path with the stand-in core as a process of its own on a private session bus:
// the test plays the user (key commands typed on the core's console) and JexUI (the main window
// with its sink and notifier handed to the core over the bus), and reads the core's report lines.
#include <gtest/gtest.h>

#include <algorithm>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "../automation/privatebus.h"
#include "core/automation/dbustransport.h"
#include "core/base/log.h"
#include "core/cmdqueue.h"
#include "core/frmmdi.h"
#include "core/global/cglobal.h"

// Readable failure messages.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {
using jex::frmMDI;
using jex::gGlobal;
namespace bus = jex::automation::dbus;

QString S(const char* s) { return QString::fromUtf8(s); }
const QString kCore = S("corvane.application");

QStringList fileLines(const QString& file) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll()).remove(u'\r').split(u'\n', Qt::SkipEmptyParts);
}

// The built core, started on the private bus with a fresh directory: console lines go to its
// standard input, its report lines are collected from its standard output.
class CoreProcess {
 public:
  bool start(const QString& busAddress, QString& why) {
    const QString exe = S(JEX_BIN_DIR) + S("/corvane");
    if (!QFileInfo(exe).isExecutable()) {
      why = S("corvane is not built at ") + exe;
      return false;
    }
    QDir(data_.path()).mkpath(S("LNG/1031"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(S("DBUS_SESSION_BUS_ADDRESS"), busAddress);
    env.insert(S("QT_QPA_PLATFORM"), S("offscreen"));
    env.remove(S("DISPLAY"));
    proc_.setProcessEnvironment(env);
    proc_.setProcessChannelMode(QProcess::SeparateChannels);
    QObject::connect(&proc_, &QProcess::readyReadStandardOutput, [this] {
      buffer_ += QString::fromUtf8(proc_.readAllStandardOutput());
      qsizetype nl;
      while ((nl = buffer_.indexOf(u'\n')) >= 0) {
        lines_ << buffer_.left(nl);
        buffer_.remove(0, nl + 1);
      }
    });
    proc_.start(exe, {S("--appdir"), appDir(), S("--datadir"), data_.path(), S("--no-jexui"), S("--no-monitor"),
                      S("--no-audio"), S("--no-foreground")});
    if (!waitFor(S("READY: "), 8000)) {
      why = S("the core did not get ready: ") + QString::fromUtf8(proc_.readAllStandardError());
      return false;
    }
    return true;
  }
  ~CoreProcess() {
    if (proc_.state() == QProcess::NotRunning) return;
    proc_.kill();
    proc_.waitForFinished(3000);
  }

  // A line typed on the core's console: a key command or a ":" console command.
  void type(const QString& lines) { proc_.write((lines + u'\n').toUtf8()); }
  bool waitFor(const QString& start, int ms = 5000) {
    return QTest::qWaitFor([&] { return has(start); }, ms);
  }
  bool has(const QString& start) const {
    return std::any_of(lines_.begin(), lines_.end(), [&](const QString& l) { return l.startsWith(start); });
  }
  // The command report lines ("CMD: ..."), in order.
  QStringList commands() const { return lines_.filter(QRegularExpression(S("^CMD: "))); }
  QString output() const { return lines_.join(u'\n'); }
  QString appDir() const { return home_.path() + S("/app"); }
  QProcess& process() { return proc_; }

 private:
  QTemporaryDir home_, data_;
  QProcess proc_;
  QString buffer_;
  QStringList lines_;
};

class DispatchOverBus : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& pb = jex::testing::PrivateBus::instance();
    if (!pb.ok()) GTEST_SKIP() << "no private session bus: " << pb.error().toStdString();
    conn = pb.connect(S("jexui"));
    ASSERT_TRUE(conn.isConnected());
    // The core of the previous test may still be leaving the bus.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !bus::isNameOwned(kCore, conn); }, 5000));
    QString why;
    ASSERT_TRUE(core.start(pb.address(), why)) << why.toStdString();

    jex::logfile::setPath(dir.filePath(S("jexui.log")));
    jex::logfile::setThreshold(5);
    jex::Jex() = bus::connect(kCore, conn);
    gGlobal().AppPath = jex::Jex().str(S("proc.AppPath"));
    frmMDI::setShellOpener([this](const QString& f) { opened << f; return true; });
    frmMDI::setQuitter([this] { ++quits; });
    for (const char* form : {"frmVoices", "frmKeyecho", "frmBraille", "frmKeys"}) {
      frmMDI::registerForm(S(form), [this, form](const QString& action, const QStringList& args) {
        EXPECT_EQ(depth++, 0) << "a command ran inside another";
        forms << S(form) + u'.' + action + (args.isEmpty() ? QString() : u' ' + args.join(u','));
        formTicks << ticks;
        --depth;
      });
    }
    w = new frmMDI;
    w->show();
    w->registerSink();
    w->installHook();
    QObject::connect(w->commandQueue().tmrCMD(), &QTimer::timeout, [this] { ++ticks; });
  }

  void TearDown() override {
    if (w) {
      if (!w->isUnloaded()) w->removeHook();
      delete w;
    }
    for (const char* form : {"frmVoices", "frmKeyecho", "frmBraille", "frmKeys"}) frmMDI::unregisterForm(S(form));
    frmMDI::setShellOpener({});
    frmMDI::setQuitter([] {});
    jex::resetGlobals();
    jex::logfile::setPath({});
    if (conn.isConnected()) jex::testing::PrivateBus::disconnect(conn);
  }

  // Waits until the core has reported n commands and JexUI's queue has run dry.
  bool settled(int n, int ms = 5000) {
    return QTest::qWaitFor(
        [&] {
          return core.commands().size() >= n && w->commandQueue().isEmpty() && !w->commandQueue().tmrCMD()->isActive();
        },
        ms);
  }
  QStringList handled() const {
    QStringList out;
    for (const QString& l : fileLines(dir.filePath(S("jexui.log"))))
      if (l.startsWith(S("MDI.HandleCMD: "))) out << l.mid(15);
    return out;
  }
  QStringList errors() const { return fileLines(dir.filePath(S("jexui.log"))).filter(QRegularExpression(S("^!!! ERROR "))); }
  std::string out() const { return core.output().toStdString(); }

  CoreProcess core;
  QTemporaryDir dir;
  QDBusConnection conn{QString()};
  frmMDI* w = nullptr;
  QStringList forms, opened;
  QList<int> formTicks;
  int depth = 0, quits = 0, ticks = 0;
};

TEST_F(DispatchOverBus, ABurstOfKeysRunsInOrderOnSuccessiveTicks) {
  // The whole burst is in JexUI's queue before the first command runs (see the disabled case
  // below for keys that arrive while one runs).
  gGlobal().InDoEvents = true;
  core.type(S("DLGSPEECH\nDLGNUMKEY\nspeedup\nVCOMPRESSIONDLG"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return core.commands().size() == 4; }, 5000)) << out();
  EXPECT_EQ(w->commandQueue().size(), 4);
  gGlobal().InDoEvents = false;
  ASSERT_TRUE(settled(4)) << out();
  EXPECT_EQ(core.commands(), (QStringList{S("CMD: DLGSPEECH -> consumed by JexUI"), S("CMD: DLGNUMKEY -> consumed by JexUI"),
                                          S("CMD: SPEEDUP -> consumed by JexUI"),
                                          S("CMD: VCOMPRESSIONDLG -> consumed by JexUI")}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return forms.size() == 4; }, 2000));
  EXPECT_EQ(forms, (QStringList{S("frmVoices.Show"), S("frmKeys.ShowKeys NUM"), S("frmVoices.SPEEDUP"),
                                S("frmBraille.Show lstVSpace")}));
  for (int i = 1; i < formTicks.size(); ++i) EXPECT_LT(formTicks[i - 1], formTicks[i]) << "two commands in one tick";
}

// A key that reaches JexUI while a running command waits on a call to the core enables tmrCMD
// again inside that call's event loop; its command must still wait for the running one.
TEST_F(DispatchOverBus, AKeyPressedWhileADialogReadsTheCoreRunsAfterIt) {
  // The voices dialog reads the core's objects while it comes up; meanwhile the user presses
  // the next key, which reaches JexUI inside one of those calls.
  frmMDI::registerForm(S("frmVoices"), [this](const QString& action, const QStringList&) {
    EXPECT_EQ(depth++, 0) << "a command ran inside another";
    core.type(S("DLGKEYECHO"));
    for (int i = 0; i < 200 && !core.has(S("CMD: DLGKEYECHO")); ++i) jex::Jex().str(S("proc.ForeGroundApp"));
    for (int i = 0; i < 20; ++i) jex::Jex().str(S("proc.ForeGroundApp"));
    forms << S("frmVoices.") + action;
    --depth;
  });
  core.type(S("DLGSPEECH"));
  ASSERT_TRUE(settled(2)) << out();
  ASSERT_TRUE(QTest::qWaitFor([&] { return forms.size() == 2; }, 2000));
  EXPECT_EQ(forms, (QStringList{S("frmVoices.Show"), S("frmKeyecho.Show")}));
}

// The window system as far as the core sees it: JexUI's window coming up makes JexUI the
// foreground application, going away gives the foreground back to the word processor. The
// core learns it before the next command runs.
struct WindowSystem : QObject {
  CoreProcess* core = nullptr;
  QStringList seen;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Hide) tell(S("hide"), S("JEXUI"), S("WINWORD"));
    if (e->type() == QEvent::Show) tell(S("show"), S("WINWORD"), S("JEXUI"));
    return false;
  }
  void tell(const QString& what, const QString& from, const QString& to) {
    seen << what;
    const QString line = S("SWITCH: ") + from + u'/' + to;
    const int before = int(core->output().count(line));
    core->type(S(":switch ") + from + u' ' + to);
    if (!QTest::qWaitFor([&] { return core->output().count(line) > before; }, 5000))
      ADD_FAILURE() << "the core did not report " << line.toStdString();
  }
};

TEST_F(DispatchOverBus, TwoTogglesInOneBurstHideAndShowTheWindow) {
  core.type(S(":switch WINWORD JEXUI"));
  ASSERT_TRUE(core.waitFor(S("SWITCH: WINWORD/JEXUI"))) << out();
  WindowSystem ws;
  ws.core = &core;
  w->installEventFilter(&ws);
  core.type(S("TOGGMEN\nTOGGMEN"));
  ASSERT_TRUE(settled(2)) << out();
  ASSERT_TRUE(QTest::qWaitFor([&] { return ws.seen.size() == 2; }, 3000)) << ws.seen.join(u' ').toStdString();
  EXPECT_EQ(ws.seen, (QStringList{S("hide"), S("show")}));
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(handled(), (QStringList{S("TOGGMEN"), S("TOGGMEN")}));
  w->removeEventFilter(&ws);
}

TEST_F(DispatchOverBus, HelpIsJexUisOnlyWhileJexUiIsInFront) {
  core.type(S("HELP"));
  ASSERT_TRUE(core.waitFor(S("CMD: HELP -> HELP done"))) << out();
  EXPECT_TRUE(core.has(S("SPEAK: Hilfe"))) << "the core's own help speaks";
  core.type(S(":switch WINWORD JEXUI\nHELP"));
  ASSERT_TRUE(settled(2)) << out();
  EXPECT_EQ(core.commands().value(1), S("CMD: HELP -> consumed by JexUI"));
  core.type(S(":switch jexui notepad\nHELP"));
  ASSERT_TRUE(settled(3)) << out();
  EXPECT_EQ(core.commands().value(2), S("CMD: HELP -> HELP done"));
  EXPECT_EQ(handled(), QStringList{S("HELP")});
}

TEST_F(DispatchOverBus, SpeechSwitchesActInTheCoreAndQueueTheStateReport) {
  core.type(S("SETSPOFF"));
  ASSERT_TRUE(settled(1)) << out();
  EXPECT_EQ(core.commands().value(0), S("CMD: SETSPOFF -> UseSpeech=0"));
  EXPECT_EQ(jex::Jex().i32(S("proc.UseSpeech")), 0);
  // Console lines run as they are read, key commands on a later turn of the core: one at a time.
  core.type(S(":say eins"));
  ASSERT_TRUE(core.waitFor(S("MUTED: eins"))) << out();
  core.type(S("SETSPON"));
  ASSERT_TRUE(settled(2)) << out();
  core.type(S(":say zwei"));
  ASSERT_TRUE(core.waitFor(S("SPEAK: zwei"))) << out();
  EXPECT_EQ(jex::Jex().i32(S("proc.UseSpeech")), 1);
  core.type(S("SETSPTOGGLE"));
  ASSERT_TRUE(settled(3)) << out();
  core.type(S(":say drei"));
  ASSERT_TRUE(core.waitFor(S("MUTED: drei"))) << out();
  EXPECT_EQ(core.commands().mid(1), (QStringList{S("CMD: SETSPON -> UseSpeech=1"), S("CMD: SETSPTOGGLE -> UseSpeech=0")}));
  EXPECT_EQ(handled(), (QStringList{S("SETSPOFF"), S("SHOWSPEECHSTATE"), S("SHOWSPEECHSTATE"), S("SETSPON"),
                                    S("SHOWSPEECHSTATE"), S("SETSPTOGGLE"), S("SHOWSPEECHSTATE"), S("SHOWSPEECHSTATE")}));
  EXPECT_TRUE(fileLines(core.appDir() + S("/corvane.ini")).contains(S("UseSpeech=0"))) << "the core keeps the switch";
}

TEST_F(DispatchOverBus, NewForegroundWindowRunsTheStoredCommandInTheCoreOnce) {
  gGlobal().NextFGWinCmd = S("READEDITCUR");
  core.type(S(":switch notepad winword\nNEWFGWIN!"));
  ASSERT_TRUE(settled(1)) << out();
  EXPECT_EQ(core.commands().value(0), S("CMD: NEWFGWIN! -> replaced by JexUI with READEDITCUR -> READEDITCUR done"));
  EXPECT_TRUE(core.has(S("SPEAK: WINWORD Eingabefeld")));
  EXPECT_TRUE(gGlobal().NextFGWinCmd.isEmpty());
  core.type(S("NEWFGWIN!"));
  ASSERT_TRUE(settled(2)) << out();
  EXPECT_EQ(core.commands().value(1), S("CMD: NEWFGWIN! -> unhandled: NEWFGWIN!"));

  // A stored sub-menu call: the core holds back three steps, then gets the call itself.
  gGlobal().NextFGWinCmd = S(".Sub.Menu");
  core.type(S("NEWFGWIN!"));
  ASSERT_TRUE(settled(7)) << out();
  EXPECT_EQ(core.commands().mid(2), (QStringList{S("CMD: NEWFGWIN! -> replaced by JexUI with DELAYPROCESSING -> DELAYPROCESSING done"),
                                                 S("CMD: DELAYPROCESSING -> DELAYPROCESSING done"),
                                                 S("CMD: DELAYPROCESSING -> DELAYPROCESSING done"),
                                                 S("CMD: DELAYPROCESSING -> DELAYPROCESSING done"),
                                                 S("CMD: .SUB.MENU -> unhandled: .SUB.MENU")}));
  EXPECT_TRUE(gGlobal().NextFGWinCmd.isEmpty());
  EXPECT_TRUE(handled().isEmpty()) << "nothing of this is JexUI's to run";
}

TEST_F(DispatchOverBus, FileCommandsOpenTheTextAfterTheFirstColon) {
  core.type(S("UI_OPEN:/home/u/Mein Brief:2.TXT\nxyUI_HELP:Intro.htm\nUI_OPEN"));
  ASSERT_TRUE(settled(3)) << out();
  EXPECT_EQ(core.commands(), (QStringList{S("CMD: UI_OPEN:/home/u/Mein Brief:2.TXT -> consumed by JexUI"),
                                          S("CMD: XYUI_HELP:Intro.htm -> consumed by JexUI"),
                                          S("CMD: UI_OPEN -> unhandled: UI_OPEN")}));
  ASSERT_EQ(opened.size(), 2);
  EXPECT_EQ(opened[0], S("/home/u/Mein Brief:2.TXT"));
  EXPECT_TRUE(opened[1].startsWith(core.appDir() + S("/Help/"))) << opened[1].toStdString();
  EXPECT_TRUE(opened[1].endsWith(S("/Intro.htm"))) << opened[1].toStdString();
}

TEST_F(DispatchOverBus, QuitDropsTheCommandsStillQueuedAndLetsGoOfTheCore) {
  gGlobal().InDoEvents = true;  // held back until all three wait in JexUI's queue
  core.type(S("QUIT\nDLGSPEECH\nDLGKEYECHO"));
  ASSERT_TRUE(core.waitFor(S("CMD: DLGKEYECHO"))) << out();
  EXPECT_EQ(core.commands(), (QStringList{S("CMD: QUIT -> consumed by JexUI"), S("CMD: DLGSPEECH -> consumed by JexUI"),
                                          S("CMD: DLGKEYECHO -> consumed by JexUI")}));
  EXPECT_EQ(w->commandQueue().size(), 3);
  gGlobal().InDoEvents = false;
  ASSERT_TRUE(QTest::qWaitFor([&] { return quits == 1; }, 5000)) << out();
  QTest::qWait(50);
  EXPECT_TRUE(forms.isEmpty());
  EXPECT_EQ(handled(), QStringList{S("QUIT")});
  EXPECT_TRUE(w->isUnloaded());
  // Sink and notifier are gone from the core: the next key is the core's again.
  core.type(S("DLGSPEECH"));
  ASSERT_TRUE(core.waitFor(S("CMD: DLGSPEECH -> unhandled: DLGSPEECH"))) << out();
  EXPECT_TRUE(errors().isEmpty()) << errors().join(u'\n').toStdString();
}

TEST_F(DispatchOverBus, ACoreThatVanishesIsLoggedAndJexUiGoesOn) {
  QSignalSpy vanished(&bus::Bridge::instance(), &bus::Bridge::peerVanished);
  core.process().kill();
  ASSERT_TRUE(core.process().waitForFinished(3000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return vanished.size() > 0; }, 5000));
  EXPECT_EQ(vanished.at(0).at(0).toString(), kCore);

  QElapsedTimer clock;
  clock.start();
  jex::iAdd2JexCmdQ(S("READEDITCUR"));
  w->HandleCmd(S("TOGGMEN"));
  w->HandleCmd(S("QUICKMEN"));
  EXPECT_LT(clock.elapsed(), jex::automation::dbus::callTimeout()) << "a gone peer fails at once";
  ASSERT_GE(errors().size(), 2);
  for (const QString& e : errors()) EXPECT_TRUE(e.contains(S(" 462 "))) << e.toStdString();

  // JexUI's own queue still runs.
  w->commandQueue().add(S("DLGKEYECHO"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return forms.size() == 1; }, 2000));
  EXPECT_EQ(forms, QStringList{S("frmKeyecho.Show")});
  w->removeHook();
  w->Unload();
  EXPECT_TRUE(w->isUnloaded());
}

}  // namespace
