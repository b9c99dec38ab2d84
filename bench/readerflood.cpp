// The core's memory under a flood of accessibility events from other programs: on the tests'
// virtual desktop a GTK window (python3 with Gtk 3) and a Qt window of this process move the
// focus between two buttons as fast as they can, while the built core's screen reader hears
// every event. A third program counts the events on the accessibility bus. The core gives its
// free memory back (":memory", malloc_trim) before each reading. Counters: events (counted on
// the bus), rss_start_kb, rss_half_kb, rss_end_kb and growth_kb (end minus half: what the
// second half of the flood left behind).
#include <QApplication>
#include <QHBoxLayout>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <benchmark/benchmark.h>

#include "bench/benchmain.h"
#include "tests/e2e/desktop.h"

void jexTestBeforeApplication(int argc, char** argv);

namespace {

const bool kCoreWanted = (jex::testing::useCore({}), true);
constexpr int kEventsWanted = 100000;

// Moves the focus between two buttons n times, then prints "done".
const char* const kGtkFlooder = R"(
import sys, gi
gi.require_version('Gtk', '3.0')
from gi.repository import Gtk, GLib
n = int(sys.argv[1])
w = Gtk.Window(title='flood-gtk')
box = Gtk.Box()
a, b = Gtk.Button(label='eins'), Gtk.Button(label='zwei')
box.add(a); box.add(b); w.add(box); w.show_all(); w.present()
left = [n]
def step():
    (a if left[0] % 2 else b).grab_focus()
    left[0] -= 1
    if left[0] > 0: return True
    print('done', flush=True); return False
GLib.timeout_add(800, lambda: GLib.idle_add(step) and False)
Gtk.main()
)";

// Counts the events of the types the core's reader listens to; prints the total each 200 ms.
const char* const kCounter = R"(
import gi
gi.require_version('Atspi', '2.0')
from gi.repository import Atspi, GLib
count = [0]
def heard(e): count[0] += 1
l = Atspi.EventListener.new(heard)
for t in ['object:state-changed:focused', 'object:state-changed:checked', 'object:property-change:accessible-name',
          'object:property-change:accessible-value', 'object:text-caret-moved', 'object:text-changed:insert',
          'object:text-changed:delete', 'window:activate']:
    l.register(t)
def tell():
    print(count[0], flush=True); return True
GLib.timeout_add(200, tell)
print('listening', flush=True)
Atspi.event_main()
)";

QString lastLine(QProcess& p, QString& buffer) {
  buffer += QString::fromUtf8(p.readAllStandardOutput());
  const QStringList lines = buffer.split(u'\n', Qt::SkipEmptyParts);
  return lines.isEmpty() ? QString() : lines.last();
}

struct Rig {
  QString error;
  QProcess counter;
  QString counted;
  QWidget window;
  QPushButton* buttons[2];

  Rig() {
    error = !jex::testing::desktopError().isEmpty() ? jex::testing::desktopError() : jex::testing::core().error;
    if (!error.isEmpty()) return;
    counter.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(kCounter)});
    if (!QTest::qWaitFor([&] { return lastLine(counter, counted).startsWith(u'0'); }, 10000))
      error = QStringLiteral("no event counter (python3 with gi and Atspi)");
    auto* row = new QHBoxLayout(&window);
    for (QPushButton*& b : buttons) row->addWidget(b = new QPushButton(QStringLiteral("Taste"), &window));
    window.setWindowTitle(QStringLiteral("flood-qt"));
  }
  ~Rig() {
    counter.kill();
    counter.waitForFinished(3000);
    jex::testing::coreQuit();
  }
  qint64 events() {
    QTest::qWait(400);
    return lastLine(counter, counted).toLongLong();
  }
  // The core's resident size after it has given its free memory back.
  qint64 coreKb() {
    const qsizetype from = jex::testing::coreOutput().size();
    jex::testing::coreWrite(QStringLiteral(":memory"));
    static const QRegularExpression re(QStringLiteral("MEMORY: (\\d+) kB"));
    QRegularExpressionMatch m;
    (void)QTest::qWaitFor([&] { return (m = re.match(jex::testing::coreOutput().mid(from))).hasMatch(); }, 5000);
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
  }
  // A GTK window of its own process moves its focus n times.
  bool floodGtk(int n) {
    QProcess gtk;
    gtk.start(QStringLiteral("/usr/bin/python3"),
              {QStringLiteral("-c"), QString::fromLatin1(kGtkFlooder), QString::number(n)});
    QString out;
    const bool done = QTest::qWaitFor([&] { return lastLine(gtk, out) == u"done"; }, 180000);
    gtk.kill();
    gtk.waitForFinished(3000);
    return done;
  }
  // This process's Qt window moves its focus n times.
  void floodQt(int n) {
    window.show();
    window.activateWindow();
    (void)QTest::qWaitForWindowActive(&window, 5000);
    for (int i = 0; i < n; ++i) {
      buttons[i % 2]->setFocus();
      if (i % 50 == 0) QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    window.hide();
  }
  // Floods until the counter has heard at least `until` events in all.
  bool floodUntil(qint64 until) {
    for (int round = 0; round < 40 && events() < until; ++round) {
      const qint64 missing = until - events();
      const int moves = int(std::min<qint64>(missing / 4 + 1, 10000));
      if (!floodGtk(moves)) return false;
      floodQt(moves);
    }
    return events() >= until;
  }
};

void BM_CoreMemoryUnderAnEventFlood(benchmark::State& state) {
  static Rig rig;
  if (jex::bench::skipped(state, rig.error)) return;
  for (auto _ : state) {
    const qint64 start = rig.coreKb();
    const qint64 first = rig.events();
    if (!rig.floodUntil(first + kEventsWanted / 2)) {
      state.SkipWithError("the flood did not reach the accessibility bus");
      return;
    }
    QTest::qWait(1000);  // the reader has taken every event
    const qint64 half = rig.coreKb();
    if (!rig.floodUntil(first + kEventsWanted)) {
      state.SkipWithError("the flood did not reach the accessibility bus");
      return;
    }
    QTest::qWait(1000);
    const qint64 end = rig.coreKb();
    state.counters["events"] = double(rig.events() - first);
    state.counters["rss_start_kb"] = double(start);
    state.counters["rss_half_kb"] = double(half);
    state.counters["rss_end_kb"] = double(end);
    state.counters["growth_kb"] = double(end - half);
  }
}
BENCHMARK(BM_CoreMemoryUnderAnEventFlood)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QApplication>(argc, argv, jexTestBeforeApplication); }
