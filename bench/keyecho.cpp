// The key echo's two waits that a user notices.
//   BM_MonitorKeyEcho: a key typed into the core's monitor window (the core in this process, on
//     a private session bus, speech synthesised without a device) until espeak-ng hands over the
//     echo's first samples. Counter median_ms.
//   BM_BusKeyechoDialog: "DLGKEYECHO" typed on the console of the built core (its own process,
//     on a private bus) until frmKeyecho is visible with the core's nine values read over the
//     bus. Counter median_ms.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>

#include <benchmark/benchmark.h>

#include "bench/benchmain.h"
#include "bench/corerig.h"
#include "bench/mainwindowrig.h"
#include "corvane/engine/corvaneapp.h"
#include "corvane/engine/keyecho.h"
#include "corvane/engine/speechengine.h"
#include "dialogs/speech/frmkeyecho.h"

namespace {
using jex::bench::Clock;
using jex::bench::spin;

QString S(const char* s) { return QString::fromUtf8(s); }
qint64 nowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
}

void BM_MonitorKeyEcho(benchmark::State& state) {
  jex::bench::PrivateBus bus;
  if (jex::bench::skipped(state, bus.error)) return;
  // The core in this process takes the session bus from the environment on first use.
  qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address.toUtf8());
  QTemporaryDir home, data;
  QDir(data.path()).mkpath(S("LNG/1031"));
  corvane::Options o;
  o.appDir = home.path() + S("/app");
  o.noJexUi = o.noMonitor = o.noAudio = o.noForeground = true;
  corvane::CorvaneApp core(o, data.path());
  if (core.start() != -1) {
    state.SkipWithError("the core did not start");
    return;
  }
  core.keyEcho().setValue(corvane::KeyEcho::CharEcho, 3);  // every character
  QLineEdit* line = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == S("frmMonitor")) line = w->findChild<QLineEdit*>(S("txtCommand"));
  auto* engine = core.findChild<corvane::SpeechEngine*>();
  if (!line || !engine) {
    state.SkipWithError("no monitor window or speech engine");
    return;
  }
  qint64 first = 0;
  QObject::connect(engine, &corvane::SpeechEngine::finished, [&](const corvane::Spoken& s) {
    if (s.source == corvane::kEchoSource) first = s.firstSamplesUs;
  });
  jex::bench::Rounds rounds(state);
  const char keys[] = "abcdefghijklmnopqrstuvwxyz";
  int n = 0;
  for (auto _ : state) {
    first = 0;
    line->clear();
    const qint64 t0 = nowUs();
    QTest::keyClick(line, keys[n++ % 26]);
    if (spin([&] { return first != 0; }, 5000) < 0) {
      state.SkipWithError("no samples for the echo");
      return;
    }
    rounds.add(std::chrono::microseconds(first - t0));
  }
}
BENCHMARK(BM_MonitorKeyEcho)->UseManualTime()->Iterations(100)->Unit(benchmark::kMillisecond);

void BM_BusKeyechoDialog(benchmark::State& state) {
  jex::bench::CoreRig core(S("bench-keyecho"), false);
  if (jex::bench::skipped(state, core.error)) return;
  jex::bench::MainWindowRig window(core.root, core.conn.get());
  const auto dialog = [] { return qobject_cast<jex::frmKeyecho*>(jex::forms::instance(S("frmKeyecho"))); };
  jex::bench::Rounds rounds(state);
  int shown = 0;
  for (auto _ : state) {
    // Each opening shows other values, so that they are read again.
    jex::Jex().set(S("KeyEcho.CharEcho"), shown++ % 4);
    const bool read = rounds.time(
        [&] {
          core.type("DLGKEYECHO\n");
          return spin(
                     [&] {
                       return dialog() && dialog()->isVisible() &&
                              dialog()->cboCharEcho()->currentIndex() == (shown - 1) % 4;
                     },
                     5000) >= 0;
        },
        "frmKeyecho did not show the core's values");
    if (!read) break;
    dialog()->hideChild();
    QCoreApplication::processEvents();
  }
}
BENCHMARK(BM_BusKeyechoDialog)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QApplication>(argc, argv); }
