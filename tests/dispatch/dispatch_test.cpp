// The command path between the stand-in core (its real root object, event hub and command
// router, in-process) and the main window: the sink, the notifier, the filter, the queue and
// the operations.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "core/automation/dispatchable.h"
#include "core/base/log.h"
#include "core/cmdqueue.h"
#include "core/commandfilter.h"
#include "core/frmmdi.h"
#include "core/global/cglobal.h"
#include "core/global/cnotifysink.h"
#include "corvane/core/commandrouter.h"
#include "corvane/core/coremodel.h"
#include "corvane/core/eventhub.h"
#include "corvane/core/objects.h"
#include "corvane/core/settingsstore.h"
#include "platform/jexnotifier.h"
#include "users/cuser.h"

namespace {
using jex::Obj;
using jex::frmMDI;
using jex::gGlobal;

QString S(const char* s) { return QString::fromUtf8(s); }

// The stand-in core without speech, window or bus; what it runs itself is journalled.
class Core : public corvane::CoreModel {
 public:
  explicit Core(const QString& dir) : store(dir + S("/corvane.ini")), path(dir + u'/') {
    for (const char* c : {"SETSPON", "HELP", "SAYTIME", "DELAYPROCESSING"})
      router.addCommand(S(c), [this, c] { ran << S(c); return QString(); });
  }
  QString appPath() const override { return path; }
  corvane::SettingsStore& settings() override { return store; }
  corvane::EventHub& events() override { return hub; }
  QString foregroundApp() const override { return foreground; }
  void queueCommand(const QString& c) override { queued << c; }
  void speak(const QString&, int) override {}
  void stopSpeech() override {}
  bool monitorVisible() const override { return false; }
  void setMonitorVisible(bool) override {}
  bool useSpeech() const override { return true; }
  void setUseSpeech(bool) override {}
  void setLanguage(const QString&) override {}
  void report(const QString& l) override { reports << l; }

  corvane::IniFileStore store;
  QString path;
  QString foreground = S("WINWORD");
  corvane::EventHub hub;
  corvane::CommandRouter router{hub};
  QStringList queued, ran, reports;
};

QStringList logLines(const QString& file) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll()).split(S("\r\n"), Qt::SkipEmptyParts);
}

// ---------------------------------------------------------------- sink and notifier alone

class SinkTest : public ::testing::Test {
 protected:
  void TearDown() override { jex::resetGlobals(); }
};

TEST_F(SinkTest, ProcessSwitchRecordsTasksAndRaisesFocusEventsInOrder) {
  auto sink = jex::cNotifySink::create();
  QStringList order;
  QObject::connect(sink.get(), &jex::cNotifySink::UIGotFocusEvent, [&] { order << S("got"); });
  QObject::connect(sink.get(), &jex::cNotifySink::UILostFocusEvent, [&] { order << S("lost"); });
  QObject::connect(sink.get(), &jex::cNotifySink::TaskSwitchEvent, [&] { order << S("switch"); });
  Obj o(sink);
  o.call(S("ProcessSwitch"), {S("winword"), S("jexui")});
  o.call(S("ProcessSwitch"), {S("JEXUI"), S("JexUI")});
  EXPECT_EQ(order, (QStringList{S("got"), S("switch"), S("got"), S("lost"), S("switch")}));
  EXPECT_EQ(gGlobal().PrevOldTask, S("WINWORD"));
  EXPECT_EQ(gGlobal().OldTask, S("JEXUI"));
  EXPECT_EQ(gGlobal().NewTask, S("JEXUI"));
  order.clear();
  o.call(S("ProcessSwitch"), {S("JEXUI"), S("explorer")});
  EXPECT_EQ(order, (QStringList{S("lost"), S("switch")}));
}

