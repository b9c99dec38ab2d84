#include "corvane/engine/users.h"

#include <QDir>
#include <QFileInfo>

#include "base/log.h"
#include "base/paths.h"
#include "corvane/engine/appdir.h"
#include "corvane/engine/automationnames.h"
#include "corvane/engine/coremodel.h"
#include "corvane/engine/keybindings.h"
#include "corvane/engine/settingsstore.h"

namespace corvane {

namespace {

const QString kUsers = QStringLiteral("Users");
const QString kCurrent = QStringLiteral("Current");
const QString kTemplate = QStringLiteral("DEFAULT");

class CurrUser : public Dispatchable {
 public:
  explicit CurrUser(std::shared_ptr<UserDirectory> users) : Dispatchable(QStringLiteral("CurrUser")) {
    property(QStringLiteral("Name"), [users] { return QVariant(users->current()); });
    property(QStringLiteral("Path"), [users] { return QVariant(users->path()); });
    defaultMember(QStringLiteral("Name"));
  }
};

class UserObject : public Dispatchable {
 public:
  UserObject(std::shared_ptr<UserDirectory> users, CoreModel& model, std::shared_ptr<BindingStore> bindings)
      : Dispatchable(QStringLiteral("User")) {
    property(QStringLiteral("Path"), [users] { return QVariant(users->path()); });
    property(QStringLiteral("Name"), [users] { return QVariant(users->current()); });
    method(
        QStringLiteral("Init"), 1, 2,
        [users, &model](Args& a) {
          users->init(a.str(0), a.str(1));
          model.report(QStringLiteral("USER: ") + users->current() + QStringLiteral(" @ ") + users->path());
          return QVariant(true);
        },
        QStringLiteral("makes a user current and re-reads its files: name, base directory"));
    addUserBindingMembers([this](const QString& n, int lo, int hi, Method m) { method(n, lo, hi, std::move(m)); },
                          std::move(bindings));
    defaultMember(QStringLiteral("Name"));
  }
};

// One user of the list proc.Users: its name, also its value.
class UserItem : public Dispatchable {
 public:
  explicit UserItem(const QString& name) : Dispatchable(QStringLiteral("UserItem")) {
    property(QStringLiteral("Name"), [name] { return QVariant(name); });
    defaultMember(QStringLiteral("Name"));
  }
};

// proc.Users: the user names as they were at the last Reload (or when proc.Users was read), so
// that Count and Item agree while a caller walks the list.
class UserNames : public Dispatchable {
 public:
  explicit UserNames(std::shared_ptr<UserDirectory> users) : Dispatchable(QStringLiteral("Users")) {
    procedure(
        QStringLiteral("Reload"), [this, users] { reload(*users); }, QStringLiteral("reads the user list again"));
    property(QStringLiteral("Count"), [this] { return QVariant(int(names_.size())); });
    property(QStringLiteral("Items"), [this] { return QVariant(names_); });
    method(QStringLiteral("Item"), 1, 1, [this](Args& a) {
      const QVariant& key = a.at(0);
      int i = -1;
      if (key.metaType().id() == QMetaType::QString) {
        const QString wanted = key.toString().trimmed();
        for (int at = 0; at < names_.size() && i < 0; ++at)
          if (names_[at].compare(wanted, Qt::CaseInsensitive) == 0) i = at;
      } else {
        i = a.i32(0) - 1;
      }
      if (i < 0 || i >= names_.size())
        throw jex::Error(jex::err::SubscriptOutOfRange, QStringLiteral("no user ") + a.str(0));
      return fromObj(Obj(std::make_shared<UserItem>(names_[i])));
    });
    defaultMember(QStringLiteral("Item"));
  }
  void reload(const UserDirectory& users) { names_ = users.names(); }

