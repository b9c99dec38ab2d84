// cIniFil on a language-file-sized INI: 2,000 keys in 40 sections (about 100 KB).
#include "ini/cinifil.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int kSections = 40;
constexpr int kKeys = 50;  // per section

struct LanguageFile {
  QTemporaryDir dir;
  QString path = dir.filePath("JEXUIDLG.INI");

  LanguageFile() {
    QByteArray text;
    for (int s = 1; s <= kSections; ++s) {
      text += "[frmDialog" + QByteArray::number(s) + "]\r\n";
      for (int k = 1; k <= kKeys; ++k)
        text += "lblCaption" + QByteArray::number(k) + "=Beschriftung Nummer " + QByteArray::number(k) +
                " im Dialog|Hinweistext zur Beschriftung\r\n";
      text += "\r\n";
    }
    QFile out(path);
    out.open(QIODevice::WriteOnly);
    out.write(text);
    out.close();
    age();
  }
  // An unchanged file, as a language file is while a program runs.
  void age() const {
    QFile f(path);
    f.open(QIODevice::ReadWrite);
    f.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime);
  }
};

LanguageFile& languageFile() {
  static LanguageFile file;
  return file;
}

void BM_GetStr(benchmark::State& state) {
  jex::cIniFil ini;
  ini.Init(languageFile().path, false);
  int i = 0;
  for (auto _ : state) {
    const int n = i++ % (kSections * kKeys);
    benchmark::DoNotOptimize(ini.GetStr(QStringLiteral("frmDialog%1").arg(n / kKeys + 1),
                                        QStringLiteral("lblCaption%1").arg(n % kKeys + 1)));
  }
}
BENCHMARK(BM_GetStr);

void BM_GetLong(benchmark::State& state) {
  jex::cIniFil ini;
  ini.Init(languageFile().path, false);
  const QString section = QStringLiteral("frmDialog20");
  const QString key = QStringLiteral("lblCaption25");
  for (auto _ : state) benchmark::DoNotOptimize(ini.GetLong(section, key, 3));
}
BENCHMARK(BM_GetLong);

void BM_SectionLoad(benchmark::State& state) {
  jex::cIniFil ini;
  ini.Init(languageFile().path, false);
  const QString section = QStringLiteral("frmDialog20");
  for (auto _ : state) {
    jex::Array2<QString> entries;
    ini.SectionLoad(entries, section);
    benchmark::DoNotOptimize(entries);
  }
}
BENCHMARK(BM_SectionLoad);

// One section of 80,000 lines (about 1.7 MB), far beyond the first section buffer.
void BM_SectionLoadLarge(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = dir.filePath("LARGE.INI");
  {
    QByteArray text = "[Big]\r\n";
    for (int k = 1; k <= 80000; ++k)
      text += "key" + QByteArray::number(k) + "=value number " + QByteArray::number(k) + "\r\n";
    QFile out(path);
    out.open(QIODevice::WriteOnly);
    out.write(text);
  }
  jex::cIniFil ini;
  ini.Init(path, false);
  for (auto _ : state) {
    jex::Array2<QString> entries;
    ini.SectionLoad(entries, QStringLiteral("Big"));
    if (entries.ubound(2) != 80000) state.SkipWithError("wrong entry count");
    benchmark::DoNotOptimize(entries);
  }
}
BENCHMARK(BM_SectionLoadLarge)->Unit(benchmark::kMillisecond)->Iterations(2);

// Each save rewrites the whole 100 KB file atomically under its lock.
void BM_SettingSave(benchmark::State& state) {
  jex::cIniFil ini;
  ini.Init(languageFile().path, false);
  int i = 0;
  for (auto _ : state)
    ini.SettingSave(QStringLiteral("frmDialog40"), QStringLiteral("lblCaption50"), QString::number(i++));
  languageFile().age();
}
BENCHMARK(BM_SettingSave)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
