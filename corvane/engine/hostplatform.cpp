#include "corvane/engine/hostplatform.h"

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "base/error.h"
#include "platform/tasks.h"
#include "platform/xcbutil.h"

#include <xcb/xinput.h>

namespace corvane {
namespace {
constexpr int kMaxDepth = 64;  // window nesting followed up to the root

using jex::platform::xcb::reply;

// A connection to the given display (the session's when empty), or null where there is none to
// have: no display, the offscreen platform, or a connection that failed.
xcb_connection_t* openDisplay(const QByteArray& display, int* screenNo) {
  if (display.isEmpty() && (qEnvironmentVariableIsEmpty("DISPLAY") || QGuiApplication::platformName() == u"offscreen"))
    return nullptr;
  xcb_connection_t* conn = xcb_connect(display.isEmpty() ? nullptr : display.constData(), screenNo);
  if (!xcb_connection_has_error(conn)) return conn;
  xcb_disconnect(conn);
  return nullptr;
}
}  // namespace

void ignoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }

int consoleInputHandle() { return STDIN_FILENO; }

int openDeviceNode(const QString& path, QString* error) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && error) *error = QString::fromLocal8Bit(std::strerror(errno));
  return fd;
}

void closeDeviceNode(int handle) {
  if (handle >= 0) ::close(handle);
}

qint64 readConsoleInput(char* buffer, qint64 size) {
  const ssize_t n = ::read(STDIN_FILENO, buffer, size_t(size));
  if (n < 0) return (errno == EINTR || errno == EAGAIN) ? -1 : 0;
  return n;
}

ForegroundWatcher::ForegroundWatcher(QObject* parent) : QObject(parent) {}

ForegroundWatcher::~ForegroundWatcher() {
  delete notifier_;
  if (conn_) xcb_disconnect(conn_);
}

QString executableOfPid(qint64 pid) {
  return jex::trapped("executableOfPid", QString(), [&] {
    if (pid <= 0) return QString();
    return QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath();
  });
}

qint64 trimmedResidentKb() {
  return jex::trapped("trimmedResidentKb", qint64(0), [] {
    ::malloc_trim(0);
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return qint64(0);
    for (const QByteArray& line : f.readAll().split('\n'))
      if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return qint64(0);
  });
}

QString canonicalProgram(const QString& path) {
  return jex::trapped("canonicalProgram", QString(), [&] { return QFileInfo(path).canonicalFilePath(); });
}

QString ForegroundWatcher::taskNameOfPid(qint64 pid) {
  if (pid <= 0) return {};
  QFile f(QStringLiteral("/proc/%1/comm").arg(pid));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll()).trimmed().toUpper();
}

unsigned ForegroundWatcher::internAtom(const char* name) { return jex::platform::xcb::internAtom(conn_, name); }

bool ForegroundWatcher::start(const QByteArray& display) {
  return jex::trapped("ForegroundWatcher.start", false, [&] {
    if (conn_) return true;
    int screenNo = 0;
    conn_ = openDisplay(display, &screenNo);
    if (!conn_) return false;
    root_ = jex::platform::xcb::rootOf(conn_, screenNo);
    activeAtom_ = internAtom("_NET_ACTIVE_WINDOW");
    pidAtom_ = internAtom("_NET_WM_PID");
    checkAtom_ = internAtom("_NET_SUPPORTING_WM_CHECK");
    supportedAtom_ = internAtom("_NET_SUPPORTED");

    const uint32_t rootMask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(conn_, root_, XCB_CW_EVENT_MASK, &rootMask);
    if (auto tree = reply(xcb_query_tree_reply(conn_, xcb_query_tree(conn_, root_), nullptr))) {
      const xcb_window_t* children = xcb_query_tree_children(tree.get());
      for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) watchTopLevel(children[i]);
    }
    checkWindowManager();
    xcb_flush(conn_);

    notifier_ = new QSocketNotifier(xcb_get_file_descriptor(conn_), QSocketNotifier::Read);
    connect(notifier_, &QSocketNotifier::activated, this, &ForegroundWatcher::readEvents);
    const quint32 front = frontWindow();
    last_ = taskOf(front);
    lastWindow_ = ewmh_ ? front : topLevelOf(front);
    // Events that arrived during the replies above wait in the connection's queue.
    QMetaObject::invokeMethod(this, &ForegroundWatcher::readEvents, Qt::QueuedConnection);
    return true;
  });
}

