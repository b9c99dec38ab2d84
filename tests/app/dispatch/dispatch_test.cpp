// The command path between the core and the main window: the sink, the notifier, the filter,
// JexUI's queue and the operations. The scenarios run against the stand-in core's objects
// in-process and against the built core on a private session bus, where the test types key
// commands on the core's console and reads its report lines.
#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/cmdqueue.h"
#include "app/commandfilter.h"
#include "app/frmmdi.h"
#include "automation/dbustransport.h"
#include "dialogs/childdialog.h"
#include "global/cnotifysink.h"
#include "global/jexnotifier.h"
#include "localisation/frmlocalizer.h"
#include "platform/opener.h"
#include "tests/automation/privatebus.h"
#include "tests/support/dialogtest.h"
#include "tests/support/fakecore.h"
#include "tests/support/text.h"
#include "users/cuser.h"
#include "widgets/formservice.h"

namespace {
using jex::frmMDI;
using jex::gGlobal;
using jex::Obj;
namespace bus = jex::automation::dbus;
using jex::testing::fileLines;

QStringList L(std::initializer_list<const char*> l) {
  QStringList out;
  for (const char* s : l) out << S(s);
  return out;
}
const QString kCore = S("corvane.application");
const char* const kForms[] = {"frmVoices", "frmKeyecho", "frmBraille", "frmKeys"};

// The core as the user and the tests meet it: lines typed on its console (key commands, or
// ":switch OLD NEW" and ":say TEXT") and the report lines it writes.
class CoreSide {
 public:
  virtual ~CoreSide() = default;
  virtual void type(const QString& lines) = 0;
  virtual QStringList reports() const = 0;
  bool has(const QString& start) const {
    const QStringList l = reports();
    return std::any_of(l.begin(), l.end(), [&](const QString& x) { return x.startsWith(start); });
  }
  bool waitFor(const QString& start, int ms = 5000) const {
    return QTest::qWaitFor([&] { return has(start); }, ms);
  }
  QStringList commands() const { return reports().filter(QRegularExpression(S("^CMD: "))); }
  std::string out() const { return reports().join(u'\n').toStdString(); }
};

class InProcessCore : public CoreSide {
 public:
  explicit InProcessCore(const QString& dir) : core(dir) { core.routeQueued = true; }
  void type(const QString& lines) override {
    for (const QString& l : lines.split(u'\n')) {
      if (l.startsWith(S(":switch "))) core.switchTask(l.section(u' ', 1, 1), l.section(u' ', 2, 2));
      else if (l.startsWith(S(":say "))) core.speak(l.mid(5), 1);
      else core.router.queue(l);
    }
  }
  QStringList reports() const override { return core.reports; }
  fake::Core core;
  Obj root{std::make_shared<corvane::Root>(core)};
};

// The built core, started on the private bus with a fresh directory.
class CoreProcess : public CoreSide {
 public:
  explicit CoreProcess(const QString& busAddress) : child(busAddress) {}
  void type(const QString& lines) override { child.type(lines); }
  QStringList reports() const override { return child.lines; }
  jex::testing::BuiltCore child;
};

enum class Transport { InProcess, DBus };

// Sees what would be handed to the desktop.
struct Opener : jex::platform::DesktopOpener {
  QStringList opened;
  bool open(const QUrl& url) override { return opened << url.toLocalFile(), true; }
};

class Dispatch : public ::testing::Test {
 protected:
  void start(Transport t) {
    if (t == Transport::InProcess) {
      auto c = std::make_unique<InProcessCore>(dir.path() + S("/core"));
      jex::Jex() = c->root;
      local = c.get();
      core = std::move(c);
    } else {
      auto& pb = jex::testing::PrivateBus::instance();
      if (!pb.ok()) GTEST_SKIP() << "no private session bus: " << pb.error().toStdString();
      conn = pb.connect(S("jexui"));
      ASSERT_TRUE(conn.isConnected());
      ASSERT_TRUE(conn.registerService(S("JexUI.UI_Application")))
          << "the core takes sink and notifier only from JexUI";
      // The core of the previous test may still be leaving the bus.
      ASSERT_TRUE(QTest::qWaitFor([&] { return !bus::isNameOwned(kCore, conn); }, 5000));
      if (!jex::testing::BuiltCore::built()) GTEST_SKIP() << "corvane is not built";
      auto c = std::make_unique<CoreProcess>(pb.address());
      ASSERT_TRUE(c->child.startAndWait(
          {S("--no-jexui"), S("--no-monitor"), S("--no-audio"), S("--no-foreground"), S("--trust-bus")}))
          << c->out();
      remote = c.get();
      core = std::move(c);
      jex::Jex() = bus::connect(kCore, conn);
    }
    jex::logfile::setPath(dir.filePath(S("jexui.log")));
    jex::logfile::setThreshold(5);
    gGlobal().AppPath = jex::Jex().str(S("proc.AppPath"));
    jex::platform::setDesktopOpener(&opener);
    frmMDI::setQuitter([this] { ++quits; });
    for (const char* form : kForms) {
      jex::forms::add({.name = S(form), .action = [this, form](const QString& action, const QStringList& args) {
                         EXPECT_EQ(depth++, 0) << "a command ran inside another";
                         forms << S(form) + u'.' + action + (args.isEmpty() ? QString() : u' ' + args.join(u','));
                         formTicks << ticks;
                         --depth;
                       }});
    }
    w = new frmMDI;
    w->show();
    w->registerSink();
    w->installHook();
    QObject::connect(w->commandQueue().tmrCMD(), &QTimer::timeout, [this] { ++ticks; });
  }
  void TearDown() override {
    if (w && !w->isUnloaded()) w->removeHook();
    delete w;
    for (const char* form : kForms) jex::forms::remove(S(form));
    jex::platform::setDesktopOpener(nullptr);
    jex::resetLocalizer();
    frmMDI::setQuitter([] {});
    jex::resetGlobals();
    jex::logfile::setPath({});
    core.reset();
    if (conn.isConnected()) jex::testing::PrivateBus::disconnect(conn);
  }

