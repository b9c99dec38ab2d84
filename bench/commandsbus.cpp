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
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "app/cmdqueue.h"
#include "bench/benchmain.h"
#include "bench/corerig.h"
#include "bench/mainwindowrig.h"
#include "dialogs/childdialog.h"
#include "dialogs/speech/cmyslider.h"
#include "dialogs/speech/frmvoices.h"

namespace jex {
forms::Form frmVoicesForm();  // its registration (dialogs/speech/frmvoices.cpp)
}

namespace {
using jex::bench::Clock;
using jex::bench::Rounds;
using jex::bench::spin;

QString S(const char* s) { return QString::fromUtf8(s); }

// A private bus, the core on it and the main window registered with the core. standIn:
// DLGSPEECH shows a plain window that counts the speed commands, instead of frmVoices.
struct Rig {
  jex::bench::CoreRig core{S("bench-jexui"), false};
  std::optional<jex::bench::VoicesStandIn> voices;
  std::optional<jex::bench::MainWindowRig> window;
  QString error = core.error;

  explicit Rig(bool standIn = true) {
    if (!error.isEmpty()) return;
    if (standIn) voices.emplace();
    else jex::forms::add(jex::frmVoicesForm());  // the program's own (an earlier rig dropped it)
    window.emplace(core.root, core.conn.get());
  }
  ~Rig() {
    window.reset();
    if (!voices) jex::forms::remove(S("frmVoices"));
  }
  jex::frmMDI* w() const { return window->w; }
  // DLGSPEECH typed until frmVoices is visible; null when it did not show.
  jex::frmVoices* openVoices() {
    core.type("DLGSPEECH\n");
    return spin([] { return voicesDialog() && voicesDialog()->isVisible(); }, 5000) < 0 ? nullptr : voicesDialog();
  }
  static jex::frmVoices* voicesDialog() { return qobject_cast<jex::frmVoices*>(jex::forms::instance(S("frmVoices"))); }
};

void BM_BusDialogCommand(benchmark::State& state) {
  Rig rig;
  if (jex::bench::skipped(state, rig.error)) return;
  Rounds rounds(state);
  for (auto _ : state) {
    const bool shown = rounds.time(
        [&] {
          rig.core.type("DLGSPEECH\n");
          return spin([&] { return rig.voices->window.isVisible(); }, 5000) >= 0;
        },
        "the voices dialog did not show");
    if (!shown) return;
    rig.voices->window.hide();
    QCoreApplication::processEvents();
  }
}
BENCHMARK(BM_BusDialogCommand)->UseManualTime()->Iterations(100)->Unit(benchmark::kMillisecond);

// The Braille menu's "Braillezeile..." until frmDevice shows the core's tables and values:
// range(0) 1 is the first opening (the dialog is created and reads devices and tables), 0 a
// later one (the values again). Counters median_ms and tables.
void BM_BusDeviceDialog(benchmark::State& state) {
  const bool first = state.range(0) == 1;
  Rig rig;
  if (jex::bench::skipped(state, rig.error)) return;
  QAction* entry = rig.w()->menuEntry(S("mnuBrailleDevice"));
  const auto dialog = [] { return qobject_cast<jex::ChildDialog*>(jex::ChildDialog::find(S("frmDevice"))); };
  const auto tables = [&] {
    auto* list = dialog() ? dialog()->findChild<QComboBox*>(S("cboBrailleTable")) : nullptr;
    return list && list->currentIndex() >= 0 ? list->count() : 0;
  };
  Rounds rounds(state);
  int listed = 0;
  for (auto _ : state) {
    if (first) delete dialog();
    const bool shown = rounds.time(
        [&] {
          entry->trigger();
          return spin([&] { return dialog() && dialog()->isVisible() && tables() > 0; }, 5000) >= 0;
        },
        "frmDevice did not show the tables");
    if (!shown) return;
    listed = tables();
    dialog()->hideChild();
    QCoreApplication::processEvents();
  }
  state.counters["tables"] = listed;
}
BENCHMARK(BM_BusDeviceDialog)->Arg(1)->Arg(0)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

void BM_BusVoicesDialog(benchmark::State& state) {
  Rig rig(false);
  if (jex::bench::skipped(state, rig.error)) return;
  Rounds rounds(state);
  for (auto _ : state) {
    // GetValues runs inside the show, before the event loop turns again.
    if (!rounds.time([&] { return rig.openVoices() != nullptr; }, "frmVoices did not show")) return;
    Rig::voicesDialog()->hideChild();
    QCoreApplication::processEvents();
  }
}
BENCHMARK(BM_BusVoicesDialog)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

void BM_BusVoiceStep(benchmark::State& state) {
  Rig rig(false);
  if (jex::bench::skipped(state, rig.error)) return;
  jex::frmVoices* d = rig.openVoices();
  if (jex::bench::skipped(state, d ? QString() : S("frmVoices did not show"))) return;
  d->cboSource()->setCurrentIndex(1);  // the focus voice: one voice
  QLineEdit* box = d->ctlSpeed()->TB();
  const jex::Obj voice =
      jex::automation::toObj(jex::Jex().obj(S("SpeechProfile")).call(S("ItemByIndex"), {1})).obj(S("Voice"));
  Rounds steps(state);
  std::vector<double> trips, puts;
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
    puts.push_back(jex::bench::ms(Clock::now() - t3));
    if (after == before) {
      state.SkipWithError("the step did not reach the core");
      return;
    }
    steps.add(t1 - t0);
    trips.push_back(jex::bench::ms(t2 - t1));
  }
  state.counters["step_ms"] = steps.median();
  state.counters["round_trip_ms"] = jex::bench::median(trips);
  state.counters["put_ms"] = jex::bench::median(puts);
  d->hideChild();
}
BENCHMARK(BM_BusVoiceStep)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

