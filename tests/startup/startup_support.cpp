#include "startup_support.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QTest>

#include "core/automation/dbustransport.h"

namespace jex::testing {

SessionBus::SessionBus() {
  daemon_.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
  if (!daemon_.waitForStarted(5000)) {
    error_ = QStringLiteral("dbus-daemon cannot start: ") + daemon_.errorString();
    return;
  }
  for (int i = 0; i < 50 && !daemon_.canReadLine(); ++i) daemon_.waitForReadyRead(100);
  address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
  if (address_.isEmpty()) error_ = QStringLiteral("dbus-daemon printed no address");
}

SessionBus::~SessionBus() {
  closeConnection();
  daemon_.terminate();
  if (!daemon_.waitForFinished(3000)) daemon_.kill();
  daemon_.waitForFinished(1000);
}

void SessionBus::closeConnection() {
  if (connName_.isEmpty()) return;
  QDBusConnection::disconnectFromBus(connName_);
  connName_.clear();
}

QDBusConnection SessionBus::connection() {
  static int serial = 0;
  if (connName_.isEmpty()) {
    connName_ = QStringLiteral("startup-test-%1").arg(++serial);
    QDBusConnection::connectToBus(address_, connName_);
  }
  return QDBusConnection(connName_);
}

bool SessionBus::waitForName(const QString& name, bool owned, int ms) {
  QDBusConnection c = connection();
  return QTest::qWaitFor([&] { return automation::dbus::isNameOwned(name, c) == owned; }, ms);
}

qint64 SessionBus::ownerPid(const QString& name) {
  QDBusConnection c = connection();
  if (!c.interface()) return 0;
  const QDBusReply<uint> pid = c.interface()->servicePid(name);
  return pid.isValid() ? qint64(pid.value()) : 0;
}

World::World() {
  QDir().mkpath(appPath());
  QDir().mkpath(logDir());
}

QStringList World::logLines() const {
  QFile f(logFile());
  if (!f.open(QIODevice::ReadOnly)) return {};
  QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

void World::writeIni(const QByteArray& text) const {
  QFile f(iniFile());
  f.open(QIODevice::WriteOnly | QIODevice::Truncate);
  f.write(text);
}

QProcessEnvironment World::environment(const SessionBus& bus) const {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
  env.insert(QStringLiteral("JEXUI_LOGDIR"), logDir());
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path() + QStringLiteral("/config"));
  env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path() + QStringLiteral("/data"));
  env.remove(QStringLiteral("DISPLAY"));
  return env;
}

QString binDir() {
  const QString fromEnv = qEnvironmentVariable("JEX_BINARY_DIR");
  return fromEnv.isEmpty() ? QStringLiteral(JEX_BIN_DIR) : fromEnv + QStringLiteral("/bin");
}

std::unique_ptr<QProcess> startJexUi(const QProcessEnvironment& env) {
  auto p = std::make_unique<QProcess>();
  p->setProcessEnvironment(env);
  p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  p->start(binDir() + QStringLiteral("/jexui"), {});
  p->waitForStarted(5000);
  return p;
}

bool waitEnded(QProcess& p, int ms) {
  return QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, ms);
}

bool inOrder(const QStringList& lines, const QStringList& needles) {
  qsizetype at = 0;
  for (const QString& n : needles) {
    while (at < lines.size() && lines[at] != n) ++at;
    if (at == lines.size()) return false;
    ++at;
  }
  return true;
}

bool waitForLine(const World& w, const QString& line, int ms) {
  return QTest::qWaitFor([&] { return w.logLines().contains(line); }, ms);
}

}  // namespace jex::testing
