// The keys dialog as its user meets it, with the built core its own process on a private bus and
// one application bound heavily: 5,000 codes over the four levels (bench/bindingsets.h).
//   BM_KeysDialogShown: "DLGNUMKEY" typed on the core's console while the application is in
//     front, until frmKeys is visible with every command in its tree and the application's keys
//     in the key tree. range(0) 0: preloaded as at start-up, the key tree last filled for
//     another application as heavy (each showing merges and fills anew); 1: the same
//     application again; 2: the cold first showing (the dialog made, its trees filled); 3: an
//     application the dialog has not shown before, each round another (its levels read anew).
//     Counters median_ms and nodes (of the key tree); goal 30 ms.
//   BM_KeysSearchKeystroke: one key typed in cbo_Search (a character, then Backspace) until the
//     search it starts has chosen its match in the key tree. Counter median_ms; goal 5 ms.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <optional>

#include <benchmark/benchmark.h>

#include "bench/benchmain.h"
#include "bench/bindingsets.h"
#include "bench/corerig.h"
#include "bench/mainwindowrig.h"
#include "dialogs/keys/frmkeys.h"
#include "widgets/formservice.h"

namespace jex {
forms::Form frmKeysForm();  // its registration (dialogs/keys/frmkeys.cpp)
}

namespace {
using jex::bench::Rounds;
using jex::bench::spin;

QString S(const char* s) { return QString::fromUtf8(s); }
// Two applications bound alike, so that a showing can find the key tree filled for the other.
const QString kApps[] = {S("BIGAPP"), S("BIGAPQ")};
constexpr int kRounds = 20;
QString freshApp(int round) { return QStringLiteral("NEWAP%1").arg(round); }

struct Rig {
  jex::bench::CoreRig core{S("bench-jexui")};
  std::optional<jex::bench::MainWindowRig> window;
  QString error = core.error;

  // fresh: that many more applications bound alike, each shown once (they also lengthen the
  // application list, which names every application the user has keys for).
  explicit Rig(int fresh = 0) {
    if (!error.isEmpty()) return;
    for (const QString& app : kApps) jex::bench::writeBindingSets(core.home.path() + S("/app/"), app);
    for (int i = 0; i < fresh; ++i) jex::bench::writeBindingSets(core.home.path() + S("/app/"), freshApp(i));
    jex::forms::add(jex::frmKeysForm());
    window.emplace(core.root, core.conn.get());
  }
  ~Rig() {
    window.reset();
    jex::forms::remove(S("frmKeys"));
  }
  static jex::frmKeys* dialog() { return qobject_cast<jex::frmKeys*>(jex::forms::instance(S("frmKeys"))); }
  // The dialog as at start-up: made, its command tree filled.
  jex::frmKeys* preload() {
    jex::forms::load(S("frmKeys"));
    return spin([] { return dialog() && dialog()->treeFilled(); }, 10000) < 0 ? nullptr : dialog();
  }
  // DLGNUMKEY typed with app in front, until the dialog shows its commands and app's keys.
  bool show(const QString& app) {
    core.type(QStringLiteral(":switch JEXUI %1\nDLGNUMKEY\n").arg(app).toUtf8());
    return spin(
               [&] {
                 jex::frmKeys* d = dialog();
                 return d && d->isVisible() && d->treeFilled() && d->application() == app &&
                        d->keyNode(S("CAP_K1000|S")) && d->commandNode(S("SAYLINE"));
               },
               10000) >= 0;
  }
  void hide() {
    dialog()->hideChild();
    core.type(":switch BIGAPP JEXUI\n");
    QCoreApplication::processEvents();
  }
};

int nodes(QTreeWidget* tree) {
  int n = 0;
  for (QTreeWidgetItemIterator it(tree); *it; ++it) ++n;
  return n;
}

void BM_KeysDialogShown(benchmark::State& state) {
  const int kind = int(state.range(0));
  Rig rig(kind == 3 ? kRounds : 0);
  if (jex::bench::skipped(state, rig.error)) return;
  if (kind != 2 && jex::bench::skipped(state, rig.preload() ? QString() : S("frmKeys did not fill its command tree")))
    return;
  if (kind == 1) {
    if (jex::bench::skipped(state, rig.show(kApps[0]) ? QString() : S("frmKeys did not show"))) return;
    rig.hide();
  }
  Rounds rounds(state);
  int round = 0;
  for (auto _ : state) {
    if (kind == 2) delete Rig::dialog();
    const QString app = kind == 3 ? freshApp(round++) : kApps[kind == 0 ? round++ % 2 : 0];
    if (!rounds.time([&] { return rig.show(app); }, "frmKeys did not show the keys")) return;
    state.counters["nodes"] = nodes(Rig::dialog()->treKeys());
    rig.hide();
  }
}
BENCHMARK(BM_KeysDialogShown)
    ->ArgName("kind")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->UseManualTime()
    ->Iterations(kRounds)
    ->Unit(benchmark::kMillisecond);

void BM_KeysSearchKeystroke(benchmark::State& state) {
  Rig rig;
  if (jex::bench::skipped(state, rig.error)) return;
  if (jex::bench::skipped(state, rig.preload() && rig.show(kApps[0]) ? QString() : S("frmKeys did not show"))) return;
  jex::frmKeys* d = Rig::dialog();
  QLineEdit* field = d->cboSearch()->lineEdit();
  field->setFocus(Qt::OtherFocusReason);
  QTest::keyClicks(field, S("CMD11"));
  QCoreApplication::processEvents();
  Rounds rounds(state);
  int key = 0;
  for (auto _ : state) {
    {
      const QSignalBlocker hold(d->treKeys());  // each search from the top, the typed text kept
      d->treKeys()->setCurrentItem(d->treKeys()->topLevelItem(0));
    }
    QCoreApplication::processEvents();
    const bool typing = key++ % 2 == 0;
    rounds.time([&] {
      if (typing) QTest::keyClick(field, Qt::Key_5);
      else QTest::keyClick(field, Qt::Key_Backspace);
      QCoreApplication::processEvents();  // the search runs from the event loop
    });
    if (d->treKeys()->currentItem() == d->treKeys()->topLevelItem(0)) {
      state.SkipWithError("the search chose no match");
      return;
    }
  }
  state.counters["nodes"] = nodes(d->treKeys());
}
BENCHMARK(BM_KeysSearchKeystroke)->UseManualTime()->Iterations(100)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QApplication>(argc, argv); }