  // Waits until the core has reported n commands and JexUI's queue has run dry.
  bool settled(int n) {
    return QTest::qWaitFor([&] { return core->commands().size() >= n && idle(0); }, 5000);
  }
  bool idle(int ms = 2000) {
    return QTest::qWaitFor([&] { return w->commandQueue().isEmpty() && !w->commandQueue().tmrCMD()->isActive(); }, ms);
  }
  QStringList log() const { return fileLines(dir.filePath(S("jexui.log"))); }
  QStringList handled() const {
    QStringList out;
    for (const QString& l : log())
      if (l.startsWith(S("MDI.HandleCMD: "))) out << l.mid(15);
    return out;
  }
  QStringList errors() const { return log().filter(QRegularExpression(S("^!!! ERROR "))); }
  std::string out() const { return core->out(); }
  fake::Core& fc() { return local->core; }

  QTemporaryDir dir;
  std::unique_ptr<CoreSide> core;
  InProcessCore* local = nullptr;
  CoreProcess* remote = nullptr;
  QDBusConnection conn{QString()};
  frmMDI* w = nullptr;
  Opener opener;
  QStringList forms;
  QList<int> formTicks;
  int depth = 0, quits = 0, ticks = 0;
};

class DispatchBoth : public Dispatch, public ::testing::WithParamInterface<Transport> {
 protected:
  void SetUp() override { start(GetParam()); }
};
template <Transport T>
class DispatchOn : public Dispatch {
 protected:
  void SetUp() override { start(T); }
};
using DispatchOverBus = DispatchOn<Transport::DBus>;
using DispatchInProcess = DispatchOn<Transport::InProcess>;

TEST_P(DispatchBoth, ABurstOfKeysRunsInOrderOnSuccessiveTicks) {
  // The whole burst is in JexUI's queue before the first command runs: the filter only queues.
  gGlobal().InDoEvents = true;
  core->type(S("DLGSPEECH\nDLGNUMKEY\nspeedup\nVCOMPRESSIONDLG"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return core->commands().size() == 4; }, 5000)) << out();
  EXPECT_EQ(w->commandQueue().size(), 4);
  QTest::qWait(20);
  EXPECT_TRUE(forms.isEmpty()) << "nothing runs while InDoEvents is set";
  gGlobal().InDoEvents = false;
  ASSERT_TRUE(settled(4)) << out();
  for (const QString& c : core->commands()) EXPECT_TRUE(c.endsWith(S(" -> consumed by JexUI"))) << c.toStdString();
  EXPECT_EQ(forms, L({"frmVoices.Show", "frmKeys.ShowKeys NUM", "frmVoices.SPEEDUP", "frmBraille.Show lstVSpace"}));
  for (int i = 1; i < formTicks.size(); ++i) EXPECT_LT(formTicks[i - 1], formTicks[i]) << "two commands in one tick";
  EXPECT_FALSE(w->commandQueue().tmrCMD()->isActive()) << "the idle timer is off";
}