quint32 ForegroundWatcher::cardinal(quint32 window, unsigned atom, unsigned type) {
  return jex::platform::xcb::property32(conn_, window, atom, type);
}

void ForegroundWatcher::checkWindowManager() {
  wmCheck_ = 0;
  ewmh_ = false;
  const quint32 wm = cardinal(root_, checkAtom_, XCB_ATOM_WINDOW);
  // The check window names itself while its window manager lives.
  if (!wm || cardinal(wm, checkAtom_, XCB_ATOM_WINDOW) != wm) return;
  wmCheck_ = wm;
  ewmh_ = jex::platform::xcb::managerSupports(conn_, root_, supportedAtom_, activeAtom_);
}

void ForegroundWatcher::watchTopLevel(quint32 window) {
  // Replaces only this connection's own selection on that window; a vanished window gives an
  // error event, which is ignored.
  const uint32_t mask = XCB_EVENT_MASK_FOCUS_CHANGE;
  xcb_change_window_attributes(conn_, window, XCB_CW_EVENT_MASK, &mask);
}

quint32 ForegroundWatcher::parentOf(quint32 window) {
  auto tree = reply(xcb_query_tree_reply(conn_, xcb_query_tree(conn_, window), nullptr));
  return tree ? tree->parent : 0;
}

quint32 ForegroundWatcher::focusWindow() {
  auto r = reply(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr));
  const quint32 focus = r ? r->focus : 0;
  if (focus == XCB_NONE || focus == XCB_INPUT_FOCUS_POINTER_ROOT || focus == root_) return 0;
  return focus;
}

quint32 ForegroundWatcher::topLevelOf(quint32 window) {
  for (int depth = 0; window && depth < kMaxDepth; ++depth) {
    const quint32 parent = parentOf(window);
    if (!parent) return 0;  // vanished
    if (parent == root_) return window;
    window = parent;
  }
  return 0;
}

quint32 ForegroundWatcher::activeWindow() {
  return jex::trapped("ForegroundWatcher.activeWindow", quint32(0), [&]() -> quint32 {
    if (!conn_) return 0;
    const quint32 w = ewmh_ ? cardinal(root_, activeAtom_, XCB_ATOM_WINDOW) : topLevelOf(focusWindow());
    QMetaObject::invokeMethod(this, &ForegroundWatcher::readEvents, Qt::QueuedConnection);
    return w;
  });
}

quint32 ForegroundWatcher::frontWindow() {
  if (!conn_) return 0;
  return ewmh_ ? cardinal(root_, activeAtom_, XCB_ATOM_WINDOW) : focusWindow();
}

QString ForegroundWatcher::taskNow() { return taskOf(frontWindow()); }

QString ForegroundWatcher::taskOf(quint32 window) {
  if (!conn_ || !pidAtom_) return {};
  // The window itself, else the nearest of its parents, names its process.
  for (int depth = 0; window && window != root_ && depth < kMaxDepth; ++depth) {
    const QString task = taskNameOfPid(cardinal(window, pidAtom_, XCB_ATOM_CARDINAL));
    if (!task.isEmpty()) return task;
    window = parentOf(window);
  }
  return {};
}

QString ForegroundWatcher::query() {
  return jex::trapped("ForegroundWatcher.query", QString(), [&] {
    const QString task = taskNow();
    QMetaObject::invokeMethod(this, &ForegroundWatcher::readEvents, Qt::QueuedConnection);
    return task;
  });
}

bool ForegroundWatcher::handle(const void* xcbEvent) {
  const auto* event = static_cast<const xcb_generic_event_t*>(xcbEvent);
  switch (event->response_type & ~0x80) {
    case XCB_PROPERTY_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(event);
      if (e->window != root_) return false;
      if (e->atom == checkAtom_ || e->atom == supportedAtom_) {
        checkWindowManager();
        return true;
      }
      return ewmh_ && e->atom == activeAtom_;
    }
    case XCB_DESTROY_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
      if (!wmCheck_ || e->window != wmCheck_) return false;
      checkWindowManager();  // the window manager left
      return true;
    }
    case XCB_CREATE_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_create_notify_event_t*>(event);
      if (e->parent == root_) watchTopLevel(e->window);
      return !ewmh_;
    }
    case XCB_REPARENT_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_reparent_notify_event_t*>(event);
      if (e->parent == root_) watchTopLevel(e->window);
      return !ewmh_;
    }
    case XCB_MAP_NOTIFY:
    case XCB_FOCUS_IN:
    case XCB_FOCUS_OUT:
      return !ewmh_;
    default:
      return false;  // errors for windows that vanished meanwhile, and everything else
  }
}

