// The built core starts the built jexui on a private bus; jexui is stopped for longer than the
// core waits for an answer, then continued: the core must still reach it afterwards.
#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

#include "../automation/privatebus.h"
#include "core/automation/dbustransport.h"

namespace {
namespace bus = jex::automation::dbus;
QString S(const char* s) { return QString::fromUtf8(s); }

class SlowJexUi : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& pb = jex::testing::PrivateBus::instance();
    if (!pb.ok()) GTEST_SKIP() << "no private session bus: " << pb.error().toStdString();
    if (!QFileInfo(S(JEX_BIN_DIR "/corvane")).isExecutable() || !QFileInfo(S(JEX_BIN_DIR "/jexui")).isExecutable())
      GTEST_SKIP() << "corvane and jexui are not built";
    conn = pb.connect(S("liveness"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !bus::isNameOwned(S("corvane.application"), conn); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !bus::isNameOwned(S("JexUI.UI_Application"), conn); }, 5000));
    QDir().mkpath(home.filePath(S("app")));
    QDir().mkpath(home.filePath(S("data/LNG/1031")));
    QFile ini(home.filePath(S("app/JEXUI.INI")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[SERVICE]\r\nWriteLogFile=5\r\n");
    ini.close();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(S("DBUS_SESSION_BUS_ADDRESS"), pb.address());
    env.insert(S("QT_QPA_PLATFORM"), S("offscreen"));
    env.insert(S("JEXUI_LOGDIR"), home.path());
    env.insert(S("XDG_CONFIG_HOME"), home.filePath(S("config")));
    env.remove(S("DISPLAY"));
    core.setProcessEnvironment(env);
    QObject::connect(&core, &QProcess::readyReadStandardOutput, [this] { out += QString::fromUtf8(core.readAllStandardOutput()); });
    core.start(S(JEX_BIN_DIR "/corvane"), {S("--appdir"), home.filePath(S("app")), S("--datadir"), home.filePath(S("data")),
                                           S("--no-monitor"), S("--no-audio"), S("--no-foreground")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return logged(S("StartUp: 12")); }, 20000)) << out.toStdString();
    const QDBusReply<uint> pid = conn.interface()->servicePid(S("JexUI.UI_Application"));
    ASSERT_TRUE(pid.isValid());
    jexui = qint64(pid.value());
  }

  void TearDown() override {
    if (jexui > 0) ::kill(pid_t(jexui), SIGCONT);
    if (core.state() != QProcess::NotRunning) {
      core.write("EXITHALDANOW\n");
      if (!core.waitForFinished(8000)) core.kill();
    }
    // JexUI ends with the core; one that does not is stopped here.
    if (jexui > 0 && !QTest::qWaitFor([&] { return ::kill(pid_t(jexui), 0) != 0; }, 5000)) ::kill(pid_t(jexui), SIGKILL);
    if (conn.isConnected()) jex::testing::PrivateBus::disconnect(conn);
  }

  QStringList log() const {
    QFile f(home.filePath(S("jexui.log")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split(S("\r\n")) : QStringList();
  }
  bool logged(const QString& line) const { return log().contains(line); }
  int handled(const QString& command) const { return int(log().count(S("MDI.HandleCMD: ") + command)); }
  // Types a key on the core's console and waits for the core's report on it.
  QString key(const QString& command, int ms) {
    const qsizetype from = out.size();
    core.write((command + u'\n').toUtf8());
    const QString start = S("CMD: ") + command + S(" -> ");
    QTest::qWaitFor([&] { return out.indexOf(start, from) >= 0 && out.indexOf(u'\n', out.indexOf(start, from)) >= 0; }, ms);
    const qsizetype at = out.indexOf(start, from);
    return at < 0 ? QString() : out.mid(at, out.indexOf(u'\n', at) - at);
  }

  QTemporaryDir home;
  QDBusConnection conn{QString()};
  QProcess core;
  QString out;
  qint64 jexui = 0;
};

TEST_F(SlowJexUi, StoppedLongerThanTheCoreWaitsItIsStillReachedAfterwards) {
  ASSERT_EQ(key(S("TOGGMEN"), 5000), S("CMD: TOGGMEN -> consumed by JexUI"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return handled(S("TOGGMEN")) == 1; }, 5000));

  ASSERT_EQ(::kill(pid_t(jexui), SIGSTOP), 0);
  QElapsedTimer stopped;
  stopped.start();
  // The core gives up on this one: logged and dropped, JexUI keeps its registrations.
  EXPECT_EQ(key(S("TOGGMEN"), 8000), S("CMD: TOGGMEN -> unhandled: TOGGMEN"));
  QTest::qWait(int(std::max<qint64>(0, 8000 - stopped.elapsed())));
  ASSERT_EQ(::kill(pid_t(jexui), SIGCONT), 0);

  for (int i = 0; i < 2; ++i) EXPECT_EQ(key(S("TOGGMEN"), 8000), S("CMD: TOGGMEN -> consumed by JexUI")) << out.toStdString();
  // The two after the stop, and the one the core had given up on (JexUI ran it late).
  EXPECT_TRUE(QTest::qWaitFor([&] { return handled(S("TOGGMEN")) == 4; }, 5000)) << log().join(u'\n').toStdString();
}

}  // namespace
