#include "platform/filestore.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSaveFile>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <time.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace jex::platform {
namespace {

FileStamp stampOf(const struct stat& st) {
  return {static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino), static_cast<qint64>(st.st_size),
          static_cast<qint64>(st.st_mtim.tv_sec), static_cast<qint64>(st.st_mtim.tv_nsec)};
}

QString lastError() { return QString::fromLocal8Bit(strerror(errno)); }

}  // namespace

bool FileStamp::recent() const {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec - mtimeSec < 2 + (now.tv_nsec < mtimeNsec ? 1 : 0);
}

FileKind fileKind(const QString& fileName, FileStamp* stamp) {
  struct stat st {};
  if (::stat(QFile::encodeName(fileName).constData(), &st) != 0) return FileKind::Missing;
  if (!S_ISREG(st.st_mode)) return FileKind::Special;
  if (stamp) *stamp = stampOf(st);
  return FileKind::Regular;
}

ReadResult readRegularFile(const QString& fileName, QByteArray& bytes, FileStamp* stamp, QString& problem) {
  const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return ReadResult::Missing;
    problem = lastError();
    return ReadResult::Failed;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return ReadResult::Special;
  }
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    problem = file.errorString();
    return ReadResult::Failed;
  }
  bytes.resize(qsizetype(st.st_size));
  const qint64 got = file.read(bytes.data(), bytes.size());
  if (got < 0) {
    problem = file.errorString();
    return ReadResult::Failed;
  }
  bytes.resize(got);
  if (stamp) *stamp = stampOf(st);
  return ReadResult::Read;
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileLock::acquire(const QString& lockName, int waitMs, QString& problem) {
  fd_ = ::open(QFile::encodeName(lockName).constData(), O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    problem = QStringLiteral("cannot create the lock file %1: %2").arg(lockName, lastError());
    return false;
  }
  struct stat st {};
  if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    problem = QStringLiteral("the lock file %1 is not a regular file").arg(lockName);
    return false;
  }
  QDeadlineTimer deadline(waitMs);
  unsigned long pauseUs = 200;  // short at first, for a writer that is about to finish
  while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) {
      problem = QStringLiteral("cannot lock %1: %2").arg(lockName, lastError());
      return false;
    }
    if (deadline.hasExpired()) {
      problem = QStringLiteral("the file stayed locked by another process for %1 ms").arg(waitMs);
      return false;
    }
    QThread::usleep(std::min<unsigned long>(pauseUs, static_cast<unsigned long>(deadline.remainingTime()) * 1000 + 1));
    pauseUs = std::min<unsigned long>(pauseUs * 2, 20000);
  }
  return true;
}

FileReplacement::FileReplacement(const QString& fileName) : file_(std::make_unique<QSaveFile>(fileName)) {}
FileReplacement::~FileReplacement() = default;

bool FileReplacement::open(QString& problem) {
  if (file_->open(QIODevice::WriteOnly)) return true;
  problem = file_->errorString();
  return false;
}

bool FileReplacement::commit(const QByteArray& bytes, QString& problem) {
  if (file_->write(bytes) == bytes.size() && file_->commit()) return true;
  problem = file_->errorString();
  return false;
}

}  // namespace jex::platform