TEST_F(SinkTest, HandleCmdHandsTheChangedStringBackAndOtherMethodsRaiseTheirEvents) {
  auto sink = jex::cNotifySink::create();
  QObject::connect(sink.get(), &jex::cNotifySink::HandleCmdEvent, [](QString& s) {
    if (s == S("HELP")) s.clear();
  });
  QSignalSpy voice(sink.get(), &jex::cNotifySink::VoiceSelectEvent);
  QSignalSpy speak(sink.get(), &jex::cNotifySink::AboutToSpeakEvent);
  QSignalSpy start(sink.get(), &jex::cNotifySink::AudioStartEvent);
  QSignalSpy stop(sink.get(), &jex::cNotifySink::AudioStopEvent);
  Obj o(sink);
  QVariantList a{S("HELP")};
  o.call(S("HandleCmd"), a);
  EXPECT_EQ(a.value(0).toString(), QString());
  QVariantList b{S("SPEEDUP")};
  o.call(S("handlecmd"), b);
  EXPECT_EQ(b.value(0).toString(), S("SPEEDUP"));
  o.call(S("VoiceSelect"), {S("Anna")});
  o.call(S("AboutToSpeak"), {S("Hallo")});
  o.call(S("AudioStart"), {S("Hallo")});
  o.call(S("AudioStop"), {S("Hallo")});
  ASSERT_EQ(voice.size(), 1);
  EXPECT_EQ(voice.at(0).at(0).toString(), S("Anna"));
  ASSERT_EQ(speak.size(), 1);
  EXPECT_EQ(speak.at(0).at(0).toString(), S("Hallo"));
  EXPECT_EQ(start.size(), 1);
  EXPECT_EQ(stop.size(), 1);
  EXPECT_THROW(o.call(S("ProcessSwitch"), {S("only one")}), jex::Error);
}

TEST_F(SinkTest, NotifierRegistersWithTheCoreAndStopsRaisingOnceGone) {
  QTemporaryDir dir;
  Core core(dir.path());
  Obj root(std::make_shared<corvane::Root>(core));
  auto notifier = std::make_unique<jex::platform::JexNotifier>(root);
  QObject::connect(notifier.get(), &jex::platform::JexNotifier::HandleCmdEvent, [](QString& s) { s = s.toLower(); });
  QSignalSpy got(notifier.get(), &jex::platform::JexNotifier::UIGotFocusEvent);
  EXPECT_TRUE(notifier->InstallHook(7, true));
  EXPECT_EQ(core.hub.notifierCount(), 1);
  EXPECT_EQ(core.hub.offerCommand(S("ABC")), S("abc"));
  core.hub.processSwitch(S("x"), S("jexui"));
  EXPECT_EQ(got.size(), 1);
  Obj receiver = notifier->receiver();
  EXPECT_TRUE(notifier->InstallHook(7, false));
  EXPECT_FALSE(notifier->InstallHook(7, false));
  notifier.reset();
  QVariantList a{S("ABC")};
  receiver.call(S("HandleCmd"), a);  // the window is gone: nothing raised, string unchanged
  EXPECT_EQ(a.value(0).toString(), S("ABC"));
  EXPECT_FALSE(jex::platform::JexNotifier(Obj()).InstallHook(7, true)) << "no core: false, not a crash";
}

// ---------------------------------------------------------------- the filter

class FilterTest : public ::testing::Test {
 protected:
  void SetUp() override { jex::Jex() = root; }
  void TearDown() override { jex::resetGlobals(); }
  QString filter(const char* command) {
    QString s = S(command);
    jex::FilterCommand(s, queue, nullptr);
    return s;
  }
  QTemporaryDir dir;
  Core core{dir.path()};
  Obj root{std::make_shared<corvane::Root>(core)};
  QStringList ran;
  jex::CommandQueue queue{[this](const QString& c) { ran << c; }};
};

TEST_F(FilterTest, GroupsAreConsumedOrLeftForTheCoreAsWell) {
  for (const QString& c : jex::commands::groupA() + jex::commands::groupB()) {
    QString s = c;
    jex::FilterCommand(s, queue, nullptr);
    EXPECT_EQ(s, QString()) << c.toStdString();
  }
  for (const char* c : {"SETSPON", "SETSPOFF", "SETSPTOGGLE", "USESPSET1", "USESPSET9"}) EXPECT_EQ(filter(c), S(c));
  EXPECT_EQ(queue.size(), 28 + 5);
  for (const char* c : {"USESPSET0", "USESPSET10", "toggmen", "SAYTIME", "UI_OPEN", "UI_LNGCHANGE"}) EXPECT_EQ(filter(c), S(c));
  EXPECT_EQ(queue.size(), 33) << "unknown and near-miss commands are not queued";
}

TEST_F(FilterTest, HelpIsTakenOnlyWhileJexUiIsInFront) {
  EXPECT_EQ(filter("HELP"), S("HELP"));
  EXPECT_TRUE(queue.isEmpty());
  core.foreground = S("jexui");
  EXPECT_EQ(filter("HELP"), QString());
  EXPECT_EQ(queue.size(), 1);
}

