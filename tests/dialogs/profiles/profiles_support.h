// What the profile tests share: the stand-in core with its shipped DEFAULT user, cProfiles on its
// user folder, snapshots of whole trees, and archives made by the tests themselves.
#pragma once

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFileInfo>
#include <QMap>

#include <archive.h>
#include <archive_entry.h>

#include "dialogs/profiles/cprofiles.h"
#include "tests/support/fakecore.h"

namespace profiles_test {

using Outcome = jex::cProfiles::Outcome;

// Every entry below root (hidden ones and links too) with what it holds, one line each, sorted:
// "path: <dir>", "path -> target" for a link, or "path: size sha1" for a file. JexUI's log and
// the lock file of the user folder are left out: they are written whatever the outcome.
inline std::vector<std::string> snapshot(const QString& root) {
  QStringList lines;
  QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    const QFileInfo info(path);
    const QString rel = QDir(root).relativeFilePath(path);
    if (info.fileName() == u"jexui.log" || info.fileName() == u".jexui.lock") continue;
    if (info.isSymLink()) {
      lines << rel + QStringLiteral(" -> ") + info.symLinkTarget();
    } else if (info.isDir()) {
      lines << rel + QStringLiteral(": <dir>");
    } else {
      QFile f(path);
      const QByteArray data = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
      lines << rel + QStringLiteral(": %1 ").arg(data.size()) +
                   QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex());
    }
  }
  lines.sort();
  std::vector<std::string> out;
  for (const QString& l : lines) out.push_back(l.toStdString());
  return out;
}

class ProfilesFixture : public fake::CoreFixture {
 public:
  QString users() const { return appPath() + QStringLiteral("user/"); }
  std::vector<std::string> tree(const QString& user) const { return snapshot(users() + user); }
  QStringList hidden() const {
    return QDir(users())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
        .filter(QStringLiteral(".jexui-"));
  }
  QString coreUser() const { return jex::Jex().str(QStringLiteral("proc.GetUsers.CurrUser.Name")); }
  // A user of its own files: DEFAULT's plus a marker and a folder with a file.
  void makeUser(const QString& name, const QByteArray& marker) {
    ASSERT_EQ(profiles.Create(name), Outcome::Done) << profiles.Problem().toStdString();
    writeFile(users() + name + QStringLiteral("/OUTDEF.SPI"), marker);
    QDir().mkpath(users() + name + QStringLiteral("/keys"));
    writeFile(users() + name + QStringLiteral("/keys/WINWORD.KBD"), "SAYLINE=CAP_Up\r\n" + marker);
  }

  jex::cProfiles profiles{QString()};
};

// One entry of an archive a test writes.
struct ZipItem {
  QByteArray name;
  QByteArray data;
  int type = AE_IFREG;
  QByteArray link = {};   // symbolic link target
  bool hardlink = false;  // link is a hard link's target
  quint32 mode = 0;       // a Unix mode of the sender's choice: the archive is written by hand
};

inline quint32 crc32Of(const QByteArray& data) {
  quint32 crc = 0xffffffffu;
  for (const char c : data) {
    crc ^= quint8(c);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// A stored (uncompressed) zip written byte by byte, so that entries can carry any Unix mode in
// their external attributes, devices and FIFOs among them, which libarchive would not write.
inline bool writeRawZip(const QString& path, const QList<ZipItem>& items) {
  QByteArray out, central;
  const auto u16 = [](QByteArray& b, quint16 v) { b.append(char(v & 0xff)).append(char(v >> 8)); };
  const auto u32 = [&](QByteArray& b, quint32 v) {
    u16(b, quint16(v & 0xffff));
    u16(b, quint16(v >> 16));
  };
  for (const ZipItem& item : items) {
    const quint32 offset = quint32(out.size());
    const quint32 crc = crc32Of(item.data);
    u32(out, 0x04034b50);
    u16(out, 10);  // version needed
    u16(out, 0);   // flags
    u16(out, 0);   // stored
    u32(out, 0);   // time and date
    u32(out, crc);
    u32(out, quint32(item.data.size()));
    u32(out, quint32(item.data.size()));
    u16(out, quint16(item.name.size()));
    u16(out, 0);
    out += item.name + item.data;
    u32(central, 0x02014b50);
    u16(central, (3 << 8) | 20);  // made on Unix
    u16(central, 10);
    u16(central, 0);
    u16(central, 0);
    u32(central, 0);
    u32(central, crc);
    u32(central, quint32(item.data.size()));
    u32(central, quint32(item.data.size()));
    u16(central, quint16(item.name.size()));
    u16(central, 0);
    u16(central, 0);
    u16(central, 0);
    u16(central, 0);
    u32(central, (item.mode ? item.mode : item.type == AE_IFDIR ? 040755u : 0100644u) << 16);
    u32(central, offset);
    central += item.name;
  }
  const quint32 centralAt = quint32(out.size());
  out += central;
  u32(out, 0x06054b50);
  u16(out, 0);
  u16(out, 0);
  u16(out, quint16(items.size()));
  u16(out, quint16(items.size()));
  u32(out, quint32(central.size()));
  u32(out, centralAt);
  u16(out, 0);
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(out) == out.size();
}

// Writes a zip of items to path with libarchive, as a hostile sender could.
inline bool writeZip(const QString& path, const QList<ZipItem>& items) {
  if (std::any_of(items.begin(), items.end(), [](const ZipItem& i) { return i.mode != 0; }))
    return writeRawZip(path, items);
  archive* a = archive_write_new();
  archive_write_set_format_zip(a);
  bool ok = archive_write_open_filename(a, QFile::encodeName(path).constData()) == ARCHIVE_OK;
  for (const ZipItem& item : items) {
    if (!ok) break;
    archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, item.name.constData());
    archive_entry_set_filetype(e, item.type);
    archive_entry_set_perm(e, 0644);
    if (item.type == AE_IFLNK) archive_entry_set_symlink(e, item.link.constData());
    if (item.hardlink) archive_entry_set_hardlink(e, item.link.constData());
    archive_entry_set_size(e, item.type == AE_IFREG && !item.hardlink ? item.data.size() : 0);
    ok = archive_write_header(a, e) == ARCHIVE_OK;
    if (ok && item.type == AE_IFREG && !item.data.isEmpty())
      ok = archive_write_data(a, item.data.constData(), size_t(item.data.size())) == item.data.size();
    archive_entry_free(e);
  }
  ok = archive_write_close(a) == ARCHIVE_OK && ok;
  archive_write_free(a);
  return ok;
}

inline const QByteArray& goodManifest() {
  static const QByteArray m = "[JexUI Profile]\r\nFormat=1\r\nUser=Anna\r\n";
  return m;
}

}  // namespace profiles_test
