#include "corvane/engine/speechlog.h"

#include <QDateTime>
#include <QFile>

#include "base/log.h"

namespace corvane {

SpeechLog::SpeechLog(QString path) : path_(std::move(path)) {
  if (QFile::exists(path_) && !QFile::remove(path_)) {
    // A file that cannot be removed may still be emptied.
    QFile f(path_);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
      failed_ = true;
      jex::WriteErrorLog(QStringLiteral("speech log ") + path_ + QStringLiteral(" cannot be written: ") +
                         f.errorString());
    }
  }
}

QString SpeechLog::line(const Spoken& s, const QString& outcome) {
  QString text = s.text;
  text.replace(u'\t', u' ').replace(u'\r', u' ').replace(u'\n', u' ');
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  const qint64 startLocal = now - qMax<qint64>(0, monotonicMs() - s.startMs);
  return QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7")
      .arg(QDateTime::fromMSecsSinceEpoch(startLocal).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")))
      .arg(s.startMs)
      .arg(qMax<qint64>(0, s.endMs - s.startMs))
      .arg(s.source)
      .arg(s.voice, outcome, text);
}

void SpeechLog::write(const Spoken& s, const QString& outcome) {
  if (failed_) return;
  QFile f(path_);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
    failed_ = true;  // once: speech goes on without its log
    jex::WriteErrorLog(QStringLiteral("speech log ") + path_ + QStringLiteral(" cannot be written: ") +
                       f.errorString());
    return;
  }
  f.write((line(s, outcome) + u'\n').toUtf8());
}

bool SpeechLog::parse(const QString& line, Entry* e) {
  const QStringList f = line.split(u'\t');
  if (f.size() < 7) return false;
  bool ok1 = false, ok2 = false, ok3 = false;
  e->startMs = f[1].toLongLong(&ok1);
  e->durationMs = f[2].toLongLong(&ok2);
  e->source = f[3].toInt(&ok3);
  e->voice = f[4];
  e->outcome = f[5];
  e->text = f.mid(6).join(u'\t');
  return ok1 && ok2 && ok3;
}

}  // namespace corvane
