// What the INI layer needs of the file system beyond Qt: the kind of file under a name, a whole
// read that never blocks, a lock between processes and the atomic replacement of a file.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <memory>

class QSaveFile;

namespace jex::platform {

// A file's identity and content stamp: device, file number, size and modification time.
struct FileStamp {
  quint64 device = 0;
  quint64 inode = 0;
  qint64 size = 0;
  qint64 mtimeSec = 0;
  qint64 mtimeNsec = 0;

  bool operator==(const FileStamp&) const = default;
  // A file changed in the last two seconds may change again unseen within the same time stamp.
  bool recent() const;
};

// Missing: nothing (or nothing reachable) under the name; Special: a FIFO, device, socket or
// directory, which is never opened for reading nor replaced.
enum class FileKind { Missing, Regular, Special };

// What is under the name, without opening it; the stamp is filled for a regular file.
FileKind fileKind(const QString& fileName, FileStamp* stamp = nullptr);

// Reads a regular file whole into bytes (reusing its memory); non-blocking, so that a FIFO put
// under the name after an earlier check cannot hold up the read. Missing also for a path
// through a file that is not a directory; Failed with the reason in problem.
enum class ReadResult { Read, Missing, Special, Failed };
ReadResult readRegularFile(const QString& fileName, QByteArray& bytes, FileStamp* stamp, QString& problem);

// An exclusive lock on a lock file. The system releases it when the holder ends in any way, so
// a crashed writer never leaves a stale lock; the (empty) lock file itself stays, since
// removing it would race with the next writer.
class FileLock {
 public:
  FileLock() = default;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();  // releases the lock

  // Waits up to waitMs for a lock held by another; false with the reason in problem.
  bool acquire(const QString& lockName, int waitMs, QString& problem);

 private:
  int fd_ = -1;
};

// Replaces a file atomically: the new content goes to a temporary file beside it, is flushed to
// disk and renamed over the old one, so that a crash leaves the old or the new file.
class FileReplacement {
 public:
  explicit FileReplacement(const QString& fileName);
  ~FileReplacement();  // an uncommitted replacement leaves the old file

  bool open(QString& problem);
  bool commit(const QByteArray& bytes, QString& problem);

 private:
  std::unique_ptr<QSaveFile> file_;
};

}  // namespace jex::platform
