#include "dialogs/profiles/cprofiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>

#include "base/error.h"
#include "base/log.h"
#include "context/appcontext.h"
#include "platform/filestore.h"
#include "users/cuser.h"

namespace jex {

namespace {

const QString kHiddenPrefix = QStringLiteral(".jexui-");
const QString kLockName = QStringLiteral(".jexui.lock");
constexpr int kLockWaitMs = 5000;
constexpr int kMaxNameLength = 64;

const platform::ArchiveLayout& layout() {
  static const platform::ArchiveLayout l{QStringLiteral("jexui-profile.ini"), QStringLiteral("profile/")};
  return l;
}
const QString kManifestSection = QStringLiteral("[JexUI Profile]");
constexpr int kManifestFormat = 1;

QByteArray manifestFor(const QString& user) {
  return (kManifestSection + QStringLiteral("\r\nFormat=%1\r\nUser=%2\r\n").arg(kManifestFormat).arg(user)).toUtf8();
}

// The user named by a manifest of this program's format; throws when it is none.
QString manifestUser(const QByteArray& manifest) {
  if (manifest.isEmpty()) throw Error(err::FileError, QStringLiteral("no manifest in the archive"));
  const QStringList lines = QString::fromUtf8(manifest).split(QRegularExpression(QStringLiteral("\r?\n")));
  bool inSection = false, formatOk = false;
  QString user;
  for (const QString& raw : lines) {
    const QString line = raw.trimmed();
    if (line.startsWith(u'[')) {
      inSection = line.compare(kManifestSection, Qt::CaseInsensitive) == 0;
      continue;
    }
    const qsizetype eq = line.indexOf(u'=');
    if (!inSection || eq < 0) continue;
    const QString key = line.left(eq).trimmed();
    const QString value = line.mid(eq + 1).trimmed();
    if (key.compare(QStringLiteral("Format"), Qt::CaseInsensitive) == 0)
      formatOk = value == QString::number(kManifestFormat);
    else if (key.compare(QStringLiteral("User"), Qt::CaseInsensitive) == 0) user = value;
  }
  if (!formatOk || user.isEmpty()) throw Error(err::FileError, QStringLiteral("a foreign manifest in the archive"));
  return user;
}

bool isDeviceName(const QString& name) {
  static const QRegularExpression device(QStringLiteral("^(CON|PRN|AUX|NUL|COM[0-9]|LPT[0-9])$"),
                                         QRegularExpression::CaseInsensitiveOption);
  const QString stem = name.section(u'.', 0, 0).trimmed();
  return device.match(stem).hasMatch();
}

// An outcome that is no failure of the file system: it ends the operation, logged as such.
struct Refusal {
  cProfiles::Outcome outcome;
  QString why;
};

}  // namespace

cProfiles::cProfiles(const QString& userDir)
    : userDir_(userDir.isEmpty() ? appContext().appPath() + QStringLiteral("user/") : userDir) {
  if (!userDir_.endsWith(u'/')) userDir_ += u'/';
}

const QString& cProfiles::TemplateName() {
  static const QString name = QStringLiteral("DEFAULT");
  return name;
}

bool cProfiles::ValidName(const QString& name) {
  return trapped("cProfiles.ValidName", false, [&] {
    if (name.isEmpty() || name.toUcs4().size() > kMaxNameLength) return false;
    if (name == u"." || name == u"..") return false;
    if (name.front() == u' ' || name.front() == u'.' || name.back() == u' ' || name.back() == u'.') return false;
    for (const QChar c : name) {
      if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format) return false;
      if (QStringView(u"/\\<>:\"|?*").contains(c)) return false;
    }
    if (isDeviceName(name)) return false;
    return name.compare(TemplateName(), Qt::CaseInsensitive) != 0;
  });
}

QStringList cProfiles::Names() const {
  return trapped("cProfiles.Names", QStringList(), [&] {
    QStringList names;
    const QStringList entries =
        QDir(userDir_).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name | QDir::IgnoreCase);
    for (const QString& n : entries)
      if (!n.startsWith(u'.') && platform::isPlainDirectory(path(n))) names << n;
    return names;
  });
}

QString cProfiles::Existing(const QString& name) const {
  const QStringList names = Names();
  for (const QString& n : names)  // the exact spelling first, as a case-sensitive disk may have both
    if (n == name) return n;
  for (const QString& n : names)
    if (n.compare(name, Qt::CaseInsensitive) == 0) return n;
  return {};
}

