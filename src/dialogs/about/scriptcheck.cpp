#include "dialogs/about/scriptcheck.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>

namespace jex {

QList<ScriptEntry> listScripts(const QString& dir) {
  QList<ScriptEntry> out;
  if (dir.isEmpty() || !QDir(dir).exists()) return out;
  const QDir base(dir);
  QDirIterator it(dir, {QStringLiteral("*.vbs"), QStringLiteral("*.vbc")}, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString file = it.next();
    QFile f(file);
    ScriptEntry e;
    e.name = base.relativeFilePath(file);
    if (f.open(QIODevice::ReadOnly)) {
      const QByteArray data = f.readAll();
      e.size = data.size();
      e.checksum = QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
    }
    out << e;
  }
  std::sort(out.begin(), out.end(),
            [](const ScriptEntry& a, const ScriptEntry& b) { return a.name.compare(b.name, Qt::CaseInsensitive) < 0; });
  return out;
}

std::optional<QList<ScriptEntry>> readScriptList(const QString& file) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
  QList<ScriptEntry> out;
  for (const QByteArray& raw : f.readAll().split('\n')) {
    const QString line = QString::fromUtf8(raw).trimmed();
    if (line.isEmpty() || line.startsWith(u';')) continue;
    const QStringList parts = line.split(u'|');
    ScriptEntry e;
    e.name = parts.value(0).trimmed();
    e.size = parts.value(1).trimmed().toLongLong();
    e.checksum = parts.value(2).trimmed().toLower();
    if (!e.name.isEmpty()) out << e;
  }
  return out;
}

QByteArray scriptListText(const QList<ScriptEntry>& scripts) {
  QByteArray text = "; scripts of the core: path|size|md5\r\n";
  for (const ScriptEntry& e : scripts)
    text += (e.name + u'|' + QString::number(e.size) + u'|' + e.checksum + QStringLiteral("\r\n")).toUtf8();
  return text;
}

QStringList scriptChanges(const QString& scriptsDir) {
  const QList<ScriptEntry> found = listScripts(scriptsDir);
  const auto reference = readScriptList(QDir(scriptsDir).filePath(kScriptList));
  if (!reference) return {found.isEmpty() ? QStringLiteral("no RefDat ! nothing !") : QStringLiteral("no RefDat !")};
  // Case-blind names, sorted.
  QMap<QString, std::pair<const ScriptEntry*, const ScriptEntry*>> all;  // lower name -> (listed, found)
  for (const ScriptEntry& e : *reference) all[e.name.toLower()].first = &e;
  for (const ScriptEntry& e : found) all[e.name.toLower()].second = &e;
  QStringList lines;
  for (const auto& [listed, have] : all) {
    if (!have) lines << QStringLiteral("missing: ") + listed->name;
    else if (!listed) lines << QStringLiteral("new: ") + have->name;
    else if (listed->size != have->size || listed->checksum.compare(have->checksum, Qt::CaseInsensitive) != 0)
      lines << QStringLiteral("changed: ") + have->name;
  }
  return lines;
}

}  // namespace jex
