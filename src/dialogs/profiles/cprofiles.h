// cProfiles: the user profiles on disk, one directory per user below the core's "user/" folder,
// and the operations on them: new (a copy of DEFAULT), copy, rename, reset, delete, export to a
// .zip file and import from one.
//
// No operation ever loses a profile, whatever stops it (a full disk, a kill, a power cut):
//   - a copy is made under a hidden name beside the users and renamed into place when whole;
//   - an overwrite (reset, rename onto another user) builds the new tree hidden and swaps it with
//     the old in one step (RENAME_EXCHANGE), then drops the old tree;
//   - a delete first renames the user to a hidden name, then removes it;
//   - whatever such a step left behind (hidden names starting with ".jexui-") is removed at the
//     start of the next operation. A lock file (".jexui.lock") keeps two programs from working
//     on the users at once.
// Links inside a profile are not followed (not copied, not exported, never their targets
// removed); a user directory that is a link is no user.
//
// Names: compared without regard to case ("hans" is the existing "Hans"). A new name is refused
// before any file is touched when it is empty, holds "/", "\", a control character or one of
// < > : " | ? * (names a profile also carries on Windows), is "." or "..", begins or ends with a
// blank or a dot, is a Windows device name (CON, PRN, AUX, NUL, COM0..9, LPT0..9, also with an
// extension), is longer than 64 characters or is DEFAULT: the template is never overwritten,
// renamed or removed.
//
// Archives: a zip holding "jexui-profile.ini" ([JexUI Profile] Format=1, User=name) and the
// profile's tree below "profile/". An import reads the archive whole before anything is written
// and refuses links, devices, paths leading outside, more than 10,000 entries or 256 MiB, a
// missing or foreign manifest and a damaged or truncated file.
//
// The core hears of it: renaming the current user makes the core's current user the new name,
// resetting or overwriting it has the core read the user again, deleting it first makes
// another user current.
#pragma once

#include <QString>
#include <QStringList>

#include "platform/profiletree.h"

namespace jex {

class cProfiles {
 public:
  enum class Outcome {
    Done,
    BadName,     // the new name is refused (or the operation would touch DEFAULT)
    Exists,      // the new name is a user already
    Missing,     // the user to work on is not there
    Failed,      // a file operation failed (the old state is kept)
    BadArchive,  // the archive is refused
  };

  // userDir: the folder holding the user directories, with a trailing "/"; empty: the core's
  // directory + "user/".
  explicit cProfiles(const QString& userDir = {});

  static const QString& TemplateName();  // "DEFAULT"
  // True when name may name a new user (the rules above, without looking at the disk).
  static bool ValidName(const QString& name);

  QString UserDir() const { return userDir_; }
  // The users' names (DEFAULT among them), sorted without regard to case.
  QStringList Names() const;
  // The user's directory name equal to name without regard to case; empty when there is none.
  QString Existing(const QString& name) const;

  Outcome Create(const QString& name);
  Outcome Copy(const QString& source, const QString& target);
  // Onto an existing user: the target's profile is replaced by the source's, the source goes.
  Outcome Rename(const QString& source, const QString& target);
  // DEFAULT's files over the user's (files only the user has stay).
  Outcome Reset(const QString& name);
  Outcome Delete(const QString& name);
  Outcome Export(const QString& name, const QString& zipPath);
  // Checks an archive whole and gives the user name of its manifest.
  Outcome Inspect(const QString& zipPath, QString* user);
  Outcome Import(const QString& zipPath, const QString& name);

  // Removes what interrupted operations left behind (also done by every operation).
  void CleanLeftovers();

  // Why the last operation did not succeed (English, as logged); empty after success.
  QString Problem() const { return problem_; }
  // The name the last successful operation left the user under (Rename onto "hans" keeps
  // the existing "Hans").
  QString LastName() const { return lastName_; }

  // Called after each file a copy wrote; returning false stops it as a full disk would.
  void setCopyProgress(platform::CopyProgress progress) { progress_ = std::move(progress); }

 private:
  template <class F>
  Outcome run(const char* location, F&& fn);
  QString path(const QString& name) const { return userDir_ + name; }
  QString hiddenName(const char* kind);
  // Copies source's tree into a hidden folder and returns its path; removes it on failure.
  QString hiddenCopy(const QString& source);
  void cleanLeftoversLocked();
  void dropTree(const QString& hidden);
  // Where the core is told about a changed user.
  void switchCoreTo(const QString& to);
  void currentRewritten(const QString& name);
  QString coreUser() const;

  QString userDir_;
  QString problem_;
  QString lastName_;
  platform::CopyProgress progress_;
  int hiddenCount_ = 0;
};

}  // namespace jex
