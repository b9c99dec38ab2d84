// Bringing a window of this program to the front, as far as the window system lets a program
// take the foreground.
//
// The method is JEXUI.INI [General] UseForceForeGround:
//   0  show it (restored when minimised), raise it and ask for activation;
//   1  nothing when it is already the active window; otherwise raise it and ask the window
//      manager to activate it with the EWMH _NET_ACTIVE_WINDOW client message, sent as a pager
//      (source indication 2) so that focus-stealing prevention lets it through; without a
//      window manager that announces _NET_ACTIVE_WINDOW, and on platforms other than X11, Qt's
//      own activation request is used (on X11 it sets the input focus);
//   2  restore it first when minimised, then as 1.
// Any other value does nothing.
#pragma once

class QWidget;

namespace jex::platform {

// The methods above, as UseForceForeGround numbers them.
enum ForegroundMethod : int {
  kShowRaiseActivate = 0,
  kActivateUnlessActive = 1,
  kRestoreThenActivate = 2,
};

void ForceForeground(QWidget* window, int method);

// The activation request of methods 1 and 2 alone: true when the EWMH message was sent.
bool requestActivation(QWidget* window);

}  // namespace jex::platform