TEST_F(FilterTest, NewForegroundWindowRunsTheStoredCommandOnce) {
  EXPECT_EQ(filter("NEWFGWIN!"), S("NEWFGWIN!"));
  gGlobal().NextFGWinCmd = S("SAYTIME");
  EXPECT_EQ(filter("NEWFGWIN!"), S("SAYTIME"));
  EXPECT_TRUE(gGlobal().NextFGWinCmd.isEmpty());
  EXPECT_EQ(filter("NEWFGWIN!"), S("NEWFGWIN!"));
  gGlobal().NextFGWinCmd = S(".Sub.Menu");
  EXPECT_EQ(filter("NEWFGWIN!"), S("DELAYPROCESSING"));
  EXPECT_EQ(core.queued, (QStringList{S("DELAYPROCESSING"), S("DELAYPROCESSING"), S("DELAYPROCESSING"), S(".Sub.Menu")}));
  EXPECT_TRUE(gGlobal().NextFGWinCmd.isEmpty());
  EXPECT_TRUE(queue.isEmpty());
}

TEST_F(FilterTest, FileCommandsAreFoundAnywhereAndNavigationIsLeftWithoutSounds) {
  EXPECT_EQ(filter("xUI_OPEN:/tmp/a:b"), QString());
  EXPECT_EQ(filter("UI_HELP:index.html"), QString());
  EXPECT_EQ(filter("ui_open:x"), S("ui_open:x"));
  EXPECT_EQ(filter("NAV:Top"), S("NAV:Top")) << "no profile: no sounds, the core keeps the command";
  EXPECT_EQ(queue.size(), 2);
}

TEST_F(FilterTest, QueueRunsOneCommandPerTickAndNothingWhileHeldBack) {
  gGlobal().InDoEvents = true;
  filter("DLGSPEECH");
  filter("QUIT");
  QTest::qWait(30);
  EXPECT_TRUE(ran.isEmpty()) << "nothing runs while InDoEvents is set";
  gGlobal().InDoEvents = false;
  ASSERT_TRUE(QTest::qWaitFor([&] { return ran.size() == 2; }, 2000));
  EXPECT_EQ(ran, (QStringList{S("DLGSPEECH"), S("QUIT")}));
  EXPECT_FALSE(queue.tmrCMD()->isActive()) << "idle timer is off";
  EXPECT_EQ(queue.tmrCMD()->interval(), 1);
}

// ---------------------------------------------------------------- main window and core

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    jex::logfile::setPath(dir.filePath(S("jexui.log")));
    jex::logfile::setThreshold(5);
    jex::Jex() = root;
    frmMDI::setShellOpener([this](const QString& f) { opened << f; return true; });
    frmMDI::setQuitter([this] { ++quits; });
    for (const char* form : {"frmVoices", "frmKeyecho", "frmBraille", "frmKeys"}) {
      frmMDI::registerForm(S(form), [this, form](const QString& action, const QStringList& args) {
        EXPECT_EQ(depth++, 0) << "a command ran inside another";
        forms << S(form) + u'.' + action + (args.isEmpty() ? QString() : u' ' + args.join(u','));
        --depth;
      });
    }
    w = new frmMDI;
    w->show();
    w->registerSink();
    w->installHook();
  }
  void TearDown() override {
    if (!w->isUnloaded()) w->removeHook();
    delete w;
    for (const char* form : {"frmVoices", "frmKeyecho", "frmBraille", "frmKeys"}) frmMDI::unregisterForm(S(form));
    frmMDI::setShellOpener({});
    frmMDI::setQuitter([] {});
    jex::resetGlobals();
    jex::logfile::setPath({});
  }
  // A key the user pressed: the core routes the command through both channels and acts on
  // what comes back.
  QString press(const char* command) { return core.router.route(S(command)); }
  bool idle(int ms = 2000) {
    return QTest::qWaitFor([&] { return w->commandQueue().isEmpty() && !w->commandQueue().tmrCMD()->isActive(); }, ms);
  }
  QStringList handled() const {
    QStringList out;
    for (const QString& l : logLines(dir.filePath(S("jexui.log"))))
      if (l.startsWith(S("MDI.HandleCMD: "))) out << l.mid(15);
    return out;
  }

  QTemporaryDir dir;
  Core core{dir.path()};
  Obj root{std::make_shared<corvane::Root>(core)};
  frmMDI* w = nullptr;
  QStringList forms, opened;
  int depth = 0, quits = 0;
};