// A key that reaches JexUI while a running command waits on a call to the core enables tmrCMD
// again inside that call's event loop; its command must still wait for the running one.
TEST_P(DispatchBoth, AKeyPressedWhileADialogReadsTheCoreRunsAfterIt) {
  jex::forms::add({.name = S("frmVoices"), .action = [this](const QString& action, const QStringList&) {
                     EXPECT_EQ(depth++, 0) << "a command ran inside another";
                     core->type(S("DLGKEYECHO"));
                     for (int i = 0; i < 200 && !core->has(S("CMD: DLGKEYECHO")); ++i)
                       jex::Jex().str(S("proc.ForeGroundApp"));
                     for (int i = 0; i < 20; ++i) jex::Jex().str(S("proc.ForeGroundApp"));
                     forms << S("frmVoices.") + action;
                     --depth;
                   }});
  core->type(S("DLGSPEECH"));
  ASSERT_TRUE(settled(2)) << out();
  ASSERT_TRUE(QTest::qWaitFor([&] { return forms.size() == 2; }, 2000));
  EXPECT_EQ(forms, L({"frmVoices.Show", "frmKeyecho.Show"}));
}

// A command that only a form's registration names: the core's key is JexUI's, the form opens
// and marks the button of its family. A command whose form is not there only logs: the open
// dialog stays.
TEST_P(DispatchBoth, ACommandOfARegistrationOpensItsFormAndOneWithoutItsFormOnlyLogs) {
  jex::forms::add({.name = S("frmProbe"),
                   .create = [] { return std::make_unique<jex::ChildDialog>(S("frmProbe"), S("Probe")); },
                   .menuButton = 4,
                   .commands = {{.name = S("DLGPROBE")}}});
  jex::forms::addRoutes({.name = S("frmComing"), .commands = {{.name = S("DLGCOMING")}}});  // no form behind it
  core->type(S("DLGPROBE\nDLGCOMING"));
  ASSERT_TRUE(settled(2)) << out();
  jex::forms::remove(S("frmProbe"));
  jex::forms::remove(S("frmComing"));
  EXPECT_EQ(core->commands(), L({"CMD: DLGPROBE -> consumed by JexUI", "CMD: DLGCOMING -> consumed by JexUI"}));
  QWidget* probe = jex::forms::instance(S("frmProbe"));
  ASSERT_NE(probe, nullptr);
  EXPECT_TRUE(probe->isVisible());
  EXPECT_EQ(w->activeChild(), probe);
  EXPECT_EQ(w->markedButton(), 4);
  EXPECT_TRUE(log().contains(S("frmComing - not available")));
}

