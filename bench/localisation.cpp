// Localising one form of 60 controls (a dozen of them lists of 8 items) from a language file of
// 2,000 keys. Goal: median at most 2 ms per form.
#include "global/cglobal.h"
#include "localisation/frmlocalizer.h"

#include <QtWidgets>

#include <benchmark/benchmark.h>
#include "bench/benchmain.h"

namespace {

constexpr int kLists = 12, kItems = 8, kButtons = 20, kChecks = 10, kLabels = 10, kEdits = 8;  // 60 controls
constexpr int kFileKeys = 2000;

struct Setup {
  QTemporaryDir dir;
  QWidget form;
  class jex::frmLocalizer loc;

  Setup() {
    form.setObjectName(QStringLiteral("frmBench"));
    auto* layout = new QVBoxLayout(&form);
    QByteArray text = "[Global]\r\nRightToLeft=0\r\nCharset=0\r\n[frmBench]\r\n";
    int keys = 2;
    auto entry = [&](const QString& key, const QString& value) {
      text += (key + QLatin1Char('=') + value + QStringLiteral("\r\n")).toLatin1();
      ++keys;
    };
    auto control = [&](QWidget* w, const QString& name) {
      w->setObjectName(name);
      layout->addWidget(w);
      entry(name, QStringLiteral("Caption of ") + name + QStringLiteral("|Tool tip of ") + name);
    };
    for (int i = 0; i < kLists; ++i) {
      auto* cbo = new QComboBox;
      for (int n = 0; n < kItems; ++n) cbo->addItem(QStringLiteral("Eintrag %1").arg(n));
      control(cbo, QStringLiteral("cboList%1").arg(i));
      for (int n = 0; n < kItems; ++n)
        entry(QStringLiteral("cboList%1_Item %2").arg(i).arg(n), QStringLiteral("Item %1").arg(n));
    }
    for (int i = 0; i < kButtons; ++i)
      control(new QPushButton(QStringLiteral("Knopf")), QStringLiteral("cmdButton%1").arg(i));
    for (int i = 0; i < kChecks; ++i)
      control(new QCheckBox(QStringLiteral("Schalter")), QStringLiteral("chkSwitch%1").arg(i));
    for (int i = 0; i < kLabels; ++i)
      control(new QLabel(QStringLiteral("Etikett")), QStringLiteral("lblLabel%1").arg(i));
    for (int i = 0; i < kEdits; ++i) control(new QLineEdit(QStringLiteral("Text")), QStringLiteral("txtEdit%1").arg(i));
    for (int s = 0; keys < kFileKeys; ++s) {
      text += "[frmOther" + QByteArray::number(s) + "]\r\n";
      for (int k = 0; k < 50 && keys < kFileKeys; ++k)
        entry(QStringLiteral("lblCaption%1").arg(k), QStringLiteral("Beschriftung %1|Hinweis").arg(k));
    }
    QDir(dir.path()).mkpath(QStringLiteral("LNG/1033"));
    QFile out(dir.filePath(QStringLiteral("LNG/1033/JEXUIDLG.INI")));
    out.open(QIODevice::WriteOnly);
    out.write(text);
    // An unchanged file, as a language file is while the program runs (the read cache trusts it).
    out.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime);
    out.close();
    jex::gGlobal().AppPath = dir.path() + QLatin1Char('/');
    loc.setLNG(QStringLiteral("1033"));
  }
};

void BM_LocalizeForm(benchmark::State& state) {
  static Setup setup;
  for (auto _ : state) setup.loc.Localize(&setup.form);
}
BENCHMARK(BM_LocalizeForm)->Unit(benchmark::kMicrosecond)->Repetitions(10)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QApplication>(argc, argv); }
