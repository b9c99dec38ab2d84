// The command path from the core to the main window, in-process: a small core object serves the
// notifier channel, the main window registers with it as at load.
//   BM_DialogCommand: the core raises "DLGSPEECH" on the notifier until the (stand-in) voices
//     dialog is visible. Counter median_ms.
//   BM_Burst: the core raises 1,000 consumed commands at once; time until the last one ran.
//     Counters ms_per_command and max_block_ms (the longest single call or event-loop turn: the
//     longest time the user interface could not react).
#include <QApplication>
#include <algorithm>
#include <climits>

#include <benchmark/benchmark.h>

#include "automation/dispatchable.h"
#include "bench/benchmain.h"
#include "bench/mainwindowrig.h"

namespace {
using jex::Obj;
using jex::automation::Args;
using jex::bench::Clock;

QString S(const char* s) { return QString::fromUtf8(s); }
using jex::bench::ms;

class Proc : public jex::automation::Dispatchable {
 public:
  Proc() : Dispatchable(S("proc")) {
    property(S("ForeGroundApp"), [] { return QVariant(S("WINWORD")); });
    method(S("AddToCMDQueue"), 1, 1, [](Args&) { return QVariant(); });
    method(S("CallBack"), 0, -1, [](Args&) { return QVariant(); });
  }
};

class Core : public jex::automation::Dispatchable {
 public:
  Obj receiver;
  Core() : Dispatchable(S("corvane.application")), proc_(std::make_shared<Proc>()) {
    property(S("proc"), [this] { return jex::automation::fromObj(Obj(proc_)); });
    method(S("Init_JEX_UI_Notification_Sink"), 1, 1, [](Args&) { return QVariant(); });
    method(S("Clear_JEX_UI_Notification_Sink"), 0, 0, [](Args&) { return QVariant(); });
    indexed(
        S("JEX_UI_Notification_Sink_Event_Enable"), 1, [](Args&) { return QVariant(false); },
        [](Args&, const QVariant&) {});
    method(S("JexNotifier_Install"), 2, 2, [this](Args& a) {
      receiver = a.obj(0);
      return QVariant(true);
    });
    method(S("JexNotifier_Remove"), 1, 1, [this](Args&) {
      receiver = Obj();
      return QVariant(true);
    });
  }
  QString raise(const QString& command) {
    QVariantList a{command};
    receiver.call(S("HandleCmd"), a);
    return a.value(0).toString();
  }

 private:
  std::shared_ptr<Proc> proc_;
};

// The main window registered with the core, DLGSPEECH's dialog a stand-in.
struct Rig {
  std::shared_ptr<Core> core = std::make_shared<Core>();
  jex::bench::VoicesStandIn voices;
  jex::bench::MainWindowRig window{Obj(core)};
};

void BM_DialogCommand(benchmark::State& state) {
  Rig rig;
  jex::bench::Rounds rounds(state);
  for (auto _ : state) {
    rounds.time([&] {
      if (!rig.core->raise(S("DLGSPEECH")).isEmpty()) state.SkipWithError("DLGSPEECH was not consumed");
      while (!rig.voices.window.isVisible()) QCoreApplication::processEvents(QEventLoop::AllEvents);
    });
    rig.voices.window.hide();
    QCoreApplication::processEvents();
  }
}
BENCHMARK(BM_DialogCommand)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

void BM_Burst(benchmark::State& state) {
  constexpr int kBurst = 1000;
  Rig rig;
  jex::bench::Rounds rounds(state);
  double maxBlock = 0;
  for (auto _ : state) {
    rig.voices.commands = 0;
    rounds.time([&] {
      for (int i = 0; i < kBurst; ++i) {  // each call is one message of its own for JexUI
        const auto call = Clock::now();
        rig.core->raise(S("SPEEDUP"));
        maxBlock = std::max(maxBlock, ms(Clock::now() - call));
      }
      maxBlock = std::max(maxBlock, jex::bench::spin([&] { return rig.voices.commands >= kBurst; }, INT_MAX));
    });
  }
  state.counters["ms_per_command"] = rounds.total() / double(state.iterations()) / kBurst;
  state.counters["max_block_ms"] = maxBlock;
}
BENCHMARK(BM_Burst)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QApplication>(argc, argv); }
