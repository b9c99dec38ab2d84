// The core's switches that JexUI's menus show as check marks.
//
//   proc:             TooltipsStatus (boolean), BrlKeyStat (0 or 1)
//   (the Braille switches are live values of BrailleInterface, brailleinterface.h; the speech
//   sets, SpeechProfiles, are in speechsets.h)
//
// The switches are kept in corvane.ini ([General] and [Braille]). proc.ToggleStates (objects.cpp)
// gives the states of all toggle commands in one call, "COMMAND=1" or "COMMAND=0" each, for a
// menu that shows them all at once.
#pragma once

#include "corvane/engine/users.h"

namespace corvane {

void addProcStateMembers(const AddProperty& add, CoreModel& model);

}  // namespace corvane
