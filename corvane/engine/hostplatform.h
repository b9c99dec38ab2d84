// Everything of the stand-in core that touches the X window system, /proc or POSIX: the
// foreground watcher, reading the console, and the signals the processes ignore. A port to
// another system replaces this file and its .cpp.
//
// Follows the foreground application of the window system. Task names are upper case, as the
// screen reader knows applications: the name of the process in the window's _NET_WM_PID
// ("JEXUI" for JexUI).
//
// It listens, it does not poll: the X connection's socket is watched by the event loop
// (QSocketNotifier) and every change arrives as an event.
//   - With a window manager that publishes the active window (_NET_SUPPORTING_WM_CHECK names a
//     living window and _NET_SUPPORTED lists _NET_ACTIVE_WINDOW) the foreground is the window in
//     _NET_ACTIVE_WINDOW, followed by PropertyNotify on the root window.
//   - Without one nothing sets that property, so the watcher follows the X input focus: every
//     top-level window (child of the root) is asked for its FocusIn/FocusOut events, new ones as
//     they are created or reparented to the root (SubstructureNotify on the root); on each focus
//     event or mapped window the focus is read (GetInputFocus) and traced up to its top-level
//     window. Focus events are sent only to the windows the focus leaves and enters, never to
//     the root for a move between two top-level windows, hence the selection on each of them.
//   A window manager that starts or ends later is noticed (its check property changes or its
//     check window is destroyed) and the watcher switches between the two ways.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

struct xcb_connection_t;
class QSocketNotifier;

namespace corvane {

// Ignores SIGPIPE: the console or pipe the process prints to may go away before it does (a
// launcher or terminal that ended), and a closed pipe must not end the process.
void ignoreBrokenPipes();

// The standard input as a file descriptor for a socket notifier, and one read of what is
// waiting there: the bytes read, 0 at the end of the input, -1 for a read to try again later.
// The executable's file name of the process that owns a top-level window (_NET_WM_PID, read in
// /proc); "" when the window names no process, or one of another host (WM_CLIENT_MACHINE).
QString processNameOfWindow(quint32 window);

// The program file a process runs (its /proc entry), with links resolved; "" when it cannot be read.
QString executableOfPid(qint64 pid);
// A program's path with links resolved, comparable with executableOfPid(); "" when it is missing.
QString canonicalProgram(const QString& path);

// Gives the heap's free memory back to the system (malloc_trim), then the resident size in kB.
qint64 trimmedResidentKb();

int consoleInputHandle();
qint64 readConsoleInput(char* buffer, qint64 size);

// Opens a Braille display's device node (a serial, USB-serial or rfcomm node) for reading and
// writing without waiting for a carrier; the handle, or -1 with the reason in *error.
int openDeviceNode(const QString& path, QString* error);
void closeDeviceNode(int handle);

// The name a key has in the key codes (keyinput.h) for an X keysym: "Up", "F5", "A", "KP:5"
// for the keypad (the same with Num Lock on or off), "CapsLock", "Shift", "Alt", "Ctrl"; ""
// for a key of no name there.
QString keyNameOfKeysym(quint32 keysym);

// The display's keyboard as XInput2 raw key events: every press and release of every keyboard,
// whichever window has the focus, without taking the key from it. Events are asked for only
// while listening, that is while a dialog captures keys.
class KeyboardListener : public QObject {
  Q_OBJECT
 public:
  explicit KeyboardListener(QObject* parent = nullptr);
  ~KeyboardListener() override;
  // Connects to display (empty: $DISPLAY, nothing while Qt itself runs without a display).
  // False without a display or without XInput 2.2 there.
  bool start(const QByteArray& display = {});
  // Asks for the raw key events or stops them; returns once the server has the request, so that
  // a key pressed after the call is heard.
  void setListening(bool on);
  bool listening() const { return listening_; }

 signals:
  // A key's name (keyNameOfKeysym) pressed or released.
  void keyEvent(const QString& key, bool pressed);

 private:
  void readEvents();
  void loadKeymap();
  xcb_connection_t* conn_ = nullptr;
  QSocketNotifier* notifier_ = nullptr;
  quint32 root_ = 0;
  quint8 xiOpcode_ = 0;
  bool listening_ = false;
  int minKeycode_ = 0;
  int symsPerCode_ = 0;
  QList<quint32> keysyms_;
};

class ForegroundWatcher : public QObject {
  Q_OBJECT
 public:
  explicit ForegroundWatcher(QObject* parent = nullptr);
  ~ForegroundWatcher() override;

  // Connects to display (empty: $DISPLAY, and nothing while Qt itself runs without a display).
  // False when there is no display to watch.
  bool start(const QByteArray& display = {});
  // The task name of the foreground window now, or "" when no window is in front or its
  // process cannot be told. foregroundChanged reports every change, to "" as well.
  QString query();
  // The foreground top-level window now (the active window, or the one holding the focus), or 0.
  quint32 activeWindow();
  // True while a window manager publishes _NET_ACTIVE_WINDOW; false: the input focus is followed.
  bool followsActiveWindowProperty() const { return ewmh_; }

  static QString taskNameOfPid(qint64 pid);

 signals:
  void foregroundChanged(const QString& taskName);
  // Another top-level window came to the front (0: none is), after foregroundChanged when the
  // application changed too.
  void foregroundWindowChanged(quint32 window, const QString& taskName);

 private:
  void readEvents();
  bool handle(const void* xcbEvent);  // true when the foreground may have changed
  void evaluate();
  QString taskNow();
  QString taskOf(quint32 window);
  quint32 frontWindow();  // the active window, or the window holding the focus (not its top level)
  void checkWindowManager();
  void watchTopLevel(quint32 window);
  quint32 focusWindow();
  quint32 topLevelOf(quint32 window);
  quint32 parentOf(quint32 window);
  unsigned internAtom(const char* name);
  quint32 cardinal(quint32 window, unsigned atom, unsigned type);

  xcb_connection_t* conn_ = nullptr;
  QSocketNotifier* notifier_ = nullptr;
  quint32 root_ = 0;
  quint32 wmCheck_ = 0;  // the window manager's check window while ewmh_
  unsigned activeAtom_ = 0;
  unsigned pidAtom_ = 0;
  unsigned checkAtom_ = 0;
  unsigned supportedAtom_ = 0;
  bool ewmh_ = false;
  QString last_;
  quint32 lastWindow_ = 0;
};

}  // namespace corvane