TEST_F(DispatchTest, ABurstRunsInOrderOnSuccessiveTicks) {
  EXPECT_EQ(press("DLGSPEECH"), S("CMD: DLGSPEECH -> consumed by JexUI"));
  press("DLGNUMKEY");
  press("SPEEDUP");
  press("VCOMPRESSIONDLG");
  EXPECT_TRUE(forms.isEmpty()) << "the filter only queues; nothing opens inside the core's call";
  ASSERT_TRUE(idle());
  EXPECT_EQ(forms, (QStringList{S("frmVoices.Show"), S("frmKeys.ShowKeys NUM"), S("frmVoices.SPEEDUP"),
                                S("frmBraille.Show lstVSpace")}));
}

TEST_F(DispatchTest, TogglingTwiceHidesAndShowsTheWindow) {
  QStringList seen;
  struct Watch : QObject {
    QStringList* seen;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Hide) *seen << S("hide");
      if (e->type() == QEvent::Show) *seen << S("show");
      return false;
    }
  } watch;
  watch.seen = &seen;
  w->installEventFilter(&watch);
  // TOGGMEN hides the window while JexUI is in front and shows it from another application.
  core.foreground = S("JEXUI");
  press("TOGGMEN");
  ASSERT_TRUE(idle());
  core.foreground = S("WINWORD");
  press("TOGGMEN");
  ASSERT_TRUE(idle());
  EXPECT_EQ(seen, (QStringList{S("hide"), S("show")}));
  EXPECT_TRUE(w->isVisible());
}

TEST_F(DispatchTest, HelpIsConsumedOnlyWhileJexUiIsInFront) {
  EXPECT_EQ(press("HELP"), S("CMD: HELP -> HELP done"));
  EXPECT_EQ(core.ran, QStringList{S("HELP")});
  core.foreground = S("JEXUI");
  EXPECT_EQ(press("HELP"), S("CMD: HELP -> consumed by JexUI"));
  EXPECT_EQ(core.ran, QStringList{S("HELP")});
  ASSERT_TRUE(idle());
  EXPECT_EQ(handled(), QStringList{S("HELP")});
}

TEST_F(DispatchTest, SpeechSwitchReachesBothSidesAndQueuesTheStateReport) {
  press("SETSPON");
  EXPECT_EQ(core.ran, QStringList{S("SETSPON")});
  ASSERT_TRUE(idle());
  press("SETSPOFF");
  ASSERT_TRUE(idle());
  EXPECT_EQ(handled(), (QStringList{S("SETSPON"), S("SHOWSPEECHSTATE"), S("SETSPOFF"), S("SHOWSPEECHSTATE"),
                                    S("SHOWSPEECHSTATE")}));
}

TEST_F(DispatchTest, NewForegroundWindowIsReplacedByTheStoredCommand) {
  gGlobal().NextFGWinCmd = S("SAYTIME");
  EXPECT_EQ(press("NEWFGWIN!"), S("CMD: NEWFGWIN! -> replaced by JexUI with SAYTIME -> SAYTIME done"));
  EXPECT_EQ(core.ran, QStringList{S("SAYTIME")});
  EXPECT_TRUE(gGlobal().NextFGWinCmd.isEmpty());
  EXPECT_TRUE(press("NEWFGWIN!").contains(S("unhandled")));
  EXPECT_EQ(core.ran, QStringList{S("SAYTIME")});
}

TEST_F(DispatchTest, FilesOpenWithTheTextAfterTheFirstColon) {
  gGlobal().AppPath = S("/opt/core/");
  // Offered on the channels directly: the core's key routing upper-cases what it routes.
  EXPECT_EQ(core.hub.offerCommand(S("UI_OPEN:/home/u/a:b.txt")), QString());
  EXPECT_EQ(core.hub.offerCommand(S("xyUI_HELP:intro.htm")), QString());
  ASSERT_TRUE(idle());
  ASSERT_EQ(opened.size(), 2);
  EXPECT_EQ(opened[0], S("/home/u/a:b.txt"));
  EXPECT_TRUE(opened[1].startsWith(S("/opt/core/Help/"))) << opened[1].toStdString();
  EXPECT_TRUE(opened[1].endsWith(S("/intro.htm")));
  w->HandleCmd(S("UI_OPEN"));
  EXPECT_EQ(opened.size(), 2) << "no colon: nothing opened";
}

