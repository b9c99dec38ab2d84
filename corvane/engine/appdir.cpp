#include "corvane/engine/appdir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "base/log.h"
#include "base/paths.h"

namespace corvane {

const char* const kDefaultIni =
    "[General]\r\n"
    "DefaultLng=1031\r\n"
    "MeridanLoaded=0\r\n"
    "UseSpeech=1\r\n"
    "\r\n"
    "[Braille]\r\n"
    "ActiveBraillePort=COM1\r\n";

QString defaultAppPath() {
  QString base = qEnvironmentVariable("XDG_DATA_HOME");
  if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.local/share");
  return base + QStringLiteral("/corvane/");
}

int copyTreeKeepExisting(const QString& from, const QString& to) {
  int copied = 0;
  const QDir src(from);
  if (from.isEmpty() || !src.exists()) return 0;
  QDirIterator it(from, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString file = it.next();
    const QString rel = src.relativeFilePath(file);
    const QString target = QDir(to).filePath(rel);
    if (QFileInfo::exists(target)) continue;
    QDir().mkpath(QFileInfo(target).absolutePath());
    if (QFile::copy(file, target)) {
      QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner);
      ++copied;
    } else {
      jex::WriteErrorLog(QStringLiteral("AppPath: cannot copy ") + file + QStringLiteral(" to ") + target);
    }
  }
  return copied;
}

AppDirResult prepareAppDir(const QString& appPath, const QString& dataDir) {
  AppDirResult r;
  QString path = QDir::cleanPath(QDir(appPath).absolutePath());
  r.appPath = jex::withTrailingSlash(path);
  if (QFileInfo(path).exists() && !QFileInfo(path).isDir()) {
    r.error = QStringLiteral("AppPath is a file, not a directory: ") + path;
    return r;
  }
  if (!QDir().mkpath(path)) {
    r.error = QStringLiteral("cannot create AppPath ") + path;
    return r;
  }
  r.copiedFiles = copyTreeKeepExisting(dataDir, path);
  const QString ini = r.appPath + QStringLiteral("corvane.ini");
  if (!QFileInfo::exists(ini)) {
    QSaveFile f(ini);
    if (!f.open(QIODevice::WriteOnly) || f.write(kDefaultIni) < 0 || !f.commit()) {
      r.error = QStringLiteral("cannot write ") + ini;
      return r;
    }
  }
  r.ok = true;
  return r;
}

}  // namespace corvane
