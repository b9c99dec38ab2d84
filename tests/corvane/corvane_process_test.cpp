// The built core and launcher as real processes on a private session bus, reached through the
// access layer as JexUI reaches them.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <csignal>

#include "core/base/error.h"
#include "core/automation/dbustransport.h"
#include "core/automation/dispatchable.h"
#include "../automation/malformed.h"

using jex::automation::Args;
using jex::automation::Dispatchable;
using jex::automation::Obj;
namespace bus = jex::automation::dbus;

namespace {

const QString kCore = QStringLiteral("corvane.application");

// A sink or notifier receiver as JexUI registers it: it records what it hears, and its
// HandleCmd consumes DLGSPEECH and QUIT and replaces NEWFGWIN! by SPEECHSTOP.
class JexUiSide : public Dispatchable {
 public:
  explicit JexUiSide(QString tag) : Dispatchable(QStringLiteral("cNotifySink")), tag_(std::move(tag)) {
    for (const char* m : {"AudioStart", "AudioStop", "ProcessSwitch", "AboutToSpeak", "TaskSwitch", "UIGotFocus",
                          "UILostFocus"}) {
      const QString name = QString::fromLatin1(m);
      method(name, 0, 2, [this, name](Args&) {
        heard << tag_ + u'.' + name;
        return QVariant();
      });
    }
    method(QStringLiteral("HandleCmd"), 1, 1, [this](Args& a) {
      const QString s = a.str(0);
      heard << tag_ + QStringLiteral(".HandleCmd(") + s + u')';
      if (s == u"DLGSPEECH" || s == u"QUIT") a.set(0, QString());
      else if (s == u"NEWFGWIN!") a.set(0, QStringLiteral("SPEECHSTOP"));
      return QVariant();
    });
  }
  QStringList heard;

