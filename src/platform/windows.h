// Finding windows by class and giving them the keyboard focus (X11).
//
// A window handle is the 32-bit X window id; 0 means none. The class of a window is the class
// part of its WM_CLASS property (the second string), compared without regard to case as window
// classes are. Windows without WM_CLASS have no class and match nothing.
//
// The display is the one named by DISPLAY; the connection is opened on first use and opened
// again when DISPLAY names another display or the connection broke. Without a display every
// function answers 0 / false / empty.
#pragma once

#include <QString>
#include <QtGlobal>

namespace jex::platform {

using WindowHandle = quint32;

// The active top-level window named by the window manager (_NET_ACTIVE_WINDOW of the root
// window); 0 when there is no window manager or no active window.
WindowHandle foregroundWindow();
// The root window of the default screen ("the desktop"); 0 without a display.
WindowHandle desktopWindow();
// True while the window exists.
bool windowExists(WindowHandle window);
// The class part of WM_CLASS; empty when the window has none or no longer exists.
QString windowClass(WindowHandle window);

// The number-th window (counted from 1) of the class in a depth-first walk of all windows
// below parent (the parent itself is not looked at; each window comes before its children,
// siblings in stacking order from the bottom). A number below 1 counts as 1. A parent of 0
// walks below the desktop. Answers 0 when there is no such window or the parent does not exist.
WindowHandle findClassEx(WindowHandle parent, const QString& className, int number = 1);

// Gives window the keyboard focus. A top-level window (a child of the root, or a client window
// the window manager reparented, recognised by its WM_STATE) is activated through the window
// manager with a _NET_ACTIVE_WINDOW client message when the manager announces it in
// _NET_SUPPORTED; otherwise, and for every child window, the input focus is set directly.
// True when the request was accepted (the window exists and is viewable).
bool setFocusToWindow(WindowHandle window);

}  // namespace jex::platform
