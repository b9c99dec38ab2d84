// Shared pieces of the start-up tests: a private session bus per test, the stand-in core's
// objects served by the test itself (in-process or on the bus), the jexui program as a child process, and
// reading jexui.log.
#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "core/automation/dispatchable.h"
#include "tests/support/fakecore.h"

namespace jex::testing {

// dbus-daemon --session --nofork --print-address, ended with the object.
class SessionBus {
 public:
  SessionBus();
  ~SessionBus();
  bool ok() const { return !address_.isEmpty(); }
  const QString& address() const { return address_; }
  const QString& error() const { return error_; }
  // A connection of the test process to this bus (closed by the destructor).
  QDBusConnection connection();
  void closeConnection();
  bool waitForName(const QString& name, bool owned, int ms);
  // Process id of the owner of a bus name; 0 when nobody owns it.
  qint64 ownerPid(const QString& name);

 private:
  QProcess daemon_;
  QString address_, error_, connName_;
};

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
  QString appPath() const { return dir.path() + QStringLiteral("/app/"); }
  QString logDir() const { return dir.path() + QStringLiteral("/log"); }
  QString logFile() const { return logDir() + QStringLiteral("/jexui.log"); }
  QString iniFile() const { return appPath() + QStringLiteral("JEXUI.INI"); }
  World();
  QStringList logLines() const;
  void writeIni(const QByteArray& text) const;
  QProcessEnvironment environment(const SessionBus& bus) const;
};

QString binDir();
// Starts jexui with env; the caller keeps the process.
std::unique_ptr<QProcess> startJexUi(const QProcessEnvironment& env);
// Lets the event loop run (the core stand-in answers meanwhile) until p ended.
bool waitEnded(QProcess& p, int ms);
// True when needles occur in lines in this order (not necessarily adjacent).
bool inOrder(const QStringList& lines, const QStringList& needles);
bool waitForLine(const World& w, const QString& line, int ms);

}  // namespace jex::testing