 private:
  QString tag_;
};

class CoreProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bin_ = QStringLiteral(JEX_BIN_DIR);
    if (!QFileInfo(bin_ + QStringLiteral("/corvane")).isExecutable()) GTEST_SKIP() << "corvane is not built";
    daemon_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--print-address"),
                                                  QStringLiteral("--nofork")});
    if (!daemon_.waitForStarted(3000) || !daemon_.waitForReadyRead(3000))
      GTEST_SKIP() << "a private session bus (dbus-daemon) cannot be started here";
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    static int n = 0;
    connName_ = QStringLiteral("corvane-test-%1").arg(++n);
    conn_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address_, connName_));
    if (!conn_->isConnected()) GTEST_SKIP() << "cannot connect to the private bus";
    data_.reset(new QTemporaryDir);
    appDir_ = QDir(home_.path()).filePath(QStringLiteral("app"));
    QDir(data_->path()).mkpath(QStringLiteral("LNG/1031"));
    QFile shipped(data_->filePath(QStringLiteral("LNG/1031/JEXUIDLG.INI")));
    ASSERT_TRUE(shipped.open(QIODevice::WriteOnly));
    shipped.write("[frmMDI]\r\n");
  }

  void TearDown() override {
    if (conn_ && conn_->isConnected()) {
      // A core started detached by the launcher is no child of ours: end it through its pid.
      const uint pid = conn_->interface()->servicePid(kCore).value();
      if (pid > 0) ::kill(pid_t(pid), SIGTERM);
    }
    for (QProcess* p : procs_) {
      if (p->state() != QProcess::NotRunning) {
        p->kill();
        p->waitForFinished(2000);
      }
      delete p;
    }
    conn_.reset();
    QDBusConnection::disconnectFromBus(connName_);
    if (daemon_.state() != QProcess::NotRunning) {
      daemon_.kill();
      daemon_.waitForFinished(2000);
    }
  }

  QProcessEnvironment env() const {
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
    e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    e.remove(QStringLiteral("DISPLAY"));
    return e;
  }
  QStringList coreArgs() const {
    return {QStringLiteral("--appdir"), appDir_, QStringLiteral("--datadir"), data_->path(),
            QStringLiteral("--no-jexui"), QStringLiteral("--no-monitor"), QStringLiteral("--no-audio")};
  }

  QProcess* launch(const QString& program, const QStringList& args) {
    auto* p = new QProcess;
    procs_ << p;
    p->setProcessEnvironment(env());
    p->setProgram(bin_ + u'/' + program);
    p->setProcessChannelMode(QProcess::MergedChannels);
    p->setArguments(args);
    QObject::connect(p, &QProcess::readyReadStandardOutput, [this, p] { out_[p] += QString::fromUtf8(p->readAllStandardOutput()); });
    p->start();
    return p;
  }

  // Starts a core and waits until it has said it is ready.
  QProcess* startCore() {
    QProcess* p = launch(QStringLiteral("corvane"), coreArgs());
    if (!waitForLine(p, QStringLiteral("READY: "))) return nullptr;
    return p;
  }

  bool waitForLine(QProcess* p, const QString& start, int ms = 4000) {
    return QTest::qWaitFor([&] { return hasLine(p, start); }, ms);
  }
  bool hasLine(QProcess* p, const QString& start) const {
    const QStringList lines = out_.value(p).split(u'\n');
    return std::any_of(lines.begin(), lines.end(), [&](const QString& l) { return l.startsWith(start); });
  }

  // Takes JexUI's bus name on conn_, as JexUI does before it hands the core its sink.
  void actAsJexUi() {
    ASSERT_TRUE(bus::publish(QStringLiteral("JexUI.UI_Application"), std::make_shared<JexUiSide>(QStringLiteral("ui")), *conn_));
  }

  QString logText() const {
    QFile f(appDir_ + QStringLiteral("/corvane.log"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
  }

  QString bin_, address_, connName_, appDir_;
  QProcess daemon_;
  std::unique_ptr<QDBusConnection> conn_;
  QTemporaryDir home_;
  std::unique_ptr<QTemporaryDir> data_;
  QList<QProcess*> procs_;
  QHash<QProcess*, QString> out_;
};

TEST_F(CoreProcessTest, FirstStartCreatesItsDirectoryAndAnswersTheStartUpMembers) {
  QProcess* core = startCore();
  ASSERT_NE(core, nullptr) << out_.value(core).toStdString();
  EXPECT_TRUE(QFile::exists(appDir_ + QStringLiteral("/corvane.ini")));
  EXPECT_TRUE(QFile::exists(appDir_ + QStringLiteral("/LNG/1031/JEXUIDLG.INI")));

  Obj root = bus::connect(kCore, *conn_);
  EXPECT_EQ(root.str(QStringLiteral("proc.AppPath")), appDir_ + u'/');
  EXPECT_EQ(root.str(QStringLiteral("proc.DefaultLng")), QStringLiteral("1031"));
  EXPECT_FALSE(root.boolean(QStringLiteral("proc.MeridanLoaded")));
  EXPECT_EQ(root.str(QStringLiteral("BrailleInterface.ActiveBraillePort")), QStringLiteral("USB1"));

  root.set(QStringLiteral("proc.UseSpeech"), 0);
  QProcess* second = launch(QStringLiteral("corvane"), coreArgs());
  ASSERT_TRUE(second->waitForFinished(5000));
  EXPECT_EQ(second->exitCode(), 1) << "a second core on the same bus must refuse to run";
  EXPECT_EQ(root.i32(QStringLiteral("proc.UseSpeech")), 0) << "the first core must be unharmed";
}

TEST_F(CoreProcessTest, CommandsAreOfferedToJexUiWhichConsumesOrReplacesThem) {
  QProcess* core = startCore();
  ASSERT_NE(core, nullptr);
  Obj root = bus::connect(kCore, *conn_);
  actAsJexUi();
  auto sink = std::make_shared<JexUiSide>(QStringLiteral("sink"));
  auto notifier = std::make_shared<JexUiSide>(QStringLiteral("hook"));
  root.call(QStringLiteral("Init_JEX_UI_Notification_Sink"), {jex::automation::fromObj(Obj(sink))});
  for (const char* e : {"HandleCmd", "AudioStart", "AudioStop", "ProcessSwitch"})
    root.set(QStringLiteral("JEX_UI_Notification_Sink_Event_Enable"), {QString::fromLatin1(e)}, true);

  core->write("dlgspeech\n");
  ASSERT_TRUE(waitForLine(core, QStringLiteral("CMD: DLGSPEECH -> consumed by JexUI"))) << out_.value(core).toStdString();
  root.call(QStringLiteral("proc.AddToCMDQueue"), {QStringLiteral("NEWFGWIN!")});
  ASSERT_TRUE(waitForLine(core, QStringLiteral("CMD: NEWFGWIN! -> replaced by JexUI with SPEECHSTOP -> SPEECHSTOP done")))
      << out_.value(core).toStdString();
  EXPECT_EQ(sink->heard, (QStringList{QStringLiteral("sink.HandleCmd(DLGSPEECH)"), QStringLiteral("sink.HandleCmd(NEWFGWIN!)")}));

  EXPECT_TRUE(root.call(QStringLiteral("JexNotifier_Install"), {jex::automation::fromObj(Obj(notifier)), 77}).toBool());
  core->write(":switch winword jexui\n");
  ASSERT_TRUE(waitForLine(core, QStringLiteral("SWITCH: WINWORD/JEXUI")));
  root.call(QStringLiteral("proc.SpeechOutVoice"), {QStringLiteral("Hallo"), 1});
  ASSERT_TRUE(QTest::qWaitFor([&] { return sink->heard.contains(QStringLiteral("sink.AudioStop")); }, 5000))
      << out_.value(core).toStdString() << sink->heard.join(u' ').toStdString() << " | hook: "
      << notifier->heard.join(u' ').toStdString() << " | log: " << logText().toStdString();
  EXPECT_TRUE(hasLine(core, QStringLiteral("SPEAK: Hallo")));
  EXPECT_EQ(notifier->heard, (QStringList{QStringLiteral("hook.UIGotFocus"), QStringLiteral("hook.TaskSwitch"),
                                          QStringLiteral("hook.AudioStart"), QStringLiteral("hook.AudioStop")}));
  EXPECT_TRUE(sink->heard.contains(QStringLiteral("sink.ProcessSwitch")));
  EXPECT_EQ(root.str(QStringLiteral("proc.ForeGroundApp")), QStringLiteral("JEXUI"));

  // Ending the core: JexUI is told QUIT first, and the input closing never ends it by itself.
  core->closeWriteChannel();
  QTest::qWait(200);
  ASSERT_EQ(core->state(), QProcess::Running) << "end of standard input must not quit the core";
  root.call(QStringLiteral("proc.AddToCMDQueue"), {QStringLiteral("EXITHALDANOW")});
  ASSERT_TRUE(QTest::qWaitFor([&] { return core->state() == QProcess::NotRunning; }, 5000));
  EXPECT_EQ(core->exitCode(), 0);
  EXPECT_TRUE(notifier->heard.contains(QStringLiteral("hook.HandleCmd(QUIT)")));
  EXPECT_FALSE(bus::isNameOwned(kCore, *conn_));
}

TEST_F(CoreProcessTest, KeysNobodyTakesOverRunInTheCoreItself) {
  QProcess* core = startCore();
  ASSERT_NE(core, nullptr);
  Obj root = bus::connect(kCore, *conn_);
  core->write(":switch explorer winword\nhelp\n");
  ASSERT_TRUE(waitForLine(core, QStringLiteral("CMD: HELP -> HELP done"))) << out_.value(core).toStdString();
  EXPECT_TRUE(hasLine(core, QStringLiteral("SPEAK: Hilfe für WINWORD")));
  core->write("SETSPTOGGLE\n");
  ASSERT_TRUE(waitForLine(core, QStringLiteral("CMD: SETSPTOGGLE -> UseSpeech=0"))) << out_.value(core).toStdString();
  EXPECT_EQ(root.i32(QStringLiteral("proc.UseSpeech")), 0);
  core->write("help\n");
  ASSERT_TRUE(waitForLine(core, QStringLiteral("MUTED: Hilfe für WINWORD"))) << "speech off: the help is not spoken";
  core->write("SETSPON\n");
  ASSERT_TRUE(waitForLine(core, QStringLiteral("CMD: SETSPON -> UseSpeech=1")));
  root.call(QStringLiteral("proc.AddToCMDQueue"), {QStringLiteral("DELAYPROCESSING")});
  ASSERT_TRUE(waitForLine(core, QStringLiteral("CMD: DELAYPROCESSING -> DELAYPROCESSING done"))) << out_.value(core).toStdString();
}

TEST_F(CoreProcessTest, LauncherStartsTheCoreOnlyWhenItIsMissing) {
  QProcess* first = launch(QStringLiteral("qmtwcd"), coreArgs());
  ASSERT_TRUE(first->waitForFinished(8000));
  EXPECT_EQ(first->exitCode(), 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return bus::isNameOwned(kCore, *conn_); }, 5000));
  const uint pid = conn_->interface()->servicePid(kCore).value();

  QElapsedTimer clock;
  clock.start();
  QProcess* again = launch(QStringLiteral("qmtwcd"), coreArgs());
  ASSERT_TRUE(again->waitForFinished(5000));
  EXPECT_EQ(again->exitCode(), 0);
  EXPECT_LT(clock.elapsed(), 2000) << "with the core running the launcher must return at once";
  EXPECT_EQ(conn_->interface()->servicePid(kCore).value(), pid) << "the running core must stay the owner";

  // The core may leave the bus before its answer to this very call arrives.
  jex::trap("test.EXITHALDANOW", [&] {
    bus::connect(kCore, *conn_).call(QStringLiteral("proc.AddToCMDQueue"), {QStringLiteral("EXITHALDANOW")});
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return !bus::isNameOwned(kCore, *conn_); }, 5000));
}

}  // namespace

