#include "xserver.h"

#include <cstdlib>
#include <cstring>

namespace jex::testing {

xcb_keycode_t keycodeOf(xcb_connection_t* conn, xcb_keysym_t sym) {
  const xcb_setup_t* setup = xcb_get_setup(conn);
  const int count = setup->max_keycode - setup->min_keycode + 1;
  xcb_get_keyboard_mapping_reply_t* map =
      xcb_get_keyboard_mapping_reply(conn, xcb_get_keyboard_mapping(conn, setup->min_keycode, uint8_t(count)), nullptr);
  xcb_keycode_t found = 0;
  const xcb_keysym_t* syms = map ? xcb_get_keyboard_mapping_keysyms(map) : nullptr;
  for (int i = 0; map && i < count * map->keysyms_per_keycode && !found; ++i)
    if (syms[i] == sym) found = xcb_keycode_t(setup->min_keycode + i / map->keysyms_per_keycode);
  std::free(map);
  return found;
}

XServer& XServer::instance() {
  static XServer x;
  return x;
}

XServer::XServer() : oldDisplay_(qgetenv("DISPLAY")) {
  server_.setProgram(QStringLiteral("Xvfb"));
  server_.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                        QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp")});
  server_.setProcessChannelMode(QProcess::SeparateChannels);
  server_.start(QIODevice::ReadOnly);
  if (!server_.waitForStarted(5000)) {
    error_ = QStringLiteral("Xvfb could not be started: ") + server_.errorString();
    return;
  }
  while (!server_.canReadLine() && server_.waitForReadyRead(10000)) {
  }
  const QByteArray number = server_.readLine().trimmed();
  if (number.isEmpty()) {
    error_ =
        QStringLiteral("Xvfb printed no display number: ") + QString::fromLocal8Bit(server_.readAllStandardError());
    return;
  }
  const QByteArray display = ":" + number;
  conn_ = xcb_connect(display.constData(), nullptr);
  if (xcb_connection_has_error(conn_)) {
    xcb_disconnect(conn_);
    conn_ = nullptr;
    error_ = QStringLiteral("cannot connect to Xvfb on ") + QString::fromLatin1(display);
    return;
  }
  root_ = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data->root;
  qputenv("DISPLAY", display);
}

XServer::~XServer() {
  if (conn_) xcb_disconnect(conn_);
  if (server_.state() != QProcess::NotRunning) {
    server_.terminate();
    if (!server_.waitForFinished(3000)) server_.kill();
    server_.waitForFinished(2000);
  }
  if (oldDisplay_.isEmpty()) qunsetenv("DISPLAY");
  else qputenv("DISPLAY", oldDisplay_);
}

xcb_window_t XServer::create(xcb_window_t parent, const QString& cls) {
  const xcb_window_t w = xcb_generate_id(conn_);
  xcb_create_window(conn_, XCB_COPY_FROM_PARENT, w, parent, 0, 0, 10, 10, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    XCB_COPY_FROM_PARENT, 0, nullptr);
  const QByteArray value = cls.toLower().toLatin1() + '\0' + cls.toLatin1() + '\0';
  xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, uint32_t(value.size()),
                      value.constData());
  xcb_map_window(conn_, w);
  sync();
  return w;
}

void XServer::destroy(xcb_window_t w) {
  xcb_destroy_window(conn_, w);
  sync();
}

xcb_atom_t XServer::atom(const char* name) {
  xcb_intern_atom_reply_t* r =
      xcb_intern_atom_reply(conn_, xcb_intern_atom(conn_, 0, uint16_t(std::strlen(name)), name), nullptr);
  const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
  std::free(r);
  return a;
}

void XServer::sync() { std::free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr)); }

xcb_window_t XServer::inputFocus() {
  xcb_get_input_focus_reply_t* r = xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr);
  const xcb_window_t w = r ? r->focus : xcb_window_t(XCB_WINDOW_NONE);
  std::free(r);
  return w;
}

}  // namespace jex::testing
