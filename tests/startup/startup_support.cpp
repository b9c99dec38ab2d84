#include "startup_support.h"

#include <QDir>
#include <QTest>

namespace jex::testing {

World::World() {
  QDir().mkpath(appPath());
  QDir().mkpath(dir.path() + QStringLiteral("/log"));
}

QProcessEnvironment World::environment(const SessionBus& bus) const {
  QProcessEnvironment env = busEnvironment(bus.address());
  env.insert(QStringLiteral("JEXUI_LOGDIR"), dir.path() + QStringLiteral("/log"));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path() + QStringLiteral("/config"));
  env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path() + QStringLiteral("/data"));
  return env;
}

bool World::waitForLine(const QString& line, int ms) const {
  return QTest::qWaitFor([&] { return logLines().contains(line); }, ms);
}

}  // namespace jex::testing
