#include "base/log.h"

#include <QFile>

namespace jex {
namespace {
QString g_path;
int g_threshold = 0;

void appendLine(const QString& text) {
  if (g_path.isEmpty()) return;
  QFile f(g_path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) return;
  QByteArray line = text.toUtf8();
  line.append("\r\n");
  f.write(line);
}
}  // namespace

void WriteLog(const QString& message, LogLevel level) {
  if (g_threshold >= level) appendLine(message);
}

void WriteErrorLog(const QString& message) { appendLine(QStringLiteral("!!! ERROR ") + message); }

namespace logfile {
void setPath(const QString& path) { g_path = path; }
QString path() { return g_path; }
void setThreshold(int level) { g_threshold = level; }
int threshold() { return g_threshold; }
void remove() {
  if (!g_path.isEmpty()) QFile::remove(g_path);
}
}  // namespace logfile
}  // namespace jex
