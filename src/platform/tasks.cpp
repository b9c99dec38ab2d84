#include "platform/tasks.h"

#include <xcb/xcb.h>

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSysInfo>
#include <QThread>
#include <QTimer>

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <csignal>
#include <cstring>

#include "base/error.h"
#include "base/log.h"
#include "platform/xcbutil.h"

namespace jex::platform::tasks {

namespace {

using xcb::Reply;
using xcb::reply;

constexpr uint32_t kWithdrawn = 0, kNormal = 1, kIconic = 3;  // WM_STATE
constexpr uint32_t kRemove = 0, kAdd = 1;                     // _NET_WM_STATE actions
constexpr uint32_t kSourcePager = 2;
constexpr uint32_t kMaxListed = 65536;               // windows read from _NET_CLIENT_LIST_STACKING
constexpr uint32_t kMaxAtoms = 64;                   // atoms read from a state, type or protocol list
constexpr uint32_t kMaxIconLongs = 4 * 1024 * 1024;  // 16 MB of icons at most
constexpr int kKillGraceMs = 2000;
constexpr int kPollStepMs = 10;
constexpr int kMaxOutstanding = 4096;  // pings remembered before those of unlisted windows are dropped

enum Atom {
  NetClientListStacking,
  NetWmName,
  Utf8String,
  NetWmState,
  NetWmStateHidden,
  NetWmStateMaxVert,
  NetWmStateMaxHorz,
  NetWmStateSkipTaskbar,
  NetWmWindowType,
  NetWmWindowTypeNormal,
  NetWmWindowTypeDialog,
  WmState,
  WmProtocols,
  NetWmPing,
  NetWmIcon,
  NetWmPid,
  WmChangeState,
  NetActiveWindow,
  NetSupportingWmCheck,
  AtomCount
};
const char* const kAtomNames[AtomCount] = {"_NET_CLIENT_LIST_STACKING",
                                           "_NET_WM_NAME",
                                           "UTF8_STRING",
                                           "_NET_WM_STATE",
                                           "_NET_WM_STATE_HIDDEN",
                                           "_NET_WM_STATE_MAXIMIZED_VERT",
                                           "_NET_WM_STATE_MAXIMIZED_HORZ",
                                           "_NET_WM_STATE_SKIP_TASKBAR",
                                           "_NET_WM_WINDOW_TYPE",
                                           "_NET_WM_WINDOW_TYPE_NORMAL",
                                           "_NET_WM_WINDOW_TYPE_DIALOG",
                                           "WM_STATE",
                                           "WM_PROTOCOLS",
                                           "_NET_WM_PING",
                                           "_NET_WM_ICON",
                                           "_NET_WM_PID",
                                           "WM_CHANGE_STATE",
                                           "_NET_ACTIVE_WINDOW",
                                           "_NET_SUPPORTING_WM_CHECK"};

// Where a ping stands: when it went out first (the time-out counts from then) and when it was
// last sent again (a lost ping must not mark a window hung for good).
struct Ping {
  qint64 sentMs = 0;
  qint64 resentMs = 0;
};

// The connection of the task list. The answers to pings are sent to the root window, each
// toolkit with its own event mask (Qt: StructureNotify|SubstructureRedirect, GTK and window
// managers: SubstructureNotify|SubstructureRedirect); the root is selected for both notify
// masks, so that every answer arrives here (SubstructureRedirect is the window manager's own).
class Display : public xcb::DisplayConnection {
 public:
  xcb_atom_t atom(Atom a) const { return atoms_[a]; }

  // Reads every waiting event; a pong clears its window's outstanding ping.
  void drain() {
    while (xcb_generic_event_t* e = xcb_poll_for_event(current())) {
      if ((e->response_type & ~0x80) == XCB_CLIENT_MESSAGE) {
        const auto* m = reinterpret_cast<const xcb_client_message_event_t*>(e);
        if (m->type == atom(WmProtocols) && m->data.data32[0] == atom(NetWmPing))
          outstanding_.remove(m->data.data32[2]);
      }
      std::free(e);
    }
  }
  QHash<WindowHandle, Ping>& outstanding() { return outstanding_; }
  quint32 nextStamp() { return ++stamp_; }
  qint64 nowMs() {
    if (!clock_.isValid()) clock_.start();
    return clock_.elapsed();
  }

