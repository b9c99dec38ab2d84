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
#include <QDBusConnection>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "app/frmmdi.h"
#include "app/uiapplication.h"
#include "automation/dbustransport.h"
#include "bench/benchmain.h"
#include "corvane/engine/corvaneapp.h"
#include "corvane/engine/keyecho.h"
#include "corvane/engine/speechengine.h"
#include "dialogs/speech/frmkeyecho.h"
#include "global/cglobal.h"
#include "widgets/formservice.h"

namespace {
using jex::bench::Clock;
namespace bus = jex::automation::dbus;

QString S(const char* s) { return QString::fromUtf8(s); }
using jex::bench::ms;
qint64 nowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
}

template <class Done>
bool spin(Done done, int timeoutMs = 5000) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (Clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
  return true;
}

// A private dbus-daemon; address() is empty when it did not start.
struct Daemon {
  QProcess p;
  QString address;
  Daemon() {
    p.start(S("dbus-daemon"), {S("--session"), S("--print-address"), S("--nofork")});
    if (p.waitForStarted(5000) && p.waitForReadyRead(5000)) address = QString::fromUtf8(p.readLine()).trimmed();
  }
  ~Daemon() {
    p.kill();
    p.waitForFinished(3000);
  }
};

void BM_MonitorKeyEcho(benchmark::State& state) {
  Daemon daemon;
  if (daemon.address.isEmpty()) {
    state.SkipWithError("no private session bus (dbus-daemon)");
    return;
  }
  // The core in this process takes the session bus from the environment on first use.
  qputenv("DBUS_SESSION_BUS_ADDRESS", daemon.address.toUtf8());
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
  std::vector<double> times;
  const char keys[] = "abcdefghijklmnopqrstuvwxyz";
  int n = 0;
  for (auto _ : state) {
    first = 0;
    line->clear();
    const qint64 t0 = nowUs();
    QTest::keyClick(line, keys[n++ % 26]);
    if (!spin([&] { return first != 0; })) {
      state.SkipWithError("no samples for the echo");
      return;
    }
    const double t = double(first - t0) / 1000.0;
    state.SetIterationTime(t / 1000.0);
    times.push_back(t);
  }
  std::sort(times.begin(), times.end());
  state.counters["median_ms"] = times.empty() ? 0 : times[times.size() / 2];
}
BENCHMARK(BM_MonitorKeyEcho)->UseManualTime()->Iterations(100)->Unit(benchmark::kMillisecond);

void BM_BusKeyechoDialog(benchmark::State& state) {
  Daemon daemon;
  const QString exe = S(JEX_BIN_DIR) + S("/corvane");
  if (daemon.address.isEmpty() || !QFileInfo(exe).isExecutable()) {
    state.SkipWithError("no private session bus or corvane is not built");
    return;
  }
  QTemporaryDir home, data;
  QDir(data.path()).mkpath(S("LNG/1031"));
  QProcess core;
  QString out;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(S("DBUS_SESSION_BUS_ADDRESS"), daemon.address);
  env.insert(S("QT_QPA_PLATFORM"), S("offscreen"));
  core.setProcessEnvironment(env);
  QObject::connect(&core, &QProcess::readyReadStandardOutput,
                   [&] { out += QString::fromUtf8(core.readAllStandardOutput()); });
  core.start(exe, {S("--appdir"), home.path() + S("/app"), S("--datadir"), data.path(), S("--no-jexui"),
                   S("--no-monitor"), S("--no-audio"), S("--no-foreground")});
  if (!spin([&] { return out.contains(S("READY: ")); }, 10000)) {
    state.SkipWithError("the core did not get ready");
    return;
  }
  {
    QDBusConnection conn = QDBusConnection::connectToBus(daemon.address, S("bench-keyecho"));
    jex::Jex() = bus::connect(S("corvane.application"), conn);
    bus::publish(S("JexUI.UI_Application"), std::make_shared<jex::UI_Application>(), conn);
    auto* w = new jex::frmMDI;
    w->registerSink();
    w->installHook();
    const auto dialog = [] { return qobject_cast<jex::frmKeyecho*>(jex::forms::instance(S("frmKeyecho"))); };
    std::vector<double> times;
    int shown = 0;
    for (auto _ : state) {
      // Each opening shows other values, so that they are read again.
      jex::Jex().set(S("KeyEcho.CharEcho"), shown++ % 4);
      const auto t0 = Clock::now();
      core.write("DLGKEYECHO\n");
      core.waitForBytesWritten(1000);
      if (!spin([&] {
            return dialog() && dialog()->isVisible() && dialog()->cboCharEcho()->currentIndex() == (shown - 1) % 4;
          })) {
        state.SkipWithError("frmKeyecho did not show the core's values");
        break;
      }
      const auto t = Clock::now() - t0;
      state.SetIterationTime(std::chrono::duration<double>(t).count());
      times.push_back(ms(t));
      dialog()->hideChild();
      QCoreApplication::processEvents();
    }
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times.empty() ? 0 : times[times.size() / 2];
    w->removeHook();
    delete w;
    jex::resetGlobals();
    bus::detach(conn);
  }
  QDBusConnection::disconnectFromBus(S("bench-keyecho"));
  core.kill();
  core.waitForFinished(3000);
}
BENCHMARK(BM_BusKeyechoDialog)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QApplication>(argc, argv); }
