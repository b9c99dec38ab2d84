// The task list against real windows on a virtual display with openbox: one process of the
// tests' X client (jex_taskclient) holds 50 windows (the task tests' desktop, taskdesktop.h).
//   Refresh/unchanged    a refresh of the 50 windows when nothing changed
//   Refresh/newTitles    a refresh after each of the 50 windows got a new title
//   HungClientStall      the task dialog runs 10 s while one client does not answer: the
//                        longest stall of the event loop at the first refresh that meets the
//                        hung client (first_stall_ms, at most HungTimeout) and afterwards
//                        (later_stall_ms)
// Counters in milliseconds; median_ms is the median of the timed refreshes.
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "bench/benchmain.h"
#include "dialogs/tasks/frmtasks.h"
#include "tests/dialogs/tasks/taskdesktop.h"

namespace {

constexpr int kWindows = 50;

using jex::bench::median;

void Refresh(benchmark::State& state) {
  if (jex::bench::skipped(state, jex::test::desktopError())) return;
  const bool newTitles = state.range(0) == 1;
  jex::test::TaskClient client;
  for (int i = 0; i < kWindows; ++i) client.open(QStringLiteral("w%1").arg(i), QStringLiteral("Fenster %1").arg(i));
  jex::cTaskList list;
  list.setHungTimeout(1000);
  (void)QTest::qWaitFor(
      [&] {
        list.Refresh();
        return list.Count() >= kWindows;
      },
      10000);
  std::vector<double> times;
  int round = 0;
  for (auto _ : state) {
    if (newTitles) {
      state.PauseTiming();
      ++round;
      for (int i = 0; i < kWindows; ++i)
        client.command(QStringLiteral("title w%1 Fenster %1 Runde %2").arg(i).arg(round));
      state.ResumeTiming();
    }
    QElapsedTimer t;
    t.start();
    list.Refresh();
    times.push_back(double(t.nsecsElapsed()) / 1e6);
  }
  state.counters["tasks"] = list.Count();
  state.counters["median_ms"] = median(times);
}
BENCHMARK(Refresh)->ArgName("newTitles")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void HungClientStall(benchmark::State& state) {
  if (jex::bench::skipped(state, jex::test::desktopError())) return;
  for (auto _ : state) {
    jex::test::TaskClient others, hung;
    for (int i = 0; i < 10; ++i) others.open(QStringLiteral("w%1").arg(i), QStringLiteral("Programm %1").arg(i));
    hung.open(QStringLiteral("h"), QStringLiteral("Hängt"));
    jex::frmTasks dialog;
    dialog.ChildLoad();
    dialog.ShowTasks();
    QTest::qWait(1500);  // the list is up
    hung.command(QStringLiteral("hang"));
    // A 1 ms timer: the gaps between its ticks are the event loop's stalls.
    double first = 0, later = 0;
    bool seenHung = false;
    QElapsedTimer clock, run;
    clock.start();
    run.start();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
      const double gap = double(clock.nsecsElapsed()) / 1e6;
      clock.restart();
      if (!seenHung) {
        first = std::max(first, gap);
        const auto rows = dialog.lvwTasks()->findItems(QStringLiteral("Hängt"), Qt::MatchExactly);
        seenHung = !rows.isEmpty() && rows.first()->text(1).startsWith(QStringLiteral("reagiert nicht"));
      } else {
        later = std::max(later, gap);
      }
    });
    tick.start(1);
    QTest::qWait(10000);
    tick.stop();
    state.counters["first_stall_ms"] = first;
    state.counters["later_stall_ms"] = later;
    state.counters["hung_seen"] = seenHung ? 1 : 0;
    dialog.hide();
  }
}
BENCHMARK(HungClientStall)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QApplication>(argc, argv); }
