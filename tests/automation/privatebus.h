// The one private session bus of a test executable (tests/support/processes.h), started on
// first use and ended after the last test.
#pragma once

#include "tests/support/processes.h"

namespace jex::testing {

struct PrivateBus {
  static SessionBus& instance() { return SessionBus::shared(); }
  static void disconnect(QDBusConnection& conn) { SessionBus::disconnect(conn); }
};

}  // namespace jex::testing
