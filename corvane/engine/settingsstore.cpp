#include "corvane/engine/settingsstore.h"

#include <QFileInfo>

#include "core/base/log.h"
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

std::unique_ptr<SettingsStore> openSettings(const QString& path) { return std::make_unique<IniFileStore>(path); }

}  // namespace corvane
