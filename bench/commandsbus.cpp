// The command path from the core to the main window with the built core as a process of its own
// on a private session bus; the keys are typed on the core's console, as a user presses them.
//   BM_BusDialogCommand: "DLGSPEECH" typed until a stand-in voices dialog is visible (the
//     command path alone). Counter median_ms.
//   BM_BusVoicesDialog: "DLGSPEECH" typed until frmVoices is visible with the core's values read
//     (GetValues). Counter median_ms.
//   BM_BusVoiceStep: one Up key pressed in frmVoices' speed box until the core holds the new
//     speed (the put has returned), and one read of it from the core (a round trip). Counters
//     step_ms and round_trip_ms (medians).
//   BM_BusNewVoicePanel: the new-voice panel opened until its tree lists the core's modes, first
//     opening (the tree is filled) and later ones. Counters median_ms and modes.
//   BM_BusDeviceDialog: the menu entry of the Braille display dialog until it shows the core's
//     tables and values, first and later opening. Counters median_ms and tables.
//   BM_BusBurst: 1,000 "SPEEDUP" typed at once; time until the last one ran in JexUI. Counters
//     ms_per_command and max_stall_ms (the longest event-loop turn of JexUI: the longest time
//     its user interface could not react).
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include "app/cmdqueue.h"
#include "app/frmmdi.h"
#include "app/uiapplication.h"
#include "automation/dbustransport.h"
#include "bench/benchmain.h"
#include "dialogs/childdialog.h"
#include "dialogs/speech/cmyslider.h"
#include "dialogs/speech/frmvoices.h"
#include "global/cglobal.h"
#include "widgets/formservice.h"

namespace jex {
forms::Form frmVoicesForm();  // its registration (dialogs/speech/frmvoices.cpp)
}

namespace {
using jex::bench::Clock;
namespace bus = jex::automation::dbus;

QString S(const char* s) { return QString::fromUtf8(s); }
using jex::bench::ms;

// Runs the event loop until done() or the time is up; returns the longest single turn (ms),
// or -1 on time-out.
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

// A private bus, the core on it and the main window registered with the core.
struct Rig {
  QProcess daemon, core;
  QTemporaryDir home, data;
  QString error;
  QString coreOut;
  std::unique_ptr<QDBusConnection> conn;
  QWidget voices;
  int speedUps = 0;
  jex::frmMDI* w = nullptr;

  // standIn: DLGSPEECH shows a plain window that counts the speed commands, instead of frmVoices.
  explicit Rig(bool standIn = true) {
    daemon.start(S("dbus-daemon"), {S("--session"), S("--print-address"), S("--nofork")});
    if (!daemon.waitForStarted(5000) || !daemon.waitForReadyRead(5000)) {
      error = S("no private session bus (dbus-daemon)");
      return;
    }
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    QDir(data.path()).mkpath(S("LNG/1031"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(S("DBUS_SESSION_BUS_ADDRESS"), address);
    env.insert(S("QT_QPA_PLATFORM"), S("offscreen"));
    core.setProcessEnvironment(env);
    QObject::connect(&core, &QProcess::readyReadStandardOutput,
                     [this] { coreOut += QString::fromUtf8(core.readAllStandardOutput()); });
    const QString exe = S(JEX_BIN_DIR) + S("/corvane");
    if (!QFileInfo(exe).isExecutable()) {
      error = S("corvane is not built");
      return;
    }
    core.start(exe, {S("--appdir"), home.path() + S("/app"), S("--datadir"), data.path(), S("--no-jexui"),
                     S("--no-monitor"), S("--no-audio"), S("--no-foreground")});
    if (spin([this] { return coreOut.contains(S("READY: ")); }, 10000) < 0) {
      error = S("the core did not get ready");
      return;
    }
    conn = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, S("bench-jexui")));
    jex::Jex() = bus::connect(S("corvane.application"), *conn);
    // The core takes the sink only from the owner of JexUI's name.
    bus::publish(S("JexUI.UI_Application"), std::make_shared<jex::UI_Application>(), *conn);
    voices.setObjectName(S("frmVoices"));
    if (standIn)
      jex::forms::add({.name = S("frmVoices"), .action = [this](const QString& action, const QStringList&) {
                         if (action == S("Show")) voices.show();
                         else ++speedUps;
                       }});
    else jex::forms::add(jex::frmVoicesForm());  // the program's own (an earlier rig dropped it)
    w = new jex::frmMDI;
    w->registerSink();
    w->installHook();
  }
  ~Rig() {
    if (w) {
      w->removeHook();
      delete w;
    }
    jex::forms::remove(S("frmVoices"));
    jex::resetGlobals();
    for (QProcess* p : {&core, &daemon}) {
      if (p->state() == QProcess::NotRunning) continue;
      p->kill();
      p->waitForFinished(3000);
    }
    if (conn) {
      bus::detach(*conn);
      conn.reset();
      QDBusConnection::disconnectFromBus(S("bench-jexui"));
    }
  }
  void type(const QByteArray& lines) {
    core.write(lines);
    core.waitForBytesWritten(1000);
  }
};

void BM_BusDialogCommand(benchmark::State& state) {
  Rig rig;
  if (!rig.error.isEmpty()) {
    state.SkipWithError(rig.error.toStdString().c_str());
    return;
  }
  std::vector<double> times;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    rig.type("DLGSPEECH\n");
    if (spin([&] { return rig.voices.isVisible(); }, 5000) < 0) {
      state.SkipWithError("the voices dialog did not show");
      return;
    }
    const auto t = Clock::now() - t0;
    state.SetIterationTime(std::chrono::duration<double>(t).count());
    times.push_back(ms(t));
    rig.voices.hide();
    QCoreApplication::processEvents();
  }
  std::sort(times.begin(), times.end());
  state.counters["median_ms"] = times.empty() ? 0 : times[times.size() / 2];
}
BENCHMARK(BM_BusDialogCommand)->UseManualTime()->Iterations(100)->Unit(benchmark::kMillisecond);

