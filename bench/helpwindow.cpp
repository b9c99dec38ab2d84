// The help window opening at a control: a help text of about 100 KB with 60 controls' markers,
// read, its markers removed and the caret put at the last control's part, until the window
// shows. Reported as the median of the rounds (counter median_ms); aimed at 20 ms or less.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextEdit>

#include <benchmark/benchmark.h>

#include "bench/benchmain.h"
#include "dialogs/help/frmhelp.h"
#include "global/cglobal.h"
#include "localisation/frmlocalizer.h"

namespace {

constexpr int kMarkers = 60;
constexpr int kTextBytes = 100 * 1024;

QByteArray helpFile() {
  QByteArray rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\\pard\\f0\\fs22 "
      "{\\b\\fs28 Hilfe zum Dialog}\\par ";
  const QByteArray para =
      "Dr\\'fccken Sie {\\i Tab}, um zum n\\'e4chsten Feld zu gelangen; {\\b Escape} "
      "schlie\\'dft den Dialog, und die Eingabetaste liest ab dem Cursor vor.\\par ";
  const int perControl = (kTextBytes / kMarkers) / para.size() + 1;
  for (int i = 0; i < kMarkers; ++i) {
    rtf += "//[ctl" + QByteArray::number(i) + "]//\\par {\\b Element " + QByteArray::number(i) + "}\\par ";
    for (int p = 0; p < perControl; ++p) rtf += para;
  }
  return rtf + "}";
}

void BM_ShowHelpAtTheLastOf60Controls(benchmark::State& state) {
  QTemporaryDir dir;
  QDir().mkpath(dir.filePath(QStringLiteral("Help/1031")));
  QFile f(dir.filePath(QStringLiteral("Help/1031/frmBench.rtf")));
  if (!f.open(QIODevice::WriteOnly)) return (void)jex::bench::skipped(state, QStringLiteral("cannot write the help"));
  const QByteArray rtf = helpFile();
  f.write(rtf);
  f.close();
  jex::gGlobal().AppPath = dir.path() + u'/';
  jex::frmLocalizer().setLNG(QStringLiteral("1031"));
  jex::frmHelp help;
  jex::bench::Rounds rounds(state);
  const QString last = QStringLiteral("ctl%1").arg(kMarkers - 1);
  for (auto _ : state) {
    const bool shown = rounds.time([&] {
      help.ShowHelp(QStringLiteral("frmBench"), last);
      return jex::bench::spin([&] { return help.isVisible(); }, 5000) >= 0 && help.readingStart() > 0;
    });
    if (!shown) break;
    state.PauseTiming();
    help.hide();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
  state.counters["file_kb"] = double(rtf.size()) / 1024;
}
BENCHMARK(BM_ShowHelpAtTheLastOf60Controls)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QApplication>(argc, argv); }
