#include "processes.h"

#include <gtest/gtest.h>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include "automation/dbustransport.h"

namespace jex::testing {

SessionBus::SessionBus() {
  daemon_.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")},
                QIODevice::ReadOnly);
  if (!daemon_.waitForStarted(5000)) {
    error_ = QStringLiteral("dbus-daemon cannot start: ") + daemon_.errorString();
    return;
  }
  while (!daemon_.canReadLine() && daemon_.waitForReadyRead(5000)) {
  }
  address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
  if (address_.isEmpty()) error_ = QStringLiteral("dbus-daemon printed no address");
}

SessionBus& SessionBus::shared() {
  struct Stop : ::testing::Environment {
    void TearDown() override { SessionBus::shared().stop(); }
  };
  static SessionBus* bus = [] {
    ::testing::AddGlobalTestEnvironment(new Stop);
    return new SessionBus;
  }();
  return *bus;
}

void SessionBus::stop() {
  if (!own_.name().isEmpty()) disconnect(own_);
  if (daemon_.state() == QProcess::NotRunning) return;
  daemon_.kill();
  daemon_.waitForFinished(2000);
}

QDBusConnection SessionBus::connect(const QString& role) {
  static int serial = 0;
  return QDBusConnection::connectToBus(address_, QStringLiteral("jex-test-%1-%2").arg(role).arg(++serial));
}

void SessionBus::disconnect(QDBusConnection& conn) {
  const QString name = conn.name();
  automation::dbus::detach(conn);
  conn = QDBusConnection(QString());
  QDBusConnection::disconnectFromBus(name);
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

QString binDir() {
  const QString fromEnv = qEnvironmentVariable("JEX_BINARY_DIR");
  return fromEnv.isEmpty() ? QStringLiteral(JEX_BIN_DIR) : fromEnv + QStringLiteral("/bin");
}

QString builtProgram(const QString& name) {
  const QString path = binDir() + u'/' + name;
  return QFileInfo(path).isExecutable() ? path : QString();
}

QProcessEnvironment busEnvironment(const QString& busAddress) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.remove(QStringLiteral("DISPLAY"));
  return env;
}

Child::Child(const QProcessEnvironment& env) {
  proc.setProcessEnvironment(env);
  proc.setProcessChannelMode(QProcess::MergedChannels);
  QObject::connect(&proc, &QProcess::readyReadStandardOutput, [this] {
    buffer_ += QString::fromUtf8(proc.readAllStandardOutput());
    for (qsizetype nl; (nl = buffer_.indexOf(u'\n')) >= 0; buffer_.remove(0, nl + 1)) lines << buffer_.left(nl);
  });
}

Child::~Child() {
  if (proc.state() == QProcess::NotRunning) return;
  proc.kill();
  proc.waitForFinished(3000);
}

void Child::start(const QString& program, const QStringList& args) {
  proc.start(program.contains(u'/') ? program : binDir() + u'/' + program, args);
  proc.waitForStarted(5000);
}

QStringList BuiltCore::args(const QStringList& extra) const {
  QDir().mkpath(dataDir() + QStringLiteral("/LNG/1031"));
  return QStringList{QStringLiteral("--appdir"), appDir(), QStringLiteral("--datadir"), dataDir()} + extra;
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

QStringList fileLines(const QString& file) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll()).remove(u'\r').split(u'\n', Qt::SkipEmptyParts);
}

}  // namespace jex::testing
