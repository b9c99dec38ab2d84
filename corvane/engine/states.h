// The core's switches that JexUI's menus show as check marks, and its speech profiles.
//
//   proc:             TooltipsStatus (boolean), BrlKeyStat (0 or 1)
//   (the Braille switches are live values of BrailleInterface, brailleinterface.h)
//   root:             SpeechProfiles, a collection of nine profiles (Count, ItemByIndex(i),
//                     Item(i)), each with nr (1 to 9), Name and Info (settable)
//
// The switches are kept in corvane.ini ([General] and [Braille]); each profile in its own file
// AppPath + "speechsets/SPSET<nr>.INI", section [Profile], keys Name and Info. A profile whose
// Info is empty is unused.
#pragma once

#include "corvane/engine/users.h"

namespace corvane {

inline constexpr int kSpeechProfileCount = 9;

// The file of profile nr below appPath (which ends with "/").
QString speechProfileFile(const QString& appPath, int nr);

void addProcStateMembers(const AddProperty& add, CoreModel& model);
void addRootStateMembers(const AddProperty& add, CoreModel& model);

}  // namespace corvane
