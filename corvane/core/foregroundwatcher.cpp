#include "corvane/core/foregroundwatcher.h"

#include <QFile>
#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

#include "core/base/error.h"

namespace corvane {

ForegroundWatcher::ForegroundWatcher(QObject* parent) : QObject(parent) {
  connect(&timer_, &QTimer::timeout, this, &ForegroundWatcher::poll);
}

ForegroundWatcher::~ForegroundWatcher() {
  if (conn_) xcb_disconnect(conn_);
}

QString ForegroundWatcher::taskNameOfPid(qint64 pid) {
  if (pid <= 0) return {};
  QFile f(QStringLiteral("/proc/%1/comm").arg(pid));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll()).trimmed().toUpper();
}

unsigned ForegroundWatcher::internAtom(const char* name) {
  xcb_intern_atom_reply_t* r =
      xcb_intern_atom_reply(conn_, xcb_intern_atom(conn_, 0, uint16_t(std::strlen(name)), name), nullptr);
  const unsigned atom = r ? r->atom : 0;
  std::free(r);
  return atom;
}

bool ForegroundWatcher::start(int intervalMs) {
  return jex::trapped("ForegroundWatcher.start", false, [&] {
    if (qEnvironmentVariableIsEmpty("DISPLAY") || QGuiApplication::platformName() == u"offscreen") return false;
    int screenNo = 0;
    conn_ = xcb_connect(nullptr, &screenNo);
    if (xcb_connection_has_error(conn_)) {
      xcb_disconnect(conn_);
      conn_ = nullptr;
      return false;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn_));
    for (int i = 0; i < screenNo && it.rem; ++i) xcb_screen_next(&it);
    root_ = it.data->root;
    activeAtom_ = internAtom("_NET_ACTIVE_WINDOW");
    pidAtom_ = internAtom("_NET_WM_PID");
    timer_.start(intervalMs);
    return true;
  });
}

quint32 ForegroundWatcher::cardinal(unsigned window, unsigned atom, unsigned type) {
  xcb_get_property_reply_t* r =
      xcb_get_property_reply(conn_, xcb_get_property(conn_, 0, window, atom, type, 0, 1), nullptr);
  quint32 v = 0;
  if (r && xcb_get_property_value_length(r) >= 4) std::memcpy(&v, xcb_get_property_value(r), 4);
  std::free(r);
  return v;
}

quint32 ForegroundWatcher::activeWindow() {
  if (!conn_ || !activeAtom_) return 0;
  return cardinal(root_, activeAtom_, XCB_ATOM_WINDOW);
}

QString ForegroundWatcher::query() {
  if (!conn_ || !activeAtom_ || !pidAtom_) return {};
  const quint32 window = activeWindow();
  if (!window) return {};
  return taskNameOfPid(cardinal(window, pidAtom_, XCB_ATOM_CARDINAL));
}

void ForegroundWatcher::poll() {
  jex::trap("ForegroundWatcher.poll", [&] {
    const QString now = query();
    if (now.isEmpty() || now == last_) return;
    last_ = now;
    emit foregroundChanged(now);
  });
}

}  // namespace corvane
