// Processes the tests start: a private session bus (dbus-daemon), the built programs with an
// environment on that bus, and children whose output is read line by line.
#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

namespace jex::testing {

// dbus-daemon --session --nofork --print-address, ended with the object.
class SessionBus {
 public:
  SessionBus();
  ~SessionBus() { stop(); }
  // One bus for the whole test executable, started on first use, ended after the last test.
  static SessionBus& shared();
  bool ok() const { return !address_.isEmpty(); }
  const QString& address() const { return address_; }
  const QString& error() const { return error_; }
  // A new connection under a fresh name.
  QDBusConnection connect(const QString& role);
  // Lets the transport drop the connection and closes it, as if its process had ended.
  static void disconnect(QDBusConnection& conn);
  // The test's own connection (opened on first use, closed by the destructor).
  QDBusConnection connection() { return own_.name().isEmpty() ? (own_ = connect(QStringLiteral("own"))) : own_; }
  bool waitForName(const QString& name, bool owned, int ms);
  // Process id of the owner of a bus name; 0 when nobody owns it.
  qint64 ownerPid(const QString& name);
  void stop();

 private:
  QProcess daemon_;
  QString address_, error_;
  QDBusConnection own_{QString()};
};

QString binDir();
// The built program's path, or empty when it is not built.
QString builtProgram(const QString& name);
// This environment with the bus as the session bus and the offscreen platform, without display.
QProcessEnvironment busEnvironment(const QString& busAddress);

// A child process whose merged output is kept line by line; killed by the destructor.
class Child {
 public:
  explicit Child(const QProcessEnvironment& env);
  ~Child();
  void start(const QString& program, const QStringList& args);
  void type(const QString& text) { proc.write((text + u'\n').toUtf8()); }
  bool has(const QString& start) const {
    return std::any_of(lines.begin(), lines.end(), [&](const QString& l) { return l.startsWith(start); });
  }
  bool waitFor(const QString& start, int ms = 5000) const {
    return QTest::qWaitFor([&] { return has(start); }, ms);
  }
  bool waitEnded(int ms) {
    return QTest::qWaitFor([&] { return proc.state() == QProcess::NotRunning; }, ms);
  }
  std::string out() const { return lines.join(u'\n').toStdString(); }
  QProcess proc;
  QStringList lines;

 private:
  QString buffer_;
};

// The built core in a fresh directory (app/ below home(), shipped data from an almost empty
// data folder), started with the switches of the tests; ready() waits for its READY line. The
// tests call the core from their own connections, so they ask it to answer every program on
// the bus (--trust-bus); a test of the core's refusals leaves that out.
class BuiltCore : public Child {
 public:
  // The core keeps what it registers (its type library) in a registry file of its own home.
  explicit BuiltCore(const QString& busAddress) : Child(busEnvironment(busAddress)) {
    QProcessEnvironment env = proc.processEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.filePath(QStringLiteral("config")));
    proc.setProcessEnvironment(env);
  }
  QString registryFile() const { return home_.filePath(QStringLiteral("config/jexui/registry.json")); }
  static bool built() { return !builtProgram(QStringLiteral("corvane")).isEmpty(); }
  QString appDir() const { return home_.filePath(QStringLiteral("app")); }
  QString dataDir() const { return home_.filePath(QStringLiteral("data")); }
  QString home() const { return home_.path(); }
  QStringList args(const QStringList& extra = {"--no-jexui", "--no-monitor", "--no-audio", "--trust-bus"}) const;
  bool startAndWait(const QStringList& extra = {"--no-jexui", "--no-monitor", "--no-audio", "--trust-bus"}) {
    start(QStringLiteral("corvane"), args(extra));
    return waitFor(QStringLiteral("READY: "), 8000);
  }
  // A core still running asked to end (":quit"), then given up to five seconds for it.
  void quit() {
    if (proc.state() != QProcess::Running) return;
    type(QStringLiteral(":quit"));
    waitEnded(5000);
  }

 private:
  QTemporaryDir home_;
};

// A command-line program run to its end: its exit code (-1 when it crashed or did not end within
// the time) and what it wrote.
struct ToolRun {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};
inline ToolRun runTool(const QString& program, const QStringList& args, int timeoutMs = 60000) {
  QProcess p;
  p.start(program, args);
  p.waitForFinished(timeoutMs);
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
          p.readAllStandardError()};
}

// True when needles occur in lines in this order (not necessarily adjacent).
bool inOrder(const QStringList& lines, const QStringList& needles);
// The file's text split at line ends (CR LF or LF), without empty lines.
QStringList fileLines(const QString& file);

}  // namespace jex::testing
