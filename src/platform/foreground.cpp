#include "platform/foreground.h"

#include "core/base/error.h"
#include "core/base/log.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstring>

namespace jex::platform {

namespace {

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_cookie_t cookie = xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name);
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
  if (!reply) return XCB_ATOM_NONE;
  const xcb_atom_t atom = reply->atom;
  std::free(reply);
  return atom;
}

// Whether a window manager announces _NET_ACTIVE_WINDOW in the root window's _NET_SUPPORTED.
bool activeWindowSupported(xcb_connection_t* c, xcb_window_t root, xcb_atom_t atom) {
  const xcb_atom_t supported = internAtom(c, "_NET_SUPPORTED");
  if (supported == XCB_ATOM_NONE) return false;
  xcb_get_property_reply_t* r =
      xcb_get_property_reply(c, xcb_get_property(c, 0, root, supported, XCB_ATOM_ATOM, 0, 4096), nullptr);
  bool found = false;
  if (r) {
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(r));
    const int n = xcb_get_property_value_length(r) / int(sizeof(xcb_atom_t));
    for (int i = 0; i < n && !found; ++i) found = atoms[i] == atom;
    std::free(r);
  }
  return found;
}

// Sends _NET_ACTIVE_WINDOW for the window to the root window of its screen, when a window
// manager is there to answer it.
bool sendActiveWindowMessage(QWidget* window) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return false;
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* c = x11 ? x11->connection() : nullptr;
  if (!c || xcb_connection_has_error(c)) return false;
  const xcb_atom_t atom = internAtom(c, "_NET_ACTIVE_WINDOW");
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  if (atom == XCB_ATOM_NONE || !screen) return false;
  // Without a window manager nobody would answer: Qt's own request then sets the input focus.
  if (!activeWindowSupported(c, screen->root, atom)) return false;

  xcb_client_message_event_t ev;
  std::memset(&ev, 0, sizeof ev);
  ev.response_type = XCB_CLIENT_MESSAGE;
  ev.format = 32;
  ev.window = xcb_window_t(window->winId());
  ev.type = atom;
  ev.data.data32[0] = 2;                  // source indication: pager
  ev.data.data32[1] = XCB_CURRENT_TIME;   // time stamp
  ev.data.data32[2] = XCB_WINDOW_NONE;    // the requester's active window
  xcb_send_event(c, 0, screen->root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&ev));
  xcb_flush(c);
  return true;
}

void restore(QWidget* window) {
  if (window->isMinimized()) window->showNormal();
  else if (!window->isVisible()) window->show();
}

}  // namespace

bool requestActivation(QWidget* window) {
  return trapped("platform.requestActivation", false, [&] {
    if (!window) return false;
    window->raise();
    if (sendActiveWindowMessage(window)) return true;
    window->activateWindow();
    return false;
  });
}

void ForceForeground(QWidget* window, int method) {
  trap("platform.ForceForeground", [&] {
    if (!window) return;
    window = window->window();
    WriteLog(QStringLiteral("ForceForeground ") + window->objectName() + QStringLiteral(", method ") +
                 QString::number(method),
             5);
    switch (method) {
      case 0:
        restore(window);
        window->raise();
        window->activateWindow();
        break;
      case 2:
        restore(window);
        [[fallthrough]];
      case 1:
        if (!window->isActiveWindow()) requestActivation(window);
        break;
      default: break;
    }
  });
}

}  // namespace jex::platform