void ForegroundWatcher::evaluate() {
  // "" is a change as well: no window has the focus (JexUI hid itself without a window
  // manager to pass the focus on), so JexUI is no longer in front.
  // The window and its task are read once: read twice they could be of two windows.
  const quint32 front = frontWindow();
  const QString now = taskOf(front);
  if (now != last_) {
    last_ = now;
    emit foregroundChanged(now);
  }
  // Another window in front, of the same application or not. No window at all is no other
  // window: a manager passes through "none" while it moves the focus (a window mapped or closed),
  // and the window it settles on again is not new.
  const quint32 window = ewmh_ ? front : topLevelOf(front);
  if (window == 0 || window == lastWindow_) return;
  lastWindow_ = window;
  emit foregroundWindowChanged(window, now);
}

void ForegroundWatcher::readEvents() {
  jex::trap("ForegroundWatcher.readEvents", [&] {
    if (!conn_) return;
    if (xcb_connection_has_error(conn_)) {
      notifier_->setEnabled(false);  // the display went away
      return;
    }
    bool changed = false;
    while (xcb_generic_event_t* e = xcb_poll_for_event(conn_)) {
      changed |= handle(e);
      std::free(e);
    }
    // Reading the state answers replies; events that came with them are in the queue now.
    for (int round = 0; changed && round < kMaxDepth; ++round) {
      xcb_flush(conn_);
      evaluate();
      changed = false;
      while (xcb_generic_event_t* e = xcb_poll_for_queued_event(conn_)) {
        changed |= handle(e);
        std::free(e);
      }
    }
    xcb_flush(conn_);
  });
}

QString processNameOfWindow(quint32 window) {
  return jex::trapped("processNameOfWindow", QString(),
                      [&] { return jex::platform::tasks::processName(jex::platform::tasks::processId(window)); });
}

// --- the keyboard -----------------------------------------------------------------------------

QString keyNameOfKeysym(quint32 sym) {
  if ((sym >= 'a' && sym <= 'z') || (sym >= 'A' && sym <= 'Z') || (sym >= '0' && sym <= '9'))
    return QString(QChar(char16_t(sym))).toUpper();
  if (sym >= 0xffbe && sym <= 0xffd5) return QStringLiteral("F%1").arg(sym - 0xffbe + 1);  // F1..F24
  // The keypad's keys by their place: KP_0..KP_9 with Num Lock, KP_Insert..KP_Prior without.
  if (sym >= 0xffb0 && sym <= 0xffb9) return QStringLiteral("KP:%1").arg(sym - 0xffb0);
  struct Named {
    quint32 sym;
    const char* name;
  };
  static constexpr Named kNames[] = {
      {0xff9e, "KP:0"},     {0xff9c, "KP:1"},   {0xff99, "KP:2"},   {0xff9b, "KP:3"},      {0xff96, "KP:4"},
      {0xff9d, "KP:5"},     {0xff98, "KP:6"},   {0xff95, "KP:7"},   {0xff97, "KP:8"},      {0xff9a, "KP:9"},
      {0xff9f, "KP:D"},     {0xffae, "KP:D"},   {0xffac, "KP:D"},   {0xffaf, "KP:/"},      {0xffaa, "KP:*"},
      {0xffad, "KP:-"},     {0xffab, "KP:+"},   {0xff8d, "KP:E"},   {0xff52, "Up"},        {0xff54, "Down"},
      {0xff51, "Left"},     {0xff53, "Right"},  {0xff50, "Home"},   {0xff57, "End"},       {0xff55, "PageUp"},
      {0xff56, "PageDown"}, {0xff63, "Insert"}, {0xffff, "Delete"}, {0xff08, "Backspace"}, {0xff0d, "Enter"},
      {0xff1b, "Escape"},   {0xff09, "Tab"},    {0xfe20, "Tab"},    {0x0020, "Space"},     {0xff67, "Apps"},
      {0xffe5, "CapsLock"}, {0xffe1, "Shift"},  {0xffe2, "Shift"},  {0xffe9, "Alt"},       {0xffea, "Alt"},
      {0xff7e, "Alt"},      {0xffe3, "Ctrl"},   {0xffe4, "Ctrl"},
  };
  for (const Named& n : kNames)
    if (n.sym == sym) return QString::fromLatin1(n.name);
  return {};
}

