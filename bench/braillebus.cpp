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
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/benchmain.h"
#include "bench/corerig.h"

namespace {
using jex::bench::Rounds;

QString S(const char* s) { return QString::fromUtf8(s); }

// Times round(braille) in each iteration, braille being the BrailleInterface of a core started
// for the benchmark; false when the core did not come up (the benchmark is skipped).
template <class Round>
bool timeRounds(benchmark::State& state, Rounds& rounds, Round round) {
  jex::bench::CoreRig rig(S("bench-braille"));
  if (jex::bench::skipped(state, rig.error)) return false;
  const jex::Obj braille = rig.root.obj(S("BrailleInterface"));
  for (auto _ : state) rounds.time([&] { round(braille); });
  return true;
}

void BM_TableListOneCall(benchmark::State& state) {
  Rounds rounds(state);
  qsizetype tables = 0;
  if (!timeRounds(state, rounds, [&](const jex::Obj& braille) {
        tables = braille.call(S("GetBrailleTableList")).toStringList().size();
      }))
    return;
  const std::vector<double>& times = rounds.times();
  state.counters["first_ms"] = times.empty() ? 0 : times.front();
  state.counters["later_ms"] =
      jex::bench::median(std::vector<double>(times.begin() + std::min<size_t>(1, times.size()), times.end()));
  state.counters["tables"] = double(tables);
}
BENCHMARK(BM_TableListOneCall)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

void BM_TableListItemByItem(benchmark::State& state) {
  Rounds rounds(state);
  if (!timeRounds(state, rounds, [](const jex::Obj& braille) {
        const jex::Obj tables = braille.obj(S("BrailleTranslationTables"));
        const int n = tables.count();
        for (int i = 1; i <= n; ++i) benchmark::DoNotOptimize(tables.item(i));
      }))
    return;
  state.counters["ms"] = rounds.median();
}
BENCHMARK(BM_TableListItemByItem)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_ShownValues(benchmark::State& state) {
  Rounds rounds(state);
  if (!timeRounds(state, rounds, [](const jex::Obj& braille) {
        for (const char* m : {"BrailleTranslationTable", "ActiveBraillePort", "ActiveBrailleDevice"})
          benchmark::DoNotOptimize(braille.str(S(m)));
        for (const char* m : {"BrailleOSMode", "BrailleSWMode", "BrailleStatusMode"})
          benchmark::DoNotOptimize(braille.i32(S(m)));
      }))
    return;
}
BENCHMARK(BM_ShownValues)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QCoreApplication>(argc, argv); }
