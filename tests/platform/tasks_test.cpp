// The task list's window seam on a display without a window manager: the root's children from
// the top down, visibility by mapping, the input focus for activation.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QByteArray>
#include <chrono>
#include <thread>

#include "platform/tasks.h"
#include "tests/support/xserver.h"

namespace jex {
namespace {

using testing::XServer;
namespace tasks = platform::tasks;

XServer& x() { return XServer::instance(); }

TEST(TasksWithoutWindowManager, TopLevelWindowsStateAndFocus) {
  if (!x().ok()) GTEST_SKIP() << "no virtual display: " << x().error().toStdString();
  ASSERT_FALSE(tasks::hasWindowManager());
  const xcb_window_t lower = x().create(x().root(), "Lower");
  const xcb_window_t upper = x().create(x().root(), "Upper");
  xcb_change_property(x().conn(), XCB_PROP_MODE_REPLACE, upper, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 4, "Oben");
  const xcb_window_t hidden = x().create(x().root(), "Hidden");
  xcb_unmap_window(x().conn(), hidden);
  x().sync();

  const QList<tasks::WindowHandle> all = tasks::topLevelWindows();
  ASSERT_TRUE(all.contains(lower) && all.contains(upper));
  EXPECT_LT(all.indexOf(hidden), all.indexOf(lower)) << "from the top down";
  const QList<tasks::WindowState> states = tasks::readWindows({upper, hidden, 0x7ffffff0});
  EXPECT_TRUE(states[0].exists && states[0].visible && !states[0].toolWindow);
  EXPECT_EQ(states[0].title + "/" + states[0].className, "Oben/Upper");
  EXPECT_FALSE(states[1].visible);
  EXPECT_FALSE(states[2].exists);  // no such window: the others are read all the same
  EXPECT_TRUE(tasks::notAnswering({upper, lower}, 50).isEmpty()) << "without _NET_WM_PING they count as answering";
  EXPECT_EQ(tasks::processId(upper), 0) << "no _NET_WM_PID";
  EXPECT_FALSE(tasks::terminateProcessOf(upper, {}));

  EXPECT_TRUE(tasks::activate(lower, 1000));
  EXPECT_EQ(x().inputFocus(), lower);
  for (xcb_window_t w : {lower, upper, hidden}) x().destroy(w);
}

// Nobody answers the pings to these windows: a foreign window is not answering once its time
// has passed (nothing waits for it before), this process's own one is not asked (the thread
// asking would be the one to answer it).
TEST(TasksWithoutWindowManager, ASilentWindowIsHungOnceItsTimeHasPassed) {
  if (!x().ok()) GTEST_SKIP() << "no virtual display: " << x().error().toStdString();
  const xcb_atom_t ping = x().atom("_NET_WM_PING");
  QList<xcb_window_t> windows;
  for (const uint32_t pid : {uint32_t(::getpid()), uint32_t(1)}) {
    const xcb_window_t w = x().create(x().root(), "Pinged");
    xcb_change_property(x().conn(), XCB_PROP_MODE_REPLACE, w, x().atom("WM_PROTOCOLS"), XCB_ATOM_ATOM, 32, 1, &ping);
    xcb_change_property(x().conn(), XCB_PROP_MODE_REPLACE, w, x().atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
    windows << w;
  }
  x().sync();
  EXPECT_TRUE(tasks::notAnswering(windows, 100).isEmpty()) << "asked now, still within its time";
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(tasks::notAnswering(windows, 100), QSet<tasks::WindowHandle>{windows[1]});
  for (xcb_window_t w : windows) x().destroy(w);
}

}  // namespace
}  // namespace jex
