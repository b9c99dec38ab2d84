// The key-binding lookup's two costs that a user notices.
//   BM_BusInitForApp: cKeyChecker.InitForApp without reload for an application with 5,000
//     bindings over the four levels, the built core its own process on a private bus (the keys
//     dialog merges again after each assignment). Counter median_ms; goal 10 ms.
//   BM_BusInitForAppForced: the same with the core reading its files again (reload forced).
//   BM_InProcessInitForApp: the same sets, the core's objects in this process.
//   BM_TranslateKey: the text of "CAP_F4|A|S" with the German language file. Counter
//     median_us per call; goal 1 µs.
#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "bench/benchmain.h"
#include "bench/bindingsets.h"
#include "bench/corerig.h"
#include "dialogs/keys/ckeychecker.h"
#include "global/cglobal.h"
#include "localisation/frmlocalizer.h"
#include "tests/support/fakecore.h"

namespace {
using jex::bench::Clock;

const QString kApp = QStringLiteral("BIGAPP");

void writeSets(const QString& appPath) { jex::bench::writeBindingSets(appPath, kApp); }

void measure(benchmark::State& state, jex::Obj root, bool force) {
  jex::cKeyChecker k(std::move(root));
  k.InitForApp(kApp, false);
  if (k.keyMap().size() < 4000) {
    state.SkipWithError("the sets were not merged");
    return;
  }
  jex::bench::Rounds rounds(state);
  for (auto _ : state) rounds.time([&] { k.InitForApp(kApp, force); });
  state.counters["codes"] = double(k.keyMap().size());
}

void busInitForApp(benchmark::State& state, bool force) {
  jex::bench::CoreRig core(QStringLiteral("bench_keychecker"));
  if (jex::bench::skipped(state, core.error)) return;
  writeSets(core.home.path() + QStringLiteral("/app/"));
  measure(state, core.root, force);
}

void BM_BusInitForApp(benchmark::State& state) { busInitForApp(state, false); }
BENCHMARK(BM_BusInitForApp)->UseManualTime()->Iterations(100)->Unit(benchmark::kMillisecond);

void BM_BusInitForAppForced(benchmark::State& state) { busInitForApp(state, true); }
BENCHMARK(BM_BusInitForAppForced)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

void BM_InProcessInitForApp(benchmark::State& state) {
  fake::CoreFixture core;
  writeSets(core.appPath());
  jex::logfile::setThreshold(0);
  measure(state, core.root, false);
}
BENCHMARK(BM_InProcessInitForApp)->UseManualTime()->Iterations(100)->Unit(benchmark::kMillisecond);

void BM_TranslateKey(benchmark::State& state) {
  jex::gGlobal().AppPath = QStringLiteral(JEX_SOURCE_DIR "/data/");
  jex::frmLocalizer().setLNG(QStringLiteral("1031"));
  jex::cKeyChecker k;
  const QString code = QStringLiteral("CAP_F4|A|S");
  std::vector<double> perCall;
  constexpr int kCalls = 1000;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (int i = 0; i < kCalls; ++i) {
      QString c = code;
      benchmark::DoNotOptimize(k.TranslateKey(c));
    }
    perCall.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / kCalls);
  }
  state.counters["median_us"] = jex::bench::median(perCall);
  jex::resetLocalizer();
  jex::resetGlobals();
}
BENCHMARK(BM_TranslateKey)->Iterations(200)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QApplication>(argc, argv); }
