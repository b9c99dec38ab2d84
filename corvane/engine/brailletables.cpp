#include "corvane/engine/brailletables.h"

#include <liblouis/liblouis.h>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>

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
  return lou_checkTable(QFile::encodeName(path).constData()) != 0;
}

BrailleTables BrailleTables::index() {
  static const BrailleTables once = [] {
    BrailleTables t;
    jex::trap("BrailleTables.index", [&] {
      lou_registerLogCallback(louisLog);
      char** list = lou_listTables();
      QStringList found;
      for (char** p = list; p && *p; ++p) {
        found << QFile::decodeName(*p);
        std::free(*p);
      }
      std::free(list);
      t = fromPaths(found);
    });
    return t;
  }();
  return once;
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