// The window system as the core sees it: JexUI's window coming up makes JexUI the foreground
// application, going away gives it back to the word processor; the core learns it before the
// next command runs.
struct WindowSystem : QObject {
  CoreSide* core = nullptr;
  QStringList seen;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Hide) tell(S("hide"), S("JEXUI"), S("WINWORD"));
    if (e->type() == QEvent::Show) tell(S("show"), S("WINWORD"), S("JEXUI"));
    return false;
  }
  void tell(const QString& what, const QString& from, const QString& to) {
    seen << what;
    const QString line = S("SWITCH: ") + from + u'/' + to;
    const auto before = core->reports().count(line);
    core->type(S(":switch ") + from + u' ' + to);
    if (!QTest::qWaitFor([&] { return core->reports().count(line) > before; }, 5000))
      ADD_FAILURE() << "the core did not report " << line.toStdString();
  }
};

TEST_P(DispatchBoth, TwoTogglesInOneBurstHideAndShowTheWindow) {
  core->type(S(":switch WINWORD JEXUI"));
  ASSERT_TRUE(core->waitFor(S("SWITCH: WINWORD/JEXUI"))) << out();
  WindowSystem ws;
  ws.core = core.get();
  w->installEventFilter(&ws);
  core->type(S("TOGGMEN\nTOGGMEN"));
  ASSERT_TRUE(settled(2)) << out();
  ASSERT_TRUE(QTest::qWaitFor([&] { return ws.seen.size() == 2; }, 3000)) << ws.seen.join(u' ').toStdString();
  EXPECT_EQ(ws.seen, L({"hide", "show"}));
  EXPECT_TRUE(w->isVisible());
}

TEST_P(DispatchBoth, HelpIsJexUisOnlyWhileJexUiIsInFront) {
  core->type(S("HELP"));
  ASSERT_TRUE(core->waitFor(S("CMD: HELP -> HELP done"))) << out();
  EXPECT_TRUE(core->has(S("SPEAK: Hilfe"))) << "the core's own help speaks";
  core->type(S(":switch WINWORD JEXUI\nHELP"));
  ASSERT_TRUE(settled(2)) << out();
  EXPECT_EQ(core->commands().value(1), S("CMD: HELP -> consumed by JexUI"));
  core->type(S(":switch jexui notepad\nHELP"));
  ASSERT_TRUE(settled(3)) << out();
  EXPECT_EQ(core->commands().value(2), S("CMD: HELP -> HELP done"));
  EXPECT_EQ(handled(), L({"HELP"}));
}

TEST_P(DispatchBoth, SpeechSwitchesActInTheCoreAndQueueTheStateReport) {
  core->type(S("SETSPOFF"));
  ASSERT_TRUE(settled(1)) << out();
  EXPECT_EQ(jex::Jex().i32(S("proc.UseSpeech")), 0);
  // Console lines run as they are read, key commands on a later turn of the core: one at a time.
  core->type(S(":say eins"));
  ASSERT_TRUE(core->waitFor(S("MUTED: eins"))) << out();
  core->type(S("SETSPON"));
  ASSERT_TRUE(settled(2)) << out();
  core->type(S(":say zwei"));
  ASSERT_TRUE(core->waitFor(S("SPEAK: zwei"))) << out();
  core->type(S("SETSPTOGGLE"));
  ASSERT_TRUE(settled(3)) << out();
  EXPECT_EQ(core->commands(),
            L({"CMD: SETSPOFF -> UseSpeech=0", "CMD: SETSPON -> UseSpeech=1", "CMD: SETSPTOGGLE -> UseSpeech=0"}));
  EXPECT_EQ(handled(), L({"SETSPOFF", "SHOWSPEECHSTATE", "SHOWSPEECHSTATE", "SETSPON", "SHOWSPEECHSTATE", "SETSPTOGGLE",
                          "SHOWSPEECHSTATE", "SHOWSPEECHSTATE"}));
  EXPECT_TRUE(fileLines(gGlobal().AppPath + S("corvane.ini")).contains(S("UseSpeech=0")))
      << "the core keeps the switch";
}

