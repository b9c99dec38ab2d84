// The Braille translation tables that liblouis offers.
//
// The list is what liblouis indexes (lou_listTables), as full paths, one per file title (the
// name without directory and extension): when two files share a title, a ".utb" wins over a
// ".ctb", which wins over a ".tbl"; the other is logged and left out. Titles are compared
// without regard to case. Sorted by title.
#pragma once

#include <QHash>
#include <QStringList>

namespace corvane {

class BrailleTables {
 public:
  // Indexes the tables (once per process; liblouis keeps its own index).
  static BrailleTables index();
  // The same rules over a given list of table files (a test's, or none).
  static BrailleTables fromPaths(const QStringList& files);
  const QStringList& paths() const { return paths_; }
  // The full path of a title ("de-g2"; extension and directory, if given, are ignored), or "".
  QString pathOf(const QString& title) const;
  bool isEmpty() const { return paths_.isEmpty(); }

  // "de-g2" of "/usr/share/liblouis/tables/de-g2.ctb" or of "de-g2.u2b".
  static QString title(const QString& pathOrName);
  // True when liblouis compiles the table (lou_checkTable).
  static bool compiles(const QString& path);

 private:
  QStringList paths_;
  QHash<QString, QString> byTitle_;  // lower-case title -> path
};

}  // namespace corvane
