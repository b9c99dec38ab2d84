#include "platform/profiletree.h"

#include <QFile>
#include <QSet>

#include <archive.h>
#include <archive_entry.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "base/error.h"

namespace jex::platform {
namespace {

QByteArray encoded(const QString& path) { return QFile::encodeName(path); }

[[noreturn]] void fail(const QString& what, const QString& path, int error = errno) {
  throw Error(err::FileError, QStringLiteral("%1 %2: %3").arg(what, path, QString::fromLocal8Bit(strerror(error))));
}

// A file descriptor closed when it goes.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  Fd(Fd&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
  Fd& operator=(Fd&& o) noexcept {
    if (this != &o) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = std::exchange(o.fd_, -1);
    }
    return *this;
  }
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

constexpr size_t kBufferSize = 65536;
// Folders deeper than this below a profile's top are refused in archives; the trees are walked
// recursively, with two open folders a level.
constexpr int kMostLevels = 64;

// The names in an open directory, without "." and "..".
QList<QByteArray> namesIn(int dirFd, const QString& shown) {
  const int dup = ::fcntl(dirFd, F_DUPFD_CLOEXEC, 0);
  if (dup < 0) fail(QStringLiteral("cannot read"), shown);
  DIR* dir = ::fdopendir(dup);
  if (!dir) {
    const int e = errno;
    ::close(dup);
    fail(QStringLiteral("cannot read"), shown, e);
  }
  ::rewinddir(dir);
  QList<QByteArray> names;
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const char* n = entry->d_name;
    if (std::strcmp(n, ".") != 0 && std::strcmp(n, "..") != 0) names << QByteArray(n);
    errno = 0;
  }
  const int e = errno;
  ::closedir(dir);
  if (e != 0) fail(QStringLiteral("cannot read"), shown, e);
  return names;
}

Fd openDirAt(int parent, const char* name, const QString& shown) {
  Fd fd(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.ok()) fail(QStringLiteral("cannot open the folder"), shown);
  return fd;
}

// Copies the open file in to the new (or, merging, replaced) file name in dirFd.
void copyFile(int in, const struct stat& st, int dirFd, const char* name, bool merge, const QString& shown) {
  int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (merge ? O_TRUNC : O_EXCL);
  Fd out(::openat(dirFd, name, flags, st.st_mode & 07777));
  if (!out.ok()) fail(QStringLiteral("cannot create"), shown);
  struct stat outSt {};
  if (::fstat(out.get(), &outSt) != 0 || !S_ISREG(outSt.st_mode)) fail(QStringLiteral("not a file:"), shown, EINVAL);
  off_t left = st.st_size;
  bool kernelCopy = true;
  while (left > 0 && kernelCopy) {
    const ssize_t n = ::copy_file_range(in, nullptr, out.get(), nullptr, size_t(left), 0);
    if (n > 0) {
      left -= n;
    } else if (n == 0) {
      break;  // the file became shorter while copied
    } else if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) {
      kernelCopy = false;
    } else if (errno != EINTR) {
      fail(QStringLiteral("cannot write"), shown);
    }
  }
  if (left > 0 && !kernelCopy) {
    QByteArray bytes(kBufferSize, Qt::Uninitialized);  // not on the stack: the walk is recursive
    char* buffer = bytes.data();
    for (;;) {
      const ssize_t got = ::read(in, buffer, kBufferSize);
      if (got == 0) break;
      if (got < 0) {
        if (errno == EINTR) continue;
        fail(QStringLiteral("cannot read"), shown);
      }
      for (ssize_t done = 0; done < got;) {
        const ssize_t put = ::write(out.get(), buffer + done, size_t(got - done));
        if (put < 0) {
          if (errno == EINTR) continue;
          fail(QStringLiteral("cannot write"), shown);
        }
        done += put;
      }
    }
  }
  if (merge && ::fchmod(out.get(), st.st_mode & 07777) != 0) fail(QStringLiteral("cannot set the mode of"), shown);
  const timespec times[2] = {st.st_atim, st.st_mtim};
  ::futimens(out.get(), times);  // a time that cannot be kept is no reason to fail the copy
  if (::close(out.release()) != 0) fail(QStringLiteral("cannot write"), shown);
}

