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

#include "automation/dbustransport.h"
#include "bench/benchmain.h"
#include "bench/corerig.h"

namespace {
using jex::bench::Clock;
namespace bus = jex::automation::dbus;

QString S(const char* s) { return QString::fromUtf8(s); }
using jex::bench::median;
using jex::bench::ms;

void BM_TableListOneCall(benchmark::State& state) {
  jex::bench::CoreRig rig(S("bench-braille"));
  if (!rig.error.isEmpty()) {
    state.SkipWithError(rig.error.toStdString().c_str());
    return;
  }
  const jex::Obj braille = rig.root.obj(S("BrailleInterface"));
  std::vector<double> times;
  qsizetype tables = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    tables = braille.call(S("GetBrailleTableList")).toStringList().size();
    const auto t = Clock::now() - t0;
    state.SetIterationTime(std::chrono::duration<double>(t).count());
    times.push_back(ms(t));
  }
  state.counters["first_ms"] = times.empty() ? 0 : times.front();
  state.counters["later_ms"] =
      median(std::vector<double>(times.begin() + std::min<size_t>(1, times.size()), times.end()));
  state.counters["tables"] = double(tables);
}
BENCHMARK(BM_TableListOneCall)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

void BM_TableListItemByItem(benchmark::State& state) {
  jex::bench::CoreRig rig(S("bench-braille"));
  if (!rig.error.isEmpty()) {
    state.SkipWithError(rig.error.toStdString().c_str());
    return;
  }
  const jex::Obj braille = rig.root.obj(S("BrailleInterface"));
  std::vector<double> times;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    const jex::Obj tables = braille.obj(S("BrailleTranslationTables"));
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
  jex::bench::CoreRig rig(S("bench-braille"));
  if (!rig.error.isEmpty()) {
    state.SkipWithError(rig.error.toStdString().c_str());
    return;
  }
  const jex::Obj braille = rig.root.obj(S("BrailleInterface"));
  std::vector<double> times;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (const char* m : {"BrailleTranslationTable", "ActiveBraillePort", "ActiveBrailleDevice"})
      benchmark::DoNotOptimize(braille.str(S(m)));
    for (const char* m : {"BrailleOSMode", "BrailleSWMode", "BrailleStatusMode"})
      benchmark::DoNotOptimize(braille.i32(S(m)));
    const auto t = Clock::now() - t0;
    state.SetIterationTime(std::chrono::duration<double>(t).count());
    times.push_back(ms(t));
  }
  state.counters["median_ms"] = median(times);
}
BENCHMARK(BM_ShownValues)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QCoreApplication>(argc, argv); }
