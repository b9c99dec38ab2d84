// The built core and launcher as real processes on a private session bus, reached through the
// access layer as JexUI reaches them.
#include <gtest/gtest.h>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTest>
#include <csignal>

#include "automation/dbustransport.h"
#include "base/error.h"
#include "corvane/engine/speechlog.h"
#include "tests/automation/malformed.h"
#include "tests/corvane/corvanetest.h"
#include "tests/corvane/recorder.h"
#include "tests/support/errorof.h"
#include "tests/support/processes.h"

using corvane::testing::Recorder;
using jex::automation::Obj;
namespace bus = jex::automation::dbus;
using jex::testing::BuiltCore;
using jex::testing::errorOf;
using jex::testing::SessionBus;

namespace {

const QString kCore = S("corvane.application");

// A receiver as JexUI's: it consumes DLGSPEECH and QUIT and replaces NEWFGWIN! by SPEECHSTOP.
std::shared_ptr<Recorder> jexUi(const char* tag) {
  return std::make_shared<Recorder>(
      S(tag),
      QHash<QString, QString>{{S("DLGSPEECH"), QString()}, {S("QUIT"), QString()}, {S("NEWFGWIN!"), S("SPEECHSTOP")}});
}

class CoreProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!BuiltCore::built()) GTEST_SKIP() << "corvane is not built";
    if (!bus_.ok()) GTEST_SKIP() << "no private session bus: " << bus_.error().toStdString();
    conn_ = bus_.connection();
    ASSERT_TRUE(conn_.isConnected());
    core_ = std::make_unique<BuiltCore>(bus_.address());
    QDir().mkpath(core_->dataDir() + S("/LNG/1031"));
    fake::CoreFixture::writeFile(core_->dataDir() + S("/LNG/1031/JEXUIDLG.INI"), "[frmMDI]\r\n");
    appDir_ = core_->appDir();
  }
  void TearDown() override {
    // A core started detached by the launcher is no child of ours: end it through its pid.
    if (const qint64 pid = bus_.ok() ? bus_.ownerPid(kCore) : 0; pid > 0) ::kill(pid_t(pid), SIGTERM);
  }
  std::unique_ptr<jex::testing::Child> launch(const QString& program) {
    auto p = std::make_unique<jex::testing::Child>(jex::testing::busEnvironment(bus_.address()));
    p->start(program, core_->args());
    return p;
  }

  SessionBus bus_;
  QDBusConnection conn_{QString()};
  std::unique_ptr<BuiltCore> core_;
  QString appDir_;
};

TEST_F(CoreProcessTest, FirstStartCreatesItsDirectoryAnswersAndEndsOnQuit) {
  ASSERT_TRUE(core_->startAndWait()) << core_->out();
  EXPECT_TRUE(QFile::exists(appDir_ + S("/corvane.ini")));
  EXPECT_TRUE(QFile::exists(appDir_ + S("/LNG/1031/JEXUIDLG.INI")));
  Obj root = bus::connect(kCore, conn_);
  EXPECT_EQ(root.str(S("proc.AppPath")), appDir_ + u'/');
  root.set(S("proc.UseSpeech"), 0);
  auto second = launch(S("corvane"));
  ASSERT_TRUE(second->waitEnded(5000));
  EXPECT_EQ(second->proc.exitCode(), 1) << "a second core on the same bus must refuse to run";
  EXPECT_EQ(root.i32(S("proc.UseSpeech")), 0) << "the first core must be unharmed";
  core_->type(S(":quit"));
  EXPECT_TRUE(core_->waitEnded(5000)) << core_->out();
}

