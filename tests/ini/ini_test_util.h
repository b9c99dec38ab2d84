// Helpers of the INI tests: a scratch folder with byte-exact files.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace jex::test {

class IniFolder {
 public:
  QString path(const QString& name) const { return dir_.filePath(name); }

  QString write(const QString& name, const QByteArray& bytes) const {
    const QString file = path(name);
    QFile out(file);
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) out.write(bytes);
    return file;
  }

  static QByteArray read(const QString& file) {
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
  }

  // Moves the file's modification time into the past, so that the read cache may trust it.
  static void age(const QString& file, int seconds = 60) {
    QFile f(file);
    if (f.open(QIODevice::ReadWrite))
      f.setFileTime(QDateTime::currentDateTime().addSecs(-seconds), QFileDevice::FileModificationTime);
  }

 private:
  QTemporaryDir dir_;
};

}  // namespace jex::test
