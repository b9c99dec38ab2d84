// The top-level windows of the desktop as a task bar sees them, and the window operations of
// the task list (X11: the EWMH and ICCCM conventions, spoken to through an xcb connection of
// its own). Each function names the Windows operation it stands for.
//
// The display is the one named by DISPLAY; the connection is opened on first use and again when
// DISPLAY names another display or the connection broke (the display went away). Without a
// display every function answers "none": an empty list, a state with exists false, 0, false.
// A window that vanishes between two requests makes those requests fail quietly; no function
// waits longer than the time it is given (nothing at all when it is given none).
#pragma once

#include <QImage>
#include <QList>
#include <QSet>
#include <QString>
#include <QtGlobal>

namespace jex::platform::tasks {

using WindowHandle = quint32;

// Longest title read (bytes of UTF-8); a longer one is cut.
inline constexpr int kMaxTitleBytes = 64 * 1024;

// What a window shows of itself; the Windows attribute each stands for in brackets.
struct WindowState {
  bool exists = false;
  // _NET_WM_NAME (UTF-8), else WM_NAME (Latin-1) [GetWindowText]. Invalid UTF-8 is read with
  // replacement characters, control characters (NUL, line breaks) as spaces.
  QString title;
  // The class part of WM_CLASS [GetClassName].
  QString className;
  // Managed (WM_STATE normal or iconic), or mapped and viewable without a window manager
  // [WS_VISIBLE]; a minimised window keeps it.
  bool visible = false;
  // WM_STATE iconic or _NET_WM_STATE_HIDDEN [IsIconic].
  bool minimized = false;
  // _NET_WM_STATE_MAXIMIZED_VERT and _HORZ [IsZoomed].
  bool maximized = false;
  // A _NET_WM_WINDOW_TYPE other than normal or dialog, _NET_WM_STATE_SKIP_TASKBAR, or an
  // override-redirect window (menus, tips) [WS_EX_TOOLWINDOW].
  bool toolWindow = false;
  // WM_TRANSIENT_FOR [GetWindow(GW_OWNER)], and whether that window is visible.
  WindowHandle owner = 0;
  bool ownerVisible = false;
  // WM_PROTOCOLS lists _NET_WM_PING: the window can be asked whether it answers.
  bool answersPing = false;
  // Bytes of _NET_WM_ICON (0: none); a change means new icons.
  quint32 iconBytes = 0;
};

// True when the display can be reached now.
bool available();
// True when a window manager announces itself (_NET_SUPPORTING_WM_CHECK names a live window).
bool hasWindowManager();

// The top-level windows from the top of the stacking order down [EnumWindows, GetWindow
// GW_HWNDFIRST/GW_HWNDNEXT]: the window manager's _NET_CLIENT_LIST_STACKING, else (no window
// manager) the children of the root window.
QList<WindowHandle> topLevelWindows();
// The states of windows, in their order; the requests for all of them travel together.
QList<WindowState> readWindows(const QList<WindowHandle>& windows);
WindowState readWindow(WindowHandle window);

// [IsHungAppWindow] Whether windows answer _NET_WM_PING, asked as a window manager asks:
// nothing waits. Each window that takes the ping and owes no answer is pinged now; a window
// counts as not answering once its ping has gone timeoutMs without an answer (each window with
// its own time), and as answering again as soon as any answer has come (read at the next call).
// A hung window is pinged again every timeoutMs, so that a lost ping does not mark it for good.
// Windows without the ping answer, and so do this process's own windows.
QSet<WindowHandle> notAnswering(const QList<WindowHandle>& windows, int timeoutMs);

// The window's icon nearest to size pixels from _NET_WM_ICON [WM_GETICON]; a null image when
// the window has none or the property is shorter than its sizes say.
QImage windowIcon(WindowHandle window, int size);

// [ShowWindow SW_MINIMIZE] WM_CHANGE_STATE to iconic.
bool minimize(WindowHandle window);
// [ShowWindow SW_MAXIMIZE] _NET_WM_STATE add both maximised states (mapped again when iconic).
bool maximize(WindowHandle window);
// [ShowWindow SW_RESTORE] Mapped again when iconic, both maximised states removed.
bool restore(WindowHandle window);
// [SetForegroundWindow] _NET_ACTIVE_WINDOW (as a pager), without a window manager the input
// focus; then waits at most waitMs for the window to be the active one. True when it is.
bool activate(WindowHandle window, int waitMs);
// The active window [GetForegroundWindow]: _NET_ACTIVE_WINDOW, else the input focus; 0 when none.
WindowHandle activeWindow();

// [GetWindowThreadProcessId] _NET_WM_PID when WM_CLIENT_MACHINE names this host; 0 when the
// window has none, names another host or the process does not run.
qint64 processId(WindowHandle window);
// The executable's file name of a process (/proc/<pid>/exe, else its comm); "" when unknown.
QString processName(qint64 pid);

// [OpenProcess + TerminateProcess] Ends the process that owns window: SIGTERM now, SIGKILL
// two seconds later if it still runs (a timer, nothing waits). The process is held by a process
// descriptor taken while the window still names it, so no other process that later gets the
// same number is ever signalled. Refused (false, logged) when the window has no process of this
// host, or when the process is one of refused.
bool terminateProcessOf(WindowHandle window, const QSet<qint64>& refused);

}  // namespace jex::platform::tasks
