// The core's state and version members that JexUI's support report reads.
//
//   root:  AppObject (Major, Minor, Revision, Name), SEDObject, MOMObject, System, BrailleObject
//          (each: ComponentVersions, a printable text), KeyEcho (the nine key echo settings,
//          live and range-checked; SaveValues, LoadValues, TryKey; see keyecho.h)
//   proc:  HotkeyState (boolean, settable), UseSpeechAndSayStat (boolean, settable: speech on or
//          off, the new state announced)
// The Braille values the report reads are live values of BrailleInterface (brailleinterface.h).
#pragma once

#include "corvane/engine/users.h"

namespace corvane {

void addRootStatusMembers(const AddProperty& add, CoreModel& model);
void addProcStatusMembers(const AddProperty& add, CoreModel& model);

}  // namespace corvane