TEST_F(DispatchTest, TaskSwitchToJexUiOrdersFocusEventsAndSwitchesSinkEvents) {
  QStringList order;
  QObject::connect(w->Notifier(), &jex::cNotifySink::UIGotFocusEvent, [&] { order << S("got"); });
  QObject::connect(w->Notifier(), &jex::cNotifySink::UILostFocusEvent, [&] { order << S("lost"); });
  QObject::connect(w->Notifier(), &jex::cNotifySink::TaskSwitchEvent, [&] { order << S("switch"); });
  EXPECT_TRUE(core.hub.isEnabled(S("ProcessSwitch")));
  EXPECT_FALSE(core.hub.isEnabled(S("AboutToSpeak")));
  core.hub.processSwitch(S("JEXUI"), S("JEXUI"));
  EXPECT_EQ(order, (QStringList{S("got"), S("lost"), S("switch")}));
  EXPECT_FALSE(core.hub.isEnabled(S("VoiceSelect"))) << "lost focus came last";
  core.hub.processSwitch(S("WINWORD"), S("JEXUI"));
  for (const char* e : {"AudioStart", "AudioStop", "AboutToSpeak", "VoiceSelect"}) EXPECT_TRUE(core.hub.isEnabled(S(e))) << e;
  EXPECT_TRUE(core.reports.contains(S("CALLBACK: 0, OnInitAppSettings, <empty>, JEXUI")));
  core.hub.audioStart(S("x"));
  EXPECT_TRUE(gGlobal().Speaking);
  core.hub.processSwitch(S("JEXUI"), S("WINWORD"));
  EXPECT_FALSE(gGlobal().Speaking);
  EXPECT_FALSE(core.hub.isEnabled(S("AudioStart")));
}

TEST_F(DispatchTest, QuitDropsWhatIsStillQueuedAndUnhooks) {
  press("QUIT");
  press("DLGSPEECH");
  press("DLGKEYECHO");
  ASSERT_TRUE(QTest::qWaitFor([&] { return quits == 1; }, 2000));
  QTest::qWait(30);
  EXPECT_TRUE(forms.isEmpty());
  EXPECT_TRUE(w->isUnloaded());
  EXPECT_EQ(core.hub.notifierCount(), 0);
  EXPECT_FALSE(core.hub.hasSink());
  EXPECT_EQ(handled(), QStringList{S("QUIT")});
}

TEST_F(DispatchTest, CutEditEndsInTheTrapAndTheNextCommandStillRuns) {
  press("CUTEDIT");
  press("DLGKEYECHO");
  ASSERT_TRUE(idle());
  EXPECT_EQ(forms, QStringList{S("frmKeyecho.Show")});
  bool trapped = false;
  for (const QString& l : logLines(dir.filePath(S("jexui.log"))))
    trapped = trapped || (l.startsWith(S("!!! ERROR ")) && l.contains(S("438")));
  EXPECT_TRUE(trapped);
}

// Answers the next modal box with key once it shows.
void answerNextBox(Qt::Key key) {
  auto* t = new QTimer;
  t->setInterval(10);
  QObject::connect(t, &QTimer::timeout, [t, key] {
    QWidget* box = QApplication::activeModalWidget();
    if (!box || !box->isVisible()) return;
    QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, key);
    t->stop();
    t->deleteLater();
  });
  t->start();
}

TEST_F(DispatchTest, ExitAsksAndEndsTheCoreOnlyOnYes) {
  answerNextBox(Qt::Key_Escape);
  press("EXITHALDA");
  ASSERT_TRUE(idle(5000));
  EXPECT_FALSE(core.queued.contains(S("EXITHALDANOW")));
  answerNextBox(Qt::Key_Return);
  press("EXITHALDA");
  ASSERT_TRUE(idle(5000));
  EXPECT_EQ(core.queued, QStringList{S("EXITHALDANOW")});
}