 private:
  void opened(xcb_connection_t* c) override {
    xcb_intern_atom_cookie_t cookies[AtomCount];
    for (int i = 0; i < AtomCount; ++i)
      cookies[i] = xcb_intern_atom(c, 0, uint16_t(std::strlen(kAtomNames[i])), kAtomNames[i]);
    for (int i = 0; i < AtomCount; ++i) {
      auto r = reply(xcb_intern_atom_reply(c, cookies[i], nullptr));
      atoms_[i] = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    const uint32_t mask =
        XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, root(), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
  }
  void closing() override { outstanding_.clear(); }

  xcb_atom_t atoms_[AtomCount]{};
  QHash<WindowHandle, Ping> outstanding_;  // window -> its unanswered ping
  quint32 stamp_ = 0;
  QElapsedTimer clock_;
};

Display& display() {
  static Display d;
  return d;
}

xcb_get_property_cookie_t ask(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type,
                              uint32_t longs) {
  return xcb_get_property(c, 0, w, property, type, 0, longs);
}

template <class T>
QList<T> values(const xcb_get_property_reply_t* r, uint8_t format) {
  QList<T> out;
  if (!r || r->format != format) return out;
  const int n = xcb_get_property_value_length(r) / int(sizeof(T));
  const auto* v = static_cast<const T*>(xcb_get_property_value(r));
  out.reserve(n);
  for (int i = 0; i < n; ++i) out << v[i];
  return out;
}

QByteArray bytes(const xcb_get_property_reply_t* r) {
  if (!r || r->format != 8) return {};
  return QByteArray(static_cast<const char*>(xcb_get_property_value(r)), xcb_get_property_value_length(r));
}

QString classPart(const QByteArray& wmClass) {
  const int nul = wmClass.indexOf('\0');
  if (nul < 0) return {};
  QByteArray cls = wmClass.mid(nul + 1);
  if (const int end = cls.indexOf('\0'); end >= 0) cls.truncate(end);
  return QString::fromLocal8Bit(cls).left(255);
}

// The requests for one window, sent before any answer is read.
struct Asked {
  xcb_get_window_attributes_cookie_t attributes;
  xcb_get_property_cookie_t wmState, netState, netName, wmName, wmClass, type, transient, protocols, icon;
};

Asked askAll(Display& d, xcb_connection_t* c, xcb_window_t w) {
  constexpr uint32_t kTitleLongs = kMaxTitleBytes / 4;
  return {xcb_get_window_attributes(c, w),
          ask(c, w, d.atom(WmState), d.atom(WmState), 2),
          ask(c, w, d.atom(NetWmState), XCB_ATOM_ATOM, kMaxAtoms),
          ask(c, w, d.atom(NetWmName), d.atom(Utf8String), kTitleLongs),
          ask(c, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, kTitleLongs),
          ask(c, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 128),
          ask(c, w, d.atom(NetWmWindowType), XCB_ATOM_ATOM, kMaxAtoms),
          ask(c, w, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 1),
          ask(c, w, d.atom(WmProtocols), XCB_ATOM_ATOM, kMaxAtoms),
          ask(c, w, d.atom(NetWmIcon), XCB_ATOM_CARDINAL, 0)};
}

WindowState collect(Display& d, xcb_connection_t* c, const Asked& a) {
  WindowState s;
  auto attr = reply(xcb_get_window_attributes_reply(c, a.attributes, nullptr));
  const auto get = [c](xcb_get_property_cookie_t k) { return reply(xcb_get_property_reply(c, k, nullptr)); };
  auto wmState = get(a.wmState), netState = get(a.netState), netName = get(a.netName), wmName = get(a.wmName),
       wmClass = get(a.wmClass), type = get(a.type), transient = get(a.transient), protocols = get(a.protocols),
       icon = get(a.icon);
  if (!attr) return s;  // gone
  s.exists = true;

  const QList<uint32_t> state = values<uint32_t>(wmState.get(), 32);
  const uint32_t iccState = state.isEmpty() ? kWithdrawn : state.first();
  s.visible =
      state.isEmpty() ? attr->map_state == XCB_MAP_STATE_VIEWABLE : (iccState == kNormal || iccState == kIconic);
  const QList<xcb_atom_t> net = values<xcb_atom_t>(netState.get(), 32);
  s.minimized = iccState == kIconic || net.contains(d.atom(NetWmStateHidden));
  s.maximized = net.contains(d.atom(NetWmStateMaxVert)) && net.contains(d.atom(NetWmStateMaxHorz));

  const QList<xcb_atom_t> types = values<xcb_atom_t>(type.get(), 32);
  const bool ordinary = types.isEmpty() || types.first() == d.atom(NetWmWindowTypeNormal) ||
                        types.first() == d.atom(NetWmWindowTypeDialog);
  s.toolWindow = !ordinary || net.contains(d.atom(NetWmStateSkipTaskbar)) || attr->override_redirect;

  const QByteArray name = bytes(netName.get());
  if (!name.isEmpty()) s.title = QString::fromUtf8(name);
  else if (wmName && wmName->type == d.atom(Utf8String)) s.title = QString::fromUtf8(bytes(wmName.get()));
  else s.title = QString::fromLatin1(bytes(wmName.get()));
  // A NUL or line break would end or split the row where it is shown or spoken.
  for (QChar& ch : s.title)
    if (ch.category() == QChar::Other_Control) ch = u' ';
  s.className = classPart(bytes(wmClass.get()));

  const QList<xcb_window_t> owner = values<xcb_window_t>(transient.get(), 32);
  s.owner = owner.isEmpty() ? 0 : owner.first();
  s.answersPing = values<xcb_atom_t>(protocols.get(), 32).contains(d.atom(NetWmPing));
  s.iconBytes = icon && icon->type == XCB_ATOM_CARDINAL ? icon->bytes_after : 0;
  return s;
}

void tellWindowManager(xcb_connection_t* c, xcb_window_t root, xcb_window_t window, xcb_atom_t type,
                       std::initializer_list<uint32_t> data) {
  xcb::sendToWindowManager(c, root, xcb::clientMessage(window, type, data));
  xcb_flush(c);
}

bool managed(xcb_connection_t* c, Display& d) {
  const quint32 check = xcb::property32(c, d.root(), d.atom(NetSupportingWmCheck), XCB_ATOM_WINDOW);
  if (!check) return false;
  return bool(reply(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, check), nullptr)));
}

// Runs act(c, d) under the error trap of location when there are a display and a window; false
// without them.
template <class Act>
bool withWindow(const char* location, WindowHandle window, Act act) {
  return trapped(location, false, [&] {
    Display& d = display();
    xcb_connection_t* c = d.get();
    return c && window && act(c, d);
  });
}

QString thisHost() { return QSysInfo::machineHostName(); }

// A descriptor of the process pid (Linux pidfd): signals through it reach that process only.
int openProcess(qint64 pid) { return int(::syscall(SYS_pidfd_open, pid_t(pid), 0)); }
bool signalProcess(int pidfd, int sig) { return ::syscall(SYS_pidfd_send_signal, pidfd, sig, nullptr, 0) == 0; }
bool processEnded(int pidfd) {
  pollfd p{pidfd, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0;
}

}  // namespace

bool available() {
  return trapped("tasks.available", false, [] { return display().get() != nullptr; });
}

bool hasWindowManager() {
  return trapped("tasks.hasWindowManager", false, [] {
    xcb_connection_t* c = display().get();
    return c && managed(c, display());
  });
}

QList<WindowHandle> topLevelWindows() {
  return trapped("tasks.topLevelWindows", QList<WindowHandle>(), [] {
    QList<WindowHandle> out;
    Display& d = display();
    xcb_connection_t* c = d.get();
    if (!c) return out;
    if (managed(c, d)) {
      auto r = reply(xcb_get_property_reply(
          c, ask(c, d.root(), d.atom(NetClientListStacking), XCB_ATOM_WINDOW, kMaxListed), nullptr));
      const QList<xcb_window_t> bottomUp = values<xcb_window_t>(r.get(), 32);
      for (auto it = bottomUp.crbegin(); it != bottomUp.crend(); ++it) out << *it;
      return out;
    }
    auto tree = reply(xcb_query_tree_reply(c, xcb_query_tree(c, d.root()), nullptr));
    if (!tree) return out;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = xcb_query_tree_children_length(tree.get()) - 1; i >= 0; --i) out << children[i];
    return out;
  });
}

