// proc.iSys: the core's system services for JexUI and the scripts.
//   GetProcessNameFromWindow(hWnd)  the executable's name of the process that owns a top-level
//                                   window; "" when it names none, or one of another host.
#pragma once

#include "automation/automation.h"

namespace corvane {

jex::automation::Obj makeSysObject();

}  // namespace corvane
