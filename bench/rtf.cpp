// Speed of the rich-text reader: a help text of realistic make-up grown to a large size, and
// hostile input (deep nesting, many paragraphs) that must stay linear.
#include <QGuiApplication>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include "bench/benchmain.h"
#include "widgets/rtfreader.h"

namespace {

QByteArray helpText(int paragraphs) {
  QByteArray rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}"
      "{\\colortbl;\\red0\\green0\\blue0;}\\pard\\f0\\fs22 ";
  for (int i = 0; i < paragraphs; ++i) {
    rtf += "{\\b\\fs28 Abschnitt " + QByteArray::number(i) +
           "}\\par "
           "Dr\\'fccken Sie {\\i Tab}, um zum n\\'e4chsten Feld zu gelangen; \\u8222?Escape\\u8220? "
           "schlie\\'dft den Dialog.\\tab {\\ul unterstrichen}\\line und weiter.\\par ";
  }
  return rtf + "}";
}

void read(benchmark::State& state, const QByteArray& rtf) {
  for (auto _ : state) {
    QTextDocument doc;
    benchmark::DoNotOptimize(jex::rtf::read(rtf, doc));
  }
  state.SetBytesProcessed(state.iterations() * rtf.size());
}

void BM_HelpText(benchmark::State& state) { read(state, helpText(static_cast<int>(state.range(0)))); }
BENCHMARK(BM_HelpText)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_DeepNesting(benchmark::State& state) {
  const auto n = state.range(0);
  read(state, "{\\rtf1 " + QByteArray(n, '{') + "x" + QByteArray(n, '}') + "}");
}
BENCHMARK(BM_DeepNesting)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ManyParagraphs(benchmark::State& state) {
  QByteArray rtf = "{\\rtf1 ";
  for (int64_t i = 0; i < state.range(0); ++i) rtf += "\\par\\b a\\b0 ";
  read(state, rtf + "}");
}
BENCHMARK(BM_ManyParagraphs)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QGuiApplication>(argc, argv); }
