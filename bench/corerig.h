// The built core as a process of its own on a private session bus, for the benchmarks that
// measure calls into it.
#pragma once

#include <QDBusConnection>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <memory>

#include "automation/dbustransport.h"

namespace jex::bench {
namespace bus = jex::automation::dbus;

// A private bus with a freshly started core on it; error tells why not. name: the bench's own
// connection name.
struct CoreRig {
  QProcess daemon, core;
  QTemporaryDir home;
  QString error, coreOut;
  std::unique_ptr<QDBusConnection> conn;
  jex::Obj root;

  explicit CoreRig(const QString& name) : name_(name) {
    daemon.start(QString::fromUtf8("dbus-daemon"),
                 {QString::fromUtf8("--session"), QString::fromUtf8("--print-address"), QString::fromUtf8("--nofork")});
    if (!daemon.waitForStarted(5000) || !daemon.waitForReadyRead(5000)) {
      error = QString::fromUtf8("no private session bus (dbus-daemon)");
      return;
    }
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromUtf8("DBUS_SESSION_BUS_ADDRESS"), address);
    env.insert(QString::fromUtf8("QT_QPA_PLATFORM"), QString::fromUtf8("offscreen"));
    core.setProcessEnvironment(env);
    const QString exe = QString::fromUtf8(JEX_BIN_DIR) + QString::fromUtf8("/corvane");
    if (!QFileInfo(exe).isExecutable()) {
      error = QString::fromUtf8("corvane is not built");
      return;
    }
    core.start(exe, {QString::fromUtf8("--appdir"), home.path() + QString::fromUtf8("/app"),
                     QString::fromUtf8("--datadir"), QString::fromUtf8(JEX_SOURCE_DIR "/data"),
                     QString::fromUtf8("--no-jexui"), QString::fromUtf8("--no-monitor"),
                     QString::fromUtf8("--no-audio"), QString::fromUtf8("--no-foreground")});
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!coreOut.contains(QString::fromUtf8("READY: ")) && std::chrono::steady_clock::now() < end) {
      core.waitForReadyRead(100);
      coreOut += QString::fromUtf8(core.readAllStandardOutput());
    }
    if (!coreOut.contains(QString::fromUtf8("READY: "))) {
      error = QString::fromUtf8("the core did not get ready");
      return;
    }
    conn = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, name_));
    root = bus::connect(QString::fromUtf8("corvane.application"), *conn);
  }
  ~CoreRig() {
    root = jex::Obj();
    for (QProcess* p : {&core, &daemon}) {
      if (p->state() == QProcess::NotRunning) continue;
      p->kill();
      p->waitForFinished(3000);
    }
    if (conn) {
      bus::detach(*conn);
      conn.reset();
      QDBusConnection::disconnectFromBus(name_);
    }
  }

 private:
  QString name_;
};

}  // namespace jex::bench
