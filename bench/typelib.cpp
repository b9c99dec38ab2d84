// Reading a type library into the model: a library of 500 types (enums, records, interfaces
// with their members, coclasses) that widl made from IDL the build wrote, read whole from its
// file. The median of the rounds is reported as "median_ms".
#include <QCoreApplication>
#include <QFileInfo>

#include "bench/benchmain.h"
#include "platform/typelibfile.h"

namespace {

void BM_ReadLibraryOf500Types(benchmark::State& state) {
  const QString file = QStringLiteral(JEX_BENCH_TYPELIB);
  if (jex::bench::skipped(state, QFileInfo::exists(file) ? QString() : QStringLiteral("no library (widl missing)")))
    return;
  std::vector<double> rounds;
  qsizetype classes = 0;
  for (auto _ : state) {
    const auto start = jex::bench::Clock::now();
    const jex::platform::TypeLibRead read = jex::platform::readTypeLibrary(file);
    rounds.push_back(jex::bench::ms(jex::bench::Clock::now() - start));
    if (!read.ok) {
      state.SkipWithError(read.error.toStdString().c_str());
      return;
    }
    classes = read.library.classes.size();
    benchmark::DoNotOptimize(classes);
  }
  state.counters["median_ms"] = jex::bench::median(rounds);
  state.counters["classes"] = double(classes);
  state.counters["bytes"] = double(QFileInfo(file).size());
}
BENCHMARK(BM_ReadLibraryOf500Types)->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QCoreApplication>(argc, argv); }
