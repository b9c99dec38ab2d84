#include "core/automation/dbustransport.h"

namespace jex::automation::dbus {

namespace {
int g_timeout = 3000;
}

bool publish(const QString&, TargetPtr, QDBusConnection) { return false; }
void unpublish(const QString&, QDBusConnection) {}
bool isNameOwned(const QString& busName, QDBusConnection conn) {
  return conn.isConnected() && conn.interface() && conn.interface()->isServiceRegistered(busName).value();
}
Obj connect(const QString& busName, QDBusConnection) {
  throw Error(err::CannotCreateObject, QStringLiteral("Cannot create object ") + busName);
}
void setCallTimeout(int ms) { g_timeout = ms; }
int callTimeout() { return g_timeout; }

Bridge& Bridge::instance() {
  static Bridge b;
  return b;
}
int Bridge::exportedCount(const QDBusConnection&) const { return 0; }

}  // namespace jex::automation::dbus
