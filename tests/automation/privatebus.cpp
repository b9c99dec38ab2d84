#include "privatebus.h"

#include <gtest/gtest.h>

#include "core/automation/dbustransport.h"

namespace jex::testing {

namespace {
class StopBus : public ::testing::Environment {
 public:
  void TearDown() override { PrivateBus::instance().stop(); }
};
[[maybe_unused]] ::testing::Environment* const g_stopBus = ::testing::AddGlobalTestEnvironment(new StopBus);
}  // namespace

PrivateBus& PrivateBus::instance() {
  static PrivateBus bus;
  return bus;
}

PrivateBus::PrivateBus() {
  daemon_.setProgram(QStringLiteral("dbus-daemon"));
  daemon_.setArguments({QStringLiteral("--session"), QStringLiteral("--print-address"), QStringLiteral("--nofork")});
  daemon_.start(QIODevice::ReadOnly);
  if (!daemon_.waitForStarted(5000)) {
    error_ = QStringLiteral("dbus-daemon could not be started: ") + daemon_.errorString();
    return;
  }
  while (!daemon_.canReadLine() && daemon_.waitForReadyRead(5000)) {
  }
  address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
  if (address_.isEmpty()) error_ = QStringLiteral("dbus-daemon printed no address");
}

PrivateBus::~PrivateBus() { stop(); }

void PrivateBus::stop() {
  if (daemon_.state() == QProcess::NotRunning) return;
  daemon_.kill();
  daemon_.waitForFinished(2000);
}

QDBusConnection PrivateBus::connect(const QString& role) {
  return QDBusConnection::connectToBus(address_, QStringLiteral("jex-test-%1-%2").arg(role).arg(++serial_));
}

void PrivateBus::disconnect(QDBusConnection& conn) {
  const QString name = conn.name();
  jex::automation::dbus::detach(conn);
  conn = QDBusConnection(QString());
  QDBusConnection::disconnectFromBus(name);
}

}  // namespace jex::testing
