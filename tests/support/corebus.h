// A test fixture with the built core as a process of its own on the test executable's private
// session bus, and a connection to it as JexUI has one (Jex() reaches the core through it).
// A fixture derived from it calls startCore() first in its SetUp and returns unless started(); stopCore() at the end of
// its TearDown, after its forms are gone.
#pragma once

#include <gtest/gtest.h>
#include <QDBusConnection>
#include <memory>

#include "automation/dbustransport.h"
#include "global/cglobal.h"
#include "tests/automation/privatebus.h"
#include "tests/support/processes.h"

namespace jex::testing {

class CoreOverBusTest : public ::testing::Test {
 protected:
  // Skips the test without a private bus or a built core, fails it when the core does not start.
  // started() tells whether it runs with Jex() connected to it.
  void startCore() {
    SessionBus& pb = PrivateBus::instance();
    if (!pb.ok()) GTEST_SKIP() << "no private bus: " << pb.error().toStdString();
    if (!BuiltCore::built()) GTEST_SKIP() << "the core is not built";
    core = std::make_unique<BuiltCore>(pb.address());
    ASSERT_TRUE(core->startAndWait()) << core->out();
    conn = pb.connect(QStringLiteral("jexui"));
    Jex() = automation::dbus::connect(QStringLiteral("corvane.application"), conn);
  }
  bool started() const { return conn.isConnected(); }
  void stopCore() {
    if (conn.isConnected()) {
      automation::dbus::detach(conn);
      PrivateBus::disconnect(conn);
    }
    if (core) core->quit();
  }

  std::unique_ptr<BuiltCore> core;
  QDBusConnection conn{QString()};
};

}  // namespace jex::testing