void copyDir(int fromFd, int toFd, const QString& shown, bool merge, const CopyProgress& progress, TreeCopy& done) {
  for (const QByteArray& name : namesIn(fromFd, shown)) {
    const QString entryShown = shown + u'/' + QFile::decodeName(name);
    struct stat st {};
    if (::fstatat(fromFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
      fail(QStringLiteral("cannot read"), entryShown);
    if (S_ISDIR(st.st_mode)) {
      Fd sub = openDirAt(fromFd, name.constData(), entryShown);
      if (::mkdirat(toFd, name.constData(), 0700) != 0 && !(merge && errno == EEXIST))
        fail(QStringLiteral("cannot create the folder"), entryShown);
      Fd target = openDirAt(toFd, name.constData(), entryShown);
      copyDir(sub.get(), target.get(), entryShown, merge, progress, done);
      ::fchmod(target.get(), st.st_mode & 07777);
    } else if (S_ISREG(st.st_mode)) {
      Fd in(::openat(fromFd, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
      if (!in.ok()) fail(QStringLiteral("cannot open"), entryShown);
      struct stat inSt {};
      if (::fstat(in.get(), &inSt) != 0 || !S_ISREG(inSt.st_mode)) {
        ++done.skipped;  // replaced by something else since it was listed
        continue;
      }
      copyFile(in.get(), inSt, toFd, name.constData(), merge, entryShown);
      ++done.files;
      if (progress && !progress(done.files))
        throw Error(err::FileError,
                    QStringLiteral("copy stopped after %1 files at %2").arg(done.files).arg(entryShown));
    } else {
      ++done.skipped;
    }
  }
}

void removeIn(int parentFd, const QByteArray& name, const QString& shown) {
  if (::unlinkat(parentFd, name.constData(), 0) == 0 || errno == ENOENT) return;
  if (errno != EISDIR && errno != EPERM) fail(QStringLiteral("cannot remove"), shown);
  {
    Fd dir = openDirAt(parentFd, name.constData(), shown);
    for (const QByteArray& child : namesIn(dir.get(), shown))
      removeIn(dir.get(), child, shown + u'/' + QFile::decodeName(child));
  }
  if (::unlinkat(parentFd, name.constData(), AT_REMOVEDIR) != 0 && errno != ENOENT)
    fail(QStringLiteral("cannot remove"), shown);
}

// The parent folder of path opened, and the last component's name.
std::pair<Fd, QByteArray> parentOf(const QString& path) {
  QString p = path;
  while (p.size() > 1 && p.endsWith(u'/')) p.chop(1);
  const qsizetype cut = p.lastIndexOf(u'/');
  const QString parent = cut < 0 ? QStringLiteral(".") : cut == 0 ? QStringLiteral("/") : p.left(cut);
  Fd fd(::open(encoded(parent).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.ok()) fail(QStringLiteral("cannot open the folder"), parent);
  return {std::move(fd), encoded(p.mid(cut + 1))};
}

int renameAt2(const QString& from, const QString& to, unsigned flags) {
  return int(::syscall(SYS_renameat2, AT_FDCWD, encoded(from).constData(), AT_FDCWD, encoded(to).constData(), flags));
}

constexpr unsigned kNoReplace = 1;  // RENAME_NOREPLACE
constexpr unsigned kExchange = 2;   // RENAME_EXCHANGE

// An archive handle of libarchive, freed when it goes.
class ArchiveHandle {
 public:
  explicit ArchiveHandle(archive* a, bool writing) : a_(a), writing_(writing) {
    if (!a_) throw Error(err::OutOfMemory, QStringLiteral("no memory for an archive"));
  }
  ArchiveHandle(const ArchiveHandle&) = delete;
  ArchiveHandle& operator=(const ArchiveHandle&) = delete;
  ~ArchiveHandle() {
    if (writing_) archive_write_free(a_);
    else archive_read_free(a_);
  }
  archive* get() const { return a_; }
  [[noreturn]] void fail(const QString& what) const {
    const char* reason = archive_error_string(a_);
    throw Error(err::FileError, reason ? what + QStringLiteral(": ") + QString::fromLocal8Bit(reason) : what);
  }

 private:
  archive* a_;
  bool writing_;
};

class Entry {
 public:
  Entry() : e_(archive_entry_new()) {
    if (!e_) throw Error(err::OutOfMemory, QStringLiteral("no memory for an archive entry"));
  }
  Entry(const Entry&) = delete;
  Entry& operator=(const Entry&) = delete;
  ~Entry() { archive_entry_free(e_); }
  archive_entry* get() const { return e_; }

 private:
  archive_entry* e_;
};

void writeEntry(const ArchiveHandle& a, const QString& name, mode_t type, mode_t perm, qint64 size, time_t mtime) {
  Entry e;
  archive_entry_set_pathname_utf8(e.get(), name.toUtf8().constData());
  archive_entry_set_filetype(e.get(), type);
  archive_entry_set_perm(e.get(), perm & 0777);
  archive_entry_set_size(e.get(), size);
  archive_entry_set_mtime(e.get(), mtime, 0);
  if (archive_write_header(a.get(), e.get()) != ARCHIVE_OK) a.fail(QStringLiteral("cannot write ") + name);
}

void writeData(const ArchiveHandle& a, const char* data, size_t size, const QString& name) {
  if (size > 0 && archive_write_data(a.get(), data, size) != la_ssize_t(size))
    a.fail(QStringLiteral("cannot write ") + name);
}

void packDir(const ArchiveHandle& a, int dirFd, const QString& inArchive, const QString& shown) {
  for (const QByteArray& name : namesIn(dirFd, shown)) {
    const QString decoded = QFile::decodeName(name);
    const QString entryShown = shown + u'/' + decoded;
    const QString entryName = inArchive + decoded;
    struct stat st {};
    if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
      fail(QStringLiteral("cannot read"), entryShown);
    if (S_ISDIR(st.st_mode)) {
      Fd sub = openDirAt(dirFd, name.constData(), entryShown);
      writeEntry(a, entryName + u'/', AE_IFDIR, st.st_mode, 0, st.st_mtim.tv_sec);
      packDir(a, sub.get(), entryName + u'/', entryShown);
    } else if (S_ISREG(st.st_mode)) {
      Fd in(::openat(dirFd, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
      struct stat inSt {};
      if (!in.ok() || ::fstat(in.get(), &inSt) != 0) fail(QStringLiteral("cannot open"), entryShown);
      if (!S_ISREG(inSt.st_mode)) continue;
      writeEntry(a, entryName, AE_IFREG, inSt.st_mode, inSt.st_size, inSt.st_mtim.tv_sec);
      QByteArray bytes(kBufferSize, Qt::Uninitialized);  // not on the stack: the walk is recursive
      char* buffer = bytes.data();
      qint64 left = inSt.st_size;
      while (left > 0) {
        const ssize_t got = ::read(in.get(), buffer, size_t(std::min<qint64>(left, qint64(kBufferSize))));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) fail(QStringLiteral("cannot read"), entryShown, got == 0 ? EIO : errno);
        writeData(a, buffer, size_t(got), entryName);
        left -= got;
      }
    }
  }
}

// Why an archive's entry name is refused; empty when it is acceptable.
QString badName(const char* raw) {
  if (!raw || !*raw) return QStringLiteral("an entry without a name");
  const QString name = QString::fromUtf8(raw);
  if (name.startsWith(u'/')) return QStringLiteral("an absolute path: ") + name;
  for (const QChar c : name) {
    if (c == u'\\') return QStringLiteral("a backslash in ") + name;
    if (c.unicode() < 0x20 || c.unicode() == 0x7f) return QStringLiteral("a control character in a name");
  }
  QString inner = name;
  if (inner.endsWith(u'/')) inner.chop(1);
  const QStringList parts = inner.split(u'/');
  for (const QString& part : parts) {
    if (part == u"..") return QStringLiteral("a path leading outside: ") + name;
    if (part.isEmpty() || part == u".") return QStringLiteral("an odd path: ") + name;
  }
  if (parts.size() > kMostLevels + 1) return QStringLiteral("a path too deep: ") + name;
  return {};
}

// Creates (or finds) the folders of rel below root; returns the innermost one, opened.
Fd folderFor(int rootFd, const QStringList& parts, const QString& shown) {
  Fd current(::fcntl(rootFd, F_DUPFD_CLOEXEC, 0));
  if (!current.ok()) fail(QStringLiteral("cannot open"), shown);
  for (const QString& part : parts) {
    const QByteArray n = QFile::encodeName(part);
    if (::mkdirat(current.get(), n.constData(), 0700) != 0 && errno != EEXIST)
      fail(QStringLiteral("cannot create"), shown);
    current = Fd(openDirAt(current.get(), n.constData(), shown).release());
  }
  return current;
}

}  // namespace

TreeCopy copyTree(const QString& from, const QString& to, bool merge, const CopyProgress& progress) {
  auto [fromParent, fromName] = parentOf(from);
  Fd source = openDirAt(fromParent.get(), fromName.constData(), from);
  auto [toParent, toName] = parentOf(to);
  if (!merge && ::mkdirat(toParent.get(), toName.constData(), 0700) != 0)
    fail(QStringLiteral("cannot create the folder"), to);
  Fd target = openDirAt(toParent.get(), toName.constData(), to);
  TreeCopy done;
  copyDir(source.get(), target.get(), from, merge, progress, done);
  struct stat st {};
  if (::fstat(source.get(), &st) == 0) ::fchmod(target.get(), st.st_mode & 07777);
  return done;
}

void syncFileSystem(const QString& path) {
  Fd fd(::open(encoded(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.ok() || ::syncfs(fd.get()) != 0) fail(QStringLiteral("cannot flush"), path);
}

void exchangeTrees(const QString& a, const QString& b) {
  if (renameAt2(a, b, kExchange) != 0) fail(QStringLiteral("cannot swap with ") + b + u':', a);
}

void renameTree(const QString& from, const QString& to) {
  if (renameAt2(from, to, kNoReplace) != 0) fail(QStringLiteral("cannot rename to ") + to + u':', from);
}

void removeTree(const QString& path) {
  auto [parent, name] = parentOf(path);
  removeIn(parent.get(), name, path);
}

bool isPlainDirectory(const QString& path) {
  struct stat st {};
  return ::lstat(encoded(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QStringList entriesStartingWith(const QString& dir, const QString& prefix) {
  Fd fd(::open(encoded(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.ok()) return {};
  QStringList found;
  for (const QByteArray& name : namesIn(fd.get(), dir)) {
    const QString n = QFile::decodeName(name);
    if (n.startsWith(prefix)) found << n;
  }
  return found;
}

void packTree(const QString& zipPath, const QString& dir, const ArchiveLayout& layout, const QByteArray& manifest) {
  auto [parent, name] = parentOf(dir);
  Fd root = openDirAt(parent.get(), name.constData(), dir);
  const QString partial = zipPath + QStringLiteral(".part");
  ::unlink(encoded(partial).constData());
  try {
    ArchiveHandle a(archive_write_new(), true);
    if (archive_write_set_format_zip(a.get()) != ARCHIVE_OK ||
        archive_write_set_options(a.get(), "hdrcharset=UTF-8") != ARCHIVE_OK)
      a.fail(QStringLiteral("cannot make a zip archive"));
    if (archive_write_open_filename(a.get(), encoded(partial).constData()) != ARCHIVE_OK)
      a.fail(QStringLiteral("cannot create ") + partial);
    writeEntry(a, layout.manifestName, AE_IFREG, 0644, manifest.size(), ::time(nullptr));
    writeData(a, manifest.constData(), size_t(manifest.size()), layout.manifestName);
    writeEntry(a, layout.treePrefix, AE_IFDIR, 0755, 0, ::time(nullptr));
    packDir(a, root.get(), layout.treePrefix, dir);
    if (archive_write_close(a.get()) != ARCHIVE_OK) a.fail(QStringLiteral("cannot complete ") + partial);
  } catch (...) {
    ::unlink(encoded(partial).constData());
    throw;
  }
  if (::rename(encoded(partial).constData(), encoded(zipPath).constData()) != 0) {
    const int e = errno;
    ::unlink(encoded(partial).constData());
    fail(QStringLiteral("cannot rename to ") + zipPath + u':', partial, e);
  }
}

ArchiveContents unpackTree(const QString& zipPath, const QString& targetDir, const ArchiveLayout& layout,
                           const ArchiveLimits& limits) {
  const auto refuse = [](const QString& why) -> void { throw Error(err::FileError, why); };
  ArchiveHandle a(archive_read_new(), false);
  // The central directory is read: an archive cut short anywhere lacks it, or holds entries it does not list.
  archive_read_support_format_zip_seekable(a.get());
  archive_read_support_filter_none(a.get());
  {
    // A FIFO or device under the archive's name would hold the reader up or never end.
    struct stat st {};
    if (::stat(encoded(zipPath).constData(), &st) != 0) fail(QStringLiteral("cannot open"), zipPath);
    if (!S_ISREG(st.st_mode)) refuse(QStringLiteral("not a file: ") + zipPath);
  }
  if (archive_read_open_filename(a.get(), encoded(zipPath).constData(), 65536) != ARCHIVE_OK)
    a.fail(QStringLiteral("not a readable zip archive"));
  Fd root;
  if (!targetDir.isEmpty()) {
    auto [parent, name] = parentOf(targetDir);
    if (::mkdirat(parent.get(), name.constData(), 0700) != 0)
      fail(QStringLiteral("cannot create the folder"), targetDir);
    root = openDirAt(parent.get(), name.constData(), targetDir);
  }
  ArchiveContents got;
  QSet<QString> seen;
  char buffer[kBufferSize];
  archive_entry* entry = nullptr;
  for (;;) {
    const int r = archive_read_next_header(a.get(), &entry);
    if (r == ARCHIVE_EOF) break;
    if (r != ARCHIVE_OK) a.fail(QStringLiteral("damaged or truncated archive"));
    if (++got.entries > limits.maxEntries) refuse(QStringLiteral("more than %1 entries").arg(limits.maxEntries));
    const char* raw = archive_entry_pathname_utf8(entry);
    if (!raw) raw = archive_entry_pathname(entry);
    if (const QString why = badName(raw); !why.isEmpty()) refuse(why);
    const QString name = QString::fromUtf8(raw);
    if (archive_entry_hardlink(entry) || archive_entry_symlink(entry)) refuse(QStringLiteral("a link: ") + name);
    const mode_t type = archive_entry_filetype(entry);
    if (type != AE_IFREG && type != AE_IFDIR) refuse(QStringLiteral("neither file nor folder: ") + name);
    const bool isDir = type == AE_IFDIR;
    const QString key = name.endsWith(u'/') ? name.chopped(1) : name;
    if (seen.contains(key.toCaseFolded())) refuse(QStringLiteral("a name twice: ") + name);
    seen.insert(key.toCaseFolded());
    if (archive_entry_size_is_set(entry) && got.bytes + archive_entry_size(entry) > limits.maxBytes)
      refuse(QStringLiteral("more than %1 bytes unpacked").arg(limits.maxBytes));

    const bool isManifest = !isDir && name == layout.manifestName;
    const bool inTree = key.startsWith(layout.treePrefix) || (isDir && key + u'/' == layout.treePrefix);
    if (!isManifest && !inTree) refuse(QStringLiteral("an entry outside the profile: ") + name);
    const QString rel = isManifest ? QString() : key.mid(layout.treePrefix.size());

    Fd out;
    if (root.ok() && !isManifest && !rel.isEmpty()) {
      QStringList parts = rel.split(u'/');
      const QString leaf = isDir ? QString() : parts.takeLast();
      Fd folder = folderFor(root.get(), parts, targetDir + u'/' + rel);
      if (!isDir) {
        out = Fd(::openat(folder.get(), QFile::encodeName(leaf).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out.ok()) fail(QStringLiteral("cannot create"), targetDir + u'/' + rel);
      }
    }
    if (!isDir) ++got.files;
    qint64 fileBytes = 0;
    for (;;) {
      const la_ssize_t n = archive_read_data(a.get(), buffer, sizeof buffer);
      if (n == 0) break;
      if (n < 0) a.fail(QStringLiteral("damaged or truncated archive at ") + name);
      fileBytes += n;
      got.bytes += n;
      if (got.bytes > limits.maxBytes) refuse(QStringLiteral("more than %1 bytes unpacked").arg(limits.maxBytes));
      if (isManifest) {
        if (fileBytes > limits.maxManifestBytes) refuse(QStringLiteral("a manifest too long"));
        got.manifest.append(buffer, n);
      } else if (out.ok()) {
        for (la_ssize_t done = 0; done < n;) {
          const ssize_t put = ::write(out.get(), buffer + done, size_t(n - done));
          if (put < 0 && errno == EINTR) continue;
          if (put < 0) fail(QStringLiteral("cannot write"), targetDir + u'/' + rel);
          done += put;
        }
      }
    }
    if (out.ok()) {
      ::fchmod(out.get(), (archive_entry_perm(entry) & 0777) | 0600);  // never a file its owner cannot read
      if (archive_entry_mtime_is_set(entry)) {
        const timespec times[2] = {{0, UTIME_OMIT}, {archive_entry_mtime(entry), 0}};
        ::futimens(out.get(), times);
      }
      if (::close(out.release()) != 0) fail(QStringLiteral("cannot write"), targetDir + u'/' + rel);
    }
  }
  return got;
}

}  // namespace jex::platform
