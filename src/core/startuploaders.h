// The background preloading of the dialogs: one step per tick of the main window's
// tmrStartUp (50 ms), 13 steps. Each dialog's own code registers the loader of its step
// (create and initialise the dialog, hidden); a step without a loader does nothing.
//
//   step  0 frmMain      1 frmReadMe     2 -              3 frmVoices     4 frmKeys.Init
//   step  5 frmUser      6 frmBraille    7 frmKeyecho     8 frmOptions    9 frmTasks
//   step 10 frmTextWiz  11 frmDevice    12 -
#pragma once

#include <functional>

namespace jex::startuploaders {

inline constexpr int kSteps = 13;
using Loader = std::function<void()>;

// Sets (or with an empty function clears) the loader of a step; other steps are ignored.
void setLoader(int step, Loader loader);
bool hasLoader(int step);
// Runs the step's loader, if any, inside the error trap.
void run(int step);

}  // namespace jex::startuploaders
