#include "platform/system.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>
#include <QUrl>

#include <pwd.h>
#include <unistd.h>

namespace jex::platform {

qint64 ownProcessId() { return qint64(::getpid()); }

QString loginName() {
  if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name) return QString::fromLocal8Bit(pw->pw_name);
  return qEnvironmentVariable("USER");
}

QString systemCode() {
  // kernelVersion() is like "6.1.0-18-amd64".
  const QStringList parts = QSysInfo::kernelVersion().split(QLatin1Char('.'));
  QString digits;
  for (int i = 0; i < parts.size() && i < 2; ++i) {
    QString d;
    for (QChar c : parts[i]) {
      if (!c.isDigit()) break;
      d += c;
    }
    digits += d;
  }
  return (QStringLiteral("L") + digits).left(3);
}

bool shellOpen(const QString& file, const QString& dir, const QStringList& args) {
  const QFileInfo fi(QFileInfo(file).isRelative() && !dir.isEmpty() ? dir + QLatin1Char('/') + file : file);
  if (fi.isFile() && fi.isExecutable()) {
    return QProcess::startDetached(fi.absoluteFilePath(), args, dir.isEmpty() ? fi.absolutePath() : dir);
  }
  const QUrl url = fi.exists() ? QUrl::fromLocalFile(fi.absoluteFilePath()) : QUrl::fromUserInput(file);
  if (!url.isValid()) return false;
  return QDesktopServices::openUrl(url);
}

}  // namespace jex::platform