// The Braille menu's "Braillezeile..." until frmDevice shows the core's tables and values:
// range(0) 1 is the first opening (the dialog is created and reads devices and tables), 0 a
// later one (the values again). Counters median_ms and tables.
void BM_BusDeviceDialog(benchmark::State& state) {
  const bool first = state.range(0) == 1;
  Rig rig;
  if (!rig.error.isEmpty()) {
    state.SkipWithError(rig.error.toStdString().c_str());
    return;
  }
  QAction* entry = rig.w->menuEntry(S("mnuBrailleDevice"));
  const auto dialog = [] { return qobject_cast<jex::ChildDialog*>(jex::ChildDialog::find(S("frmDevice"))); };
  const auto tables = [&] {
    auto* list = dialog() ? dialog()->findChild<QComboBox*>(S("cboBrailleTable")) : nullptr;
    return list && list->currentIndex() >= 0 ? list->count() : 0;
  };
  std::vector<double> times;
  int listed = 0;
  for (auto _ : state) {
    if (first) delete dialog();
    const auto t0 = Clock::now();
    entry->trigger();
    if (spin([&] { return dialog() && dialog()->isVisible() && tables() > 0; }, 5000) < 0) {
      state.SkipWithError("frmDevice did not show the tables");
      return;
    }
    const auto t = Clock::now() - t0;
    state.SetIterationTime(std::chrono::duration<double>(t).count());
    times.push_back(ms(t));
    listed = tables();
    dialog()->hideChild();
    QCoreApplication::processEvents();
  }
  std::sort(times.begin(), times.end());
  state.counters["median_ms"] = times.empty() ? 0 : times[times.size() / 2];
  state.counters["tables"] = listed;
}
BENCHMARK(BM_BusDeviceDialog)->Arg(1)->Arg(0)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

jex::frmVoices* voicesDialog() { return qobject_cast<jex::frmVoices*>(jex::forms::instance(S("frmVoices"))); }

void BM_BusVoicesDialog(benchmark::State& state) {
  Rig rig(false);
  if (!rig.error.isEmpty()) {
    state.SkipWithError(rig.error.toStdString().c_str());
    return;
  }
  std::vector<double> times;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    rig.type("DLGSPEECH\n");
    // GetValues runs inside the show, before the event loop turns again.
    if (spin([&] { return voicesDialog() && voicesDialog()->isVisible(); }, 5000) < 0) {
      state.SkipWithError("frmVoices did not show");
      return;
    }
    const auto t = Clock::now() - t0;
    state.SetIterationTime(std::chrono::duration<double>(t).count());
    times.push_back(ms(t));
    voicesDialog()->hideChild();
    QCoreApplication::processEvents();
  }
  std::sort(times.begin(), times.end());
  state.counters["median_ms"] = times.empty() ? 0 : times[times.size() / 2];
}
BENCHMARK(BM_BusVoicesDialog)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

