// The main of every benchmark program: a Qt application of the kind the benchmark needs (on the
// offscreen platform unless QT_QPA_PLATFORM names another), then Google Benchmark's run; and
// the time helpers the benchmarks share.
#pragma once

#include <benchmark/benchmark.h>

#include <QtGlobal>
#include <algorithm>
#include <chrono>
#include <vector>

namespace jex::bench {

using Clock = std::chrono::steady_clock;
inline double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }
// The middle value (the upper one of an even count); 0 for none.
inline double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

template <class Application>
int run(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  Application app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace jex::bench
