// Shared pieces of the start-up tests: a private session bus per test, a core stand-in the
// test serves itself (in-process or on the bus), the jexui program as a child process, and
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

// What the core tells JexUI and what it heard from it.
class FakeCore : public automation::Dispatchable {
 public:
  explicit FakeCore(QString appPath);
  QString appPath;
  QString defaultLng = QStringLiteral("1031");
  bool meridanLoaded = true;
  QString braillePort = QStringLiteral("USB1");
  QStringList commands;  // AddToCMDQueue
  QStringList calls;     // Init/Clear of the sink, in order
  QSet<QString> enabledEvents;  // sink events switched on

 private:
  std::shared_ptr<automation::Dispatchable> proc_, braille_;
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
