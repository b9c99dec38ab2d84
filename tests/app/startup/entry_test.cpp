// The program's entry paths and its end, with the real jexui program on a private session bus.
#include <gtest/gtest.h>
#include <QTest>
#include <csignal>

#include "automation/dbustransport.h"
#include "startup_support.h"
#include "tests/support/errorof.h"

namespace jex::testing {
namespace {
namespace bus = automation::dbus;
const QString kCore = S("corvane.application");
const QString kUi = S("JexUI.UI_Application");
constexpr int kStartMs = 15000;

class EntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!sessionBus.ok()) GTEST_SKIP() << "no private session bus: " << sessionBus.error().toStdString();
    if (builtProgram(S("jexui")).isEmpty()) GTEST_SKIP() << "jexui is not built";
    world.writeIni("[SERVICE]\r\nWriteLogFile=5\r\n");
  }
  void serveCore() {
    core = std::make_unique<StandInCore>(world.appPath());
    ASSERT_TRUE(bus::publish(kCore, core->root, sessionBus.connection()));
  }
  std::unique_ptr<Child> startJexUi(const QStringList& args = {}) {
    auto p = std::make_unique<Child>(world.environment(sessionBus));
    p->start(S("jexui"), args);
    return p;
  }
  // Starts the first copy and waits until the background loading ran.
  void startFirst(const QStringList& args = {}) {
    first = startJexUi(args);
    ASSERT_TRUE(world.waitForLine(S("StartUp: 12"), kStartMs)) << log();
  }
  std::string log() const { return world.logLines().join(u'\n').toStdString(); }

  SessionBus sessionBus;
  World world;
  std::unique_ptr<StandInCore> core;
  std::unique_ptr<Child> first, second;
};

TEST_F(EntryTest, NormalStartServesUiApplicationAndASecondCopyOnlySendsToggMen) {
  serveCore();
  startFirst();
  QStringList lines = world.logLines();
  EXPECT_TRUE(inOrder(lines, {S("MDI_load"), S("Init_Notification_Sink, READY for CMDs !"), S("start bg-loading ..."),
                              S("frmMDI shown"), S("StartUp: 0"), S("StartUp: 12")}))
      << log();
  // Everything logged before the log was started afresh is gone.
  for (const char* gone : {"Start Main", "JEX OK > proceed", "StartUp: 13"}) EXPECT_FALSE(lines.contains(S(gone)));
  Obj ui = bus::connect(kUi, sessionBus.connection());
  EXPECT_EQ(ui.str(S("VersionString")),
            S("%1.%2.%3").arg(JEX_VERSION_MAJOR).arg(JEX_VERSION_MINOR).arg(JEX_VERSION_REVISION));
  EXPECT_EQ(ui.str(S("ExeLocation")), binDir());

  const qint64 firstPid = sessionBus.ownerPid(kUi);
  second = startJexUi();
  ASSERT_TRUE(second->waitEnded(kStartMs));
  EXPECT_EQ(second->proc.exitCode(), 0);
  EXPECT_EQ(core->model.queued, QStringList{S("TOGGMEN")});
  EXPECT_EQ(sessionBus.ownerPid(kUi), firstPid);
  EXPECT_EQ(first->proc.state(), QProcess::Running);
  // Only lines of the first copy's own work may have been added, none of the second's entry.
  for (const QString& l : world.logLines().mid(lines.size())) {
    EXPECT_FALSE(l.contains(S("PrevInstance")) || l.startsWith(S("!!! ERROR"))) << l.toStdString();
  }
}

TEST_F(EntryTest, CoreObjectThatDoesNotAnswerEndsTheProcess) {
  // The name is owned, but nobody serves the object.
  ASSERT_TRUE(sessionBus.connection().registerService(kCore));
  first = startJexUi();
  ASSERT_TRUE(first->waitEnded(kStartMs));
  EXPECT_EQ(first->proc.exitCode(), 1);
  EXPECT_FALSE(sessionBus.waitForName(kUi, true, 200));
  EXPECT_TRUE(world.logLines().isEmpty()) << log();
}

TEST_F(EntryTest, WithoutCoreTheLauncherStartsItAndJexUiEnds) {
  if (builtProgram(S("qmtwcd")).isEmpty() || builtProgram(S("corvane")).isEmpty())
    GTEST_SKIP() << "qmtwcd or corvane is not built";
  first = startJexUi();
  ASSERT_TRUE(first->waitEnded(kStartMs));
  EXPECT_EQ(first->proc.exitCode(), 0);
  // qmtwcd started the core (which may in turn start a new JexUI: that is the core's part).
  // The core inherits the ended JexUI's output pipe, now closed: it must live on regardless.
  ASSERT_TRUE(sessionBus.waitForName(kCore, true, kStartMs));
  sessionBus.waitForName(kUi, true, 3000);
  // Clean up: end exactly the processes that own the two names.
  for (const QString& name : {kUi, kCore})
    if (const qint64 pid = sessionBus.ownerPid(name); pid > 0) ::kill(pid_t(pid), SIGTERM);
  EXPECT_TRUE(sessionBus.waitForName(kUi, false, kStartMs));
  EXPECT_TRUE(sessionBus.waitForName(kCore, false, kStartMs));
}

