// Cold start of JexUI with the core already running: from starting the jexui process to the
// log line "Init_Notification_Sink, READY for CMDs !". A private session bus and one core
// (corvane --no-jexui) serve every round; each round starts jexui, waits for the line, then
// ends it with SIGTERM and waits for its orderly end. The counter median_ms is the median.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <chrono>
#include <csignal>

#include <benchmark/benchmark.h>
#include "bench/benchmain.h"
#include "bench/corerig.h"

namespace {
using jex::bench::Clock;
const QByteArray kReady = "Init_Notification_Sink, READY for CMDs !\r\n";

struct Rig {
  QTemporaryDir dir;
  jex::bench::PrivateBus bus;
  QProcess core;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  QString error;
  QString logFile() const { return dir.filePath(QStringLiteral("log/jexui.log")); }

  Rig() {
    QDir().mkpath(dir.filePath(QStringLiteral("app")));
    QDir().mkpath(dir.filePath(QStringLiteral("log")));
    QFile ini(dir.filePath(QStringLiteral("app/JEXUI.INI")));
    ini.open(QIODevice::WriteOnly);
    ini.write("[SERVICE]\r\nWriteLogFile=5\r\n");
    ini.close();
    if (!(error = bus.error).isEmpty()) return;
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("JEXUI_LOGDIR"), dir.filePath(QStringLiteral("log")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    core.setProcessEnvironment(env);
    core.start(QStringLiteral(JEX_BIN_DIR "/corvane"),
               {QStringLiteral("--no-jexui"), QStringLiteral("--no-monitor"), QStringLiteral("--no-audio"),
                QStringLiteral("--no-foreground"), QStringLiteral("--appdir"), dir.filePath(QStringLiteral("app"))});
    // The core prints "READY: ..." once its object is on the bus.
    const auto until = Clock::now() + std::chrono::seconds(20);
    QByteArray out;
    while (!out.contains("READY") && Clock::now() < until && core.state() != QProcess::NotRunning) {
      core.waitForReadyRead(200);
      out += core.readAllStandardOutput();
    }
    if (!out.contains("READY")) error = QStringLiteral("corvane did not become ready (is it built?)");
  }
  ~Rig() {
    core.closeWriteChannel();
    core.terminate();
    if (!core.waitForFinished(5000)) core.kill();
  }
};

bool logReady(const QString& file) {
  QFile f(file);
  return f.open(QIODevice::ReadOnly) && f.readAll().contains(kReady);
}

void BM_ColdStartToReady(benchmark::State& state) {
  static Rig rig;
  if (jex::bench::skipped(state, rig.error)) return;
  jex::bench::Rounds rounds(state);
  for (auto _ : state) {
    QFile::remove(rig.logFile());
    QProcess ui;
    ui.setProcessEnvironment(rig.env);
    const bool ready = rounds.time(
        [&] {
          const auto t0 = Clock::now();
          ui.start(QStringLiteral(JEX_BIN_DIR "/jexui"), {});
          bool ready = false;
          while (!(ready = logReady(rig.logFile())) && Clock::now() - t0 < std::chrono::seconds(10) &&
                 ui.state() != QProcess::NotRunning)
            QThread::usleep(300);
          return ready;
        },
        "jexui did not reach READY");
    if (!ready) {
      ui.kill();
      ui.waitForFinished(3000);
      return;
    }
    ::kill(pid_t(ui.processId()), SIGTERM);
    if (!ui.waitForFinished(5000)) ui.kill();
    ui.waitForFinished(1000);
  }
}
BENCHMARK(BM_ColdStartToReady)->UseManualTime()->Iterations(25)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QCoreApplication>(argc, argv); }
