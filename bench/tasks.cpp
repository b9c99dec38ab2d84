// The task list against real windows on a virtual display with openbox: one process of the
// tests' X client (jex_taskclient) holds 50 windows.
//   Refresh/unchanged    a refresh of the 50 windows when nothing changed
//   Refresh/newTitles    a refresh after each of the 50 windows got a new title
//   HungClientStall      the task dialog runs 10 s while one client does not answer: the
//                        longest stall of the event loop at the first refresh that meets the
//                        hung client (first_stall_ms, at most HungTimeout) and afterwards
//                        (later_stall_ms)
// Counters in milliseconds; median_ms is the median of the timed refreshes.
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "bench/benchmain.h"
#include "dialogs/tasks/ctask.h"
#include "dialogs/tasks/frmtasks.h"
#include "platform/tasks.h"
#include "tests/support/xserver.h"

namespace {

constexpr int kWindows = 50;

class Client {
 public:
  Client() {
    p_.start(QStringLiteral(JEX_BIN_DIR "/jex_taskclient"), {});
    p_.waitForStarted(5000);
    line();
  }
  ~Client() {
    p_.kill();
    p_.waitForFinished(3000);
  }
  QByteArray send(const QByteArray& command) {
    p_.write(command + '\n');
    return line();
  }

 private:
  QByteArray line() {
    QElapsedTimer t;
    t.start();
    while (!p_.canReadLine() && t.elapsed() < 5000) p_.waitForReadyRead(50);
    return p_.readLine().trimmed();
  }
  QProcess p_;
};

// The display with openbox; empty error when up.
struct Desktop {
  QString error;
  QProcess openbox;
  Desktop() {
    auto& x = jex::testing::XServer::instance();
    if (!x.ok()) {
      error = x.error();
      return;
    }
    openbox.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    if (!openbox.waitForStarted(5000) ||
        !QTest::qWaitFor([] { return jex::platform::tasks::hasWindowManager(); }, 10000)) {
      error = QStringLiteral("openbox did not start");
      return;
    }
    for (int attempt = 0; attempt < 20; ++attempt) {  // announced is not yet managing
      const xcb_window_t probe = x.create(x.root(), QStringLiteral("Probe"));
      const bool managed =
          QTest::qWaitFor([&] { return jex::platform::tasks::topLevelWindows().contains(probe); }, 500);
      x.destroy(probe);
      if (managed) return;
    }
    error = QStringLiteral("openbox does not manage windows");
  }
  ~Desktop() {
    openbox.kill();
    openbox.waitForFinished(3000);
  }
};

Desktop& desktop() {
  static Desktop d;
  return d;
}

using jex::bench::median;

void Refresh(benchmark::State& state) {
  if (!desktop().error.isEmpty()) {
    state.SkipWithError(desktop().error.toStdString().c_str());
    return;
  }
  const bool newTitles = state.range(0) == 1;
  Client client;
  for (int i = 0; i < kWindows; ++i)
    client.send("open w" + QByteArray::number(i) + " Sample normal - ok Fenster " + QByteArray::number(i));
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
        client.send("title w" + QByteArray::number(i) + " Fenster " + QByteArray::number(i) + " Runde " +
                    QByteArray::number(round));
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
  if (!desktop().error.isEmpty()) {
    state.SkipWithError(desktop().error.toStdString().c_str());
    return;
  }
  for (auto _ : state) {
    Client others, hung;
    for (int i = 0; i < 10; ++i)
      others.send("open w" + QByteArray::number(i) + " Sample normal - ok Programm " + QByteArray::number(i));
    hung.send("open h Sample normal - ok Hängt");
    jex::frmTasks dialog;
    dialog.ChildLoad();
    dialog.ShowTasks();
    QTest::qWait(1500);  // the list is up
    hung.send("hang");
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
