// The options dialog as its user meets it, with the built core its own process on a private bus.
//   BM_OptionsDialogShown: the main window's entry "Optionen..." chosen until frmOptions is
//     visible with all its values: the general switches, the languages, the logon service and
//     the document wizard's values of the chosen entry (each read from the core over the bus).
//     range(0) 0: preloaded as at start-up; 1: the cold first showing (the dialog made).
//     Counter median_ms; goal 15 ms.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <optional>

#include <benchmark/benchmark.h>

#include "bench/benchmain.h"
#include "bench/corerig.h"
#include "bench/mainwindowrig.h"
#include "dialogs/options/frmoptions.h"
#include "global/cglobal.h"
#include "localisation/frmlocalizer.h"
#include "users/cuser.h"
#include "widgets/formservice.h"

namespace jex {
forms::Form frmOptionsForm();  // its registration (dialogs/options/frmoptions.cpp)
}

namespace {
using jex::bench::Rounds;
using jex::bench::spin;

QString S(const char* s) { return QString::fromUtf8(s); }
constexpr int kRounds = 30;

struct Rig {
  jex::bench::CoreRig core{S("bench-jexui")};
  std::optional<jex::bench::MainWindowRig> window;
  QString error = core.error;

  Rig() {
    if (!error.isEmpty()) return;
    jex::gGlobal().AppPath = core.home.path() + S("/app/");
    jex::frmLocalizer().setLNG(S("1031"));
    jex::forms::add(jex::frmOptionsForm());
    window.emplace(core.root, core.conn.get());
    jex::gGlobal().UserProfile = jex::CreateCurrUser();
  }
  ~Rig() {
    window.reset();
    jex::forms::remove(S("frmOptions"));
    jex::resetLocalizer();
  }
  static jex::frmOptions* dialog() { return qobject_cast<jex::frmOptions*>(jex::forms::instance(S("frmOptions"))); }
  // Shown with every value: the languages listed, the logon entry and the wizard's numbers.
  bool show() {
    window->w->menuEntry(S("mnuExtrasOptions"))->trigger();
    return spin(
               [] {
                 jex::frmOptions* d = dialog();
                 return d && d->isVisible() && d->cboLanguage()->count() > 0 && d->cboTask()->count() > 0 &&
                        !d->cboDWLineLen()->currentText().isEmpty();
               },
               10000) >= 0;
  }
  void hide() {
    dialog()->hideChild();
    QCoreApplication::processEvents();
  }
};

void BM_OptionsDialogShown(benchmark::State& state) {
  const bool cold = state.range(0) == 1;
  Rig rig;
  if (jex::bench::skipped(state, rig.error)) return;
  if (!cold) jex::forms::load(S("frmOptions"));
  Rounds rounds(state);
  for (auto _ : state) {
    if (cold) delete Rig::dialog();
    if (!rounds.time([&] { return rig.show(); }, "frmOptions did not show its values")) return;
    rig.hide();
  }
  state.counters["median_ms"] = rounds.median();
}
BENCHMARK(BM_OptionsDialogShown)
    ->ArgName("cold")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(kRounds)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QApplication>(argc, argv); }
