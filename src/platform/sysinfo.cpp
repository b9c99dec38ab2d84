#include "platform/sysinfo.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QStorageInfo>
#include <QSysInfo>

#include <dlfcn.h>
#include <stdio.h>

namespace jex::platform {

OsVersion osVersion() {
  OsVersion v;
  // kernelVersion() is like "6.1.0-18-amd64".
  static const QRegularExpression re(QStringLiteral("^(\\d+)\\.(\\d+)(?:\\.(\\d+))?"));
  const auto m = re.match(QSysInfo::kernelVersion());
  if (!m.hasMatch()) return v;
  v.valid = true;
  v.family = QStringLiteral("Linux");
  v.major = m.captured(1).toInt();
  v.minor = m.captured(2).toInt();
  v.build = m.captured(3).toInt();
  v.extra = QSysInfo::prettyProductName();
  return v;
}

QString systemDirectory() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&fopen), &info) && info.dli_fname) {
    const QString dir = QFileInfo(QString::fromLocal8Bit(info.dli_fname)).canonicalPath();
    if (!dir.isEmpty()) return dir + u'/';
  }
  return QStringLiteral("/usr/lib/");
}

std::optional<quint64> freeDiskBytes(const QString& path) {
  QStorageInfo s(path);
  if (!s.isValid() || !s.isReady()) return std::nullopt;
  return quint64(s.bytesAvailable());
}

MemoryStatus parseMemInfo(const QByteArray& text) {
  MemoryStatus m;
  bool total = false, avail = false;
  for (const QByteArray& line : text.split('\n')) {
    const qsizetype colon = line.indexOf(':');
    if (colon < 0) continue;
    const QByteArray key = line.left(colon);
    QByteArray value = line.mid(colon + 1).trimmed();
    if (value.endsWith(" kB")) value.chop(3);
    bool ok = false;
    const quint64 kb = value.toULongLong(&ok);
    if (!ok) continue;
    if (key == "MemTotal") m.totalPhys = kb * 1024, total = true;
    else if (key == "MemAvailable") m.availPhys = kb * 1024, avail = true;
    else if (key == "SwapTotal") m.totalSwap = kb * 1024;
  }
  m.valid = total && avail;
  return m;
}

MemoryStatus memoryStatus() {
  QFile f(QStringLiteral("/proc/meminfo"));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return parseMemInfo(f.readAll());
}

ScreenInfo screenInfo() {
  ScreenInfo s;
  const QScreen* screen =
      qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::primaryScreen() : nullptr;
  if (!screen) return s;
  s.valid = true;
  s.width = screen->size().width();
  s.height = screen->size().height();
  s.depth = screen->depth();
  return s;
}

QString libraryVersion(const QString& file) {
  const QFileInfo fi(file);
  if (!fi.exists()) return {};
  const QString real = QFileInfo(fi.canonicalFilePath()).fileName();
  const qsizetype at = real.indexOf(QStringLiteral(".so."));
  return at < 0 ? QString() : real.mid(at + 4);
}

}  // namespace jex::platform
