// cJexStates: the on/off state of the core's toggle commands, for menus. A menu that shows a
// toggle command X asks for the member "Get_" + X by name and shows a check mark when it
// answers true; a command without such a member has no state.
//
// Every member reads the core at the moment of the call; a core that cannot be asked gives
// false (and a log line).
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

#include "automation/automation.h"

namespace jex {

class cJexStates {
 public:
  // core: the core object; Nothing means Jex() at the moment of each call.
  explicit cJexStates(Obj core = Obj());

  bool Get_MONWINTOGGLE();
  bool Get_SETSPTOGGLE();
  bool Get_TOOLTIPSTOGGLE();
  bool Get_CHGCURBLKTOGGLE();
  bool Get_CHGBRL68();
  bool Get_CHGBRLATRBTOGGLE();
  bool Get_GRADE2TOGGLE();
  bool Get_BRLKEYTOGGLE();
  // "USESPSET" + nr + "=" + Name for every speech profile with an Info; keeps the core's
  // profile collection in SpeechProfiles.
  QStringList Get_SpeechSets();

  // The member "Get_" + command by name (any case): its state, or nothing when the command
  // has no state.
  std::optional<bool> get(const QString& member);
  // The same for a command name ("MONWINTOGGLE").
  std::optional<bool> stateOf(const QString& command) { return get(QStringLiteral("Get_") + command); }
  // Every toggle command's state by its name (upper case), for a menu that shows them all: one
  // call to the core (proc.ToggleStates); a core without that member is asked member by member.
  QHash<QString, bool> all();
  // The list member of that name (any case, "Get_SpeechSets"), as menus fill a submenu with it:
  // its entries "key=caption", or nothing when there is no such member.
  std::optional<QStringList> list(const QString& member);

  Obj SpeechProfiles;  // the core's collection from the last Get_SpeechSets

 private:
  Obj core() const;
  bool read(const char* location, const std::function<bool(const Obj&)>& fn) const;
  Obj core_;
  bool oneByOne_ = false;  // the core has no ToggleStates
};

// The one instance, created on first use (reads Jex()).
cJexStates& JexStates();

}  // namespace jex