TEST_P(DispatchBoth, NewForegroundWindowRunsTheStoredCommandInTheCoreOnce) {
  gGlobal().NextFGWinCmd = S("READEDITCUR");
  core->type(S(":switch notepad winword\nNEWFGWIN!"));
  ASSERT_TRUE(settled(1)) << out();
  // Run in the core; with a screen reader listening, it first looks for a focused text for a while.
  EXPECT_TRUE(core->commands().value(0).startsWith(S("CMD: NEWFGWIN! -> replaced by JexUI with READEDITCUR -> ")))
      << core->commands().value(0).toStdString();
  EXPECT_TRUE(core->waitFor(S("SPEAK: WINWORD Eingabefeld"))) << out();
  EXPECT_TRUE(gGlobal().NextFGWinCmd.isEmpty());
  core->type(S("NEWFGWIN!"));
  ASSERT_TRUE(settled(2)) << out();
  EXPECT_EQ(core->commands().value(1), S("CMD: NEWFGWIN! -> unhandled: NEWFGWIN!"));
  // A stored sub-menu call: the core holds back three steps, then gets the call itself.
  gGlobal().NextFGWinCmd = S(".Sub.Menu");
  core->type(S("NEWFGWIN!"));
  ASSERT_TRUE(settled(7)) << out();
  EXPECT_EQ(core->commands().mid(2),
            L({"CMD: NEWFGWIN! -> replaced by JexUI with DELAYPROCESSING -> DELAYPROCESSING done",
               "CMD: DELAYPROCESSING -> DELAYPROCESSING done", "CMD: DELAYPROCESSING -> DELAYPROCESSING done",
               "CMD: DELAYPROCESSING -> DELAYPROCESSING done", "CMD: .SUB.MENU -> unhandled: .SUB.MENU"}));
  EXPECT_TRUE(gGlobal().NextFGWinCmd.isEmpty());
  EXPECT_TRUE(handled().isEmpty()) << "nothing of this is JexUI's to run";
}

TEST_P(DispatchBoth, FileCommandsOpenTheTextAfterTheFirstColonAndNearMissesStayTheCores) {
  const QString doc = dir.filePath(S("Mein Brief:2.TXT"));
  const QString help = gGlobal().AppPath + S("Help/1031/Intro.htm");
  QDir().mkpath(gGlobal().AppPath + S("Help/1031"));
  fake::CoreFixture::writeFile(doc, "Brief");
  fake::CoreFixture::writeFile(help, "Hilfe");
  jex::frmLocalizer().setLNG(S("1031"));
  core->type(S("UI_OPEN:") + doc + S("\nxyUI_HELP:Intro.htm\nUI_OPEN\nUSESPSET0\nUSESPSET10\nNAV:Top"));
  ASSERT_TRUE(settled(6)) << out();
  EXPECT_EQ(core->commands(),
            QStringList{S("CMD: UI_OPEN:") + doc + S(" -> consumed by JexUI")} +
                L({"CMD: XYUI_HELP:Intro.htm -> consumed by JexUI", "CMD: UI_OPEN -> unhandled: UI_OPEN",
                   "CMD: USESPSET0 -> unhandled: USESPSET0", "CMD: USESPSET10 -> unhandled: USESPSET10",
                   "CMD: NAV:Top -> unhandled: NAV:Top"}));
  EXPECT_EQ(opener.opened, (QStringList{doc, help}));
}