QList<WindowState> readWindows(const QList<WindowHandle>& windows) {
  return trapped("tasks.readWindows", QList<WindowState>(windows.size()), [&] {
    QList<WindowState> out;
    Display& d = display();
    xcb_connection_t* c = d.get();
    if (!c) return QList<WindowState>(windows.size());
    QList<Asked> asked;
    asked.reserve(windows.size());
    for (WindowHandle w : windows) asked << askAll(d, c, w);
    QHash<WindowHandle, bool> visible;
    out.reserve(windows.size());
    for (qsizetype i = 0; i < windows.size(); ++i) {
      out << collect(d, c, asked[i]);
      visible.insert(windows[i], out.last().visible);
    }
    for (WindowState& s : out) {
      if (!s.owner) continue;
      if (auto it = visible.constFind(s.owner); it != visible.cend()) {
        s.ownerVisible = *it;
      } else {
        const WindowState owner = collect(d, c, askAll(d, c, s.owner));
        visible.insert(s.owner, owner.visible);
        s.ownerVisible = owner.visible;
      }
    }
    return out;
  });
}

WindowState readWindow(WindowHandle window) { return readWindows({window}).value(0); }

QSet<WindowHandle> notAnswering(const QList<WindowHandle>& windows, int timeoutMs) {
  return trapped("tasks.notAnswering", QSet<WindowHandle>(), [&] {
    QSet<WindowHandle> out;
    Display& d = display();
    xcb_connection_t* c = d.get();
    if (!c || windows.isEmpty()) return out;
    d.drain();
    auto& outstanding = d.outstanding();
    if (outstanding.size() > kMaxOutstanding) {
      const QSet<WindowHandle> asked(windows.cbegin(), windows.cend());
      outstanding.removeIf([&](auto it) { return !asked.contains(it.key()); });
    }
    // Only windows that take the ping are asked (and can owe an answer), and not this
    // process's own: it is the one asking.
    QList<xcb_get_property_cookie_t> protocols, pids;
    for (WindowHandle w : windows) {
      protocols << ask(c, w, d.atom(WmProtocols), XCB_ATOM_ATOM, kMaxAtoms);
      pids << ask(c, w, d.atom(NetWmPid), XCB_ATOM_CARDINAL, 1);
    }
    const quint32 self = quint32(::getpid());
    const qint64 now = d.nowMs(), timeout = qMax(0, timeoutMs);
    const auto send = [&](WindowHandle w) {
      const xcb_client_message_event_t ping =
          xcb::clientMessage(w, d.atom(WmProtocols), {d.atom(NetWmPing), d.nextStamp(), w});
      xcb_send_event(c, 0, w, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ping));
    };
    for (qsizetype i = 0; i < windows.size(); ++i) {
      const WindowHandle w = windows[i];
      auto r = reply(xcb_get_property_reply(c, protocols[i], nullptr));
      auto pid = reply(xcb_get_property_reply(c, pids[i], nullptr));
      if (!values<xcb_atom_t>(r.get(), 32).contains(d.atom(NetWmPing)) ||
          values<quint32>(pid.get(), 32).contains(self)) {
        outstanding.remove(w);
        continue;
      }
      auto it = outstanding.find(w);
      if (it == outstanding.end()) {  // answered the last one (or never asked): asked anew
        send(w);
        outstanding.insert(w, Ping{now, now});
        continue;
      }
      if (now - it->sentMs < timeout) continue;  // still within its time
      out.insert(w);
      if (now - it->resentMs >= timeout) {
        send(w);
        it->resentMs = now;
      }
    }
    xcb_flush(c);
    return out;
  });
}