TEST_F(CoreProcessTest, LauncherStartsTheCoreOnlyWhenItIsMissing) {
  auto first = launch(S("qmtwcd"));
  ASSERT_TRUE(first->waitEnded(8000));
  EXPECT_EQ(first->proc.exitCode(), 0);
  ASSERT_TRUE(bus_.waitForName(kCore, true, 5000));
  const qint64 pid = bus_.ownerPid(kCore);

  QElapsedTimer clock;
  clock.start();
  auto again = launch(S("qmtwcd"));
  ASSERT_TRUE(again->waitEnded(5000));
  EXPECT_EQ(again->proc.exitCode(), 0);
  EXPECT_LT(clock.elapsed(), 2000) << "with the core running the launcher must return at once";
  EXPECT_EQ(bus_.ownerPid(kCore), pid) << "the running core must stay the owner";

  // The core may leave the bus before its answer to this very call arrives.
  jex::trap("test.EXITHALDANOW",
            [&] { bus::connect(kCore, conn_).call(S("proc.AddToCMDQueue"), {S("EXITHALDANOW")}); });
  EXPECT_TRUE(bus_.waitForName(kCore, false, 5000));
}

// What another process on the bus cannot do: end the core with a malformed call, call an object
// that was handed to JexUI, or take JexUI's sink and notifier over. JexUI itself then hears the
// commands, the task switch and the speech, and only EXITHALDANOW ends the core.
TEST_F(CoreProcessTest, StrangersGetErrorsAndJexUiIsHeardUntilTheCoreEnds) {
  ASSERT_TRUE(core_->startAndWait()) << core_->out();
  Obj root = bus::connect(kCore, conn_);
  // Takes JexUI's bus name, as JexUI does before it hands the core its sink.
  ASSERT_TRUE(bus::publish(S("JexUI.UI_Application"), jexUi("ui"), conn_));
  Obj proc = root.obj(S("proc"));  // the first object handed out: /obj/1
  const QString coreName = conn_.interface()->serviceOwner(kCore).value();
  auto invoke = [&](const QString& path) {
    return QDBusMessage::createMethodCall(coreName, path, QLatin1String(bus::kInterface), S("Invoke"));
  };
  for (const jex::testing::MalformedBody& b : jex::testing::malformedCalls(S("proc"))) {
    QDBusMessage m = invoke(S("/"));
    m.setArguments(b.args);
    const QDBusMessage reply = conn_.call(m, QDBus::BlockWithGui, 3000);
    EXPECT_EQ(reply.errorName().toStdString(), bus::kErrorName) << b.name << ": " << reply.errorMessage().toStdString();
    ASSERT_EQ(core_->proc.state(), QProcess::Running) << b.name << ": " << core_->out();
  }
  EXPECT_EQ(proc.str(S("AppPath")), appDir_ + u'/');

  QDBusConnection stranger = bus_.connect(S("stranger"));
  QDBusMessage guess = invoke(S("/obj/1"));
  guess << S("AppPath") << 1 << QVariant(QVariantList());
  EXPECT_EQ(stranger.call(guess, QDBus::Block, 3000).errorName().toStdString(),
            "org.freedesktop.DBus.Error.UnknownObject");
  {
    Obj theirs = bus::connect(kCore, stranger);
    const QVariant sink = jex::automation::fromObj(Obj(jexUi("stranger")));
    EXPECT_EQ(errorOf([&] { theirs.call(S("Init_JEX_UI_Notification_Sink"), {sink}); }), jex::err::PermissionDenied);
    EXPECT_EQ(errorOf([&] { theirs.call(S("JexNotifier_Install"), {sink, 1}); }), jex::err::PermissionDenied);
    EXPECT_EQ(errorOf([&] { theirs.call(S("Clear_JEX_UI_Notification_Sink")); }), jex::err::PermissionDenied);
  }
  SessionBus::disconnect(stranger);

  // JexUI itself registers as before: typed keys and queued commands alike reach its sink.
  auto sink = jexUi("sink");
  auto notifier = jexUi("hook");
  root.call(S("Init_JEX_UI_Notification_Sink"), {jex::automation::fromObj(Obj(sink))});
  for (const char* e : {"HandleCmd", "AudioStart", "AudioStop", "ProcessSwitch"})
    root.set(S("JEX_UI_Notification_Sink_Event_Enable"), {S(e)}, true);
  core_->type(S("dlgspeech"));  // the typed line first: it comes on another way than the bus call
  ASSERT_TRUE(core_->waitFor(S("CMD: DLGSPEECH -> consumed by JexUI"))) << core_->out();
  root.call(S("proc.AddToCMDQueue"), {S("NEWFGWIN!")});
  ASSERT_TRUE(core_->waitFor(S("CMD: NEWFGWIN! -> replaced by JexUI with SPEECHSTOP -> SPEECHSTOP done")))
      << core_->out();
  EXPECT_EQ(sink->heard, (QStringList{S("sink.HandleCmd(DLGSPEECH)"), S("sink.HandleCmd(NEWFGWIN!)")}));

  // The speech engine's start and stop reach the notifier over the bus.
  EXPECT_TRUE(root.call(S("JexNotifier_Install"), {jex::automation::fromObj(Obj(notifier)), 77}).toBool());
  core_->type(S(":switch winword jexui"));
  ASSERT_TRUE(core_->waitFor(S("SWITCH: WINWORD/JEXUI")));
  root.call(S("proc.SpeechOutVoice"), {S("Hallo"), 1});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !sink->heard.filter(S("sink.AudioStop")).isEmpty(); }, 5000))
      << core_->out() << sink->heard.join(u' ').toStdString()
      << " | hook: " << notifier->heard.join(u' ').toStdString();
  EXPECT_EQ(notifier->heard,
            (QStringList{S("hook.UIGotFocus"), S("hook.TaskSwitch"), S("hook.AudioStart"), S("hook.AudioStop")}));
  EXPECT_TRUE(sink->heard.contains(S("sink.ProcessSwitch(WINWORD,JEXUI)")));

  // Ending the core: JexUI is told QUIT first, and the input closing never ends it by itself.
  core_->proc.closeWriteChannel();
  QTest::qWait(200);
  ASSERT_EQ(core_->proc.state(), QProcess::Running) << "end of standard input must not quit the core";
  root.call(S("proc.AddToCMDQueue"), {S("EXITHALDANOW")});
  ASSERT_TRUE(core_->waitEnded(5000));
  EXPECT_EQ(core_->proc.exitCode(), 0);
  EXPECT_TRUE(notifier->heard.contains(S("hook.HandleCmd(QUIT)")));
  EXPECT_FALSE(bus::isNameOwned(kCore, conn_));
}

