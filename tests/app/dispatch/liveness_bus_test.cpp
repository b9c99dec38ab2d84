// The built core starts the built jexui on a private bus; jexui is stopped for longer than the
// core waits for an answer, then continued: the core must still reach it afterwards.
#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QElapsedTimer>
#include <QTest>
#include <csignal>

#include "automation/dbustransport.h"
#include "base/error.h"
#include "tests/automation/privatebus.h"
#include "tests/support/errorof.h"
#include "tests/support/fakecore.h"
#include "tests/support/text.h"

namespace {
namespace bus = jex::automation::dbus;
using jex::testing::BuiltCore;

class SlowJexUi : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& pb = jex::testing::PrivateBus::instance();
    if (!pb.ok()) GTEST_SKIP() << "no private session bus: " << pb.error().toStdString();
    if (!BuiltCore::built() || jex::testing::builtProgram(S("jexui")).isEmpty())
      GTEST_SKIP() << "corvane and jexui are not built";
    conn = pb.connect(S("liveness"));
    for (const char* name : {"corvane.application", "JexUI.UI_Application"})
      ASSERT_TRUE(QTest::qWaitFor([&] { return !bus::isNameOwned(S(name), conn); }, 5000));
    core = std::make_unique<BuiltCore>(pb.address());
    QDir().mkpath(core->appDir());
    fake::CoreFixture::writeFile(core->appDir() + S("/JEXUI.INI"), "[SERVICE]\r\nWriteLogFile=5\r\n");
    QProcessEnvironment env = core->proc.processEnvironment();
    env.insert(S("JEXUI_LOGDIR"), core->home());
    env.insert(S("XDG_CONFIG_HOME"), core->home() + S("/config"));
    core->proc.setProcessEnvironment(env);
    core->start(S("corvane"), core->args({S("--no-monitor"), S("--no-audio"), S("--no-foreground")}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return logged(S("StartUp: 12")); }, 20000)) << core->out();
    const QDBusReply<uint> pid = conn.interface()->servicePid(S("JexUI.UI_Application"));
    ASSERT_TRUE(pid.isValid());
    jexui = qint64(pid.value());
  }

  void TearDown() override {
    if (jexui > 0) ::kill(pid_t(jexui), SIGCONT);
    if (core && core->proc.state() != QProcess::NotRunning) {
      core->type(S("EXITHALDANOW"));
      core->proc.waitForFinished(8000);
    }
    // JexUI ends with the core; one that does not is stopped here.
    if (jexui > 0 && !QTest::qWaitFor([&] { return ::kill(pid_t(jexui), 0) != 0; }, 5000))
      ::kill(pid_t(jexui), SIGKILL);
    if (conn.isConnected()) jex::testing::PrivateBus::disconnect(conn);
  }

  QStringList log() const { return jex::testing::fileLines(core->home() + S("/jexui.log")); }
  bool logged(const QString& line) const { return log().contains(line); }
  int handled(const QString& command) const { return int(log().count(S("MDI.HandleCMD: ") + command)); }
  // Types a key on the core's console and waits for the core's report on it.
  QString key(const QString& command, int ms) {
    const qsizetype from = core->lines.size();
    core->type(command);
    const QString start = S("CMD: ") + command + S(" -> ");
    QString line;
    (void)QTest::qWaitFor(
        [&] {
          for (qsizetype i = from; i < core->lines.size() && line.isEmpty(); ++i)
            if (core->lines[i].startsWith(start)) line = core->lines[i];
          return !line.isEmpty();
        },
        ms);
    return line;
  }

  QDBusConnection conn{QString()};
  std::unique_ptr<BuiltCore> core;
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

  for (int i = 0; i < 2; ++i) EXPECT_EQ(key(S("TOGGMEN"), 8000), S("CMD: TOGGMEN -> consumed by JexUI")) << core->out();
  // The two after the stop, and the one the core had given up on (JexUI ran it late).
  EXPECT_TRUE(QTest::qWaitFor([&] { return handled(S("TOGGMEN")) == 4; }, 5000)) << log().join(u'\n').toStdString();
}

// The core and JexUI serve each other and nobody else on the bus; a JexUI that dies without QUIT is started
// again, and the keys reach the new one.
TEST_F(SlowJexUi, AStrangerIsRefusedAndAKilledJexUiIsStartedAgain) {
  ASSERT_EQ(key(S("TOGGMEN"), 5000), S("CMD: TOGGMEN -> consumed by JexUI"));
  QDBusConnection stranger = jex::testing::PrivateBus::instance().connect(S("stranger"));
  const jex::Obj theirs = bus::connect(S("corvane.application"), stranger);
  for (const char* command : {"TOGGMEN", "EXITHALDANOW"}) {
    const int error = jex::testing::errorOf([&] { theirs.call(S("proc.AddToCMDQueue"), {S(command)}); });
    EXPECT_EQ(error, jex::err::PermissionDenied) << command;
  }
  // JexUI too answers its core only.
  const jex::Obj jexUi = bus::connect(S("JexUI.UI_Application"), stranger);
  EXPECT_EQ(jex::testing::errorOf([&] { jexUi.str(S("VersionString")); }), jex::err::PermissionDenied);
  jex::testing::PrivateBus::disconnect(stranger);
  ASSERT_EQ(key(S("TOGGMEN"), 5000), S("CMD: TOGGMEN -> consumed by JexUI")) << "JexUI and the core go on";

  ASSERT_EQ(::kill(pid_t(jexui), SIGKILL), 0);
  const qint64 killed = jexui;
  ASSERT_TRUE(core->waitFor(S("JEXUI: ended without QUIT, starting it again"), 8000)) << core->out();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        const QDBusReply<uint> pid = conn.interface()->servicePid(S("JexUI.UI_Application"));
        jexui = pid.isValid() ? qint64(pid.value()) : killed;
        return jexui != killed;
      },
      20000))
      << core->out();
  // The new JexUI takes the keys once it has started up.
  EXPECT_TRUE(QTest::qWaitFor([&] { return key(S("TOGGMEN"), 3000) == S("CMD: TOGGMEN -> consumed by JexUI"); }, 30000))
      << core->out();
}

}  // namespace
