// The X protocol pieces that JexUI's window functions and the stand-in core's foreground
// watcher share: replies that free themselves, atoms by name, the root window of a screen,
// 32-bit properties, the window manager's _NET_SUPPORTED list, client messages and the EWMH
// activation request.
// Every function takes a live connection and answers "none" (0, false) when the server does not.
#pragma once

#include <xcb/xcb.h>

#include <QByteArray>
#include <QtGlobal>
#include <cstdlib>
#include <initializer_list>
#include <memory>

namespace jex::platform::xcb {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
// A reply or error of libxcb, freed with free() as libxcb requires.
template <class T>
using Reply = std::unique_ptr<T, FreeDeleter>;
template <class T>
Reply<T> reply(T* r) {
  return Reply<T>(r);
}

// The atom of name; XCB_ATOM_NONE when there is no answer.
xcb_atom_t internAtom(xcb_connection_t* c, const char* name);
// The root window of screen screenNumber; XCB_WINDOW_NONE when the display has no such screen.
xcb_window_t rootOf(xcb_connection_t* c, int screenNumber);
// The first 32-bit value of the property of window when it has the type (a window id, a
// cardinal); 0 when the window has no such property.
quint32 property32(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type);
// True when the root window's _NET_SUPPORTED (supportedAtom) lists atom: a window manager
// runs that answers it.
bool managerSupports(xcb_connection_t* c, xcb_window_t root, xcb_atom_t supportedAtom, xcb_atom_t atom);

// A client message about window of the given type with up to five 32-bit values (the rest 0).
xcb_client_message_event_t clientMessage(xcb_window_t window, xcb_atom_t type, std::initializer_list<uint32_t> data);
// The event mask of client messages addressed to the window manager through the root window.
inline constexpr uint32_t kToWindowManager = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
// Sends message to the window manager: to root with kToWindowManager (not yet flushed).
void sendToWindowManager(xcb_connection_t* c, xcb_window_t root, const xcb_client_message_event_t& message);
// The EWMH request to activate window, sent to the root window with kToWindowManager. It comes
// as from a pager (source indication 2), which focus-stealing prevention lets through.
xcb_client_message_event_t activeWindowRequest(xcb_window_t window, xcb_atom_t activeWindowAtom);

// A connection to the display DISPLAY names, opened at the first get() and opened again when
// DISPLAY changes or the connection broke. A user that keeps state of the connection (atoms,
// selected events, requests under way) sets it up in opened() and forgets it in closing().
class DisplayConnection {
 public:
  DisplayConnection() = default;
  DisplayConnection(const DisplayConnection&) = delete;
  DisplayConnection& operator=(const DisplayConnection&) = delete;
  virtual ~DisplayConnection();

  // The live connection; nullptr without a display.
  xcb_connection_t* get();
  xcb_window_t root() const { return root_; }

 protected:
  virtual void opened(xcb_connection_t*) {}
  virtual void closing() {}
  xcb_connection_t* current() const { return conn_; }  // as it is, not opened again

 private:
  void close();
  xcb_connection_t* conn_ = nullptr;
  QByteArray name_;
  xcb_window_t root_ = XCB_WINDOW_NONE;
};

}  // namespace jex::platform::xcb