// A voice's put reaches the core, which says the new value; an utterance without a voice is
// silent, and the speech log tells each utterance's voice.
TEST_F(CoreProcessTest, AVoicePutIsSaidAndTheSpeechLogTellsEachUtterancesVoice) {
  ASSERT_TRUE(core_->startAndWait()) << core_->out();
  const Obj root = bus::connect(kCore, conn_);
  const Obj v1 = jex::automation::toObj(root.call(S("SpeechVoices.ItemByIndex"), {3}));
  v1.set(S("speed"), 320);
  EXPECT_EQ(v1.i32(S("speed")), 320);
  EXPECT_TRUE(core_->waitFor(S("SAMPLE: 320  [v1 gmw/de]"))) << core_->out();

  jex::automation::toObj(root.call(S("SpeechProfile.ItemByIndex"), {1})).set(S("VoiceName"), S("--"));
  root.call(S("proc.SpeechOutVoice"), {S("Hallo"), 1});
  EXPECT_TRUE(core_->waitFor(S("SILENT: Hallo"))) << core_->out();
  root.call(S("proc.SpeechOutVoice"), {S("Taste"), 6});
  QStringList voices;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        voices.clear();
        for (const QString& line : jex::testing::fileLines(appDir_ + S("/speech.log")))
          if (corvane::SpeechLog::Entry e; corvane::SpeechLog::parse(line, &e))
            voices << e.voice + u'/' + e.outcome + u'/' + e.text;
        return voices.contains(S("v2 gmw/de+f2/done/Taste"));
      },
      5000))
      << voices.join(u'\n').toStdString();
  EXPECT_TRUE(voices.contains(S("--/silent/Hallo")));
}

}  // namespace
