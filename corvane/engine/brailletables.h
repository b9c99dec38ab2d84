// The Braille translation tables that liblouis offers.
//
// The list is what liblouis indexes (lou_listTables), as full paths, one per file title (the
// name without directory and extension): when two files share a title, a ".utb" wins over a
// ".ctb", which wins over a ".tbl"; the other is logged and left out. Titles are compared
// without regard to case. Sorted by title.
//
// liblouis opens every file it indexes, so it is given only the regular files of its table
// path (a pipe or device named like a table would block the reading for good), and the list
// is read on a thread of its own, started with the core.
#pragma once

#include <QHash>
#include <QStringList>
#include <mutex>

namespace corvane {

class BrailleTables {
 public:
  // Starts reading the list on its own thread (once per process; liblouis keeps its own index).
  static void startIndexing();
  // The list; waits for the reading at most waitMs, else logs it and returns no tables.
  static BrailleTables index(int waitMs = 10000);
  static bool indexed();
  // The table files liblouis may open: regular files ending .ctb, .utb or .tbl in the
  // directories of dirs (liblouis's table path when empty), in that order.
  static QStringList tableFiles(const QStringList& dirs = {});
  // Held around every call into liblouis, which is not made for two threads at once.
  static std::mutex& louisLock();
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
