// The main of every benchmark program: a Qt application of the kind the benchmark needs (on the
// offscreen platform unless QT_QPA_PLATFORM names another), then Google Benchmark's run; and
// what the benchmarks share to take their time: the clock, the rounds of a benchmark that times
// itself, skipping with a reason, and waiting in the event loop.
#pragma once

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <chrono>
#include <type_traits>
#include <vector>

namespace jex::bench {

using Clock = std::chrono::steady_clock;
inline double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }
// The value below which percent of the values lie (the upper one where it falls between two); 0
// for none.
inline double percentile(std::vector<double> v, int percent) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, v.size() * size_t(percent) / 100)];
}
// The middle value (the upper one of an even count); 0 for none.
inline double median(std::vector<double> v) { return percentile(std::move(v), 50); }

// Skips the benchmark for why, unless why is empty; true when it did.
inline bool skipped(benchmark::State& state, const QString& why) {
  if (why.isEmpty()) return false;
  state.SkipWithError(why.toStdString().c_str());
  return true;
}

// Runs the event loop until done() or until timeoutMs have passed; the longest single turn of
// the loop in milliseconds, -1 on time-out.
template <class Done>
double spin(Done done, int timeoutMs = 20000) {
  double longest = 0;
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (Clock::now() > end) return -1;
    const auto turn = Clock::now();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    longest = std::max(longest, ms(Clock::now() - turn));
  }
  return longest;
}

// The rounds of a benchmark that takes its own time (UseManualTime): each round's time is the
// iteration's time and is kept, in milliseconds, for the counters.
class Rounds {
 public:
  explicit Rounds(benchmark::State& state) : state_(state) {}
  // Every timed benchmark reports the median and the 90th percentile of its rounds.
  ~Rounds() {
    if (times_.empty()) return;
    state_.counters["median_ms"] = median();
    state_.counters["p90_ms"] = percentile(times_, 90);
  }
  Rounds(const Rounds&) = delete;
  Rounds& operator=(const Rounds&) = delete;

  // Runs round() and counts its time. A round that returns false is not counted: the benchmark
  // is skipped for why, and time() returns false.
  template <class Round>
  bool time(Round&& round, const char* why = "a round failed") {
    const auto t0 = Clock::now();
    if constexpr (std::is_void_v<std::invoke_result_t<Round&>>) {
      round();
    } else if (!round()) {
      state_.SkipWithError(why);
      return false;
    }
    add(Clock::now() - t0);
    return true;
  }
  // Counts a round timed by the caller.
  void add(Clock::duration t) {
    state_.SetIterationTime(std::chrono::duration<double>(t).count());
    times_.push_back(ms(t));
  }

  const std::vector<double>& times() const { return times_; }
  double median() const { return bench::median(times_); }
  double total() const {
    double sum = 0;
    for (double t : times_) sum += t;
    return sum;
  }

 private:
  benchmark::State& state_;
  std::vector<double> times_;
};

// before, where given, runs first: a desktop of the benchmark's own, made before the application.
template <class Application>
int run(int argc, char** argv, void (*before)(int, char**) = nullptr) {
  if (before) before(argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  Application app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace jex::bench