TEST_P(DispatchBoth, QuitDropsTheCommandsStillQueuedAndLetsGoOfTheCore) {
  gGlobal().InDoEvents = true;  // held back until all three wait in JexUI's queue
  core->type(S("QUIT\nDLGSPEECH\nDLGKEYECHO"));
  ASSERT_TRUE(core->waitFor(S("CMD: DLGKEYECHO"))) << out();
  EXPECT_EQ(w->commandQueue().size(), 3);
  gGlobal().InDoEvents = false;
  ASSERT_TRUE(QTest::qWaitFor([&] { return quits == 1; }, 5000)) << out();
  QTest::qWait(50);
  EXPECT_TRUE(forms.isEmpty());
  EXPECT_EQ(handled(), L({"QUIT"}));
  EXPECT_TRUE(w->isUnloaded());
  // Sink and notifier are gone from the core: the next key is the core's again.
  core->type(S("DLGSPEECH"));
  ASSERT_TRUE(core->waitFor(S("CMD: DLGSPEECH -> unhandled: DLGSPEECH"))) << out();
  EXPECT_TRUE(errors().isEmpty()) << errors().join(u'\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Transports, DispatchBoth, ::testing::Values(Transport::InProcess, Transport::DBus),
                         [](const auto& info) { return info.param == Transport::InProcess ? "InProcess" : "DBus"; });

TEST_F(DispatchOverBus, ACoreThatVanishesIsLoggedAndJexUiGoesOn) {
  QSignalSpy vanished(&bus::Bridge::instance(), &bus::Bridge::peerVanished);
  remote->child.proc.kill();
  ASSERT_TRUE(remote->child.proc.waitForFinished(3000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return vanished.size() > 0; }, 5000));
  EXPECT_EQ(vanished.at(0).at(0).toString(), kCore);
  QElapsedTimer clock;
  clock.start();
  jex::iAdd2JexCmdQ(S("READEDITCUR"));
  w->HandleCmd(S("TOGGMEN"));
  w->HandleCmd(S("QUICKMEN"));
  EXPECT_LT(clock.elapsed(), bus::callTimeout()) << "a gone peer fails at once";
  ASSERT_GE(errors().size(), 2);
  for (const QString& e : errors()) EXPECT_TRUE(e.contains(S(" 462 "))) << e.toStdString();
  w->commandQueue().add(S("DLGKEYECHO"));  // JexUI's own queue still runs
  ASSERT_TRUE(QTest::qWaitFor([&] { return forms.size() == 1; }, 2000));
  EXPECT_EQ(forms, L({"frmKeyecho.Show"}));
}

// JexUI's side alone, with the core's objects in-process.
TEST_F(DispatchInProcess, TaskSwitchesOrderTheFocusEventsAndSwitchTheSinkEvents) {
  QStringList order;
  jex::cNotifySink* sink = w->Notifier();
  QObject::connect(sink, &jex::cNotifySink::UIGotFocusEvent, [&] { order << S("got"); });
  QObject::connect(sink, &jex::cNotifySink::UILostFocusEvent, [&] { order << S("lost"); });
  QObject::connect(sink, &jex::cNotifySink::TaskSwitchEvent, [&] { order << S("switch"); });
  EXPECT_TRUE(fc().hub.isEnabled(S("ProcessSwitch")));
  EXPECT_FALSE(fc().hub.isEnabled(S("AboutToSpeak")));
  fc().switchTask(S("winword"), S("jexui"));
  for (const char* e : {"AudioStart", "AudioStop", "AboutToSpeak", "VoiceSelect"})
    EXPECT_TRUE(fc().hub.isEnabled(S(e))) << e;
  EXPECT_TRUE(fc().reports.contains(S("CALLBACK: 0, OnInitAppSettings, <empty>, JEXUI")));
  fc().hub.audioStart(S("x"));
  EXPECT_TRUE(gGlobal().Speaking);
  fc().switchTask(S("JEXUI"), S("JEXUI"));
  EXPECT_EQ(order, L({"got", "switch", "got", "lost", "switch"}));
  EXPECT_EQ(gGlobal().PrevOldTask, S("WINWORD"));
  EXPECT_FALSE(gGlobal().Speaking) << "lost focus came last";
  EXPECT_FALSE(fc().hub.isEnabled(S("VoiceSelect")));
}

