#include "startup_support.h"

#include <QDir>
#include <QTest>

namespace jex::testing {

World::World() {
  QDir().mkpath(appPath());
  QDir().mkpath(dir.path() + S("/log"));
}

QProcessEnvironment World::environment(const SessionBus& bus) const {
  QProcessEnvironment env = busEnvironment(bus.address());
  env.insert(S("JEXUI_LOGDIR"), dir.path() + S("/log"));
  env.insert(S("XDG_CONFIG_HOME"), dir.path() + S("/config"));
  env.insert(S("XDG_DATA_HOME"), dir.path() + S("/data"));
  return env;
}

bool World::waitForLine(const QString& line, int ms) const {
  return QTest::qWaitFor([&] { return logLines().contains(line); }, ms);
}

}  // namespace jex::testing