template <class F>
cProfiles::Outcome cProfiles::run(const char* location, F&& fn) {
  problem_.clear();
  Outcome outcome = Outcome::Failed;
  trap(location, [&] {
    try {
      platform::FileLock lock;
      QString why;
      if (!lock.acquire(userDir_ + kLockName, kLockWaitMs, why)) throw Error(err::FileError, why);
      cleanLeftoversLocked();
      outcome = fn();
      if (outcome == Outcome::Done) WriteLog(QString::fromLatin1(location) + QStringLiteral(" done"), kTraffic);
    } catch (const Refusal& r) {
      outcome = r.outcome;
      problem_ = r.why;
      WriteLog(QString::fromLatin1(location) + QStringLiteral(" refused: ") + r.why, kTraffic);
    } catch (const Error& e) {
      problem_ = e.description();
      throw;
    }
  });
  if (outcome == Outcome::Failed && problem_.isEmpty()) problem_ = QStringLiteral("failed");
  return outcome;
}

QString cProfiles::hiddenName(const char* kind) {
  return userDir_ + kHiddenPrefix + QLatin1String(kind) +
         QStringLiteral("-%1-%2").arg(QCoreApplication::applicationPid()).arg(++hiddenCount_);
}

void cProfiles::dropTree(const QString& hidden) {
  trap("cProfiles.dropTree", [&] { platform::removeTree(hidden); });
}

QString cProfiles::hiddenCopy(const QString& source) {
  const QString hidden = hiddenName("new");
  try {
    const platform::TreeCopy copied = platform::copyTree(path(source), hidden, false, progress_);
    WriteLog(QStringLiteral("profile %1: %2 files copied, %3 links or special files left out")
                 .arg(source)
                 .arg(copied.files)
                 .arg(copied.skipped),
             kDetail);
    return hidden;
  } catch (...) {
    dropTree(hidden);
    throw;
  }
}

void cProfiles::CleanLeftovers() {
  run("cProfiles.CleanLeftovers", [] { return Outcome::Done; });
}

void cProfiles::cleanLeftoversLocked() {
  for (const QString& name : platform::entriesStartingWith(userDir_, kHiddenPrefix)) {
    WriteLog(QStringLiteral("leftover of an interrupted profile operation removed: ") + name, kTraffic);
    dropTree(path(name));
  }
}

QString cProfiles::coreUser() const {
  return trapped("cProfiles.coreUser", QString(),
                 [] { return appContext().core().str(QStringLiteral("proc.GetUsers.CurrUser.Name")); });
}

void cProfiles::switchCoreTo(const QString& to) {
  trap("cProfiles.switchCoreTo", [&] {
    appContext().core().obj(QStringLiteral("proc.GetUsers")).call(QStringLiteral("ChgUser"), {to});
    if (const auto user = appContext().currentUser()) user->InitCurrUser();
  });
}

void cProfiles::currentRewritten(const QString& name) {
  trap("cProfiles.currentRewritten", [&] {
    if (const auto user = appContext().currentUser()) {
      user->InitCurrUser();
      user->ReloadCoreUser();
    } else {
      appContext().core().obj(QStringLiteral("proc.User")).call(QStringLiteral("Init"), {name, userDir_});
    }
  });
}

namespace {

// The existing user called name; refuses DEFAULT unless it may be the source.
QString existingOrRefuse(const cProfiles& p, const QString& name, bool templateAllowed) {
  const QString found = p.Existing(name);
  if (found.isEmpty()) throw Refusal{cProfiles::Outcome::Missing, QStringLiteral("no user ") + name};
  if (!templateAllowed && found.compare(cProfiles::TemplateName(), Qt::CaseInsensitive) == 0)
    throw Refusal{cProfiles::Outcome::BadName, QStringLiteral("the template user stays as it is")};
  return found;
}

void newNameOrRefuse(const cProfiles& p, const QString& name) {
  if (!cProfiles::ValidName(name)) throw Refusal{cProfiles::Outcome::BadName, QStringLiteral("not a user name")};
  if (!p.Existing(name).isEmpty()) throw Refusal{cProfiles::Outcome::Exists, QStringLiteral("a user already")};
}

}  // namespace

cProfiles::Outcome cProfiles::Create(const QString& name) { return Copy(TemplateName(), name); }

cProfiles::Outcome cProfiles::Copy(const QString& source, const QString& target) {
  return run("cProfiles.Copy", [&] {
    newNameOrRefuse(*this, target);
    const QString from = existingOrRefuse(*this, source, true);
    const QString hidden = hiddenCopy(from);
    try {
      platform::syncFileSystem(hidden);
      platform::renameTree(hidden, path(target));
    } catch (...) {
      dropTree(hidden);
      throw;
    }
    lastName_ = target;
    return Outcome::Done;
  });
}