// (The command the sink's handler changes goes back to the core: the burst, help and file cases
// above see it consumed or replaced over both transports.)
TEST_F(DispatchInProcess, SinkComparesUpperCasedTasksAndRaisesTheVoiceSelection) {
  auto sink = jex::cNotifySink::create();
  QStringList order;
  QObject::connect(sink.get(), &jex::cNotifySink::UILostFocusEvent, [&] { order << S("lost"); });
  QObject::connect(sink.get(), &jex::cNotifySink::TaskSwitchEvent, [&] { order << S("switch"); });
  QSignalSpy voice(sink.get(), &jex::cNotifySink::VoiceSelectEvent);
  Obj o(sink);
  o.call(S("ProcessSwitch"), {S("jexui"), S("explorer")});
  EXPECT_EQ(order, L({"lost", "switch"}));
  EXPECT_EQ(gGlobal().OldTask, S("JEXUI"));
  EXPECT_EQ(gGlobal().NewTask, S("EXPLORER"));
  o.call(S("VoiceSelect"), {S("Anna")});
  ASSERT_EQ(voice.size(), 1);
  EXPECT_EQ(voice.at(0).at(0).toString(), S("Anna"));
  EXPECT_THROW(o.call(S("ProcessSwitch"), {S("only one")}), jex::Error);
}

TEST_F(DispatchInProcess, NotifierStopsRaisingOnceGone) {
  auto notifier = std::make_unique<jex::JexNotifier>(local->root);
  QObject::connect(notifier.get(), &jex::JexNotifier::HandleCmdEvent, [](QString& s) { s = s.toLower(); });
  EXPECT_TRUE(notifier->InstallHook(7, true));
  EXPECT_EQ(fc().hub.notifierCount(), 2);
  Obj receiver = notifier->receiver();
  EXPECT_TRUE(notifier->InstallHook(7, false));
  EXPECT_FALSE(notifier->InstallHook(7, false));
  notifier.reset();
  QVariantList c{S("ABC")};
  receiver.call(S("HandleCmd"), c);  // the window is gone: nothing raised, string unchanged
  EXPECT_EQ(c.value(0).toString(), S("ABC"));
  EXPECT_FALSE(jex::JexNotifier(Obj()).InstallHook(7, true)) << "no core: false, not a crash";
}

TEST_F(DispatchInProcess, CutEditEndsInTheTrapAndTheNextCommandStillRuns) {
  core->type(S("CUTEDIT\nDLGKEYECHO"));
  ASSERT_TRUE(settled(2)) << out();
  EXPECT_EQ(forms, L({"frmKeyecho.Show"}));
  EXPECT_FALSE(errors().filter(S(" 438 ")).isEmpty()) << errors().join(u'\n').toStdString();
}

TEST_F(DispatchInProcess, ExitAsksAndEndsTheCoreOnlyOnYes) {
  for (const Qt::Key answer : {Qt::Key_Escape, Qt::Key_Return}) {
    jex::test::AnswerBox box(answer);
    core->type(S("EXITHALDA"));
    ASSERT_TRUE(settled(answer == Qt::Key_Escape ? 1 : 2));
    EXPECT_EQ(fc().queued, answer == Qt::Key_Escape ? QStringList() : L({"EXITHALDANOW"}));
  }
}

TEST_F(DispatchInProcess, QuitWhileTheExitQuestionIsOpenClosesTheBoxAndShutsDownInOrder) {
  // The box runs its own message loop: the key for QUIT comes while it waits for an answer.
  QPointer<QWidget> box;
  bool asked = false;
  jex::test::AnswerBox answer([&](QWidget* modal) {
    if (std::exchange(asked, true)) return;
    box = modal;
    EXPECT_EQ(modal->objectName(), S("frmMsgEx"));
    core->type(S("QUIT"));
  });
  core->type(S("EXITHALDA"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return quits == 1; }, 5000));
  ASSERT_TRUE(idle());
  ASSERT_TRUE(asked);
  EXPECT_FALSE(box && box->isVisible()) << "the box is closed";
  EXPECT_EQ(handled(), L({"EXITHALDA", "QUIT"}));
  EXPECT_FALSE(fc().queued.contains(S("EXITHALDANOW"))) << "closing the box is no Yes";
  EXPECT_TRUE(w->isUnloaded());
  EXPECT_TRUE(jex::testing::inOrder(
      log(), L({"MDI.HandleCMD: QUIT", "Quit with Modal Form open !", "MDI_Unload", "Unhook: True"})))
      << log().join(u'\n').toStdString();
}

