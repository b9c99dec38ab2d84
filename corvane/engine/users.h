// The core's users: one directory per user below AppPath + "user/", "DEFAULT" being the
// template that a new user's directory is copied from. The current user is kept in corvane.ini
// [Users] Current (the default user "DEFAULT" until another one is chosen).
//
// Automation members added to proc:
//   User      Path (the current user's directory, without a trailing separator), Name,
//             Init(name, base directory): makes name the current user and re-reads its files;
//             a missing directory is created from DEFAULT.
//   GetUsers  CurrUser (Name, Path), Count, Item(i) 1-based user names, Items, ChgUser(name):
//             makes an existing user current (name without regard to case).
//   Users     Reload, Count, Item(i or name) with Name, Items: the users as of the last Reload.
// Hidden directories (a leading ".") are no users: JexUI keeps the profiles it is still
// copying, or about to remove, under such names.
//   App_Dirs  the shipped key bindings; User also has the user's (keybindings.h).
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "automation/dispatchable.h"

namespace corvane {

class CoreModel;

// Adds one property to the object being built (its constructor passes its own property()).
using AddProperty =
    std::function<void(const QString& name, std::function<QVariant()> get, std::function<void(const QVariant&)> put)>;

class UserDirectory {
 public:
  explicit UserDirectory(CoreModel& model);
  QString baseDir() const;  // with a trailing "/"
  QString current() const;
  QString path() const;  // baseDir() + current(), no trailing "/"
  QStringList names() const;
  // The user's directory name that equals name without regard to case; empty when there is none.
  QString existing(const QString& name) const;
  // Makes an existing user current; jex::Error 5 when there is no such user.
  void change(const QString& name);
  // Makes name current below baseDir (empty: the usual one). Throws jex::Error for a bad name
  // or a directory that cannot be created.
  void init(const QString& name, const QString& baseDir);

 private:
  CoreModel& model_;
  QString baseDir_;  // set by init(); empty: AppPath + "user/"
};

class BindingStore;
// Returns the key bindings the members serve.
std::shared_ptr<BindingStore> addUserMembers(const AddProperty& add, CoreModel& model);

}  // namespace corvane