void BM_BusVoiceStep(benchmark::State& state) {
  Rig rig(false);
  if (!rig.error.isEmpty()) {
    state.SkipWithError(rig.error.toStdString().c_str());
    return;
  }
  rig.type("DLGSPEECH\n");
  if (spin([&] { return voicesDialog() && voicesDialog()->isVisible(); }, 5000) < 0) {
    state.SkipWithError("frmVoices did not show");
    return;
  }
  jex::frmVoices* d = voicesDialog();
  d->cboSource()->setCurrentIndex(1);  // the focus voice: one voice
  QLineEdit* box = d->ctlSpeed()->TB();
  const jex::Obj voice =
      jex::automation::toObj(jex::Jex().obj(S("SpeechProfile")).call(S("ItemByIndex"), {1})).obj(S("Voice"));
  std::vector<double> steps, trips, puts;
  int key = 0;
  for (auto _ : state) {
    const int before = voice.i32(S("speed"));
    const Qt::Key k = (key++ / 20) % 2 ? Qt::Key_Down : Qt::Key_Up;
    // The key's press writes the value; its release only selects the text and reports the key.
    const auto t0 = Clock::now();
    QTest::keyPress(box, k);
    const auto t1 = Clock::now();
    const int after = voice.i32(S("speed"));
    const auto t2 = Clock::now();
    QTest::keyRelease(box, k);
    const auto t3 = Clock::now();
    voice.set(S("speed"), after);  // the same put alone, as JexUI makes it
    puts.push_back(ms(Clock::now() - t3));
    if (after == before) {
      state.SkipWithError("the step did not reach the core");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    steps.push_back(ms(t1 - t0));
    trips.push_back(ms(t2 - t1));
  }
  std::sort(steps.begin(), steps.end());
  std::sort(trips.begin(), trips.end());
  state.counters["step_ms"] = steps.empty() ? 0 : steps[steps.size() / 2];
  state.counters["round_trip_ms"] = trips.empty() ? 0 : trips[trips.size() / 2];
  std::sort(puts.begin(), puts.end());
  state.counters["put_ms"] = puts.empty() ? 0 : puts[puts.size() / 2];
  d->hideChild();
}
BENCHMARK(BM_BusVoiceStep)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

// range(0) 1: the first opening (the tree is filled from the core's modes), 0: a later one.
void BM_BusNewVoicePanel(benchmark::State& state) {
  const bool first = state.range(0) == 1;
  Rig rig(false);
  if (!rig.error.isEmpty()) {
    state.SkipWithError(rig.error.toStdString().c_str());
    return;
  }
  rig.type("DLGSPEECH\n");
  if (spin([&] { return voicesDialog() && voicesDialog()->isVisible(); }, 5000) < 0) {
    state.SkipWithError("frmVoices did not show");
    return;
  }
  jex::frmVoices* d = voicesDialog();
  std::vector<double> times;
  int modes = 0;
  for (auto _ : state) {
    if (first) d->treModes()->clear();
    const auto t0 = Clock::now();
    d->VoiceNew();
    const auto t = Clock::now() - t0;
    if (!d->picNew()->isVisible() || d->treModes()->topLevelItemCount() == 0) {
      state.SkipWithError("the new-voice panel did not list the modes");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(t).count());
    times.push_back(ms(t));
    modes = 0;
    for (int i = 0; i < d->treModes()->topLevelItemCount(); ++i)
      for (int p = 0; p < d->treModes()->topLevelItem(i)->childCount(); ++p)
        modes += d->treModes()->topLevelItem(i)->child(p)->childCount();
    QTest::keyClick(d->treModes(), Qt::Key_Escape);  // the panel closes
    QCoreApplication::processEvents();
  }
  std::sort(times.begin(), times.end());
  state.counters["median_ms"] = times.empty() ? 0 : times[times.size() / 2];
  state.counters["modes"] = modes;
}
BENCHMARK(BM_BusNewVoicePanel)->Arg(1)->Arg(0)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_BusBurst(benchmark::State& state) {
  constexpr int kBurst = 1000;
  Rig rig;
  if (!rig.error.isEmpty()) {
    state.SkipWithError(rig.error.toStdString().c_str());
    return;
  }
  QByteArray burst;
  for (int i = 0; i < kBurst; ++i) burst += "SPEEDUP\n";
  double maxStall = 0, total = 0;
  for (auto _ : state) {
    rig.speedUps = 0;
    const auto t0 = Clock::now();
    rig.type(burst);
    const double stall = spin([&] { return rig.speedUps >= kBurst; });
    if (stall < 0) {
      const auto& queue = rig.w->commandQueue();
      const std::string why = "the burst did not finish: " + std::to_string(rig.speedUps) + " of 1000 ran, " +
                              std::to_string(queue.size()) + " wait in JexUI's queue (timer " +
                              (queue.tmrCMD()->isActive() ? "on" : "off") + "), " +
                              std::to_string(bus::callsWaiting()) + " calls wait for their reply";
      state.SkipWithError(why.c_str());
      return;
    }
    maxStall = std::max(maxStall, stall);
    const auto t = Clock::now() - t0;
    total += ms(t);
    state.SetIterationTime(std::chrono::duration<double>(t).count());
  }
  state.counters["ms_per_command"] = total / double(state.iterations()) / kBurst;
  state.counters["max_stall_ms"] = maxStall;
}
BENCHMARK(BM_BusBurst)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QApplication>(argc, argv); }
