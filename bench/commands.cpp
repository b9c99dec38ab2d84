// The command path from the core to the main window, in-process: a small core object serves the
// notifier channel, the main window registers with it as at load.
//   BM_DialogCommand: the core raises "DLGSPEECH" on the notifier until the (stand-in) voices
//     dialog is visible. Counter median_ms.
//   BM_Burst: the core raises 1,000 consumed commands at once; time until the last one ran.
//     Counters ms_per_command and max_block_ms (the longest single call or event-loop turn: the
//     longest time the user interface could not react).
#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <vector>

#include <benchmark/benchmark.h>

#include "app/cmdqueue.h"
#include "app/frmmdi.h"
#include "automation/dispatchable.h"
#include "bench/benchmain.h"
#include "global/cglobal.h"
#include "global/jexnotifier.h"
#include "widgets/formservice.h"

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

struct Rig {
  std::shared_ptr<Core> core = std::make_shared<Core>();
  QWidget voices;
  int speedUps = 0;
  jex::frmMDI* w = nullptr;
  Rig() {
    jex::Jex() = Obj(core);
    voices.setObjectName(S("frmVoices"));
    jex::forms::add({.name = S("frmVoices"), .action = [this](const QString& action, const QStringList&) {
                       if (action == S("Show")) voices.show();
                       else ++speedUps;
                     }});
    w = new jex::frmMDI;
    w->registerSink();
    w->installHook();
  }
  ~Rig() {
    w->removeHook();
    delete w;
    jex::forms::remove(S("frmVoices"));
    jex::resetGlobals();
  }
};

void BM_DialogCommand(benchmark::State& state) {
  Rig rig;
  std::vector<double> times;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    if (!rig.core->raise(S("DLGSPEECH")).isEmpty()) state.SkipWithError("DLGSPEECH was not consumed");
    while (!rig.voices.isVisible()) QCoreApplication::processEvents(QEventLoop::AllEvents);
    const auto t = Clock::now() - t0;
    state.SetIterationTime(std::chrono::duration<double>(t).count());
    times.push_back(ms(t));
    rig.voices.hide();
    QCoreApplication::processEvents();
  }
  std::sort(times.begin(), times.end());
  state.counters["median_ms"] = times.empty() ? 0 : times[times.size() / 2];
}
BENCHMARK(BM_DialogCommand)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

void BM_Burst(benchmark::State& state) {
  constexpr int kBurst = 1000;
  Rig rig;
  double maxBlock = 0, total = 0;
  for (auto _ : state) {
    rig.speedUps = 0;
    const auto t0 = Clock::now();
    for (int i = 0; i < kBurst; ++i) {  // each call is one message of its own for JexUI
      const auto call = Clock::now();
      rig.core->raise(S("SPEEDUP"));
      maxBlock = std::max(maxBlock, ms(Clock::now() - call));
    }
    while (rig.speedUps < kBurst) {
      const auto turn = Clock::now();
      QCoreApplication::processEvents(QEventLoop::AllEvents);
      maxBlock = std::max(maxBlock, ms(Clock::now() - turn));
    }
    const auto t = Clock::now() - t0;
    total += ms(t);
    state.SetIterationTime(std::chrono::duration<double>(t).count());
  }
  state.counters["ms_per_command"] = total / double(state.iterations()) / kBurst;
  state.counters["max_block_ms"] = maxBlock;
}
BENCHMARK(BM_Burst)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QApplication>(argc, argv); }
