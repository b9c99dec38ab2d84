// Shared pieces of the start-up tests: the stand-in core's objects served by the test itself
// (in-process or on the bus), a temporary program world, the jexui program as a child process.
#pragma once

#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "tests/support/fakecore.h"
#include "tests/support/processes.h"
#include "tests/support/text.h"

namespace jex::testing {

// The stand-in core's objects over fake::Core for an AppPath (ending with "/") that gets the
// default user profile.
struct StandInCore {
  explicit StandInCore(const QString& appPath) : model(appPath.chopped(1)) { fake::copyDefaultUser(appPath); }
  fake::Core model;
  std::shared_ptr<corvane::Root> root = std::make_shared<corvane::Root>(model);
};

// A temporary program world: AppPath (the core's directory) and the log directory.
struct World {
  QTemporaryDir dir;
  QString appPath() const { return dir.path() + S("/app/"); }
  QString logFile() const { return dir.path() + S("/log/jexui.log"); }
  QString iniFile() const { return appPath() + S("JEXUI.INI"); }
  World();
  QStringList logLines() const { return fileLines(logFile()); }
  void writeIni(const QByteArray& text) const { fake::CoreFixture::writeFile(iniFile(), text); }
  // jexui's environment on the bus, logging into the world.
  QProcessEnvironment environment(const SessionBus& bus) const;
  bool waitForLine(const QString& line, int ms) const;
};

}  // namespace jex::testing
