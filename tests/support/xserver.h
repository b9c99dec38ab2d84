// A virtual X display for the window tests: one Xvfb for the whole test executable, started on
// first use on a free display number; DISPLAY points at it while it runs. Windows of known
// classes are created through a connection of the test's own.
#pragma once

#include <xcb/xcb.h>

#include <QProcess>
#include <QString>

namespace jex::testing {

// The key code that gives keysym on conn's keyboard; 0 when no key gives it.
xcb_keycode_t keycodeOf(xcb_connection_t* conn, xcb_keysym_t sym);

class XServer {
 public:
  static XServer& instance();
  ~XServer();
  bool ok() const { return conn_ != nullptr; }
  const QString& error() const { return error_; }
  xcb_connection_t* conn() const { return conn_; }
  xcb_window_t root() const { return root_; }

  // A mapped 10x10 window below parent with WM_CLASS "<cls lower case>\0<cls>\0".
  xcb_window_t create(xcb_window_t parent, const QString& cls);
  void destroy(xcb_window_t w);
  xcb_atom_t atom(const char* name);
  // Waits until the server has handled every request sent so far.
  void sync();
  xcb_window_t inputFocus();

 private:
  XServer();
  QProcess server_;
  QString error_;
  xcb_connection_t* conn_ = nullptr;
  xcb_window_t root_ = 0;
  QByteArray oldDisplay_;
};

}  // namespace jex::testing