namespace {

int errorOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const jex::Error& e) {
    return e.number();
  }
  return 0;
}

// What another process on the bus cannot do: end the core with a malformed call, call an object
// that was handed to JexUI, or take JexUI's sink and notifier over.
TEST_F(CoreProcessTest, StrangersGetErrorsAndTheCoreLivesOn) {
  QProcess* core = startCore();
  ASSERT_NE(core, nullptr);
  Obj root = bus::connect(kCore, *conn_);
  actAsJexUi();
  Obj proc = root.obj(QStringLiteral("proc"));  // the first object handed out: /obj/1
  const QString coreName = conn_->interface()->serviceOwner(kCore).value();
  auto invoke = [&](const QString& path) {
    return QDBusMessage::createMethodCall(coreName, path, QLatin1String(bus::kInterface), QStringLiteral("Invoke"));
  };
  for (const jex::testing::MalformedBody& b : jex::testing::malformedCalls(QStringLiteral("proc"))) {
    QDBusMessage m = invoke(QStringLiteral("/"));
    m.setArguments(b.args);
    const QDBusMessage reply = conn_->call(m, QDBus::BlockWithGui, 3000);
    EXPECT_EQ(reply.errorName().toStdString(), bus::kErrorName) << b.name << ": " << reply.errorMessage().toStdString();
    ASSERT_EQ(core->state(), QProcess::Running) << b.name << ": " << out_.value(core).toStdString();
  }
  EXPECT_EQ(proc.str(QStringLiteral("AppPath")), appDir_ + u'/');

  QDBusConnection stranger = QDBusConnection::connectToBus(address_, connName_ + QStringLiteral("-stranger"));
  QDBusMessage guess = invoke(QStringLiteral("/obj/1"));
  guess << QStringLiteral("AppPath") << 1 << QVariant(QVariantList());
  EXPECT_EQ(stranger.call(guess, QDBus::Block, 3000).errorName().toStdString(), "org.freedesktop.DBus.Error.UnknownObject");
  {
    Obj theirs = bus::connect(kCore, stranger);
    auto sink = std::make_shared<JexUiSide>(QStringLiteral("stranger"));
    EXPECT_EQ(errorOf([&] { theirs.call(QStringLiteral("Init_JEX_UI_Notification_Sink"), {jex::automation::fromObj(Obj(sink))}); }),
              jex::err::PermissionDenied);
    EXPECT_EQ(errorOf([&] { theirs.call(QStringLiteral("JexNotifier_Install"), {jex::automation::fromObj(Obj(sink)), 1}); }),
              jex::err::PermissionDenied);
    EXPECT_EQ(errorOf([&] { theirs.call(QStringLiteral("Clear_JEX_UI_Notification_Sink")); }), jex::err::PermissionDenied);
  }
  bus::detach(stranger);
  QDBusConnection::disconnectFromBus(connName_ + QStringLiteral("-stranger"));

  // JexUI itself registers as before, and its sink hears the commands.
  auto sink = std::make_shared<JexUiSide>(QStringLiteral("sink"));
  root.call(QStringLiteral("Init_JEX_UI_Notification_Sink"), {jex::automation::fromObj(Obj(sink))});
  root.set(QStringLiteral("JEX_UI_Notification_Sink_Event_Enable"), {QStringLiteral("HandleCmd")}, true);
  core->write("dlgspeech\n");
  ASSERT_TRUE(waitForLine(core, QStringLiteral("CMD: DLGSPEECH -> consumed by JexUI"))) << out_.value(core).toStdString();
  EXPECT_EQ(sink->heard, QStringList{QStringLiteral("sink.HandleCmd(DLGSPEECH)")});
}

}  // namespace