// Spoken tool tips and the core's speech: a tip never interrupts speech, and after speech it is
// spoken only when it was asked for at least 501 ms before.
class TipTest : public DispatchInProcess {
 protected:
  void SetUp() override {
    DispatchInProcess::SetUp();
    gGlobal().TipDelay = 1000;  // the tip timer runs, but never speaks during the test
    w->setClock([this] { return now; });
    fc().switchTask(S("WINWORD"), S("JEXUI"));  // JexUI has the focus
  }
  qint64 now = 100000;
};

TEST_F(TipTest, FocusSwitchesTheReaderAndDropsThePendingTip) {
  EXPECT_TRUE(w->tmrReader()->isActive());
  w->StatusTip(S("Benutzer wählen"));
  fc().switchTask(S("JEXUI"), S("WINWORD"));
  EXPECT_FALSE(w->tmrReader()->isActive());
  EXPECT_FALSE(w->tmrTip()->isActive());
  fc().switchTask(S("WINWORD"), S("JEXUI"));
  EXPECT_TRUE(w->tmrReader()->isActive());
  EXPECT_FALSE(w->tipPending()) << "the tip of before is not spoken on coming back";
  EXPECT_TRUE(w->statusPanel(S("tip"))->text().isEmpty());
}

TEST_F(TipTest, SpeechHoldsTheTipOffAndTheStopReleasesItAfter501MsWhenTipsAreOn) {
  w->tmrTip()->start();
  fc().hub.audioStop(S("x"));
  EXPECT_FALSE(w->tmrTip()->isActive()) << "no tip pending";
  w->StatusTip(S("Stimme wählen"));
  ASSERT_TRUE(w->tmrTip()->isActive());
  fc().hub.audioStart(S("Hallo"));
  EXPECT_FALSE(w->tmrTip()->isActive());
  now += 500;
  fc().hub.audioStop(S("Hallo"));
  EXPECT_FALSE(gGlobal().Speaking);
  EXPECT_FALSE(w->tmrTip()->isActive()) << "500 ms after the request: left for the next stop";
  EXPECT_TRUE(w->tipPending());
  fc().hub.audioStart(S("Welt"));
  now += 1;
  fc().hub.audioStop(S("Welt"));
  EXPECT_TRUE(w->tmrTip()->isActive()) << "501 ms: the tip may come";

  gGlobal().UserProfile = std::make_shared<jex::cUser>();
  gGlobal().UserProfile->setSpeakTips(0);
  w->StatusTip(S("Tastenecho"));
  fc().hub.audioStart(S("x"));
  now += 2000;
  fc().hub.audioStop(S("x"));
  EXPECT_FALSE(w->tmrTip()->isActive()) << "tips are off";
  gGlobal().UserProfile->setSpeakTips(1);
  fc().hub.audioStart(S("x"));
  fc().hub.audioStop(S("x"));
  EXPECT_TRUE(w->tmrTip()->isActive());
}

// The focus utterance often begins before the reader timer sees the control's tip: the tip
// asked for while the core speaks waits for the end of it, however long it speaks.
TEST_F(TipTest, ATipAskedForDuringSpeechWaitsForItsEnd) {
  gGlobal().TipDelay = 0;
  fc().hub.audioStart(S("Braille, Schalter"));
  w->StatusTip(S("Einstellungen der Braillezeile"));
  EXPECT_FALSE(w->tmrTip()->isActive());
  const qsizetype before = fc().said().size();
  QTest::qWait(250);
  EXPECT_EQ(fc().said().size(), before) << "nothing was said over the speech";
  now += 600;
  fc().hub.audioStop(S("Braille, Schalter"));
  EXPECT_TRUE(w->tmrTip()->isActive());
}

}  // namespace
