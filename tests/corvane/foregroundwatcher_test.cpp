// The core follows the foreground window by X events: the input focus without a window
// manager, _NET_ACTIVE_WINDOW with one (openbox), and the focus again once it has gone.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <cstdlib>

#include "corvane/engine/hostplatform.h"
#include "tests/support/xserver.h"

namespace {

using corvane::ForegroundWatcher;
using jex::testing::XServer;

class ForegroundFollowing : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!x().ok()) GTEST_SKIP() << "no virtual display: " << x().error().toStdString();
    other.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    ASSERT_TRUE(other.waitForStarted());
    QObject::connect(&watcher, &ForegroundWatcher::foregroundChanged, [this](const QString& t) { seen << t; });
    QObject::connect(&watcher, &ForegroundWatcher::foregroundWindowChanged,
                     [this](quint32 w, const QString&) { inFront << w; });
  }
  void TearDown() override {
    if (!x().ok()) return;
    stopWindowManager();
    for (xcb_window_t w : windows) xcb_destroy_window(x().conn(), w);
    for (const char* p : {"_NET_ACTIVE_WINDOW", "_NET_SUPPORTED", "_NET_SUPPORTING_WM_CHECK"})
      xcb_delete_property(x().conn(), x().root(), x().atom(p));
    xcb_set_input_focus(x().conn(), XCB_INPUT_FOCUS_POINTER_ROOT, XCB_INPUT_FOCUS_POINTER_ROOT, XCB_CURRENT_TIME);
    x().sync();
    other.kill();
    other.waitForFinished();
  }
  static XServer& x() { return XServer::instance(); }

  // A top-level window of the process pid.
  xcb_window_t window(qint64 pid) {
    const xcb_window_t w = x().create(x().root(), QStringLiteral("JexTop"));
    const auto value = uint32_t(pid);
    xcb_change_property(x().conn(), XCB_PROP_MODE_REPLACE, w, x().atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1,
                        &value);
    x().sync();
    windows << w;
    return w;
  }
  void focus(xcb_window_t w) {
    xcb_set_input_focus(x().conn(), XCB_INPUT_FOCUS_PARENT, w, XCB_CURRENT_TIME);
    x().sync();
  }
  // As a task bar asks the window manager to activate a window, once the manager has mapped it
  // into its frame (a manager that is still starting drops the request: it is asked again).
  void activate(xcb_window_t w) {
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          xcb_get_window_attributes_reply_t* a =
              xcb_get_window_attributes_reply(x().conn(), xcb_get_window_attributes(x().conn(), w), nullptr);
          const bool shown = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
          std::free(a);
          if (!shown) xcb_map_window(x().conn(), w);
          x().sync();
          return shown;
        },
        5000));
    xcb_client_message_event_t e{};
    e.response_type = XCB_CLIENT_MESSAGE;
    e.format = 32;
    e.window = w;
    e.type = x().atom("_NET_ACTIVE_WINDOW");
    e.data.data32[0] = 2;  // from a pager
    xcb_send_event(x().conn(), 0, x().root(), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&e));
    x().sync();
  }
  bool follows(const QString& task) {
    return QTest::qWaitFor([&] { return !seen.isEmpty() && seen.last() == task; }, 5000);
  }
  bool startWindowManager() {
    wm.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    return wm.waitForStarted() && QTest::qWaitFor([&] { return watcher.followsActiveWindowProperty(); }, 10000);
  }
  void stopWindowManager() {
    if (wm.state() == QProcess::NotRunning) return;
    wm.terminate();
    if (!wm.waitForFinished(5000)) {
      wm.kill();
      wm.waitForFinished();
    }
  }

  ForegroundWatcher watcher;
  QProcess other, wm;
  QStringList seen;
  QList<quint32> inFront;  // each window that came to the front
  QList<xcb_window_t> windows;
  const QString self = ForegroundWatcher::taskNameOfPid(QCoreApplication::applicationPid());
  const QString sleeper = QStringLiteral("SLEEP");
};

TEST_F(ForegroundFollowing, FollowsTheInputFocusWithoutAWindowManager) {
  const xcb_window_t mine = window(QCoreApplication::applicationPid());
  const xcb_window_t theirs = window(other.processId());
  ASSERT_TRUE(watcher.start(qgetenv("DISPLAY")));
  EXPECT_FALSE(watcher.followsActiveWindowProperty());
  focus(theirs);
  ASSERT_TRUE(follows(sleeper));
  EXPECT_EQ(watcher.activeWindow(), theirs);
  focus(mine);
  ASSERT_TRUE(follows(self));
  focus(XCB_INPUT_FOCUS_POINTER_ROOT);
  ASSERT_TRUE(follows(QString())) << "no window in front is a change as well";
  // ...but not of the window: the one that had the focus before is not new when it gets it back.
  focus(mine);
  ASSERT_TRUE(follows(self));
  EXPECT_EQ(inFront, (QList<quint32>{theirs, mine}));
  // A window that came after the start, and a window inside it.
  const xcb_window_t late = window(other.processId());
  const xcb_window_t inner = x().create(late, QStringLiteral("Edit"));
  focus(inner);
  ASSERT_TRUE(follows(sleeper));
  EXPECT_EQ(watcher.activeWindow(), late);
}

TEST_F(ForegroundFollowing, FollowsTheWindowManagersActiveWindowAndTheFocusWhenItHasGone) {
  if (QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty()) GTEST_SKIP() << "openbox is not installed";
  ASSERT_TRUE(watcher.start(qgetenv("DISPLAY")));
  ASSERT_TRUE(startWindowManager()) << wm.readAllStandardError().toStdString();
  const xcb_window_t mine = window(QCoreApplication::applicationPid());
  const xcb_window_t theirs = window(other.processId());
  activate(theirs);
  ASSERT_TRUE(follows(sleeper));
  EXPECT_EQ(watcher.activeWindow(), theirs);
  activate(mine);
  ASSERT_TRUE(follows(self));
  stopWindowManager();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.followsActiveWindowProperty(); }, 5000));
  focus(theirs);
  ASSERT_TRUE(follows(sleeper));
}

}  // namespace
