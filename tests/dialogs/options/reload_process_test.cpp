// The core's half of a change of writing direction, with the built core and the built jexui on a
// private bus: the user interface sends DELAYPROCESSING ten times and UI_RELOAD, then leaves the
// bus; the core starts jexui again only once it has left.
#include <gtest/gtest.h>

#include "automation/dbustransport.h"
#include "tests/automation/privatebus.h"
#include "tests/support/processes.h"
#include "tests/support/text.h"

namespace {

namespace bus = jex::automation::dbus;
using jex::testing::BuiltCore;
using jex::testing::PrivateBus;

TEST(ReloadProcess, UiReloadStartsJexUiAgainOnceTheOldOneHasLeftTheBus) {
  auto& pb = PrivateBus::instance();
  if (!pb.ok() || !BuiltCore::built() || jex::testing::builtProgram(S("jexui")).isEmpty())
    GTEST_SKIP() << "no private bus, or the core or jexui is not built";
  BuiltCore core(pb.address());
  ASSERT_TRUE(
      core.startAndWait({S("--no-jexui"), S("--no-monitor"), S("--no-audio"), S("--no-foreground"), S("--trust-bus")}))
      << core.out();
  // This test is the user interface that is about to go.
  QDBusConnection ui = pb.connect(S("old-jexui"));
  ASSERT_TRUE(ui.registerService(S("JexUI.UI_Application")));
  jex::Obj coreObj = bus::connect(S("corvane.application"), ui);
  for (int i = 0; i < 10; ++i) coreObj.call(S("proc.AddToCMDQueue"), {S("DELAYPROCESSING")});
  coreObj.call(S("proc.AddToCMDQueue"), {S("UI_RELOAD")});
  QTest::qWait(400);
  EXPECT_FALSE(core.has(S("JEXUI: "))) << "a new JexUI while the old one is on the bus:\n" << core.out();

  coreObj = jex::Obj();
  PrivateBus::disconnect(ui);
  ASSERT_TRUE(core.waitFor(S("JEXUI: started ok"), 8000)) << core.out();
  EXPECT_TRUE(jex::testing::inOrder(core.lines, {S("JEXUI: reloading"), S("JEXUI: started ok")})) << core.out();
  EXPECT_TRUE(pb.waitForName(S("JexUI.UI_Application"), true, 20000)) << "the new jexui did not come up";

  core.type(S(":quit"));
  EXPECT_TRUE(core.waitEnded(10000)) << core.out();
  EXPECT_TRUE(pb.waitForName(S("JexUI.UI_Application"), false, 5000)) << "the new jexui stayed after the core";
}

}  // namespace
