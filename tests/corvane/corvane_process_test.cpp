// The built core and launcher as real processes on a private session bus, reached through the
// access layer as JexUI reaches them.
#include <gtest/gtest.h>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCall>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <functional>

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

// Resident memory of a process in kB (VmRSS), 0 when it cannot be read.
qint64 residentKb(qint64 pid) {
  for (const QString& line : jex::testing::fileLines(S("/proc/%1/status").arg(pid)))
    if (line.startsWith(S("VmRSS:"))) return line.mid(6).trimmed().split(u' ').value(0).toLongLong();
  return 0;
}

// Without --trust-bus the core serves JexUI and the tools corvane.ini names, nobody else: a
// stranger cannot read, silence, end or script it, and each refusal is a line of the log.
TEST_F(CoreProcessTest, StrangersAreRefusedAndOnlyTheToolsCorvaneIniNamesAreServed) {
  QDir().mkpath(appDir_);
  fake::CoreFixture::writeFile(appDir_ + S("/corvane.ini"), "[Security]\r\nTrustedCallers=org.jexui.test.Tool\r\n");
  ASSERT_TRUE(core_->startAndWait({S("--no-jexui"), S("--no-monitor"), S("--no-audio")})) << core_->out();
  QDBusConnection stranger = bus_.connect(S("stranger"));
  const Obj root = bus::connect(kCore, stranger);
  const std::vector<std::pair<const char*, std::function<void()>>> attempts{
      {"read AppPath", [&] { root.str(S("proc.AppPath")); }},
      {"silence a voice",
       [&] { jex::automation::toObj(root.call(S("SpeechProfile.ItemByIndex"), {1})).set(S("VoiceName"), S("--")); }},
      {"queue EXITHALDANOW", [&] { root.call(S("proc.AddToCMDQueue"), {S("EXITHALDANOW")}); }},
      {"open a file", [&] { root.call(S("proc.AddToCMDQueue"), {S("UI_OPEN:/etc/passwd")}); }},
      {"take JexUI's Funcs", [&] { root.obj(S("proc.iScript")).call(S("GetObject"), {S("Funcs")}); }},
      {"replace the scripts' Funcs",
       [&] {
         root.obj(S("proc.iScript")).call(S("ExposeObject"), {S("Funcs"), 1});
       }},
  };
  for (const auto& [what, attempt] : attempts) EXPECT_EQ(errorOf(attempt), jex::err::PermissionDenied) << what;
  QTest::qWait(300);
  ASSERT_EQ(core_->proc.state(), QProcess::Running) << core_->out();
  EXPECT_FALSE(core_->has(S("CMD: "))) << core_->out();
  EXPECT_GE(jex::testing::fileLines(appDir_ + S("/corvane.log")).filter(S("refused")).size(),
            qsizetype(attempts.size()));

  // The tool that owns the name corvane.ini trusts is served; the stranger is still refused.
  QDBusConnection tool = bus_.connect(S("tool"));
  ASSERT_TRUE(tool.registerService(S("org.jexui.test.Tool")));
  EXPECT_EQ(bus::connect(kCore, tool).str(S("proc.AppPath")), appDir_ + u'/');
  EXPECT_EQ(errorOf([&] { root.str(S("proc.AppPath")); }), jex::err::PermissionDenied);
  SessionBus::disconnect(tool);
  SessionBus::disconnect(stranger);
}

// A caller that keeps every object it is handed gets 4,096 of them; the calls after that fail
// with Error 7 and the core's memory stays bounded (20,000 ItemByIndex calls without a Release).
TEST_F(CoreProcessTest, ACallerHoldsAtMostTheLimitOfObjectsAndTheCoreStaysBounded) {
  ASSERT_TRUE(core_->startAndWait()) << core_->out();
  QDBusConnection hoarder = bus_.connect(S("hoarder"));
  const QString coreName = hoarder.interface()->serviceOwner(kCore).value();
  const qint64 pid = bus_.ownerPid(kCore);
  const qint64 before = residentKb(pid);
  int handed = 0, refused = 0, other = 0;
  constexpr int kCalls = 20000, kBatch = 500;
  for (int sent = 0; sent < kCalls; sent += kBatch) {
    std::vector<QDBusPendingCall> batch;
    for (int i = 0; i < kBatch; ++i) {
      QDBusMessage m = QDBusMessage::createMethodCall(coreName, S("/"), QLatin1String(bus::kInterface), S("Invoke"));
      m << S("SpeechProfile.ItemByIndex") << int(jex::automation::CallKind::Method)
        << QVariant(QVariantList{QVariant::fromValue(QDBusVariant(1 + i % 8))});
      batch.push_back(hoarder.asyncCall(m, 10000));
    }
    for (QDBusPendingCall& c : batch) {
      c.waitForFinished();
      const QDBusMessage r = c.reply();
      if (r.type() != QDBusMessage::ErrorMessage) ++handed;
      else if (r.errorMessage().startsWith(S("7\n"))) ++refused;
      else ++other;
    }
  }
  const qint64 after = residentKb(pid);
  std::printf("[ figures ] %d calls: %d objects handed, %d refused; core resident %lld kB -> %lld kB\n", kCalls, handed,
              refused, before, after);
  RecordProperty("core_rss_growth_kb", int(after - before));
  EXPECT_EQ(handed, bus::kDefaultObjectsPerPeer);
  EXPECT_EQ(refused, kCalls - bus::kDefaultObjectsPerPeer);
  EXPECT_EQ(other, 0);
  EXPECT_EQ(jex::testing::fileLines(appDir_ + S("/corvane.log")).filter(S("no more are handed")).size(), 1);
  // Leaving the bus gives everything back: the next caller is served again.
  SessionBus::disconnect(hoarder);
  const Obj root = bus::connect(kCore, conn_);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return errorOf([&] { jex::automation::toObj(root.call(S("SpeechProfile.ItemByIndex"), {1})); }) == 0; },
      3000));
}

}  // namespace
