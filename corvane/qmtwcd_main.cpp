// qmtwcd: the core's launcher. Starts corvane (from its own directory, with the same
// arguments, detached) when nobody owns the bus name "corvane.application"; exits 0 either way.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <cstdio>

#include "automation/dbustransport.h"
#include "corvane/engine/corvaneapp.h"
#include "corvane/engine/hostplatform.h"

int main(int argc, char** argv) {
  corvane::ignoreBrokenPipes();
  QCoreApplication app(argc, argv);
  const QString name = QString::fromLatin1(corvane::kBusName);
  const QDBusConnection conn = QDBusConnection::sessionBus();
  if (!conn.isConnected()) {
    std::fprintf(stderr, "qmtwcd: no session bus: %s\n", qPrintable(conn.lastError().message()));
    return 1;
  }
  if (jex::automation::dbus::isNameOwned(name, conn)) {
    std::puts("qmtwcd: corvane runs already");
    return 0;
  }
  const QString dir = QCoreApplication::applicationDirPath();
  if (!QProcess::startDetached(dir + QStringLiteral("/corvane"), QCoreApplication::arguments().mid(1), dir)) {
    std::fprintf(stderr, "qmtwcd: cannot start %s/corvane\n", qPrintable(dir));
    return 1;
  }
  // Give the core a moment to take its name, so that whoever called the launcher finds it.
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 5000 && !jex::automation::dbus::isNameOwned(name, conn)) QThread::msleep(50);
  std::puts("qmtwcd: corvane started");
  return 0;
}
