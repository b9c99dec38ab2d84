// cKeyChecker: which keys start which command, merged from the core's four binding levels of
// one application, and the text of a key code.
//
// Levels, highest first, each with the keyboard set before the Braille set:
//   4  proc.User.AppKeyBindings(app) / AppBrlBindings(app)      (not for "DEFAULT")
//   3  proc.User.AppKeyBindings("DEFAULT") / AppBrlBindings("DEFAULT")
//   2  proc.App_Dirs.KeyBindings(app) / BrlBindings(app)        (not for "DEFAULT")
//   1  proc.App_Dirs.KeyBindings("DEFAULT") / BrlBindings("DEFAULT")
// A code belongs to the highest level (and, within a level, the first line) that binds it.
//
// Key lists (GetCAPforFunc and its kin) hold "code_<level> " entries in merge order, e.g.
// "CAP_F4_3 L0N5_1 ". Keyboard codes containing "CAP" go to the CAP list, other keyboard codes
// to the NUM list, codes of a Braille set to the BRL list.
//
// A binding set is read in one call (its Bindings member: every code with its command) where
// the core's set has it, else through CollA and CollB. Errors of the core are logged with the
// location texts " in cKeyChecker.GetActBindings; " and " in cKeyChecker.TranslateKey; "; what
// was merged before stays.
#pragma once

#include <QHash>
#include <QString>
#include <functional>

#include "automation/automation.h"

namespace jex {

// A key code or function name as a key that ignores case, hashed without a folded copy.
struct CiKey {
  QString text;
  friend bool operator==(const CiKey& a, const CiKey& b) { return a.text.compare(b.text, Qt::CaseInsensitive) == 0; }
};
size_t qHash(const CiKey& key, size_t seed = 0) noexcept;

class cKeyChecker {
 public:
  using TermLookup = std::function<QString(const QString& term)>;
  enum class Fetch { Auto, CollectionsOnly };

  // core: the core object; Nothing takes the program's (appContext().core()) at each load.
  explicit cKeyChecker(Obj core = {});

  void InitForApp(const QString& app, bool forceReload);
  const QString& APPName() const { return appName_; }
  bool Dirty() const { return dirty_; }
  void setDirty(bool dirty) { dirty_ = dirty; }

  QString GetCAPforFunc(const QString& function) const { return listItem(cap_, function); }
  QString GetNUMforFunc(const QString& function) const { return listItem(num_, function); }
  QString GetBRLforFunc(const QString& function) const { return listItem(brl_, function); }
  QString GetAllKeysForFunc(const QString& function) const;
  QString GetFirstKeysForFunc(const QString& function, bool noTranslate) const;
  QString GetActFuncForKey(const QString& code) const;
  // The text of a key code; a code with "CAP_" is shortened in place to its key name.
  QString TranslateKey(QString& code) const;

  // Where the key names' texts come from (default: frmLocalizer().GetCapString).
  void setTermLookup(TermLookup lookup) { terms_ = std::move(lookup); }
  // CollectionsOnly reads every set through CollA and CollB, as from a core without Bindings.
  void setFetch(Fetch fetch) { fetch_ = fetch; }

  // The merged key-to-function map, for comparisons.
  const QHash<CiKey, QString>& keyMap() const { return keyToFunc_; }

 private:
  using KeyLists = QHash<CiKey, QString>;  // function -> key list
  static QString listItem(const KeyLists& lists, const QString& function);
  void GetActBindings(bool reload);
  void AddBindingSet(const Obj& set, const QString& suffix, bool braille);
  void AddKeyBinding(KeyLists& list, const QString& code, const QString& function, const QString& suffix);
  QString term(const QString& name) const;

  Obj core_;
  QString appName_;
  bool dirty_ = false;
  Fetch fetch_ = Fetch::Auto;
  bool bulk_ = true;  // the core's sets have Bindings (until one says otherwise)
  QHash<CiKey, QString> keyToFunc_;
  KeyLists cap_, num_, brl_;
  TermLookup terms_;
};

}  // namespace jex