QImage windowIcon(WindowHandle window, int size) {
  return trapped("tasks.windowIcon", QImage(), [&] {
    Display& d = display();
    xcb_connection_t* c = d.get();
    if (!c || !window) return QImage();
    auto r =
        reply(xcb_get_property_reply(c, ask(c, window, d.atom(NetWmIcon), XCB_ATOM_CARDINAL, kMaxIconLongs), nullptr));
    const QList<uint32_t> v = values<uint32_t>(r.get(), 32);
    // width, height, width*height ARGB values; repeated. The entry nearest to size wins.
    qsizetype best = -1;
    quint32 bestW = 0, bestH = 0;
    for (qsizetype i = 0; i + 2 <= v.size();) {
      const quint64 w = v[i], h = v[i + 1];
      if (w == 0 || h == 0 || w > 1024 || h > 1024 || quint64(i) + 2 + w * h > quint64(v.size()))
        break;  // short or bad
      if (best < 0 || qAbs(int(w) - size) < qAbs(int(bestW) - size)) {
        best = i + 2;
        bestW = quint32(w);
        bestH = quint32(h);
      }
      i += qsizetype(2 + w * h);
    }
    if (best < 0) return QImage();
    QImage img(int(bestW), int(bestH), QImage::Format_ARGB32);
    for (quint32 y = 0; y < bestH; ++y)
      std::memcpy(img.scanLine(int(y)), v.constData() + best + qsizetype(y) * bestW, bestW * 4);
    return bestW == quint32(size) && bestH == quint32(size)
               ? img
               : img.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  });
}

