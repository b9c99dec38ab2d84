// The translation editor and the PO files of jexui-lng.
//   BM_EditControls: the editor opened on a shown form of 60 controls (a dozen of them lists of 8
//     items), until it is visible with all its rows. Goal: median at most 10 ms.
//   BM_PoExport, BM_PoImport*: a language of 2,000 keys (40 forms of 50 buttons, caption and tip
//     each) as a PO file and back; the German texts of the forms are collected beforehand
//     (BM_PoCollect, timed apart). Goal: each at most 50 ms. Import unchanged writes nothing;
//     import changed writes every key (two PO files in turn, so that each round changes them).
#include "dialogs/localizer/frmlocalizereditor.h"
#include "global/cglobal.h"
#include "localisation/frmlocalizer.h"
#include "localisation/pocatalog.h"

#include <QtWidgets>

#include <benchmark/benchmark.h>
#include "bench/benchmain.h"

#include <memory>
#include <vector>

namespace {

constexpr int kLists = 12, kItems = 8, kButtons = 20, kChecks = 10, kLabels = 10, kEdits = 8;  // 60 controls
constexpr int kForms = 40, kFormButtons = 50;                                                  // 2,000 keys

void makeEditedForm(QWidget& form) {
  form.setObjectName(QStringLiteral("frmBench"));
  auto* layout = new QVBoxLayout(&form);
  const auto add = [&](QWidget* w, const QString& name) {
    w->setObjectName(name);
    w->setToolTip(QStringLiteral("Hinweis zu ") + name);
    layout->addWidget(w);
  };
  for (int i = 0; i < kLists; ++i) {
    auto* cbo = new QComboBox;
    for (int n = 0; n < kItems; ++n) cbo->addItem(QStringLiteral("Eintrag %1").arg(n));
    add(cbo, QStringLiteral("cboList%1").arg(i));
  }
  for (int i = 0; i < kButtons; ++i)
    add(new QPushButton(QStringLiteral("Knopf")), QStringLiteral("cmdButton%1").arg(i));
  for (int i = 0; i < kChecks; ++i)
    add(new QCheckBox(QStringLiteral("Schalter")), QStringLiteral("chkSwitch%1").arg(i));
  for (int i = 0; i < kLabels; ++i) add(new QLabel(QStringLiteral("Etikett")), QStringLiteral("lblLabel%1").arg(i));
  for (int i = 0; i < kEdits; ++i) add(new QLineEdit(QStringLiteral("Text")), QStringLiteral("txtEdit%1").arg(i));
}

struct Languages {
  QTemporaryDir dir;
  std::vector<std::unique_ptr<QWidget>> forms;
  QList<QWidget*> formList;
  QString german, english;

  Languages() {
    QDir(dir.path()).mkpath(QStringLiteral("LNG/1031"));
    QDir(dir.path()).mkpath(QStringLiteral("LNG/1033"));
    QByteArray de = "[Global]\r\nRightToLeft=0\r\n", en = de;
    for (int f = 0; f < kForms; ++f) {
      auto form = std::make_unique<QWidget>();
      form->setObjectName(QStringLiteral("frmBench%1").arg(f));
      de += "[frmBench" + QByteArray::number(f) + "]\r\n";
      en += "[frmBench" + QByteArray::number(f) + "]\r\n";
      for (int b = 0; b < kFormButtons; ++b) {
        auto* button = new QPushButton(QStringLiteral("Knopf %1").arg(b), form.get());
        button->setObjectName(QStringLiteral("cmdButton%1").arg(b));
        const QByteArray key = "cmdButton" + QByteArray::number(b);
        de += key + "=Kn\xf6pfchen " + QByteArray::number(b) + "|Hinweis " + QByteArray::number(b) + "\r\n";
        en += key + "=Button " + QByteArray::number(b) + "|Tip " + QByteArray::number(b) + "\r\n";
      }
      formList << form.get();
      forms.push_back(std::move(form));
    }
    german = write("LNG/1031/JEXUIDLG.INI", de);
    english = write("LNG/1033/JEXUIDLG.INI", en);
  }
  QString write(const QString& name, const QByteArray& bytes) {
    QFile out(dir.filePath(name));
    out.open(QIODevice::WriteOnly);
    out.write(bytes);
    out.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime);
    return out.fileName();
  }
};

Languages& languages() {
  static Languages l;
  return l;
}

void BM_EditControls(benchmark::State& state) {
  static QTemporaryDir dir;
  jex::gGlobal().AppPath = dir.path() + QLatin1Char('/');
  jex::frmLocalizer().setLNG(QStringLiteral("1033"));
  QWidget form;
  makeEditedForm(form);
  form.show();
  jex::LocalizerEditor editor;
  for (auto _ : state) {
    editor.EditControls(&form);
    QCoreApplication::processEvents();  // shown and laid out with every row
    state.PauseTiming();
    if (!editor.isVisible() || editor.nl_lvwControls()->topLevelItemCount() < 60) state.SkipWithError("not shown");
    editor.cancel();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_EditControls)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

void BM_PoCollect(benchmark::State& state) {
  Languages& l = languages();
  for (auto _ : state) benchmark::DoNotOptimize(jex::po::collect(l.formList, l.german));
}
BENCHMARK(BM_PoCollect)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

void BM_PoExport(benchmark::State& state) {
  Languages& l = languages();
  const QList<jex::po::Part> parts = jex::po::collect(l.formList, l.german);
  for (auto _ : state)
    benchmark::DoNotOptimize(jex::po::exportPo(parts, QStringLiteral("1033"), l.english, 0, l.german));
  state.counters["entries"] = double(parts.size());
}
BENCHMARK(BM_PoExport)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

void BM_PoImportUnchanged(benchmark::State& state) {
  Languages& l = languages();
  const QList<jex::po::Part> parts = jex::po::collect(l.formList, l.german);
  const QByteArray po = jex::po::exportPo(parts, QStringLiteral("1033"), l.english, 0, l.german);
  for (auto _ : state) {
    const jex::po::ImportResult r =
        jex::po::importPo(parts, po, QStringLiteral("x.po"), QStringLiteral("1033"), l.english, 0, false);
    if (!r.ok || r.written) state.SkipWithError("unexpected import");
  }
}
BENCHMARK(BM_PoImportUnchanged)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

void BM_PoImportChanged(benchmark::State& state) {
  Languages& l = languages();
  const QList<jex::po::Part> parts = jex::po::collect(l.formList, l.german);
  // Made once: every run of the benchmark starts from what the last one wrote.
  static const QByteArray a = jex::po::exportPo(parts, QStringLiteral("1033"), l.english, 0, l.german);
  static const QByteArray b =
      QByteArray(a).replace("msgstr \"Button ", "msgstr \"Knob ").replace("msgstr \"Tip ", "msgstr \"Hint ");
  static bool flip = false;  // the file keeps what the last round wrote, across repetitions
  for (auto _ : state) {
    flip = !flip;
    const jex::po::ImportResult r =
        jex::po::importPo(parts, flip ? b : a, QStringLiteral("x.po"), QStringLiteral("1033"), l.english, 0, false);
    if (!r.ok || r.written != kForms * kFormButtons) {
      state.SkipWithError(qPrintable(QStringLiteral("unexpected import: %1 written, %2").arg(r.written).arg(r.error)));
      break;
    }
  }
}
BENCHMARK(BM_PoImportChanged)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QApplication>(argc, argv); }
