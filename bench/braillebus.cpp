// The core's Braille tables as the device dialog reaches them: the built core as a process of
// its own on a private session bus.
//   BM_TableListOneCall: GetBrailleTableList, all table paths in one call. The first
//     iteration is the core's first call (liblouis indexes its tables then): counters first_ms,
//     later_ms (median of the later calls) and tables.
//   BM_TableListItemByItem: the same list read as Count and one Item call per table, for
//     comparison. Counter ms.
//   BM_ShownValues: what the device dialog reads at every activation (table, port, device and
//     the three modes). Counter median_ms.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/automation/dbustransport.h"
#include "bench/benchmain.h"

namespace {
using Clock = std::chrono::steady_clock;
namespace bus = jex::automation::dbus;

QString S(const char* s) { return QString::fromUtf8(s); }
double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }
double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// A private bus with a freshly started core on it.
struct Rig {
  QProcess daemon, core;
  QTemporaryDir home;
  QString error, coreOut;
  std::unique_ptr<QDBusConnection> conn;
  jex::Obj braille;

  Rig() {
    daemon.start(S("dbus-daemon"), {S("--session"), S("--print-address"), S("--nofork")});
    if (!daemon.waitForStarted(5000) || !daemon.waitForReadyRead(5000)) {
      error = S("no private session bus (dbus-daemon)");
      return;
    }
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(S("DBUS_SESSION_BUS_ADDRESS"), address);
    env.insert(S("QT_QPA_PLATFORM"), S("offscreen"));
    core.setProcessEnvironment(env);
    const QString exe = S(JEX_BIN_DIR) + S("/corvane");
    if (!QFileInfo(exe).isExecutable()) {
      error = S("corvane is not built");
      return;
    }
    core.start(exe, {S("--appdir"), home.path() + S("/app"), S("--datadir"), S(JEX_SOURCE_DIR "/data"), S("--no-jexui"),
                     S("--no-monitor"), S("--no-audio"), S("--no-foreground")});
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (!coreOut.contains(S("READY: ")) && Clock::now() < end) {
      core.waitForReadyRead(100);
      coreOut += QString::fromUtf8(core.readAllStandardOutput());
    }
    if (!coreOut.contains(S("READY: "))) {
      error = S("the core did not get ready");
      return;
    }
    conn = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, S("bench-braille")));
    braille = bus::connect(S("corvane.application"), *conn).obj(S("BrailleInterface"));
  }
  ~Rig() {
    braille = jex::Obj();
    for (QProcess* p : {&core, &daemon}) {
      if (p->state() == QProcess::NotRunning) continue;
      p->kill();
      p->waitForFinished(3000);
    }
    if (conn) {
      bus::detach(*conn);
      conn.reset();
      QDBusConnection::disconnectFromBus(S("bench-braille"));
    }
  }
};

void BM_TableListOneCall(benchmark::State& state) {
  Rig rig;
  if (!rig.error.isEmpty()) {
    state.SkipWithError(rig.error.toStdString().c_str());
    return;
  }
  std::vector<double> times;
  qsizetype tables = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    tables = rig.braille.call(S("GetBrailleTableList")).toStringList().size();
    const auto t = Clock::now() - t0;
    state.SetIterationTime(std::chrono::duration<double>(t).count());
    times.push_back(ms(t));
  }
  state.counters["first_ms"] = times.empty() ? 0 : times.front();
  state.counters["later_ms"] = median(std::vector<double>(times.begin() + std::min<size_t>(1, times.size()), times.end()));
  state.counters["tables"] = double(tables);
}
BENCHMARK(BM_TableListOneCall)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

void BM_TableListItemByItem(benchmark::State& state) {
  Rig rig;
  if (!rig.error.isEmpty()) {
    state.SkipWithError(rig.error.toStdString().c_str());
    return;
  }
  std::vector<double> times;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    const jex::Obj tables = rig.braille.obj(S("BrailleTranslationTables"));
    const int n = tables.count();
    for (int i = 1; i <= n; ++i) benchmark::DoNotOptimize(tables.item(i));
    const auto t = Clock::now() - t0;
    state.SetIterationTime(std::chrono::duration<double>(t).count());
    times.push_back(ms(t));
  }
  state.counters["ms"] = median(times);
}
BENCHMARK(BM_TableListItemByItem)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_ShownValues(benchmark::State& state) {
  Rig rig;
  if (!rig.error.isEmpty()) {
    state.SkipWithError(rig.error.toStdString().c_str());
    return;
  }
  std::vector<double> times;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (const char* m : {"BrailleTranslationTable", "ActiveBraillePort", "ActiveBrailleDevice"})
      benchmark::DoNotOptimize(rig.braille.str(S(m)));
    for (const char* m : {"BrailleOSMode", "BrailleSWMode", "BrailleStatusMode"}) benchmark::DoNotOptimize(rig.braille.i32(S(m)));
    const auto t = Clock::now() - t0;
    state.SetIterationTime(std::chrono::duration<double>(t).count());
    times.push_back(ms(t));
  }
  state.counters["median_ms"] = median(times);
}
BENCHMARK(BM_ShownValues)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QCoreApplication>(argc, argv); }
