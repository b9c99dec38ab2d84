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
#include <algorithm>
#include <chrono>
#include <csignal>
#include <vector>

#include <benchmark/benchmark.h>
#include "bench/benchmain.h"

namespace {
using jex::bench::Clock;
const QByteArray kReady = "Init_Notification_Sink, READY for CMDs !\r\n";

struct Rig {
  QTemporaryDir dir;
  QProcess bus, core;
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
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    if (!bus.waitForStarted(5000) || !bus.waitForReadyRead(5000)) {
      error = QStringLiteral("dbus-daemon does not start");
      return;
    }
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromUtf8(bus.readLine()).trimmed());
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
    bus.terminate();
    bus.waitForFinished(3000);
  }
};

bool logReady(const QString& file) {
  QFile f(file);
  return f.open(QIODevice::ReadOnly) && f.readAll().contains(kReady);
}

void BM_ColdStartToReady(benchmark::State& state) {
  static Rig rig;
  if (!rig.error.isEmpty()) {
    state.SkipWithError(rig.error.toStdString().c_str());
    return;
  }
  std::vector<double> ms;
  for (auto _ : state) {
    QFile::remove(rig.logFile());
    QProcess ui;
    ui.setProcessEnvironment(rig.env);
    const auto t0 = Clock::now();
    ui.start(QStringLiteral(JEX_BIN_DIR "/jexui"), {});
    bool ready = false;
    while (!(ready = logReady(rig.logFile())) && Clock::now() - t0 < std::chrono::seconds(10) &&
           ui.state() != QProcess::NotRunning)
      QThread::usleep(300);
    const std::chrono::duration<double> took = Clock::now() - t0;
    if (!ready) {
      state.SkipWithError("jexui did not reach READY");
      ui.kill();
      ui.waitForFinished(3000);
      return;
    }
    state.SetIterationTime(took.count());
    ms.push_back(took.count() * 1000.0);
    ::kill(pid_t(ui.processId()), SIGTERM);
    if (!ui.waitForFinished(5000)) ui.kill();
    ui.waitForFinished(1000);
  }
  std::sort(ms.begin(), ms.end());
  if (!ms.empty()) state.counters["median_ms"] = ms[ms.size() / 2];
}
BENCHMARK(BM_ColdStartToReady)->UseManualTime()->Iterations(25)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QCoreApplication>(argc, argv); }
