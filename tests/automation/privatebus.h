// A private session bus for the tests of this area: one dbus-daemon for the whole test
// executable, started on first use and ended after the last test.
#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>

namespace jex::testing {

class PrivateBus {
 public:
  static PrivateBus& instance();
  ~PrivateBus();
  bool ok() const { return !address_.isEmpty(); }
  const QString& error() const { return error_; }
  const QString& address() const { return address_; }
  // A new connection to the bus under a fresh connection name.
  QDBusConnection connect(const QString& role);
  // Lets the transport drop the connection and closes it, as if its process had ended.
  static void disconnect(QDBusConnection& conn);
  void stop();

 private:
  PrivateBus();
  QProcess daemon_;
  QString address_;
  QString error_;
  int serial_ = 0;
};

}  // namespace jex::testing
