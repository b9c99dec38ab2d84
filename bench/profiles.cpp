// Profile operations on a profile of 200 files (the shipped DEFAULT's files, key-binding sets
// and sounds of 1 to 16 KB in three folders): a whole copy as the users dialog makes it (lock,
// leftovers, copy under a hidden name, flush, rename into place), the same copy without the
// flush, and export and import of the profile as a .zip.
//
// The profiles are made where the core keeps its users, below the user's data folder
// (~/.local/share), or below $JEX_BENCH_DIR when that is set: file creation costs differ a lot
// between folders of one machine (ten times more in /tmp of the CI machine than in $HOME).
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "bench/benchmain.h"
#include "dialogs/profiles/cprofiles.h"
#include "platform/profiletree.h"

namespace {

constexpr int kFiles = 200;

QString benchFolder() {
  QString base = qEnvironmentVariable("JEX_BENCH_DIR");
  if (base.isEmpty()) base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  QDir().mkpath(base);
  return base + QStringLiteral("/bench_profiles-XXXXXX");
}

struct Profile {
  QTemporaryDir dir{benchFolder()};
  QString users = dir.path() + QStringLiteral("/user/");
  jex::cProfiles profiles{users};
  int files = 0;
  // Makes "Hans" of DEFAULT and files of its own up to kFiles in all.
  void fill() {
    QDir().mkpath(users);
    profiles.Create(QStringLiteral("Hans"));
    const char* folders[] = {"keys", "sounds/extra", "scripts"};
    for (const char* f : folders) QDir().mkpath(users + QStringLiteral("Hans/") + QLatin1String(f));
    for (int i = 0; files < kFiles; ++i, ++files) {
      QFile out(users + QStringLiteral("Hans/%1/FILE%2.DAT").arg(QLatin1String(folders[i % 3])).arg(i));
      out.open(QIODevice::WriteOnly);
      out.write(QByteArray(1024 * (1 + i % 16), char('a' + i % 26)));
    }
  }
};

Profile& profile() {
  static Profile* p = [] {
    auto* made = new Profile;
    QDir().mkpath(made->users);
    made->files = jex::platform::copyTree(QStringLiteral(JEX_SOURCE_DIR "/data/user/DEFAULT"),
                                          made->users + QStringLiteral("DEFAULT"), false)
                      .files;
    made->fill();
    return made;
  }();
  return *p;
}

void CopyProfile(benchmark::State& state) {
  Profile& p = profile();
  jex::bench::Rounds rounds(state);
  for (auto _ : state) {
    if (!rounds.time([&] {
          return p.profiles.Copy(QStringLiteral("Hans"), QStringLiteral("Kopie")) == jex::cProfiles::Outcome::Done;
        }))
      break;
    jex::platform::removeTree(p.users + QStringLiteral("Kopie"));
  }
  state.counters["files"] = p.files;
  state.SetLabel(p.dir.path().toStdString());
}
BENCHMARK(CopyProfile)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

void CopyTreeWithoutFlush(benchmark::State& state) {
  Profile& p = profile();
  jex::bench::Rounds rounds(state);
  for (auto _ : state) {
    rounds.time(
        [&] { jex::platform::copyTree(p.users + QStringLiteral("Hans"), p.users + QStringLiteral(".bench"), false); });
    jex::platform::removeTree(p.users + QStringLiteral(".bench"));
  }
}
BENCHMARK(CopyTreeWithoutFlush)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

void ExportImport(benchmark::State& state) {
  Profile& p = profile();
  const QString zip = p.dir.path() + QStringLiteral("/hans.zip");
  std::vector<double> exports, imports;
  for (auto _ : state) {
    const auto t0 = jex::bench::Clock::now();
    const bool exported = p.profiles.Export(QStringLiteral("Hans"), zip) == jex::cProfiles::Outcome::Done;
    const auto t1 = jex::bench::Clock::now();
    const bool imported = p.profiles.Import(zip, QStringLiteral("Imported")) == jex::cProfiles::Outcome::Done;
    const auto t2 = jex::bench::Clock::now();
    if (!exported || !imported) {
      state.SkipWithError("export or import failed");
      break;
    }
    exports.push_back(jex::bench::ms(t1 - t0));
    imports.push_back(jex::bench::ms(t2 - t1));
    state.SetIterationTime(std::chrono::duration<double>(t2 - t0).count());
    jex::platform::removeTree(p.users + QStringLiteral("Imported"));
  }
  state.counters["export_ms"] = jex::bench::median(exports);
  state.counters["import_ms"] = jex::bench::median(imports);
}
BENCHMARK(ExportImport)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return jex::bench::run<QCoreApplication>(argc, argv); }
