#include "corvane/core/settingsstore.h"

#include <QFile>
#include <QSaveFile>

#include "core/base/log.h"

namespace corvane {

namespace {
bool isSectionLine(const QString& t) { return t.startsWith(u'[') && t.endsWith(u']'); }
}  // namespace

IniFileStore::IniFileStore(QString path) : path_(std::move(path)) { load(); }

void IniFileStore::load() {
  lines_.clear();
  QFile f(path_);
  if (!f.exists()) return;
  if (!f.open(QIODevice::ReadOnly)) {
    jex::WriteErrorLog(QStringLiteral("corvane.ini: cannot read ") + path_);
    return;
  }
  const QString text = QString::fromUtf8(f.readAll());
  lines_ = text.split(u'\n');
  for (QString& l : lines_)
    if (l.endsWith(u'\r')) l.chop(1);
  while (!lines_.isEmpty() && lines_.last().isEmpty()) lines_.removeLast();
}

int IniFileStore::find(const QString& section, const QString& key, int* sectionEnd) const {
  bool inSection = false;
  int found = -1;
  *sectionEnd = -1;
  for (int i = 0; i < lines_.size(); ++i) {
    const QString t = lines_[i].trimmed();
    if (isSectionLine(t)) {
      if (inSection) return found;  // sectionEnd already points after the last line
      inSection = t.mid(1, t.size() - 2).trimmed().compare(section, Qt::CaseInsensitive) == 0;
      if (inSection) *sectionEnd = i + 1;
      continue;
    }
    if (!inSection) continue;
    if (!t.isEmpty()) *sectionEnd = i + 1;
    const qsizetype eq = t.indexOf(u'=');
    if (eq > 0 && found < 0 && t.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0) found = i;
  }
  return found;
}

QString IniFileStore::value(const QString& section, const QString& key, const QString& fallback) const {
  int end = -1;
  const int i = find(section, key, &end);
  if (i < 0) return fallback;
  const QString& line = lines_[i];
  return line.mid(line.indexOf(u'=') + 1).trimmed();
}

bool IniFileStore::setValue(const QString& section, const QString& key, const QString& value) {
  if (key.trimmed().isEmpty() || key.contains(u'=') || key.contains(u'\n') || value.contains(u'\n') ||
      section.contains(u']') || section.contains(u'\n')) {
    jex::WriteErrorLog(QStringLiteral("corvane.ini: refused bad entry [") + section + u']' + key);
    return false;
  }
  int end = -1;
  const int i = find(section, key, &end);
  const QString line = key + u'=' + value;
  if (i >= 0) {
    lines_[i] = line;
  } else if (end >= 0) {
    lines_.insert(end, line);
  } else {
    if (!lines_.isEmpty()) lines_.append(QString());
    lines_.append(u'[' + section + u']');
    lines_.append(line);
  }
  return save();
}

bool IniFileStore::save() const {
  QSaveFile f(path_);
  if (!f.open(QIODevice::WriteOnly)) {
    jex::WriteErrorLog(QStringLiteral("corvane.ini: cannot write ") + path_ + QStringLiteral(": ") + f.errorString());
    return false;
  }
  f.write((lines_.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
  if (!f.commit()) {
    jex::WriteErrorLog(QStringLiteral("corvane.ini: cannot store ") + path_ + QStringLiteral(": ") + f.errorString());
    return false;
  }
  return true;
}

std::unique_ptr<SettingsStore> openSettings(const QString& path) { return std::make_unique<IniFileStore>(path); }

}  // namespace corvane
