// The event channels, command routing and automation objects of the core, in one process.
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "core/automation/dispatchable.h"
#include "corvane/engine/commandrouter.h"
#include "corvane/engine/coremodel.h"
#include "corvane/engine/eventhub.h"
#include "corvane/engine/monitorwindow.h"
#include "corvane/engine/objects.h"
#include "corvane/engine/settingsstore.h"
#include "corvane/engine/speechengine.h"
#include "tests/corvane/recorder.h"
#include "tests/support/fakecore.h"

using namespace corvane;
using jex::automation::Args;
using jex::automation::Dispatchable;
using jex::automation::Obj;
using corvane::testing::Recorder;

namespace {

// Always fails as if its process had gone.
class Vanished : public Dispatchable {
 public:
  Vanished() : Dispatchable(QStringLiteral("Vanished")) {
    method(QStringLiteral("HandleCmd"), 1, 1,
           [](Args&) -> QVariant { throw jex::Error(jex::err::ServerUnavailable, QStringLiteral("gone")); });
  }
};

Obj recorder(QStringList* j, const QString& tag, QHash<QString, QString> rw = {}) {
  return Obj(std::make_shared<Recorder>(tag, std::move(rw), j));
}

class ChannelTest : public ::testing::Test {
 protected:
  QStringList journal;
  EventHub hub;
  CommandRouter router{hub};
};

TEST_F(ChannelTest, CommandsGoToTheNotifierFirstThenTheSinkAndTheAnswerDecides) {
  hub.installNotifier(recorder(&journal, QStringLiteral("n"), {{QStringLiteral("NEWFGWIN!"), QStringLiteral("SPEECHSTOP")}}), 7);
  hub.setSink(recorder(&journal, QStringLiteral("s"), {{QStringLiteral("DLGSPEECH"), QString()}}));
  hub.enableEvent(QStringLiteral("HandleCmd"), true);
  int stops = 0;
  router.addCommand(QStringLiteral("SPEECHSTOP"), [&] { ++stops; return QString(); });

  EXPECT_EQ(router.route(QStringLiteral("dlgspeech")), QStringLiteral("CMD: DLGSPEECH -> consumed by JexUI"));
  EXPECT_EQ(router.route(QStringLiteral("NEWFGWIN!")),
            QStringLiteral("CMD: NEWFGWIN! -> replaced by JexUI with SPEECHSTOP -> SPEECHSTOP done"));
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(router.route(QStringLiteral("HELP")), QStringLiteral("CMD: HELP -> unhandled: HELP"));
  EXPECT_EQ(journal, (QStringList{QStringLiteral("n.HandleCmd(DLGSPEECH)"), QStringLiteral("s.HandleCmd(DLGSPEECH)"),
                                  QStringLiteral("n.HandleCmd(NEWFGWIN!)"), QStringLiteral("s.HandleCmd(SPEECHSTOP)"),
                                  QStringLiteral("n.HandleCmd(HELP)"), QStringLiteral("s.HandleCmd(HELP)")}));
  // A command the notifier consumes is not offered further; the sink hears only enabled events.
  journal.clear();
  hub.installNotifier(recorder(&journal, QStringLiteral("n"), {{QStringLiteral("QUIT"), QString()}}), 7);
  EXPECT_EQ(hub.offerCommand(QStringLiteral("QUIT")), QString());
  hub.audioStart(QVariant());
  EXPECT_EQ(journal, (QStringList{QStringLiteral("n.HandleCmd(QUIT)"), QStringLiteral("n.AudioStart")}));
  hub.enableEvent(QStringLiteral("audiostart"), true);
  hub.enableEvent(QStringLiteral("AudioStart"), false);
  EXPECT_FALSE(hub.isEnabled(QStringLiteral("AUDIOSTART")));
}

TEST_F(ChannelTest, TaskSwitchRaisesFocusEventsAroundJexUi) {
  hub.installNotifier(recorder(&journal, QStringLiteral("n")), 1);
  hub.setSink(recorder(&journal, QStringLiteral("s")));
  hub.enableEvent(QStringLiteral("ProcessSwitch"), true);
  hub.processSwitch(QStringLiteral("winword"), QStringLiteral("jexui"));
  hub.processSwitch(QStringLiteral("JEXUI"), QStringLiteral("JEXUI"));
  hub.processSwitch(QStringLiteral("JEXUI"), QStringLiteral("EXPLORER"));
  EXPECT_EQ(journal, (QStringList{
                         QStringLiteral("s.ProcessSwitch(WINWORD,JEXUI)"), QStringLiteral("n.UIGotFocus"), QStringLiteral("n.TaskSwitch"),
                         QStringLiteral("s.ProcessSwitch(JEXUI,JEXUI)"), QStringLiteral("n.UIGotFocus"), QStringLiteral("n.UILostFocus"),
                         QStringLiteral("n.TaskSwitch"),
                         QStringLiteral("s.ProcessSwitch(JEXUI,EXPLORER)"), QStringLiteral("n.UILostFocus"), QStringLiteral("n.TaskSwitch")}));
}

TEST_F(ChannelTest, AnEventRaisedDuringAnotherWaitsUntilThatOneIsDelivered) {
  auto receiver = std::make_shared<Recorder>(QStringLiteral("n"), QHash<QString, QString>{}, &journal);
  receiver->onCall = [this](const QString& name) {
    if (name == u"UIGotFocus") hub.audioStart(QVariant());  // as if speech began while the call waited
  };
  hub.installNotifier(Obj(receiver), 1);
  hub.processSwitch(QStringLiteral("WINWORD"), QStringLiteral("JEXUI"));
  EXPECT_EQ(journal, (QStringList{QStringLiteral("n.UIGotFocus"), QStringLiteral("n.TaskSwitch"), QStringLiteral("n.AudioStart")}));
  EXPECT_FALSE(hub.busy());
}

TEST_F(ChannelTest, VanishedReceiversAreDroppedAndTheCommandStillRuns) {
  hub.installNotifier(Obj(std::make_shared<Vanished>()), 1);
  hub.setSink(Obj(std::make_shared<Vanished>()));
  hub.enableEvent(QStringLiteral("HandleCmd"), true);
  router.addCommand(QStringLiteral("READEDITCUR"), [] { return QStringLiteral("read"); });
  EXPECT_EQ(router.route(QStringLiteral("READEDITCUR")), QStringLiteral("CMD: READEDITCUR -> read"));
  EXPECT_EQ(hub.notifierCount(), 0);
  EXPECT_FALSE(hub.hasSink());
  EXPECT_FALSE(hub.removeNotifier(1));
}

TEST_F(ChannelTest, QueuedCommandsRunLaterOneAfterAnotherInArrivalOrder) {
  QStringList ran;
  router.addCommand(QStringLiteral("A"), [&] { ran << QStringLiteral("A"); return QString(); });
  router.addCommand(QStringLiteral("B"), [&] { ran << QStringLiteral("B"); return QString(); });
  QSignalSpy routed(&router, &CommandRouter::routed);
  router.queue(QStringLiteral("a"));
  router.queue(QStringLiteral("b"));
  router.queue(QStringLiteral(" "));
  EXPECT_TRUE(ran.isEmpty()) << "queueing must not run the command inside the caller";
  ASSERT_TRUE(QTest::qWaitFor([&] { return routed.size() == 2; }, 2000));
  EXPECT_EQ(ran, (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
}

class RootObjectTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  fake::Core core{dir.path()};
  Obj root{std::make_shared<Root>(core)};
};

TEST_F(RootObjectTest, AnswersTheStartUpMembersWithTheirDefaults) {
  EXPECT_EQ(root.str(QStringLiteral("proc.AppPath")), dir.path() + u'/');
  EXPECT_EQ(root.str(QStringLiteral("proc.DefaultLng")), QStringLiteral("1031"));
  EXPECT_FALSE(root.boolean(QStringLiteral("proc.MeridanLoaded")));
  EXPECT_TRUE(root.str(QStringLiteral("proc.APPName")).startsWith(QStringLiteral("Corvane ")));
  EXPECT_EQ(root.str(QStringLiteral("proc.ForeGroundApp")), QStringLiteral("WINWORD"));
  EXPECT_EQ(root.get(QStringLiteral("System.GetRealForegroundWindow")).toLongLong(), core.foregroundWnd);
  Obj brl = root.obj(QStringLiteral("proc.CurrentBRLAI"));
  EXPECT_EQ(brl.toString(), QStringLiteral("WINWORD")) << "an application's Braille interface names it";
  EXPECT_EQ(brl.str(QStringLiteral("Table")), QStringLiteral("de-g1.ctb"));
  EXPECT_EQ(root.str(QStringLiteral("BrailleInterface.ActiveBraillePort")), QStringLiteral("COM1"));
  EXPECT_EQ(root.i32(QStringLiteral("proc.UseSpeech")), 1);
}

TEST_F(RootObjectTest, ChangedSettingsAreStoredAndBadValuesRefused) {
  root.set(QStringLiteral("proc.UseSpeech"), 0);
  root.set(QStringLiteral("proc.DefaultLng"), QStringLiteral(" 1033 "));
  root.set(QStringLiteral("BrailleInterface.ActiveBraillePort"), QStringLiteral("com0"));
  root.call(QStringLiteral("BrailleInterface.SaveValues"));
  IniFileStore reread(dir.filePath(QStringLiteral("corvane.ini")));
  EXPECT_EQ(reread.value(ini::General, ini::UseSpeech), QStringLiteral("0"));
  EXPECT_EQ(reread.value(ini::General, ini::DefaultLng), QStringLiteral("1033"));
  EXPECT_EQ(reread.value(ini::Braille, ini::ActiveBraillePort), QStringLiteral("COM0"));
  EXPECT_TRUE(core.reports.contains(QStringLiteral("LANGUAGE: 1033")));
  EXPECT_THROW(root.set(QStringLiteral("BrailleInterface.ActiveBraillePort"), QStringLiteral("../x")), jex::Error);
  EXPECT_THROW(root.set(QStringLiteral("proc.DefaultLng"), QStringLiteral("german")), jex::Error);
  EXPECT_EQ(root.str(QStringLiteral("proc.DefaultLng")), QStringLiteral("1033"));
}

TEST_F(RootObjectTest, ProcPassesCommandsSpeechAndCallBacksOn) {
  root.call(QStringLiteral("proc.AddToCMDQueue"), {QStringLiteral("READEDITCUR")});
  root.call(QStringLiteral("proc.SpeechOutVoice"), {QStringLiteral("Hallo"), 3});
  root.call(QStringLiteral("proc.SpeechStop"));
  QVariantList cb{0, QStringLiteral("OnInitAppSettings"), QVariant(), QStringLiteral("JEXUI")};
  root.call(QStringLiteral("proc.CallBack"), cb);
  root.set(QStringLiteral("proc.IsMonWinVisible"), true);
  EXPECT_TRUE(root.boolean(QStringLiteral("proc.IsMonWinVisible")));
  Obj funcs = recorder(nullptr, QStringLiteral("f"));
  root.call(QStringLiteral("proc.iScript.ExposeObject"), {QStringLiteral("Funcs"), jex::automation::fromObj(funcs)});
  EXPECT_EQ(root.obj(QStringLiteral("proc.iScript")).call(QStringLiteral("GetObject"), {QStringLiteral("funcs")}).value<Obj>(), funcs);
  EXPECT_EQ(core.queued, QStringList{QStringLiteral("READEDITCUR")});
  EXPECT_EQ(core.spoken, (QVariantList{QStringLiteral("Hallo"), 3}));
  EXPECT_EQ(core.reports, (QStringList{QStringLiteral("SPEAK: Hallo"), QStringLiteral("STOP"),
                                       QStringLiteral("CALLBACK: 0, OnInitAppSettings, <empty>, JEXUI"),
                                       QStringLiteral("EXPOSED: Funcs")}));
}

TEST_F(RootObjectTest, SpeechSwitchWithItsStateSaidIsTheCoresUseSpeech) {
  root.set(QStringLiteral("proc.UseSpeechAndSayStat"), false);
  EXPECT_EQ(root.i32(QStringLiteral("proc.UseSpeech")), 0);
  EXPECT_FALSE(root.boolean(QStringLiteral("proc.UseSpeechAndSayStat")));
  root.set(QStringLiteral("proc.UseSpeechAndSayStat"), true);
  EXPECT_TRUE(root.boolean(QStringLiteral("proc.UseSpeechAndSayStat")));
  EXPECT_EQ(core.spoken.size(), 4) << "each change is announced (text and source)";
}

TEST(MonitorWindowTest, EnterSendsTheTypedCommandAndClosingOnlyHides) {
  MonitorWindow w;  // its labels are checked with the reader's list (tests/reader)
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  QSignalSpy sent(&w, &MonitorWindow::commandEntered);
  QLineEdit* edit = w.findChild<QLineEdit*>(QStringLiteral("txtCommand"));
  ASSERT_NE(edit, nullptr);
  edit->setFocus();
  QTest::keyClicks(edit, QStringLiteral("dlgspeech"));
  QTest::keyClick(edit, Qt::Key_Return);
  QTest::keyClick(edit, Qt::Key_Return);  // empty: nothing sent
  ASSERT_EQ(sent.size(), 1);
  EXPECT_EQ(sent.at(0).at(0).toString(), QStringLiteral("dlgspeech"));
  EXPECT_TRUE(edit->text().isEmpty());
  w.close();
  EXPECT_FALSE(w.isVisible());
}

TEST(SpeechEngineTest, EachUtteranceIsFramedByStartAndStopAndCanBeInterrupted) {
  SpeechEngine engine(false);
  engine.setLanguage(QStringLiteral("1031"));
  QSignalSpy started(&engine, &SpeechEngine::audioStarted);
  QSignalSpy stopped(&engine, &SpeechEngine::audioStopped);
  engine.speak(QStringLiteral("Guten Tag"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return stopped.size() == 1; }, 5000));
  EXPECT_EQ(started.size(), 1);
  EXPECT_EQ(stopped.at(0).at(0).toString(), QStringLiteral("Guten Tag"));

  QString longText;
  for (int i = 0; i < 400; ++i) longText += QStringLiteral("Dies ist ein sehr langer Satz zum Unterbrechen. ");
  engine.speak(longText);
  ASSERT_TRUE(QTest::qWaitFor([&] { return started.size() == 2; }, 5000));
  engine.stop();
  ASSERT_TRUE(QTest::qWaitFor([&] { return stopped.size() == 2; }, 5000));
  EXPECT_EQ(SpeechEngine::voiceForLanguage(QStringLiteral("1033")), QStringLiteral("en-us"));
  EXPECT_EQ(SpeechEngine::voiceForLanguage(QStringLiteral("99999")), QStringLiteral("de"));
}

}  // namespace
