// From QUICKMEN on the core's console to the start of the core's speech of the entry the quick
// menu opens on. JexUI runs in this process on a virtual display with its accessibility on; the
// built core (corvane --no-jexui) takes the line, hands QUICKMEN to JexUI, and its screen reader
// hears the menu over the accessibility bus. The time is the speech log's monotonic start of the
// entry's utterance minus the moment the line was written to the console (both the steady clock).
//   BM_QuickMenuSpoken: range(0) 0: the application's menu cached (built on an earlier opening);
//     1: built anew each time (DestroyMenus before the round), as at the first QUICKMEN of an
//     application. Counters median_ms and p90_ms; shown_ms, the median until the menu showed
//     with its entry selected (the rest is the reader's and the speech's); goal 10 ms with the
//     menu cached.
#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <chrono>

#include <benchmark/benchmark.h>

#include "app/frmmdi.h"
#include "app/startup.h"
#include "bench/benchmain.h"
#include "bench/desktoprig.h"
#include "corvane/engine/speechlog.h"
#include "dialogs/keys/frmqmenu.h"
#include "tests/e2e/desktop.h"
#include "widgets/formservice.h"

void jexTestBeforeApplication(int argc, char** argv);

namespace {

QString S(const char* s) { return QString::fromUtf8(s); }

// The core speaks unpaced: what is measured is the way to the start of the utterance.
const bool kCoreWanted = (jex::testing::useCore({}), true);

// Runs the event loop until done() or timeoutMs have passed, waiting in the system, not in
// sleeps: JexUI answers the core's calls and runs its command queue at once, as it does when it
// runs on its own (QTest::qWaitFor sleeps 10 ms between its turns).
template <class Done>
bool waitFor(Done done, int timeoutMs) {
  if (done()) return true;
  QEventLoop loop;
  QTimer poll, limit;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done()) loop.quit();
  });
  QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
  poll.start(1);
  limit.setSingleShot(true);
  limit.start(timeoutMs);
  loop.exec();
  return done();
}

jex::frmQMenu* form() { return qobject_cast<jex::frmQMenu*>(jex::forms::instance(S("frmQMenu"))); }

// The entry's name as the reader says it: without its accelerator and its key hint.
QString spokenName(const QAction* a) {
  QString t = a->text();
  if (const qsizetype tab = t.indexOf(u'\t'); tab >= 0) t.truncate(tab);
  return t.remove(u'&').trimmed();
}

struct Rig : jex::bench::DesktopRig {
  Rig() : DesktopRig(S("JEXUI WINWORD"), true) {}

  // The start of the first utterance that began at or after since and names the entry.
  static qint64 spokenAt(const QString& entry, qint64 since) {
    QFile f(jex::testing::core().home + S("/app/speech.log"));
    if (entry.isEmpty() || !f.open(QIODevice::ReadOnly)) return -1;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
      corvane::SpeechLog::Entry e;
      if (corvane::SpeechLog::parse(line, &e) && e.startMs >= since && e.text.contains(entry)) return e.startMs;
    }
    return -1;
  }

  // QUICKMEN typed on the core's console; once the entry the menu opens on has been spoken, the
  // menu is closed by Escape. The start of that utterance, -1 when none came; shown: the
  // milliseconds until the menu showed with its entry selected. The wait runs in a timer: the
  // open menu holds its own event loop.
  qint64 round(qint64& t0, qint64& shown) {
    qint64 start = -1;
    QString entry;
    QTimer poll;
    qint64 tActive = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!popup) return;
      if (!tActive && popup->activeAction()) tActive = corvane::monotonicMs();
      if (entry.isEmpty() && popup->activeAction()) entry = spokenName(popup->activeAction());
      if (start < 0) start = spokenAt(entry, t0);
      if (start >= 0) QTest::keyClick(popup, Qt::Key_Escape);
    });
    poll.start(1);
    t0 = corvane::monotonicMs();
    jex::testing::coreWrite(S("QUICKMEN"));
    const bool closed = waitFor([&] { return start >= 0 && form() && !form()->isOpen(); }, 8000);
    poll.stop();
    shown = tActive > 0 ? tActive - t0 : -1;
    if (!closed)
      while (QWidget* p = QApplication::activePopupWidget()) p->close();
    // The main window is in front again before the next round.
    (void)QTest::qWaitFor([] { return QApplication::activeWindow() == jex::frmMDI::instance(); }, 2000);
    QTest::qWait(100);
    return closed ? start : -1;
  }
};

void BM_QuickMenuSpoken(benchmark::State& state) {
  static Rig rig;
  if (jex::bench::skipped(state, rig.error)) return;
  const bool build = state.range(0) == 1;
  qint64 t0 = 0, shown = 0;
  if (!build && rig.round(t0, shown) < 0) {  // the menu built and cached
    state.SkipWithError("the quick menu's entry was not spoken");
    return;
  }
  jex::bench::Rounds rounds(state);
  std::vector<double> toMenu;
  for (auto _ : state) {
    if (build && form()) form()->DestroyMenus();
    const qint64 start = rig.round(t0, shown);
    if (start < 0) {
      state.SkipWithError("the quick menu's entry was not spoken");
      return;
    }
    rounds.add(std::chrono::milliseconds(start - t0));
    toMenu.push_back(double(shown));
  }
  if (!toMenu.empty()) state.counters["shown_ms"] = jex::bench::median(toMenu);
}
BENCHMARK(BM_QuickMenuSpoken)
    ->ArgName("built")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(30)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QApplication>(argc, argv, jexTestBeforeApplication); }
