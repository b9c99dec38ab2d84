// The options dialog as its user meets it, with the built core its own process on a private bus.
//   BM_OptionsDialogShown: the main window's entry "Optionen..." chosen until frmOptions is
//     visible with all its values: the general switches, the languages, the logon service and
//     the document wizard's values of the chosen entry (each read from the core over the bus).
//     range(0) 0: preloaded as at start-up; 1: the cold first showing (the dialog made).
//     Counter median_ms; goal 15 ms.
//   BM_LanguageSwitch: the language chosen in the options dialog stored (German and English in
//     turn, both left to right, so no restart) until every loaded form shows the new language's
//     texts: the main window, frmOptions and frmUser, each re-localised from the language file
//     on UI_LNGCHANGE. The core is told of the change and asked for its language over the bus.
//     The copied installation's files are dated back as an installed program's are (files
//     changed in the last seconds are parsed at every read). Counter median_ms; goal 20 ms.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <optional>

#include <benchmark/benchmark.h>

#include "bench/benchmain.h"
#include "bench/corerig.h"
#include "bench/mainwindowrig.h"
#include "dialogs/options/frmoptions.h"
#include "dialogs/profiles/frmuser.h"
#include "global/cglobal.h"
#include "localisation/frmlocalizer.h"
#include "users/cuser.h"
#include "widgets/formservice.h"

namespace jex {
forms::Form frmOptionsForm();  // its registration (dialogs/options/frmoptions.cpp)
forms::Form frmUserForm();     // (dialogs/profiles/frmuser.cpp)
}  // namespace jex

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
}
BENCHMARK(BM_OptionsDialogShown)
    ->ArgName("cold")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(kRounds)
    ->Unit(benchmark::kMillisecond);

// One text of each loaded form, as the language file of 1033 has it.
struct Probe {
  QWidget* widget;
  QString english, german;
  QString text() const {
    if (auto* b = qobject_cast<QAbstractButton*>(widget)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(widget)) return l->text();
    return {};
  }
};

void BM_LanguageSwitch(benchmark::State& state) {
  Rig rig;
  if (jex::bench::skipped(state, rig.error)) return;
  jex::forms::add(jex::frmUserForm());
  jex::forms::load(S("frmOptions"));
  jex::forms::load(S("frmUser"));
  rig.core.settleFiles();
  QWidget* options = jex::forms::instance(S("frmOptions"));
  QWidget* user = jex::forms::instance(S("frmUser"));
  std::vector<Probe> probes;
  const auto probe = [&](QWidget* form, const char* name, const char* english) {
    auto* w = form ? form->findChild<QWidget*>(S(name)) : nullptr;
    if (w) probes.push_back({w, S(english), {}});
  };
  probe(rig.window->w, "cmdMenu(0)", "File");
  probe(options, "chkNavBeep", "Tones while navigating");
  probe(user, "lblTitle", "User management");
  if (probes.size() != 3) {
    state.SkipWithError("a form's control to watch is missing");
    jex::forms::remove(S("frmUser"));
    return;
  }
  for (Probe& p : probes) p.german = p.text();
  const auto shows = [&](bool english) {
    return std::all_of(probes.begin(), probes.end(), [english](const Probe& p) {
      const QString t = p.text();
      return english ? t.startsWith(p.english) : t == p.german;
    });
  };
  Rounds rounds(state);
  bool english = false;
  for (auto _ : state) {
    english = !english;
    const QString to = english ? S("1033") : S("1031");
    const bool ok = rounds.time(
        [&] {
          jex::frmLocalizer().ChangeLanguage(to);
          return spin([&] { return shows(english); }, 10000) >= 0;
        },
        "a form did not show the new language");
    if (!ok) break;
  }
  jex::forms::remove(S("frmUser"));
}
BENCHMARK(BM_LanguageSwitch)->UseManualTime()->Iterations(kRounds)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QApplication>(argc, argv); }
