// NEWFGWIN! as the built core offers it: on a virtual display with openbox, whenever a window
// other than JexUI's comes to the front (another window of the same application too), and what
// JexUI gives back run in the application now in front. The windows are real Qt and GTK windows
// in processes of their own; JexUI's is a Qt window of a program named jexui.
#include <gtest/gtest.h>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "automation/dbustransport.h"
#include "platform/tasks.h"
#include "tests/corvane/recorder.h"
#include "tests/support/fakecore.h"
#include "tests/support/processes.h"
#include "tests/support/text.h"
#include "tests/support/xserver.h"

namespace corvane {
namespace {

using jex::automation::Obj;
namespace bus = jex::automation::dbus;
using jex::testing::BuiltCore;
using jex::testing::SessionBus;
using jex::testing::XServer;
namespace tasks = jex::platform::tasks;

enum class Kit { Qt, Gtk };

// A top-level window of a toolkit in a process of its own, found by its process.
class ToolkitWindow {
 public:
  explicit ToolkitWindow(Kit kit, const QString& program = QStringLiteral(JEX_BIN_DIR "/jex_qtwindow")) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(S("QT_QPA_PLATFORM"), S("xcb"));
    env.remove(S("DBUS_SESSION_BUS_ADDRESS"));  // not on the core's bus: only a window
    process_.setProcessEnvironment(env);
    if (kit == Kit::Qt) process_.start(program, {S("Fenster")});
    else
      process_.start(S("/usr/bin/python3"),
                     {S("-c"), S("import gi\ngi.require_version('Gtk', '3.0')\nfrom gi.repository import Gtk\n"
                                 "w = Gtk.Window(title='Fenster')\nw.show_all()\nGtk.main()\n")});
    if (!process_.waitForStarted(5000)) return;
    (void)QTest::qWaitFor(
        [&] {
          for (const tasks::WindowHandle w : tasks::topLevelWindows())
            if (tasks::processId(w) == process_.processId()) window_ = w;
          return window_ != 0;
        },
        10000);
  }
  ~ToolkitWindow() {
    process_.kill();
    process_.waitForFinished(3000);
  }
  tasks::WindowHandle window() const { return window_; }
  // Asks the window manager to bring the window to the front, as a task bar does.
  void activate() const { tasks::activate(window_, 0); }

 private:
  QProcess process_;
  tasks::WindowHandle window_ = 0;
};

class WindowsInFront : public ::testing::TestWithParam<Kit> {
 protected:
  void SetUp() override {
    if (!XServer::instance().ok()) GTEST_SKIP() << "no virtual display: " << XServer::instance().error().toStdString();
    if (QStandardPaths::findExecutable(S("openbox")).isEmpty()) GTEST_SKIP() << "openbox is not installed";
    if (!BuiltCore::built()) GTEST_SKIP() << "corvane is not built";
    if (!QFileInfo(S(JEX_BIN_DIR "/jex_qtwindow")).isExecutable()) GTEST_SKIP() << "jex_qtwindow is not built";
    if (!bus_.ok()) GTEST_SKIP() << "no private session bus: " << bus_.error().toStdString();
    wm_.setStandardErrorFile(QProcess::nullDevice());
    wm_.start(S("openbox"), {S("--sm-disable")});
    ASSERT_TRUE(wm_.waitForStarted(5000));

    core_ = std::make_unique<BuiltCore>(bus_.address());
    const QString scripts = core_->appDir() + S("/scripts/");
    QDir().mkpath(scripts + S("apps"));
    fake::CoreFixture::writeFile(scripts + S("apps/jex_qtwindow.vbs"),
                                 "Sub Hello()\r\n  proc.SpeechOutVoice \"Hallo Qt\", 1\r\nEnd Sub\r\n");
    fake::CoreFixture::writeFile(scripts + S("default.vbs"),
                                 "Sub Hello()\r\n  proc.SpeechOutVoice \"Hallo allerseits\", 1\r\nEnd Sub\r\n");
    QProcessEnvironment env = jex::testing::busEnvironment(bus_.address());
    env.insert(S("DISPLAY"), qEnvironmentVariable("DISPLAY"));
    env.insert(S("QT_QPA_PLATFORM"), S("xcb"));  // the core follows the display's windows
    core_->proc.setProcessEnvironment(env);
    ASSERT_TRUE(core_->startAndWait()) << core_->out();
    // A core that has just started on a busy machine may take longer than JexUI waits for an
    // answer while it reads the display's windows.
    bus::setCallTimeout(15000);
    QDBusConnection conn = bus_.connection();
    root_ = bus::connect(S("corvane.application"), conn);
    ASSERT_TRUE(bus::publish(S("JexUI.UI_Application"), jexUi_, conn));
    root_.call(S("Init_JEX_UI_Notification_Sink"), {jex::automation::fromObj(Obj(jexUi_))});
    root_.set(S("JEX_UI_Notification_Sink_Event_Enable"), {S("HandleCmd")}, true);
    // JexUI's window: a Qt window of a program named jexui.
    ASSERT_TRUE(QFile::copy(S(JEX_BIN_DIR "/jex_qtwindow"), dir_.filePath(S("jexui"))));
  }
  void TearDown() override {
    bus::setCallTimeout(bus::kDefaultCallTimeoutMs);
    wm_.kill();
    wm_.waitForFinished(3000);
  }
  qsizetype offered() const { return jexUi_->heard.count(S("ui.HandleCmd(NEWFGWIN!)")); }
  // What the core was offered until now, once every command queued before has been routed
  // (commands are routed in order: a probe typed now comes after them).
  qsizetype offeredSoFar() {
    core_->type(S("DELAYPROCESSING"));
    const qsizetype probes = ++probes_;
    EXPECT_TRUE(QTest::qWaitFor([&] { return core_->lines.filter(S("CMD: DELAYPROCESSING")).size() == probes; }, 5000));
    return offered();
  }
  // Brings w to the front (a new window may be there already) and waits until the core has
  // switched to task.
  bool inFront(const ToolkitWindow& w, const QString& task) {
    if (!w.window()) return false;
    return QTest::qWaitFor(
        [&] {
          w.activate();  // a manager that is still starting drops the request: asked again
          const QStringList switches = core_->lines.filter(S("SWITCH: "));
          return !switches.isEmpty() && switches.last().endsWith(u'/' + task);
        },
        10000);
  }

