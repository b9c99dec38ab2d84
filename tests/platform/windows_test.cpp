// Finding and focusing windows by class on a virtual X display.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <cstdlib>

#include "app/scripting/funcs.h"
#include "platform/windows.h"
#include "tests/support/xserver.h"

namespace jex {
namespace {

using platform::findClassEx;
using testing::XServer;

// top1 (JexTop)
//   pane (Pane)
//     edit1 (Edit)
//   edit2 (Edit)
// top2 (JexTop)
//   edit3 (Edit)
class WindowSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!x().ok()) GTEST_SKIP() << "no virtual display: " << x().error().toStdString();
    top1 = x().create(x().root(), "JexTop");
    pane = x().create(top1, "Pane");
    edit1 = x().create(pane, "Edit");
    edit2 = x().create(top1, "Edit");
    top2 = x().create(x().root(), "JexTop");
    edit3 = x().create(top2, "Edit");
  }
  void TearDown() override {
    if (!x().ok()) return;
    xcb_delete_property(x().conn(), x().root(), x().atom("_NET_ACTIVE_WINDOW"));
    xcb_delete_property(x().conn(), x().root(), x().atom("_NET_SUPPORTED"));
    for (xcb_window_t w : {top1, top2}) xcb_destroy_window(x().conn(), w);
    x().sync();
  }
  static XServer& x() { return XServer::instance(); }
  void setRootWindows(const char* prop, xcb_atom_t type, const std::vector<uint32_t>& values) {
    xcb_change_property(x().conn(), XCB_PROP_MODE_REPLACE, x().root(), x().atom(prop), type, 32,
                        uint32_t(values.size()), values.data());
    x().sync();
  }
  qint32 call(const QString& member, QVariantList args) {
    Obj funcs(std::make_shared<Funcs>());
    return automation::toI32(funcs.call(member, args));
  }

  xcb_window_t top1 = 0, pane = 0, edit1 = 0, edit2 = 0, top2 = 0, edit3 = 0;
};

// Matches count from one in a depth-first walk below the parent (never the parent itself);
// number 0 and below take the first; the class is compared without regard to case. Scripts
// may pass the numbers as any type.
TEST_F(WindowSearch, FindClassExCountsMatchesFromOneInADepthFirstWalkBelowTheParent) {
  const qint32 t1 = top1, t2 = top2, p = pane;
  const struct {
    QVariantList args;
    xcb_window_t found;
  } cases[] = {{{0, "Edit", 1}, edit1},
               {{0, "Edit", 2}, edit2},
               {{0, "Edit", 3}, edit3},
               {{0, "Edit", 4}, 0},
               {{0, "JexTop", 2}, top2},
               {{0, "edit", 0}, edit1},
               {{0, "EDIT", -7}, edit1},
               {{t2, "Edit", 1}, edit3},
               {{t2, "Edit", 2}, 0},
               {{t1, "Edit", 2}, edit2},
               {{p, "Pane", 1}, 0},
               {{}, 0},
               {{QString::number(t2), "Edit", "1"}, edit3},
               {{double(t1), "Edit", 2.0}, edit2},
               {{QVariant(), "Edit", QVariant()}, edit1},
               {{"not a handle", "Edit", 1}, 0},
               {{0, "Edit", "x"}, 0},
               {{1e12, "Edit", 1}, 0},
               {{0, "NoSuchClass", 1}, 0},
               {{0, QString(), 1}, 0}};
  for (const auto& c : cases)
    EXPECT_EQ(call("FindClassEx", c.args), qint32(c.found)) << QVariant(c.args).toStringList().join(' ').toStdString();
  EXPECT_EQ(findClassEx(0, QString(100000, u'E'), 1), 0u);
  EXPECT_EQ(platform::windowClass(pane), "Pane");
}

TEST_F(WindowSearch, VanishedWindowsGiveNothing) {
  const xcb_window_t gone = x().create(top1, "Gone");
  x().destroy(gone);
  EXPECT_FALSE(platform::windowExists(gone));
  EXPECT_EQ(findClassEx(gone, "Edit", 1), 0u);
  EXPECT_FALSE(platform::setFocusToWindow(gone));
  EXPECT_EQ(platform::windowClass(gone), QString());
  EXPECT_EQ(call("SetFocusToClass", {"Edit", 1, qint32(gone)}), 0);
}

TEST_F(WindowSearch, SetFocusToClassTakesTheFirstBelowTheForegroundWindowWhenOmitted) {
  // No window manager: the parent defaults to the desktop, the focus is set directly.
  EXPECT_EQ(call("SetFocusToClass", {"Edit"}), qint32(edit1));
  EXPECT_EQ(x().inputFocus(), edit1);
  EXPECT_EQ(call("SetFocusToClass", {"Edit", automation::missing(), qint32(top1)}), qint32(edit1));
  EXPECT_EQ(call("SetFocusToClass", {"Edit", 2, 0}), qint32(edit2));
  EXPECT_EQ(x().inputFocus(), edit2);
  EXPECT_EQ(call("SetFocusToClass", {"Nothing"}), 0);
  // With a foreground window the omitted parent is that window; FindClassEx's parent 0 is
  // still the whole desktop.
  setRootWindows("_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {top2});
  EXPECT_EQ(platform::foregroundWindow(), top2);
  EXPECT_EQ(call("SetFocusToClass", {"Edit"}), qint32(edit3));
  EXPECT_EQ(x().inputFocus(), edit3);
  EXPECT_EQ(call("FindClassEx", {0, "Edit", 1}), qint32(edit1));
}

TEST_F(WindowSearch, TopLevelWindowsAreActivatedThroughTheWindowManager) {
  const xcb_atom_t active = x().atom("_NET_ACTIVE_WINDOW");
  setRootWindows("_NET_SUPPORTED", XCB_ATOM_ATOM, {active});
  // Play the window manager: take the redirect of the root's children.
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
  xcb_change_window_attributes(x().conn(), x().root(), XCB_CW_EVENT_MASK, &mask);
  x().sync();
  EXPECT_TRUE(platform::setFocusToWindow(top2));
  bool seen = false;
  QElapsedTimer t;
  t.start();
  while (!seen && t.elapsed() < 3000) {
    xcb_generic_event_t* ev = xcb_poll_for_event(x().conn());
    if (!ev) continue;
    if ((ev->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
      auto* cm = reinterpret_cast<xcb_client_message_event_t*>(ev);
      seen = cm->type == active && cm->window == top2 && cm->data.data32[0] == 2;
    }
    std::free(ev);
  }
  const uint32_t none = 0;
  xcb_change_window_attributes(x().conn(), x().root(), XCB_CW_EVENT_MASK, &none);
  EXPECT_TRUE(seen) << "no _NET_ACTIVE_WINDOW request for the top-level window";
  // A child window is still focused directly.
  EXPECT_TRUE(platform::setFocusToWindow(edit2));
  EXPECT_EQ(x().inputFocus(), edit2);
}

}  // namespace
}  // namespace jex