 private:
  QStringList names_;
};

class UserList : public Dispatchable {
 public:
  explicit UserList(std::shared_ptr<UserDirectory> users)
      : Dispatchable(QStringLiteral("GetUsers")), curr_(std::make_shared<CurrUser>(users)) {
    property(QStringLiteral("CurrUser"), [this] { return fromObj(Obj(curr_)); });
    method(
        QStringLiteral("ChgUser"), 1, 1,
        [users](Args& a) {
          users->change(a.str(0));
          return QVariant(true);
        },
        QStringLiteral("makes an existing user current (its name without regard to case)"));
    property(QStringLiteral("Count"), [users] { return QVariant(int(users->names().size())); });
    property(QStringLiteral("Items"), [users] { return QVariant(users->names()); });
    method(QStringLiteral("Item"), 1, 1, [users](Args& a) {
      const QStringList n = users->names();
      const int i = a.i32(0);
      if (i < 1 || i > n.size()) throw jex::Error(jex::err::InvalidCall, QStringLiteral("no user number %1").arg(i));
      return QVariant(n[i - 1]);
    });
    defaultMember(QStringLiteral("Item"));
  }

 private:
  std::shared_ptr<CurrUser> curr_;
};

}  // namespace

UserDirectory::UserDirectory(CoreModel& model) : model_(model) {}

QString UserDirectory::baseDir() const {
  return baseDir_.isEmpty() ? model_.appPath() + QStringLiteral("user/") : baseDir_;
}

QString UserDirectory::current() const {
  const QString name = model_.settings().value(kUsers, kCurrent).trimmed();
  return name.isEmpty() ? kTemplate : name;
}

QString UserDirectory::path() const { return baseDir() + current(); }

QStringList UserDirectory::names() const {
  return QDir(baseDir()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
}

QString UserDirectory::existing(const QString& name) const {
  for (const QString& n : names())
    if (n.compare(name.trimmed(), Qt::CaseInsensitive) == 0) return n;
  return {};
}

void UserDirectory::change(const QString& name) {
  const QString found = existing(name);
  if (found.isEmpty()) throw jex::Error(jex::err::InvalidCall, QStringLiteral("no such user: ") + name);
  init(found, baseDir());
  model_.report(QStringLiteral("USER: ") + current() + QStringLiteral(" @ ") + path());
}

void UserDirectory::init(const QString& rawName, const QString& base) {
  const QString name = rawName.trimmed();
  if (name.isEmpty() || name.contains(u'/') || name.contains(u'\\') || name == u"." || name == u"..")
    throw jex::Error(jex::err::InvalidCall, QStringLiteral("not a user name: ") + rawName);
  const QString dir = base.trimmed().isEmpty() ? baseDir() : jex::withTrailingSlash(base.trimmed());
  const QString userDir = dir + name;
  if (!QFileInfo(userDir).isDir()) {
    if (!QDir().mkpath(userDir))
      throw jex::Error(jex::err::FileError, QStringLiteral("cannot create the user directory ") + userDir);
    const int copied = copyTreeKeepExisting(dir + kTemplate, userDir);
    jex::WriteLog(QStringLiteral("new user %1: %2 files from %3").arg(name).arg(copied).arg(kTemplate), jex::kTraffic);
  }
  if (!model_.settings().setValue(kUsers, kCurrent, name))
    throw jex::Error(jex::err::FileError, QStringLiteral("cannot store the current user"));
  baseDir_ = dir == model_.appPath() + QStringLiteral("user/") ? QString() : dir;
}

std::shared_ptr<BindingStore> addUserMembers(const AddProperty& add, CoreModel& model) {
  auto users = std::make_shared<UserDirectory>(model);
  auto bindings = std::make_shared<BindingStore>(model.appPath(), [users] { return users->path(); });
  auto user = std::make_shared<UserObject>(users, model, bindings);
  const Obj appDirs = makeAppDirs(bindings);
  add(QStringLiteral("App_Dirs"), [appDirs] { return fromObj(appDirs); }, {});
  auto list = std::make_shared<UserList>(users);
  add(QStringLiteral("User"), [user] { return fromObj(Obj(user)); }, {});
  add(QStringLiteral("GetUsers"), [list] { return fromObj(Obj(list)); }, {});
  auto names = std::make_shared<UserNames>(users);
  add(QStringLiteral("Users"),
      [names, users] {
        names->reload(*users);
        return fromObj(Obj(names));
      },
      {});
  return bindings;
}

}  // namespace corvane
