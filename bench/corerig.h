// The built core as a process of its own on a private session bus, for the benchmarks that
// measure calls into it or commands typed on its console.
#pragma once

#include <QDBusConnection>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <memory>

#include "automation/dbustransport.h"

namespace jex::bench {
namespace bus = jex::automation::dbus;

// A private session bus (dbus-daemon); error tells why there is none.
struct PrivateBus {
  QProcess daemon;
  QString address, error;

  PrivateBus() {
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--print-address"), QStringLiteral("--nofork")});
    if (daemon.waitForStarted(5000) && daemon.waitForReadyRead(5000))
      address = QString::fromUtf8(daemon.readLine()).trimmed();
    if (address.isEmpty()) error = QStringLiteral("no private session bus (dbus-daemon)");
  }
  ~PrivateBus() {
    if (daemon.state() == QProcess::NotRunning) return;
    daemon.kill();
    daemon.waitForFinished(3000);
  }
};

// A private bus with a freshly started core on it and the bench's own connection to the core
// (connection: its name); error tells why not. The core reads the shipped data/ folder, or with
// shippedData false a folder of its own with an empty German language folder.
struct CoreRig {
  PrivateBus bus;
  QProcess core;
  QTemporaryDir home, data;
  QString error, coreOut;
  std::unique_ptr<QDBusConnection> conn;
  jex::Obj root;

  explicit CoreRig(const QString& connection, bool shippedData = true) : name_(connection) {
    if (!(error = bus.error).isEmpty()) return;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    core.setProcessEnvironment(env);
    const QString exe = QStringLiteral(JEX_BIN_DIR "/corvane");
    if (!QFileInfo(exe).isExecutable()) {
      error = QStringLiteral("corvane is not built");
      return;
    }
    if (!shippedData) QDir(data.path()).mkpath(QStringLiteral("LNG/1031"));
    core.start(exe, {QStringLiteral("--appdir"), home.path() + QStringLiteral("/app"), QStringLiteral("--datadir"),
                     shippedData ? QStringLiteral(JEX_SOURCE_DIR "/data") : data.path(), QStringLiteral("--no-jexui"),
                     QStringLiteral("--no-monitor"), QStringLiteral("--no-audio"), QStringLiteral("--no-foreground"),
                     QStringLiteral("--trust-bus")});
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!coreOut.contains(QStringLiteral("READY: ")) && std::chrono::steady_clock::now() < end) {
      core.waitForReadyRead(100);
      coreOut += QString::fromUtf8(core.readAllStandardOutput());
    }
    if (!coreOut.contains(QStringLiteral("READY: "))) {
      error = QStringLiteral("the core did not get ready");
      return;
    }
    conn = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(bus.address, name_));
    root = bus::connect(QStringLiteral("corvane.application"), *conn);
  }
  // Dates the files the core copied into its folder a minute back, as an installation's files
  // are: a file changed in the last seconds is read again at every use, not taken from the cache.
  void settleFiles() {
    QDirIterator it(home.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      QFile f(it.next());
      if (f.open(QIODevice::ReadWrite))
        f.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime);
    }
  }
  ~CoreRig() {
    root = jex::Obj();
    if (core.state() != QProcess::NotRunning) {
      core.kill();
      core.waitForFinished(3000);
    }
    if (conn) {
      bus::detach(*conn);
      conn.reset();
      QDBusConnection::disconnectFromBus(name_);
    }
  }

  // Types lines on the core's console, as a user does.
  void type(const QByteArray& lines) {
    core.write(lines);
    core.waitForBytesWritten(1000);
  }

 private:
  QString name_;
};

}  // namespace jex::bench