// JexUI answers the core, not the session: another program on the bus is refused (Error 70 and
// one log line per call) unless JexUI was started with --trust-bus. The core (the owner of its name) is served either
// way.
TEST_F(EntryTest, AStrangerIsRefusedUnlessJexUiTrustsTheBus) {
  serveCore();
  for (const bool trustBus : {false, true}) {
    SCOPED_TRACE(trustBus ? "--trust-bus" : "default");
    startFirst(trustBus ? QStringList{S("--trust-bus")} : QStringList{});
    QDBusConnection stranger = sessionBus.connect(S("stranger"));
    const Obj theirs = bus::connect(kUi, stranger);
    const QList<std::function<void()>> calls{[&] { theirs.str(S("VersionString")); },
                                             [&] { theirs.str(S("ExeLocation")); }};
    for (const auto& call : calls) EXPECT_EQ(errorOf(call), trustBus ? 0 : int(err::PermissionDenied));
    const auto refusals = world.logLines().filter(S("automation: refused")).filter(stranger.baseService());
    EXPECT_EQ(refusals.size(), trustBus ? 0 : calls.size()) << log();
    SessionBus::disconnect(stranger);
    // The core still reaches JexUI, and JexUI the core.
    EXPECT_EQ(bus::connect(kUi, sessionBus.connection()).str(S("ExeLocation")), binDir());
    EXPECT_TRUE(core->model.hub.hasSink());
    ::kill(pid_t(first->proc.processId()), SIGTERM);
    ASSERT_TRUE(first->waitEnded(kStartMs));
    ASSERT_TRUE(sessionBus.waitForName(kUi, false, kStartMs));
    QFile::remove(world.logFile());
  }
}

// What the unload saves is checked in-process (StartupTest); here: that SIGTERM runs it.
TEST_F(EntryTest, SigTermRunsTheShutdownInOrder) {
  serveCore();
  startFirst();
  EXPECT_TRUE(core->model.hub.hasSink());
  ::kill(pid_t(first->proc.processId()), SIGTERM);
  ASSERT_TRUE(first->waitEnded(kStartMs));
  EXPECT_EQ(first->proc.exitCode(), 0);
  EXPECT_TRUE(inOrder(world.logLines(), {S("MDI_Unload"), S("MDI_Terminate")})) << log();
  EXPECT_FALSE(core->model.hub.hasSink()) << "the sink was taken back";
  EXPECT_FALSE(sessionBus.waitForName(kUi, true, 100));
}

// Run by CoreLeavingTheBusEndsJexUiInOrder as a separate core process, which it then kills
// (disabled: not a test of its own).
TEST(CoreProcess, DISABLED_Serve) {
  const QString appPath = qEnvironmentVariable("JEX_STARTUP_CORE_APPPATH");
  if (appPath.isEmpty()) GTEST_SKIP() << "runs only as the core process of another test";
  StandInCore served(appPath);
  ASSERT_TRUE(bus::publish(kCore, served.root));
  QTest::qWait(60000);
}

TEST_F(EntryTest, CoreLeavingTheBusEndsJexUiInOrder) {
  QProcessEnvironment env = world.environment(sessionBus);
  env.insert(S("JEX_STARTUP_CORE_APPPATH"), world.appPath());
  Child coreProcess(env);
  coreProcess.start(QCoreApplication::applicationFilePath(),
                    {S("--gtest_filter=CoreProcess.DISABLED_Serve"), S("--gtest_also_run_disabled_tests")});
  ASSERT_TRUE(sessionBus.waitForName(kCore, true, kStartMs));
  startFirst();
  coreProcess.proc.kill();  // the core's process ends without a word
  coreProcess.proc.waitForFinished(5000);
  ASSERT_TRUE(first->waitEnded(kStartMs));
  EXPECT_EQ(first->proc.exitCode(), 0);
  EXPECT_TRUE(inOrder(world.logLines(), {S("JEX vanished > END"), S("MDI_Unload"), S("MDI_Terminate")})) << log();
  // Calls into the vanished core fail (462) and are logged; nothing else may go wrong.
  for (const QString& l : world.logLines())
    EXPECT_FALSE(l.startsWith(S("!!! ERROR")) && !l.contains(S(": 462 "))) << l.toStdString();
}

}  // namespace
}  // namespace jex::testing