  SessionBus bus_;
  QProcess wm_;
  QTemporaryDir dir_;
  std::unique_ptr<BuiltCore> core_;
  Obj root_;
  qsizetype probes_ = 0;
  std::shared_ptr<testing::Recorder> jexUi_ = std::make_shared<testing::Recorder>(
      S("ui"),
      QHash<QString, QString>{{S("NEWFGWIN!"), S("DEFAULT.Sub.Hello")}, {S("NEWFGWINREAD"), S("READEDITCUR")}});
};

TEST_P(WindowsInFront, EachWindowButJexUisIsOfferedAndTheChoiceRunsInItsApplication) {
  const bool qt = GetParam() == Kit::Qt;
  const QString task = qt ? S("JEX_QTWINDOW") : S("PYTHON3");
  ToolkitWindow first(GetParam());
  if (!first.window() && !qt) GTEST_SKIP() << "no GTK 3 window (python3-gi)";
  ASSERT_TRUE(inFront(first, task)) << core_->out();
  ASSERT_TRUE(core_->waitFor(S("CMD: NEWFGWIN! -> replaced by JexUI with DEFAULT.SUB.HELLO -> "))) << core_->out();
  EXPECT_TRUE(core_->waitFor(qt ? S("SPEAK: Hallo Qt") : S("SPEAK: Hallo allerseits"))) << core_->out();
  ASSERT_EQ(offeredSoFar(), 1);

  // JexUI in front is no new window for it; the window it gives the front back to is, and so is
  // another window of the same application.
  ToolkitWindow jexui(Kit::Qt, dir_.filePath(S("jexui")));
  ASSERT_TRUE(inFront(jexui, S("JEXUI"))) << core_->out();
  const qsizetype withJexUi = offeredSoFar();
  ToolkitWindow second(GetParam());
  ASSERT_TRUE(inFront(second, task)) << core_->out();
  EXPECT_EQ(offeredSoFar(), withJexUi + 1) << jexUi_->heard.join(u' ').toStdString();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        first.activate();
        return offered() == withJexUi + 2;
      },
      10000))
      << jexUi_->heard.join(u' ').toStdString() << core_->out();
  ASSERT_TRUE(inFront(jexui, S("JEXUI"))) << core_->out();
  EXPECT_EQ(offeredSoFar(), withJexUi + 2) << core_->out();
}

// A window that has stayed in front a while (JexUI's too) is announced to JexUI before it is read;
// what JexUI gives back in its place is run.
TEST_P(WindowsInFront, AWindowThatStaysInFrontIsAnnouncedForReading) {
  const bool qt = GetParam() == Kit::Qt;
  ToolkitWindow first(GetParam());
  if (!first.window() && !qt) GTEST_SKIP() << "no GTK 3 window (python3-gi)";
  ASSERT_TRUE(inFront(first, qt ? S("JEX_QTWINDOW") : S("PYTHON3"))) << core_->out();
  ASSERT_TRUE(core_->waitFor(S("NEWFGWINREAD: JexUI reads with READEDITCUR"))) << core_->out();
  EXPECT_TRUE(core_->waitFor(S("CMD: READEDITCUR"))) << core_->out();
  const qsizetype announced = jexUi_->heard.count(S("ui.HandleCmd(NEWFGWINREAD)"));
  EXPECT_GE(announced, 1);

  ToolkitWindow jexui(Kit::Qt, dir_.filePath(S("jexui")));
  ASSERT_TRUE(inFront(jexui, S("JEXUI"))) << core_->out();
  EXPECT_TRUE(QTest::qWaitFor([&] { return jexUi_->heard.count(S("ui.HandleCmd(NEWFGWINREAD)")) > announced; }, 5000))
      << "JexUI's own window is announced too";
}

INSTANTIATE_TEST_SUITE_P(Toolkits, WindowsInFront, ::testing::Values(Kit::Qt, Kit::Gtk),
                         [](const auto& info) { return info.param == Kit::Qt ? "Qt" : "Gtk"; });

}  // namespace
}  // namespace corvane
