// Start-up and shutdown of JexUI.
//
// Entry: a second copy only sends "TOGGMEN" through the core and ends; without a running core
// JexUI starts the core's launcher qmtwcd from its own directory and ends; a core object that
// cannot be created ends the process. Otherwise the initialisation reads JEXUI.INI in the
// core's directory and shows the main window, whose load handler finishes the start-up.
//
// On this platform "another copy runs" means the bus name "JexUI.UI_Application" is taken
// (this process publishes it with a UI_Application object for its whole run) and "the core
// runs" means the bus name "corvane.application" is owned. JexUI's objects answer only the
// owner of "corvane.application"; any other caller gets Error 70 and a line in the log, unless
// JexUI was started with --trust-bus.
//
// Log file: jexui.log in the program directory, or in $JEXUI_LOGDIR when that is set (for
// tests and installations whose program directory is not writable).
#pragma once

#include <QString>

#include "automation/automation.h"

namespace jex {

inline constexpr char kCoreProgId[] = "corvane.application";
inline constexpr char kLauncher[] = "qmtwcd";
inline constexpr char kTrustBusOption[] = "--trust-bus";  // every program on the bus may call JexUI
inline constexpr int kExitOk = 0;
inline constexpr int kExitNoCore = 1;  // the core object could not be created

// "True" / "False", as booleans are written in log lines.
QString boolText(bool b);

QString programDirectory();
// The directory of jexui.log: $JEXUI_LOGDIR or the program directory.
QString logDirectory();
// Points the log at logDirectory() + "/jexui.log" (threshold stays as it is).
void openLog();

// Creates the core object and asks it for proc, so that a core that does not answer counts
// as not created. Throws jex::Error.
Obj CreateCoreObject();

// The program entry. Returns -1 when the main window is up and the event loop is to run,
// otherwise the exit code of the process.
int Main();

// Initialisation, from AppPath to the shown main window. False when it stopped at an error.
bool Initialise();
// Reads the start-up keys of JEXUI.INI into cGlobal, in their order, with the two log lines
// after WriteLogFile. gGlobal().Ini must be open.
void ReadStartupSettings();

// The end of the program: Quitting is set, an open modal box closed, the main window unloaded,
// then every event loop is asked to return (frmMDI::quitApplication). Runs once; the core
// vanishing from the bus and SIGTERM/SIGINT call it (see ConnectShutdownTriggers). It may run
// inside a modal box's loop or a call that waits for the core, so it frees nothing.
void Shutdown();
// After the outermost event loop has returned: unloads the main window if that has not
// happened yet, deletes it and gives the bus name up.
void ReleaseMainWindow();
void ConnectShutdownTriggers();

}  // namespace jex
