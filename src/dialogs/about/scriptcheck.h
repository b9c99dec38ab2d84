// The core's script files against the reference list "scripts.dat" of its scripts directory.
//
// The reference list is a text file, one script a line: the path relative to the scripts
// directory (with "/"), its size in bytes and the MD5 of its content in hexadecimal, separated by
// "|". Lines starting with ";" and empty lines are ignored. Script files are the sources "*.vbs"
// and the compiled scripts "*.vbc" anywhere below the scripts directory.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace jex {

struct ScriptEntry {
  QString name;  // relative path, "/" separated
  qint64 size = 0;
  QString checksum;
  bool operator==(const ScriptEntry&) const = default;
};

inline const QString kScriptList = QStringLiteral("scripts.dat");

// The script files below dir, sorted by name without regard to case.
QList<ScriptEntry> listScripts(const QString& dir);
// The reference list; nullopt when the file cannot be read.
std::optional<QList<ScriptEntry>> readScriptList(const QString& file);
// The text of a reference list for the given scripts.
QByteArray scriptListText(const QList<ScriptEntry>& scripts);

// The differences, one line each: "changed: name", "missing: name" (listed, not found) and
// "new: name" (found, not listed), in name order. {"no RefDat !"} without a readable reference
// list, {"no RefDat ! nothing !"} when there are no scripts either.
QStringList scriptChanges(const QString& scriptsDir);

}  // namespace jex