TEST_F(DispatchTest, QuitWhileTheExitQuestionIsOpenClosesTheBoxAndShutsDownInOrder) {
  // The box runs its own message loop: the key for QUIT comes while it waits for an answer.
  QPointer<QWidget> box;
  bool asked = false;
  QTimer whileAsking;
  whileAsking.setInterval(10);
  QObject::connect(&whileAsking, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || asked) return;
    asked = true;
    box = modal;
    EXPECT_EQ(modal->objectName(), S("frmMsgEx"));
    press("QUIT");
  });
  whileAsking.start();
  press("EXITHALDA");
  ASSERT_TRUE(QTest::qWaitFor([&] { return quits == 1; }, 5000));
  ASSERT_TRUE(idle());
  ASSERT_TRUE(asked);
  EXPECT_TRUE(!box || !box->isVisible()) << "the box is closed";
  EXPECT_EQ(handled(), (QStringList{S("EXITHALDA"), S("QUIT")}));
  EXPECT_FALSE(core.queued.contains(S("EXITHALDANOW"))) << "closing the box is no Yes";
  EXPECT_TRUE(w->isUnloaded());
  const QStringList lines = logLines(dir.filePath(S("jexui.log")));
  const auto at = [&](const char* start) {
    for (qsizetype i = 0; i < lines.size(); ++i)
      if (lines[i].startsWith(S(start))) return i;
    return qsizetype(-1);
  };
  ASSERT_GE(at("QUIT"), 0);
  EXPECT_LT(at("QUIT"), at("Quit with Modal Form open !"));
  EXPECT_LT(at("Quit with Modal Form open !"), at("MDI_Unload"));
  EXPECT_LT(at("MDI_Unload"), at("Unhook: "));
}

// Spoken tool tips and the core's speech: a tip never interrupts speech, and after speech it is
// spoken only when it was asked for at least 501 ms before.
class TipTest : public DispatchTest {
 protected:
  void SetUp() override {
    DispatchTest::SetUp();
    gGlobal().TipDelay = 1000;  // the tip timer runs, but never speaks during the test
    w->setClock([this] { return now; });
    core.hub.processSwitch(S("WINWORD"), S("JEXUI"));  // JexUI has the focus
  }
  qint64 now = 100000;
};

TEST_F(TipTest, FocusSwitchesTheReaderAndDropsThePendingTip) {
  EXPECT_TRUE(w->tmrReader()->isActive());
  w->StatusTip(S("Benutzer wählen"));
  core.hub.processSwitch(S("JEXUI"), S("WINWORD"));
  EXPECT_FALSE(w->tmrReader()->isActive());
  EXPECT_FALSE(w->tmrTip()->isActive());
  core.hub.processSwitch(S("WINWORD"), S("JEXUI"));
  EXPECT_TRUE(w->tmrReader()->isActive());
  EXPECT_FALSE(w->tipPending()) << "the tip of before is not spoken on coming back";
  EXPECT_TRUE(w->statusPanel(S("tip"))->text().isEmpty());
}

TEST_F(TipTest, SpeechHoldsTheTipOffAndTheStopReleasesItAfter501Ms) {
  w->StatusTip(S("Stimme wählen"));
  ASSERT_TRUE(w->tmrTip()->isActive());
  core.hub.audioStart(S("Hallo"));
  EXPECT_TRUE(gGlobal().Speaking);
  EXPECT_FALSE(w->tmrTip()->isActive());
  now += 500;
  core.hub.audioStop(S("Hallo"));
  EXPECT_FALSE(gGlobal().Speaking);
  EXPECT_FALSE(w->tmrTip()->isActive()) << "500 ms after the request: left for the next stop";
  EXPECT_TRUE(w->tipPending());
  core.hub.audioStart(S("Welt"));
  now += 1;
  core.hub.audioStop(S("Welt"));
  EXPECT_TRUE(w->tmrTip()->isActive()) << "501 ms: the tip may come";
}

TEST_F(TipTest, StopWithoutAPendingTipOrWithTipsOffLeavesTheTimerOff) {
  // No tip pending: the stop turns the timer off even if something started it.
  w->tmrTip()->start();
  core.hub.audioStop(S("x"));
  EXPECT_FALSE(w->tmrTip()->isActive());
  // The profile does not speak tips.
  gGlobal().UserProfile = std::make_shared<jex::cUser>();
  gGlobal().UserProfile->setSpeakTips(0);
  w->StatusTip(S("Tastenecho"));
  core.hub.audioStart(S("x"));
  now += 2000;
  core.hub.audioStop(S("x"));
  EXPECT_FALSE(w->tmrTip()->isActive());
  gGlobal().UserProfile->setSpeakTips(1);
  core.hub.audioStart(S("x"));
  core.hub.audioStop(S("x"));
  EXPECT_TRUE(w->tmrTip()->isActive());
}

}  // namespace