cProfiles::Outcome cProfiles::Rename(const QString& source, const QString& target) {
  return run("cProfiles.Rename", [&] {
    if (!ValidName(target)) throw Refusal{Outcome::BadName, QStringLiteral("not a user name")};
    const QString from = existingOrRefuse(*this, source, false);
    const QString current = coreUser();
    const bool wasCurrent = current.compare(from, Qt::CaseInsensitive) == 0;
    const QString onto = Existing(target);
    if (onto.isEmpty() || onto == from) {
      // A free name, or the same user spelt otherwise: one rename.
      if (target != from) platform::renameTree(path(from), path(target));
      lastName_ = target;
    } else {
      // Onto another user: the copy takes its place in one swap, then the source goes.
      const QString hidden = hiddenCopy(from);
      try {
        platform::syncFileSystem(hidden);
        platform::exchangeTrees(hidden, path(onto));
      } catch (...) {
        dropTree(hidden);
        throw;
      }
      dropTree(hidden);  // the old target
      const QString gone = hiddenName("del");
      platform::renameTree(path(from), gone);
      dropTree(gone);
      lastName_ = onto;
      if (!wasCurrent && current.compare(onto, Qt::CaseInsensitive) == 0) currentRewritten(onto);
    }
    if (wasCurrent) switchCoreTo(lastName_);
    return Outcome::Done;
  });
}

cProfiles::Outcome cProfiles::Reset(const QString& name) {
  return run("cProfiles.Reset", [&] {
    const QString user = existingOrRefuse(*this, name, false);
    const QString hidden = hiddenCopy(user);
    try {
      platform::copyTree(path(TemplateName()), hidden, true, progress_);
      platform::syncFileSystem(hidden);
      platform::exchangeTrees(hidden, path(user));
    } catch (...) {
      dropTree(hidden);
      throw;
    }
    dropTree(hidden);  // the user's old tree
    lastName_ = user;
    if (coreUser().compare(user, Qt::CaseInsensitive) == 0) currentRewritten(user);
    return Outcome::Done;
  });
}

cProfiles::Outcome cProfiles::Delete(const QString& name) {
  return run("cProfiles.Delete", [&] {
    const QString user = existingOrRefuse(*this, name, false);
    if (coreUser().compare(user, Qt::CaseInsensitive) == 0) {
      // The core is moved off the user first: to another user, DEFAULT when none is left.
      QString next = TemplateName();
      for (const QString& n : Names())
        if (n != user && n.compare(TemplateName(), Qt::CaseInsensitive) != 0) {
          next = n;
          break;
        }
      switchCoreTo(next);
    }
    const QString gone = hiddenName("del");
    platform::renameTree(path(user), gone);
    dropTree(gone);
    lastName_.clear();
    return Outcome::Done;
  });
}

cProfiles::Outcome cProfiles::Export(const QString& name, const QString& zipPath) {
  return run("cProfiles.Export", [&] {
    const QString user = existingOrRefuse(*this, name, true);
    platform::packTree(zipPath, path(user), layout(), manifestFor(user));
    lastName_ = user;
    return Outcome::Done;
  });
}

cProfiles::Outcome cProfiles::Inspect(const QString& zipPath, QString* user) {
  return run("cProfiles.Inspect", [&] {
    QString named;
    try {
      named = manifestUser(platform::unpackTree(zipPath, QString(), layout()).manifest);
    } catch (const Error& e) {
      throw Refusal{Outcome::BadArchive, e.description()};
    }
    if (user) *user = named;
    lastName_ = named;
    return Outcome::Done;
  });
}

cProfiles::Outcome cProfiles::Import(const QString& zipPath, const QString& name) {
  return run("cProfiles.Import", [&] {
    newNameOrRefuse(*this, name);
    const QString hidden = hiddenName("import");
    try {
      // Checked whole first, so that a refused archive writes nothing at all.
      manifestUser(platform::unpackTree(zipPath, QString(), layout()).manifest);
      manifestUser(platform::unpackTree(zipPath, hidden, layout()).manifest);
    } catch (const Error& e) {
      dropTree(hidden);
      throw Refusal{Outcome::BadArchive, e.description()};
    }
    try {
      platform::syncFileSystem(hidden);
      platform::renameTree(hidden, path(name));
    } catch (...) {
      dropTree(hidden);
      throw;
    }
    lastName_ = name;
    return Outcome::Done;
  });
}

}  // namespace jex
