// The event channels, command routing and automation objects of the core, in one process.
#include <gtest/gtest.h>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "automation/dispatchable.h"
#include "corvane/engine/commandrouter.h"
#include "corvane/engine/eventhub.h"
#include "corvane/engine/monitorwindow.h"
#include "corvane/engine/settingsstore.h"
#include "corvane/engine/speechengine.h"
#include "tests/corvane/corvanetest.h"
#include "tests/corvane/recorder.h"

using namespace corvane;
using corvane::testing::Recorder;
using corvane::testing::words;
using jex::automation::Args;
using jex::automation::Dispatchable;
using jex::automation::Obj;

namespace {

// Always fails as if its process had gone.
class Vanished : public Dispatchable {
 public:
  Vanished() : Dispatchable(S("Vanished")) {
    method(S("HandleCmd"), 1, 1, [](Args&) -> QVariant { throw jex::Error(jex::err::ServerUnavailable, S("gone")); });
  }
};

Obj recorder(QStringList* j, const char* tag, QHash<QString, QString> rw = {}) {
  return Obj(std::make_shared<Recorder>(S(tag), std::move(rw), j));
}

class ChannelTest : public ::testing::Test {
 protected:
  QStringList journal;
  EventHub hub;
  CommandRouter router{hub};
};

TEST_F(ChannelTest, CommandsGoToTheNotifierFirstThenTheSinkAndTheAnswerDecides) {
  hub.installNotifier(recorder(&journal, "n", {{S("NEWFGWIN!"), S("SPEECHSTOP")}}), 7);
  hub.setSink(recorder(&journal, "s", {{S("DLGSPEECH"), QString()}}));
  hub.enableEvent(S("HandleCmd"), true);
  int stops = 0;
  router.addCommand(S("SPEECHSTOP"), [&] {
    ++stops;
    return QString();
  });

  EXPECT_EQ(router.route(S("dlgspeech")), S("CMD: DLGSPEECH -> consumed by JexUI"));
  EXPECT_EQ(router.route(S("NEWFGWIN!")), S("CMD: NEWFGWIN! -> replaced by JexUI with SPEECHSTOP -> SPEECHSTOP done"));
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(router.route(S("HELP")), S("CMD: HELP -> unhandled: HELP"));
  EXPECT_EQ(journal,
            words("n.HandleCmd(DLGSPEECH) s.HandleCmd(DLGSPEECH) n.HandleCmd(NEWFGWIN!) s.HandleCmd(SPEECHSTOP) "
                  "n.HandleCmd(HELP) s.HandleCmd(HELP)"));
  // A command the notifier consumes is not offered further; the sink hears only enabled events.
  journal.clear();
  hub.installNotifier(recorder(&journal, "n", {{S("QUIT"), QString()}}), 7);
  EXPECT_EQ(hub.offerCommand(S("QUIT")), QString());
  hub.audioStart(QVariant());
  EXPECT_EQ(journal, words("n.HandleCmd(QUIT) n.AudioStart"));
  hub.enableEvent(S("audiostart"), true);
  hub.enableEvent(S("AudioStart"), false);
  EXPECT_FALSE(hub.isEnabled(S("AUDIOSTART")));
}

TEST_F(ChannelTest, TaskSwitchRaisesFocusEventsAroundJexUi) {
  hub.installNotifier(recorder(&journal, "n"), 1);
  hub.setSink(recorder(&journal, "s"));
  hub.enableEvent(S("ProcessSwitch"), true);
  hub.processSwitch(S("winword"), S("jexui"));
  hub.processSwitch(S("JEXUI"), S("JEXUI"));
  hub.processSwitch(S("JEXUI"), S("EXPLORER"));
  EXPECT_EQ(journal, words("s.ProcessSwitch(WINWORD,JEXUI) n.UIGotFocus n.TaskSwitch "
                           "s.ProcessSwitch(JEXUI,JEXUI) n.UIGotFocus n.UILostFocus n.TaskSwitch "
                           "s.ProcessSwitch(JEXUI,EXPLORER) n.UILostFocus n.TaskSwitch"));
}

TEST_F(ChannelTest, AnEventRaisedDuringAnotherWaitsUntilThatOneIsDelivered) {
  auto receiver = std::make_shared<Recorder>(S("n"), QHash<QString, QString>{}, &journal);
  receiver->onCall = [this](const QString& name) {
    if (name == u"UIGotFocus") hub.audioStart(QVariant());  // as if speech began while the call waited
  };
  hub.installNotifier(Obj(receiver), 1);
  hub.processSwitch(S("WINWORD"), S("JEXUI"));
  EXPECT_EQ(journal, words("n.UIGotFocus n.TaskSwitch n.AudioStart"));
  EXPECT_FALSE(hub.busy());
}

TEST_F(ChannelTest, VanishedReceiversAreDroppedAndTheCommandStillRuns) {
  hub.installNotifier(Obj(std::make_shared<Vanished>()), 1);
  hub.setSink(Obj(std::make_shared<Vanished>()));
  hub.enableEvent(S("HandleCmd"), true);
  router.addCommand(S("READEDITCUR"), [] { return S("read"); });
  EXPECT_EQ(router.route(S("READEDITCUR")), S("CMD: READEDITCUR -> read"));
  EXPECT_EQ(hub.notifierCount(), 0);
  EXPECT_FALSE(hub.hasSink());
  EXPECT_FALSE(hub.removeNotifier(1));
}

TEST_F(ChannelTest, QueuedCommandsRunLaterOneAfterAnotherInArrivalOrder) {
  QStringList ran;
  for (const char* c : {"A", "B"})
    router.addCommand(S(c), [&ran, c] {
      ran << S(c);
      return QString();
    });
  QSignalSpy routed(&router, &CommandRouter::routed);
  for (const char* c : {"a", "b", " "}) router.queue(S(c));
  EXPECT_TRUE(ran.isEmpty()) << "queueing must not run the command inside the caller";
  ASSERT_TRUE(QTest::qWaitFor([&] { return routed.size() == 2; }, 2000));
  EXPECT_EQ(ran, words("A B"));
}

class RootObjectTest : public ::testing::Test, public corvane::testing::RootFixture {};

TEST_F(RootObjectTest, AnswersTheStartUpMembersWithTheirDefaults) {
  EXPECT_EQ(root.str(S("proc.AppPath")), appPath());
  EXPECT_EQ(root.str(S("proc.DefaultLng")), S("1031"));
  EXPECT_FALSE(root.boolean(S("proc.MeridanLoaded")));
  EXPECT_TRUE(root.str(S("proc.APPName")).startsWith(S("Corvane ")));
  EXPECT_EQ(root.str(S("proc.ForeGroundApp")), S("WINWORD"));
  EXPECT_EQ(root.get(S("System.GetRealForegroundWindow")).toLongLong(), core.foregroundWnd);
  Obj brl = root.obj(S("proc.CurrentBRLAI"));
  EXPECT_EQ(brl.toString(), S("WINWORD")) << "an application's Braille interface names it";
  EXPECT_EQ(brl.str(S("Table")), S("de-g1.ctb"));
  EXPECT_EQ(root.str(S("BrailleInterface.ActiveBraillePort")), S("COM1"));
  EXPECT_EQ(root.i32(S("proc.UseSpeech")), 1);
}

TEST_F(RootObjectTest, ChangedSettingsAreStoredAndBadValuesRefused) {
  root.set(S("proc.UseSpeech"), 0);
  root.set(S("proc.DefaultLng"), S(" 1033 "));
  root.set(S("BrailleInterface.ActiveBraillePort"), S("com0"));
  root.call(S("BrailleInterface.SaveValues"));
  IniFileStore reread(appPath() + S("corvane.ini"));
  EXPECT_EQ(reread.value(ini::General, ini::UseSpeech), S("0"));
  EXPECT_EQ(reread.value(ini::General, ini::DefaultLng), S("1033"));
  EXPECT_EQ(reread.value(ini::Braille, ini::ActiveBraillePort), S("COM0"));
  EXPECT_TRUE(core.reports.contains(S("LANGUAGE: 1033")));
  EXPECT_THROW(root.set(S("BrailleInterface.ActiveBraillePort"), S("../x")), jex::Error);
  EXPECT_THROW(root.set(S("proc.DefaultLng"), S("german")), jex::Error);
  EXPECT_EQ(root.str(S("proc.DefaultLng")), S("1033"));
}

TEST_F(RootObjectTest, ProcPassesCommandsSpeechAndCallBacksOn) {
  root.call(S("proc.AddToCMDQueue"), {S("READEDITCUR")});
  root.call(S("proc.SpeechOutVoice"), {S("Hallo"), 3});
  root.call(S("proc.SpeechStop"));
  QVariantList cb{0, S("OnInitAppSettings"), QVariant(), S("JEXUI")};
  root.call(S("proc.CallBack"), cb);
  root.set(S("proc.IsMonWinVisible"), true);
  EXPECT_TRUE(root.boolean(S("proc.IsMonWinVisible")));
  Obj funcs = recorder(nullptr, "f");
  root.call(S("proc.iScript.ExposeObject"), {S("Funcs"), jex::automation::fromObj(funcs)});
  EXPECT_EQ(root.obj(S("proc.iScript")).call(S("GetObject"), {S("funcs")}).value<Obj>(), funcs);
  EXPECT_EQ(core.queued, words("READEDITCUR"));
  EXPECT_EQ(core.spoken, (QVariantList{S("Hallo"), 3}));
  EXPECT_EQ(core.reports, (QStringList{S("SPEAK: Hallo"), S("STOP"),
                                       S("CALLBACK: 0, OnInitAppSettings, <empty>, JEXUI"), S("EXPOSED: Funcs")}));
}

TEST_F(RootObjectTest, SpeechSwitchWithItsStateSaidIsTheCoresUseSpeech) {
  root.set(S("proc.UseSpeechAndSayStat"), false);
  EXPECT_EQ(root.i32(S("proc.UseSpeech")), 0);
  EXPECT_FALSE(root.boolean(S("proc.UseSpeechAndSayStat")));
  root.set(S("proc.UseSpeechAndSayStat"), true);
  EXPECT_TRUE(root.boolean(S("proc.UseSpeechAndSayStat")));
  EXPECT_EQ(core.spoken.size(), 4) << "each change is announced (text and source)";
}

TEST(MonitorWindowTest, EnterSendsTheTypedCommandAndClosingOnlyHides) {
  MonitorWindow w;  // its labels are checked with the reader's list (tests/corvane/reader)
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  QSignalSpy sent(&w, &MonitorWindow::commandEntered);
  QLineEdit* edit = w.findChild<QLineEdit*>(S("txtCommand"));
  ASSERT_NE(edit, nullptr);
  edit->setFocus();
  QTest::keyClicks(edit, S("dlgspeech"));
  QTest::keyClick(edit, Qt::Key_Return);
  QTest::keyClick(edit, Qt::Key_Return);  // empty: nothing sent
  ASSERT_EQ(sent.size(), 1);
  EXPECT_EQ(sent.at(0).at(0).toString(), S("dlgspeech"));
  EXPECT_TRUE(edit->text().isEmpty());
  w.close();
  EXPECT_FALSE(w.isVisible());
}

TEST(SpeechEngineTest, EachUtteranceIsFramedByStartAndStopAndCanBeInterrupted) {
  SpeechEngine engine(false);
  engine.setLanguage(S("1031"));
  QSignalSpy started(&engine, &SpeechEngine::audioStarted);
  QSignalSpy stopped(&engine, &SpeechEngine::audioStopped);
  engine.speak(S("Guten Tag"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return stopped.size() == 1; }, 5000));
  EXPECT_EQ(started.size(), 1);
  EXPECT_EQ(stopped.at(0).at(0).toString(), S("Guten Tag"));

  engine.speak(S("Dies ist ein sehr langer Satz zum Unterbrechen. ").repeated(400));
  ASSERT_TRUE(QTest::qWaitFor([&] { return started.size() == 2; }, 5000));
  engine.stop();
  ASSERT_TRUE(QTest::qWaitFor([&] { return stopped.size() == 2; }, 5000));
  EXPECT_EQ(SpeechEngine::voiceForLanguage(S("1033")), S("en-us"));
  EXPECT_EQ(SpeechEngine::voiceForLanguage(S("99999")), S("de"));
}

}  // namespace
