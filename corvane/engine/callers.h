// Who may call the core's objects over the bus. The core serves JexUI, not the session: every
// call over the bus comes from a connection that is either
//   - JexUI's: the owner of "JexUI.UI_Application" that the core started itself, or that runs
//     the JexUI program installed beside the core (JexUI started the core, or was started again
//     while the core ran);
//   - a tool the core was told to trust: the owner of a bus name listed in [Security]
//     TrustedCallers of corvane.ini (names separated by spaces or commas), or any connection
//     when the core was started with --trust-bus (tests and tools that drive it).
// Everybody else gets Error 70 (see automation/dbustransport.h, setCallerGate). The core's own
// console and its scripts run in the process and are not calls over the bus.
#pragma once

#include <QDBusConnection>
#include <QSet>
#include <QString>
#include <QStringList>

namespace corvane {

class CallerPolicy {
 public:
  // jexUiProgram: the JexUI program beside the core; trustAll: --trust-bus.
  CallerPolicy(QDBusConnection conn, QString jexUiProgram, bool trustAll, QStringList trustedNames);

  // Installs the policy as the gate of the connection's objects.
  void install();
  bool allows(const QString& peer);
  // The process the core has just started as JexUI.
  void startedJexUi(qint64 pid) { startedPid_ = pid; }
  // JexUI's connection once it has called (empty before).
  const QString& jexUi() const { return jexUi_; }

  static QStringList parseNames(const QString& text);

 private:
  bool isJexUi(const QString& peer);

  QDBusConnection conn_;
  QString program_;
  bool trustAll_;
  QStringList names_;
  qint64 startedPid_ = 0;
  QString jexUi_;
  QSet<QString> trusted_;  // unique names are never reused on a bus
};

}  // namespace corvane
