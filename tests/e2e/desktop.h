// The desktop the end-to-end tests run on, made before the application exists: a virtual
// display (Xvfb) with openbox, a private session bus and the accessibility bus on it. This
// process then runs on the xcb platform with its accessibility on, as JexUI does when the core
// starts it. Everything is ended when the process ends.
#pragma once

#include <QString>
#include <QStringList>

namespace jex::testing {

// Empty when the desktop is up; otherwise why it is not (the tests skip with it).
const QString& desktopError();

// The core, started on the desktop before the application (as a screen reader runs before
// the programs it reads): the built corvane with --no-jexui --no-foreground --no-monitor
// --no-audio --trust-bus (JexUI is this process) and the given extra arguments, its directory below a temporary folder.
// Its console is written with coreWrite; coreOutput is all it has printed so far.
struct CoreRun {
  QString home;  // the temporary folder; AppPath is home + "/app/"
  QString error;
};
const CoreRun& core();
void coreWrite(const QString& line);
const QString& coreOutput();
// Ends the core (":quit") and waits for it.
void coreQuit();
// To be called before jexTestBeforeApplication: the extra arguments of the core; without this
// call no core is started.
void useCore(const QStringList& extraArguments);

}  // namespace jex::testing