bool minimize(WindowHandle window) {
  return withWindow("tasks.minimize", window, [&](xcb_connection_t* c, Display& d) {
    tellWindowManager(c, d.root(), window, d.atom(WmChangeState), {kIconic});
    return true;
  });
}

bool maximize(WindowHandle window) {
  return withWindow("tasks.maximize", window, [&](xcb_connection_t* c, Display& d) {
    if (readWindow(window).minimized) xcb_map_window(c, window);
    tellWindowManager(c, d.root(), window, d.atom(NetWmState),
                      {kAdd, d.atom(NetWmStateMaxVert), d.atom(NetWmStateMaxHorz), kSourcePager});
    return true;
  });
}

bool restore(WindowHandle window) {
  return withWindow("tasks.restore", window, [&](xcb_connection_t* c, Display& d) {
    const WindowState s = readWindow(window);
    if (!s.exists) return false;
    if (s.minimized) xcb_map_window(c, window);  // ICCCM: mapping an iconic window restores it
    if (s.maximized)
      tellWindowManager(c, d.root(), window, d.atom(NetWmState),
                        {kRemove, d.atom(NetWmStateMaxVert), d.atom(NetWmStateMaxHorz), kSourcePager});
    xcb_flush(c);
    return true;
  });
}

WindowHandle activeWindow() {
  return trapped("tasks.activeWindow", WindowHandle(0), [] {
    Display& d = display();
    xcb_connection_t* c = d.get();
    if (!c) return WindowHandle(0);
    if (managed(c, d)) return WindowHandle(xcb::property32(c, d.root(), d.atom(NetActiveWindow), XCB_ATOM_WINDOW));
    auto r = reply(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    return r && r->focus > XCB_INPUT_FOCUS_POINTER_ROOT ? WindowHandle(r->focus) : WindowHandle(0);
  });
}

bool activate(WindowHandle window, int waitMs) {
  return withWindow("tasks.activate", window, [&](xcb_connection_t* c, Display& d) {
    const WindowState s = readWindow(window);
    if (!s.exists) return false;
    if (managed(c, d)) {
      if (s.minimized) xcb_map_window(c, window);
      xcb::sendToWindowManager(c, d.root(), xcb::activeWindowRequest(window, d.atom(NetActiveWindow)));
    } else {
      const uint32_t above = XCB_STACK_MODE_ABOVE;
      xcb_configure_window(c, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
      xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    }
    xcb_flush(c);
    QDeadlineTimer deadline(qMax(0, waitMs));
    for (;;) {
      if (activeWindow() == window) return true;
      if (deadline.hasExpired()) return false;
      QThread::msleep(quint64(qMin<qint64>(kPollStepMs, qMax<qint64>(1, deadline.remainingTime()))));
    }
  });
}

qint64 processId(WindowHandle window) {
  return trapped("tasks.processId", qint64(0), [&] {
    Display& d = display();
    xcb_connection_t* c = d.get();
    if (!c || !window) return qint64(0);
    const qint64 pid = xcb::property32(c, window, d.atom(NetWmPid), XCB_ATOM_CARDINAL);
    auto machine =
        reply(xcb_get_property_reply(c, ask(c, window, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, 64), nullptr));
    const QString host = QString::fromLocal8Bit(bytes(machine.get()));
    if (pid <= 0 || host.isEmpty() || host.compare(thisHost(), Qt::CaseInsensitive) != 0) return qint64(0);
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM ? pid : qint64(0);
  });
}

QString processName(qint64 pid) {
  return trapped("tasks.processName", QString(), [&] {
    if (pid <= 0) return QString();
    const QString exe = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
    if (!exe.isEmpty()) return QFileInfo(exe).fileName().remove(QStringLiteral(" (deleted)"));
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromUtf8(comm.readAll()).trimmed() : QString();
  });
}

bool terminateProcessOf(WindowHandle window, const QSet<qint64>& refused) {
  return trapped("tasks.terminateProcessOf", false, [&] {
    const qint64 pid = processId(window);
    if (pid <= 0) {
      WriteLog(QStringLiteral("Kill refused: window &h%1 has no process of this host").arg(window, 0, 16), kTraffic);
      return false;
    }
    if (pid == qint64(::getpid()) || refused.contains(pid)) {
      WriteLog(QStringLiteral("Kill refused: process %1 of window &h%2 is the screen reader's own")
                   .arg(pid)
                   .arg(window, 0, 16),
               kTraffic);
      return false;
    }
    const int fd = openProcess(pid);
    if (fd < 0) {
      WriteLog(QStringLiteral("Kill refused: process %1 cannot be opened (%2)")
                   .arg(pid)
                   .arg(QString::fromLocal8Bit(std::strerror(errno))),
               kTraffic);
      return false;
    }
    // The descriptor is for whatever process has the number now: the window still naming it
    // proves it is the window's.
    if (processId(window) != pid) {
      ::close(fd);
      WriteLog(QStringLiteral("Kill refused: window &h%1 went away").arg(window, 0, 16), kTraffic);
      return false;
    }
    if (!signalProcess(fd, SIGTERM)) {
      ::close(fd);
      WriteLog(QStringLiteral("Kill: process %1 cannot be signalled").arg(pid), kTraffic);
      return false;
    }
    WriteLog(QStringLiteral("Kill: SIGTERM to process %1").arg(pid), kTraffic);
    QTimer::singleShot(kKillGraceMs, [fd, pid] {
      trap("tasks.terminateProcessOf.kill", [&] {
        if (!processEnded(fd) && signalProcess(fd, SIGKILL))
          WriteLog(QStringLiteral("Kill: SIGKILL to process %1").arg(pid), kTraffic);
      });
      ::close(fd);
    });
    return true;
  });
}

}  // namespace jex::platform::tasks
