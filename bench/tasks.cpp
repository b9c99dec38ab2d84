// The task list against real windows on a virtual display with openbox: one process of the
// tests' X client (jex_taskclient) holds 50 windows (the task tests' desktop, taskdesktop.h).
//   Refresh/unchanged    a refresh of the 50 windows when nothing changed
//   Refresh/newTitles    a refresh after each of the 50 windows got a new title
//   Crowd                300 windows, ten of which never answer, with a real Qt and GTK
//                        window among them, while the task dialog runs (see below)
// Counters in milliseconds; median_ms is the median of the timed refreshes.
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
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

// 300 windows on the desktop, ten of them in a client that never answers, and a real Qt and a
// real GTK window; the task dialog runs 6 s. A toggle of a top-level window (what TOGGMEN does
// to the main window) is queued every 10 ms; toggle_max_ms is the longest it waited to take
// effect, max_stall_ms the longest stall of the event loop; qt_running and gtk_running say
// whether the dialog lists those windows as running at the end.
void Crowd(benchmark::State& state) {
  if (jex::bench::skipped(state, jex::test::desktopError())) return;
  for (auto _ : state) {
    jex::test::TaskClient crowd, hung;
    for (int i = 0; i < 288; ++i) crowd.open(QStringLiteral("w%1").arg(i), QStringLiteral("Programm %1").arg(i));
    for (int i = 0; i < 10; ++i) hung.open(QStringLiteral("h%1").arg(i), QStringLiteral("Hängt %1").arg(i));
    hung.command(QStringLiteral("hang"));
    jex::test::ToolkitWindow qt(jex::test::ToolkitWindow::Qt, QStringLiteral("Qt Fenster")),
        gtk(jex::test::ToolkitWindow::Gtk, QStringLiteral("GTK Fenster"));
    jex::frmTasks dialog;
    dialog.ChildLoad();
    dialog.ShowTasks();
    QWidget mainWindow;
    mainWindow.show();
    double stall = 0, toggle = 0;
    QElapsedTimer clock;
    clock.start();
    QTimer tick, toggler;
    QObject::connect(&tick, &QTimer::timeout, [&] {
      stall = std::max(stall, double(clock.nsecsElapsed()) / 1e6);
      clock.restart();
    });
    QObject::connect(&toggler, &QTimer::timeout, [&] {
      QElapsedTimer queued;
      queued.start();
      QMetaObject::invokeMethod(
          &mainWindow,
          [&, queued] {
            mainWindow.setVisible(!mainWindow.isVisible());
            toggle = std::max(toggle, double(queued.nsecsElapsed()) / 1e6);
          },
          Qt::QueuedConnection);
    });
    tick.start(1);
    toggler.start(10);
    QTest::qWait(6000);
    tick.stop();
    toggler.stop();
    const auto running = [&](const QString& title) {
      const auto rows = dialog.lvwTasks()->findItems(title, Qt::MatchExactly);
      return !rows.isEmpty() && rows.first()->text(1).startsWith(QStringLiteral("läuft")) ? 1 : 0;
    };
    int hungRows = 0;
    for (int i = 0; i < 10; ++i) {
      const auto rows = dialog.lvwTasks()->findItems(QStringLiteral("Hängt %1").arg(i), Qt::MatchExactly);
      hungRows += !rows.isEmpty() && rows.first()->text(1).startsWith(QStringLiteral("reagiert nicht"));
    }
    state.counters["rows"] = dialog.lvwTasks()->topLevelItemCount();
    state.counters["hung_rows"] = hungRows;
    state.counters["max_stall_ms"] = stall;
    state.counters["toggle_max_ms"] = toggle;
    state.counters["qt_running"] = running(QStringLiteral("Qt Fenster"));
    state.counters["gtk_running"] = running(QStringLiteral("GTK Fenster"));
    dialog.hide();
  }
}
BENCHMARK(Crowd)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QApplication>(argc, argv); }