KeyboardListener::KeyboardListener(QObject* parent) : QObject(parent) {}

KeyboardListener::~KeyboardListener() {
  delete notifier_;
  if (conn_) xcb_disconnect(conn_);
}

bool KeyboardListener::start(const QByteArray& display) {
  return jex::trapped("KeyboardListener.start", false, [&] {
    if (conn_) return true;
    int screenNo = 0;
    conn_ = openDisplay(display, &screenNo);
    if (!conn_) return false;
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(conn_, &xcb_input_id);
    auto version = reply(ext && ext->present
                             ? xcb_input_xi_query_version_reply(conn_, xcb_input_xi_query_version(conn_, 2, 2), nullptr)
                             : nullptr);
    if (!version || version->major_version < 2 || (version->major_version == 2 && version->minor_version < 2)) {
      xcb_disconnect(conn_);
      conn_ = nullptr;
      return false;
    }
    xiOpcode_ = ext->major_opcode;
    root_ = jex::platform::xcb::rootOf(conn_, screenNo);
    loadKeymap();
    notifier_ = new QSocketNotifier(xcb_get_file_descriptor(conn_), QSocketNotifier::Read);
    connect(notifier_, &QSocketNotifier::activated, this, &KeyboardListener::readEvents);
    return true;
  });
}

void KeyboardListener::loadKeymap() {
  const xcb_setup_t* setup = xcb_get_setup(conn_);
  minKeycode_ = setup->min_keycode;
  const int count = setup->max_keycode - setup->min_keycode + 1;
  auto map = reply(xcb_get_keyboard_mapping_reply(
      conn_, xcb_get_keyboard_mapping(conn_, setup->min_keycode, quint8(count)), nullptr));
  keysyms_.clear();
  symsPerCode_ = map ? map->keysyms_per_keycode : 0;
  if (!map) return;
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
  keysyms_ = QList<quint32>(syms, syms + xcb_get_keyboard_mapping_keysyms_length(map.get()));
}

void KeyboardListener::setListening(bool on) {
  jex::trap("KeyboardListener.setListening", [&] {
    if (!conn_ || on == listening_) return;
    listening_ = on;
    struct {
      xcb_input_event_mask_t head;
      uint32_t bits;
    } mask{};
    mask.head.deviceid = XCB_INPUT_DEVICE_ALL_MASTER;
    mask.head.mask_len = 1;
    mask.bits = on ? XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE : 0;
    xcb_input_xi_select_events(conn_, root_, 1, &mask.head);
    // A round trip: the selection holds before the caller goes on.
    reply(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr));
  });
}

void KeyboardListener::readEvents() {
  jex::trap("KeyboardListener.readEvents", [&] {
    if (!conn_) return;
    if (xcb_connection_has_error(conn_)) {
      notifier_->setEnabled(false);  // the display went away
      return;
    }
    while (xcb_generic_event_t* raw = xcb_poll_for_event(conn_)) {
      const std::unique_ptr<xcb_generic_event_t, jex::platform::xcb::FreeDeleter> e(raw);
      const int type = e->response_type & ~0x80;
      if (type == XCB_MAPPING_NOTIFY) {
        loadKeymap();
        continue;
      }
      if (type != XCB_GE_GENERIC) continue;
      const auto* ge = reinterpret_cast<const xcb_ge_generic_event_t*>(e.get());
      if (ge->extension != xiOpcode_ ||
          (ge->event_type != XCB_INPUT_RAW_KEY_PRESS && ge->event_type != XCB_INPUT_RAW_KEY_RELEASE))
        continue;
      const auto* k = reinterpret_cast<const xcb_input_raw_key_press_event_t*>(e.get());
      const qsizetype at = qsizetype(int(k->detail) - minKeycode_) * symsPerCode_;
      if (!listening_ || at < 0 || at >= keysyms_.size()) continue;
      const QString name = keyNameOfKeysym(keysyms_[at]);
      if (!name.isEmpty()) emit keyEvent(name, ge->event_type == XCB_INPUT_RAW_KEY_PRESS);
    }
  });
}

}  // namespace corvane
