// The desktop the end-to-end tests run on, made before the application exists: a virtual
// display (Xvfb) with openbox, a private session bus and the accessibility bus on it. This
// process then runs on the xcb platform with its accessibility on, as JexUI does when the core
// starts it. Everything is ended when the process ends.
#pragma once

#include <QString>

namespace jex::testing {

// Empty when the desktop is up; otherwise why it is not (the tests skip with it).
const QString& desktopError();

}  // namespace jex::testing
