#include "corvane/engine/brailletables.h"

#include <liblouis/liblouis.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>

#include "base/error.h"
#include "base/log.h"
#include "base/paths.h"

namespace corvane {

namespace {

int extensionRank(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == u"utb") return 3;
  if (suffix == u"ctb") return 2;
  if (suffix == u"tbl") return 1;
  return 0;
}

// liblouis's own messages go to the log instead of standard error.
void louisLog(logLevels level, const char* message) {
  const QString text = QStringLiteral("liblouis: ") + QString::fromLocal8Bit(message);
  if (level >= LOU_LOG_ERROR) jex::WriteLog(text, jex::kTraffic);
  else jex::WriteLog(text, jex::kDetail);
}

}  // namespace

QString BrailleTables::title(const QString& pathOrName) { return jex::fileTitle(pathOrName.trimmed()); }

bool BrailleTables::compiles(const QString& path) {
  if (path.isEmpty() || path.contains(u',')) return false;  // a comma would name a table list
  if (!QFileInfo(path).isFile()) return false;              // never a pipe or a device
  std::lock_guard lock(louisLock());
  return lou_checkTable(QFile::encodeName(path).constData()) != 0;
}

std::mutex& BrailleTables::louisLock() {
  static std::mutex m;
  return m;
}

QStringList BrailleTables::tableFiles(const QStringList& given) {
  QStringList dirs = given;
  if (dirs.isEmpty()) {  // liblouis's own search path: LOUIS_TABLEPATH, the data path, the installed tables
    dirs = qEnvironmentVariable("LOUIS_TABLEPATH").split(u',', Qt::SkipEmptyParts);
    {
      std::lock_guard lock(louisLock());
      if (const char* data = lou_getDataPath(); data && *data)
        dirs << QFile::decodeName(data) + QStringLiteral("/liblouis/tables");
    }
#ifdef JEX_LOUIS_TABLES_DIR
    dirs << QStringLiteral(JEX_LOUIS_TABLES_DIR);
#endif
  }
  QStringList files;
  QSet<QString> seen;
  for (const QString& dir : dirs) {
    // QDir::Files without QDir::System: pipes, sockets and device nodes are not listed.
    const QFileInfoList entries =
        QDir(dir).entryInfoList({QStringLiteral("*.ctb"), QStringLiteral("*.utb"), QStringLiteral("*.tbl")},
                                QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& f : entries) {
      const QString path = f.absoluteFilePath();
      if (f.isFile() && !seen.contains(f.fileName())) {  // the first directory naming a file wins
        seen.insert(f.fileName());
        files << path;
      }
    }
  }
  return files;
}

namespace {
struct Indexing {
  std::mutex m;
  std::shared_future<BrailleTables> result;
};
Indexing& indexing() {
  static auto* i = new Indexing;  // the thread may outlive every other object
  return *i;
}

BrailleTables readIndex() {
  BrailleTables t;
  jex::trap("BrailleTables.index", [&] {
    const QStringList files = BrailleTables::tableFiles();
    std::vector<QByteArray> names;
    for (const QString& f : files) names.push_back(QFile::encodeName(f));
    std::vector<const char*> argv;
    for (const QByteArray& n : names) argv.push_back(n.constData());
    argv.push_back(nullptr);
    QStringList found;
    {
      std::lock_guard lock(BrailleTables::louisLock());
      lou_registerLogCallback(louisLog);
      if (!files.isEmpty()) lou_indexTables(argv.data());
      char** list = files.isEmpty() ? nullptr : lou_listTables();
      for (char** p = list; p && *p; ++p) {
        found << QFile::decodeName(*p);
        std::free(*p);
      }
      std::free(list);
    }
    t = BrailleTables::fromPaths(found);
  });
  return t;
}
}  // namespace

void BrailleTables::startIndexing() {
  jex::trap("BrailleTables.startIndexing", [] {
    Indexing& i = indexing();
    std::lock_guard lock(i.m);
    if (i.result.valid()) return;
    auto promise = std::make_shared<std::promise<BrailleTables>>();
    i.result = promise->get_future().share();
    std::thread([promise] { promise->set_value(readIndex()); }).detach();
  });
}

bool BrailleTables::indexed() {
  Indexing& i = indexing();
  std::lock_guard lock(i.m);
  return i.result.valid() && i.result.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

BrailleTables BrailleTables::index(int waitMs) {
  return jex::trapped("BrailleTables.index", BrailleTables(), [&] {
    startIndexing();
    std::shared_future<BrailleTables> result;
    {
      Indexing& i = indexing();
      std::lock_guard lock(i.m);
      result = i.result;
    }
    if (result.wait_for(std::chrono::milliseconds(waitMs)) != std::future_status::ready) {
      jex::WriteErrorLog(QStringLiteral("Braille tables: the list is still being read; none offered yet"));
      return BrailleTables();
    }
    return result.get();
  });
}

BrailleTables BrailleTables::fromPaths(const QStringList& found) {
  BrailleTables t;
  if (found.isEmpty()) {
    jex::WriteErrorLog(QStringLiteral("Braille tables: liblouis lists no tables (no table data installed?)"));
    return t;
  }
  for (const QString& path : found) {
    const QString key = title(path).toLower();
    const auto it = t.byTitle_.constFind(key);
    if (it == t.byTitle_.constEnd()) {
      t.byTitle_.insert(key, path);
      continue;
    }
    const bool replace = extensionRank(path) > extensionRank(*it);
    jex::WriteLog(QStringLiteral("Braille tables: ") + (replace ? *it : path) + QStringLiteral(" left out for ") +
                      (replace ? path : *it),
                  jex::kTraffic);
    if (replace) t.byTitle_.insert(key, path);
  }
  t.paths_ = t.byTitle_.values();
  std::sort(t.paths_.begin(), t.paths_.end(),
            [](const QString& a, const QString& b) { return title(a).compare(title(b), Qt::CaseInsensitive) < 0; });
  return t;
}

QString BrailleTables::pathOf(const QString& name) const { return byTitle_.value(title(name).toLower()); }

}  // namespace corvane