// range(0) 1: the first opening (the tree is filled from the core's modes), 0: a later one.
void BM_BusNewVoicePanel(benchmark::State& state) {
  const bool first = state.range(0) == 1;
  Rig rig(false);
  if (jex::bench::skipped(state, rig.error)) return;
  jex::frmVoices* d = rig.openVoices();
  if (jex::bench::skipped(state, d ? QString() : S("frmVoices did not show"))) return;
  Rounds rounds(state);
  int modes = 0;
  for (auto _ : state) {
    if (first) d->treModes()->clear();
    const bool listed = rounds.time(
        [&] {
          d->VoiceNew();
          return d->picNew()->isVisible() && d->treModes()->topLevelItemCount() > 0;
        },
        "the new-voice panel did not list the modes");
    if (!listed) return;
    modes = 0;
    for (int i = 0; i < d->treModes()->topLevelItemCount(); ++i)
      for (int p = 0; p < d->treModes()->topLevelItem(i)->childCount(); ++p)
        modes += d->treModes()->topLevelItem(i)->child(p)->childCount();
    QTest::keyClick(d->treModes(), Qt::Key_Escape);  // the panel closes
    QCoreApplication::processEvents();
  }
  state.counters["modes"] = modes;
}
BENCHMARK(BM_BusNewVoicePanel)->Arg(1)->Arg(0)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_BusBurst(benchmark::State& state) {
  constexpr int kBurst = 1000;
  Rig rig;
  if (jex::bench::skipped(state, rig.error)) return;
  QByteArray burst;
  for (int i = 0; i < kBurst; ++i) burst += "SPEEDUP\n";
  Rounds rounds(state);
  double maxStall = 0;
  for (auto _ : state) {
    rig.voices->commands = 0;
    double stall = -1;
    rounds.time([&] {
      rig.core.type(burst);
      stall = spin([&] { return rig.voices->commands >= kBurst; });
    });
    if (stall < 0) {
      const auto& queue = rig.w()->commandQueue();
      const std::string why = "the burst did not finish: " + std::to_string(rig.voices->commands) + " of 1000 ran, " +
                              std::to_string(queue.size()) + " wait in JexUI's queue (timer " +
                              (queue.tmrCMD()->isActive() ? "on" : "off") + "), " +
                              std::to_string(jex::automation::dbus::callsWaiting()) + " calls wait for their reply";
      state.SkipWithError(why.c_str());
      return;
    }
    maxStall = std::max(maxStall, stall);
  }
  state.counters["ms_per_command"] = rounds.total() / double(state.iterations()) / kBurst;
  state.counters["max_stall_ms"] = maxStall;
}
BENCHMARK(BM_BusBurst)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QApplication>(argc, argv); }
