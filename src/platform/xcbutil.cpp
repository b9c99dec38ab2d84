#include "platform/xcbutil.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "base/log.h"

namespace jex::platform::xcb {

namespace {
// Atoms read from _NET_SUPPORTED; window managers announce far fewer.
constexpr uint32_t kMaxSupported = 4096;
}  // namespace

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
  auto r = reply(xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr));
  return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_window_t rootOf(xcb_connection_t* c, int screenNumber) {
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; it.rem && i < screenNumber; ++i) xcb_screen_next(&it);
  return it.rem ? it.data->root : xcb_window_t(XCB_WINDOW_NONE);
}

quint32 property32(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type) {
  if (property == XCB_ATOM_NONE) return 0;
  auto r = reply(xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 1), nullptr));
  if (!r || r->format != 32 || xcb_get_property_value_length(r.get()) < 4) return 0;
  quint32 v = 0;
  std::memcpy(&v, xcb_get_property_value(r.get()), 4);
  return v;
}

bool managerSupports(xcb_connection_t* c, xcb_window_t root, xcb_atom_t supportedAtom, xcb_atom_t atom) {
  if (supportedAtom == XCB_ATOM_NONE || atom == XCB_ATOM_NONE) return false;
  auto r = reply(
      xcb_get_property_reply(c, xcb_get_property(c, 0, root, supportedAtom, XCB_ATOM_ATOM, 0, kMaxSupported), nullptr));
  if (!r || r->format != 32) return false;
  const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(r.get()));
  const int n = xcb_get_property_value_length(r.get()) / int(sizeof(xcb_atom_t));
  for (int i = 0; i < n; ++i)
    if (atoms[i] == atom) return true;
  return false;
}

xcb_client_message_event_t clientMessage(xcb_window_t window, xcb_atom_t type, std::initializer_list<uint32_t> data) {
  xcb_client_message_event_t ev{};
  ev.response_type = XCB_CLIENT_MESSAGE;
  ev.format = 32;
  ev.window = window;
  ev.type = type;
  std::copy_n(data.begin(), std::min<size_t>(data.size(), std::size(ev.data.data32)), ev.data.data32);
  return ev;
}

void sendToWindowManager(xcb_connection_t* c, xcb_window_t root, const xcb_client_message_event_t& message) {
  xcb_send_event(c, 0, root, kToWindowManager, reinterpret_cast<const char*>(&message));
}

xcb_client_message_event_t activeWindowRequest(xcb_window_t window, xcb_atom_t activeWindowAtom) {
  // source indication: a pager; time stamp; the requester's active window
  return clientMessage(window, activeWindowAtom, {2, XCB_CURRENT_TIME, XCB_WINDOW_NONE});
}

DisplayConnection::~DisplayConnection() {
  // closing() of a derived class is gone by now; the connection alone is closed.
  if (conn_) xcb_disconnect(conn_);
}

xcb_connection_t* DisplayConnection::get() {
  const QByteArray name = qgetenv("DISPLAY");
  if (conn_ && (name != name_ || xcb_connection_has_error(conn_))) {
    WriteLog(QStringLiteral("xcb: the display connection is gone, opening it again"), kDetail);
    close();
  }
  if (!conn_ && !name.isEmpty()) {
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(name.constData(), &screenNumber);
    if (xcb_connection_has_error(c)) {
      xcb_disconnect(c);
      return nullptr;
    }
    conn_ = c;
    name_ = name;
    root_ = rootOf(c, screenNumber);
    opened(c);
  }
  return conn_;
}

void DisplayConnection::close() {
  if (!conn_) return;
  closing();
  xcb_disconnect(conn_);
  conn_ = nullptr;
  root_ = XCB_WINDOW_NONE;
}

}  // namespace jex::platform::xcb
