// From a Tab in JexUI to the start of the core's speech: JexUI runs in this process on a
// virtual display with its accessibility on, the built core (corvane --no-jexui) hears it over
// the accessibility bus. Each round presses Tab in JexUI's main window and waits for the next
// utterance in the core's speech log; the time is the log's monotonic start minus the moment
// of the key press (both the steady clock). Counters: median_ms and p90_ms.
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <chrono>

#include <benchmark/benchmark.h>

#include "app/frmmdi.h"
#include "app/startup.h"
#include "bench/benchmain.h"
#include "bench/desktoprig.h"
#include "corvane/engine/speechlog.h"
#include "tests/e2e/desktop.h"

void jexTestBeforeApplication(int argc, char** argv);

namespace {

// The core (started before the application, tests/e2e/desktop.cpp) speaks unpaced: the time
// measured is the reader's and the speech path's, not the length of the last utterance.
const bool kCoreWanted = (jex::testing::useCore({}), true);

struct Rig : jex::bench::DesktopRig {
  Rig() : DesktopRig(QStringLiteral("WINWORD JEXUI")) {}
  // Start of the first focus utterance that began at or after since; -1 when none came.
  qint64 speechStart(qint64 since) {
    qint64 start = -1;
    auto check = [&] {
      QFile f(jex::testing::core().home + QStringLiteral("/app/speech.log"));
      if (!f.open(QIODevice::ReadOnly)) return false;
      for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        corvane::SpeechLog::Entry e;
        if (corvane::SpeechLog::parse(line, &e) && e.source == 1 && e.startMs >= since) {
          start = e.startMs;
          return true;
        }
      }
      return false;
    };
    // An event loop that waits in the system, not in sleeps: JexUI answers the core's and the
    // reader's calls at once, as it does when it runs on its own.
    QEventLoop loop;
    QTimer poll, limit;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (check()) loop.quit();
    });
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start(2);
    limit.setSingleShot(true);
    limit.start(5000);
    loop.exec();
    return start;
  }
};

void BM_TabToSpeechStart(benchmark::State& state) {
  static Rig rig;
  if (jex::bench::skipped(state, rig.error)) return;
  jex::bench::Rounds rounds(state);
  for (auto _ : state) {
    QWidget* focus = QApplication::focusWidget();
    if (!focus) {
      state.SkipWithError("no focus in JexUI");
      return;
    }
    const qint64 t0 = corvane::monotonicMs();
    QTest::keyClick(focus, Qt::Key_Tab);
    const qint64 start = rig.speechStart(t0);
    if (start < 0) {
      state.SkipWithError("the Tab was not spoken");
      return;
    }
    rounds.add(std::chrono::milliseconds(start - t0));
    QTest::qWait(150);  // the utterance has ended
  }
}
BENCHMARK(BM_TabToSpeechStart)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QApplication>(argc, argv, jexTestBeforeApplication); }
