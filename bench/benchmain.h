// The main of every benchmark program: a Qt application of the kind the benchmark needs (on the
// offscreen platform unless QT_QPA_PLATFORM names another), then Google Benchmark's run.
#pragma once

#include <benchmark/benchmark.h>

#include <QtGlobal>

namespace jex::bench {

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
