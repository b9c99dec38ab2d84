#include "corvane/engine/settingsstore.h"

#include <QFileInfo>

#include "base/log.h"
#include "ini/privateprofile.h"

namespace corvane {

namespace pp = jex::ini;

IniFileStore::IniFileStore(QString path) : path_(std::move(path)) {
  const QFileInfo info(path_);
  if (info.exists() && !(info.isFile() && info.isReadable()))
    jex::WriteErrorLog(QStringLiteral("corvane.ini: cannot read ") + path_);
}

QString IniFileStore::value(const QString& section, const QString& key, const QString& fallback) const {
  // A missing key gives the fallback, a present empty value the empty string.
  quint32 size = 1024;
  QString buffer;
  quint32 count = pp::GetPrivateProfileString(section, key, fallback, buffer, size, path_);
  while (count == size - 1) {  // cut: read again with room for the whole value
    size *= 4;
    count = pp::GetPrivateProfileString(section, key, fallback, buffer, size, path_);
  }
  return buffer.left(count);
}

bool IniFileStore::setValue(const QString& section, const QString& key, const QString& value) {
  if (key.trimmed().isEmpty() || key.contains(u'=') || key.contains(u'\n') || value.contains(u'\n') ||
      section.contains(u']') || section.contains(u'\n')) {
    jex::WriteErrorLog(QStringLiteral("corvane.ini: refused bad entry [") + section + u']' + key);
    return false;
  }
  if (pp::WritePrivateProfileString(section, key, value, path_)) return true;
  jex::WriteErrorLog(QStringLiteral("corvane.ini: cannot write ") + path_);
  return false;
}

bool SettingsStore::setValues(const QString& section, const QList<std::pair<QString, QString>>& entries) {
  bool ok = true;
  for (const auto& [key, value] : entries) ok = setValue(section, key, value) && ok;
  return ok;
}

// The section as it is, with these keys replaced or added, written back as one replacement.
bool IniFileStore::setValues(const QString& section, const QList<std::pair<QString, QString>>& entries) {
  for (const auto& [key, value] : entries)
    if (key.trimmed().isEmpty() || key.contains(u'=') || key.contains(u'\n') || value.contains(u'\n') ||
        value.contains(u'\r') || section.contains(u']') || section.contains(u'\n')) {
      jex::WriteErrorLog(QStringLiteral("corvane.ini: refused bad entry [") + section + u']' + key);
      return false;
    }
  QString buffer;
  const quint32 size = pp::GetPrivateProfileSectionSize(section, path_);
  const quint32 count = size > 2 ? pp::GetPrivateProfileSection(section, buffer, size, path_) : 0;
  QStringList lines = buffer.left(count).split(QChar(0), Qt::SkipEmptyParts);
  for (const auto& [key, value] : entries) {
    const auto same = [&key](const QString& l) {
      return l.section(u'=', 0, 0).trimmed().compare(key, Qt::CaseInsensitive) == 0;
    };
    lines.removeIf(same);
    lines << key + u'=' + value;
  }
  if (pp::WritePrivateProfileSection(section, lines.join(QChar(0)) + QChar(0) + QChar(0), path_)) return true;
  jex::WriteErrorLog(QStringLiteral("corvane.ini: cannot write ") + path_);
  return false;
}

std::unique_ptr<SettingsStore> openSettings(const QString& path) { return std::make_unique<IniFileStore>(path); }

}  // namespace corvane
