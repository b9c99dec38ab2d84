// The names of the access layer that the core's automation objects are written in.
#pragma once

#include "automation/automation.h"
#include "automation/dispatchable.h"

namespace corvane {

using jex::automation::Args;
using jex::automation::Collection;
using jex::automation::Dispatchable;
using jex::automation::fromObj;
using jex::automation::Obj;
using jex::automation::toBool;
using jex::automation::toI32;
using jex::automation::toStr;

}  // namespace corvane
