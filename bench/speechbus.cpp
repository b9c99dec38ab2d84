// The core's speech objects as the voices dialog reaches them: the built core as a process of
// its own on a private session bus.
//   BM_SliderStep: one slider step, the put of a voice's speed, until the core holds the value
//     (the put returns when the core has taken it). Counters median_ms, roundtrip_ms (the median
//     of a plain read of the same object: one round trip) and beyond_roundtrip_ms (the
//     difference, the core's own share).
//   BM_AllModes: what filling the new-voice panel's tree asks of the core: every mode's Mode,
//     LanguageID, ProductName and Gender. Counters modes and ms.
//   BM_ProfileRead: what the voices dialog reads on every showing (VoiceProfile::read(): the
//     profile's eight sources and every voice with its values), and what each speed or volume
//     command reads (readUsed()). Counters read_ms and used_ms (medians) and voices.
#include <QCoreApplication>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/benchmain.h"
#include "bench/corerig.h"
#include "dialogs/speech/voiceprofile.h"
#include "global/cglobal.h"

namespace {
using jex::bench::Clock;
using jex::bench::Rounds;

QString S(const char* s) { return QString::fromUtf8(s); }

void BM_SliderStep(benchmark::State& state) {
  jex::bench::CoreRig rig(S("bench-speech"));
  if (jex::bench::skipped(state, rig.error)) return;
  QVariantList three{3};
  const jex::Obj voice = jex::automation::toObj(rig.root.call(S("SpeechVoices.ItemByIndex"), three));
  Rounds puts(state);
  std::vector<double> reads;
  int speed = 100;
  for (auto _ : state) {
    speed = speed >= 500 ? 100 : speed + 4;
    puts.time([&] { voice.set(S("speed"), speed); });
    const auto r0 = Clock::now();
    const int held = voice.i32(S("speed"));
    reads.push_back(jex::bench::ms(Clock::now() - r0));
    if (held != speed) {
      state.SkipWithError("the core does not hold the value put");
      return;
    }
  }
  state.counters["roundtrip_ms"] = jex::bench::median(reads);
  state.counters["beyond_roundtrip_ms"] = puts.median() - jex::bench::median(reads);
}
BENCHMARK(BM_SliderStep)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

void BM_AllModes(benchmark::State& state) {
  jex::bench::CoreRig rig(S("bench-speech"));
  if (jex::bench::skipped(state, rig.error)) return;
  Rounds rounds(state);
  int count = 0;
  for (auto _ : state)
    rounds.time([&] {
      const jex::Obj modes = rig.root.obj(S("SpeechModes"));
      count = modes.count();
      for (int i = 1; i <= count; ++i) {
        QVariantList index{i};
        const jex::Obj m = jex::automation::toObj(modes.call(S("ItemByIndex"), index));
        benchmark::DoNotOptimize(m.str(S("Mode")) + m.str(S("LanguageID")) + m.str(S("ProductName")));
        benchmark::DoNotOptimize(m.i32(S("Gender")));
      }
    });
  state.counters["modes"] = count;
}
BENCHMARK(BM_AllModes)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_ProfileRead(benchmark::State& state) {
  jex::bench::CoreRig rig(S("bench-speech"));
  if (jex::bench::skipped(state, rig.error)) return;
  jex::Jex() = rig.root;
  jex::VoiceProfile profile;
  Rounds reads(state);
  std::vector<double> used;
  for (auto _ : state) {
    reads.time([&] { profile.read(); });
    const auto t0 = Clock::now();
    benchmark::DoNotOptimize(profile.readUsed());
    used.push_back(jex::bench::ms(Clock::now() - t0));
  }
  state.counters["read_ms"] = reads.median();
  state.counters["used_ms"] = jex::bench::median(used);
  state.counters["voices"] = profile.voiceCount();
  jex::Jex() = jex::Obj();
}
BENCHMARK(BM_ProfileRead)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QCoreApplication>(argc, argv); }
