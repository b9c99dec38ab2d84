#include "platform/windows.h"

#include <QByteArray>
#include <cstdlib>
#include <vector>

#include "base/error.h"
#include "base/log.h"
#include "platform/xcbutil.h"

namespace jex::platform {

namespace {

// Deepest nesting the walk follows; real trees are a few levels deep.
constexpr int kMaxDepth = 64;

using xcb::Reply;

// The one connection, reopened when DISPLAY changes or the connection broke.
class Display : public xcb::DisplayConnection {
 public:
  xcb_atom_t atom(const char* name) {
    xcb_connection_t* c = get();
    return c ? xcb::internAtom(c, name) : xcb_atom_t(XCB_ATOM_NONE);
  }
};

Display& display() {
  static Display d;
  return d;
}

QString classFromReply(xcb_get_property_reply_t* r) {
  if (!r || r->format != 8) return {};
  const char* data = static_cast<const char*>(xcb_get_property_value(r));
  const int len = xcb_get_property_value_length(r);
  // "instance\0class\0"
  const void* nul = std::memchr(data, 0, size_t(len));
  if (!nul) return {};
  const int start = int(static_cast<const char*>(nul) - data) + 1;
  int end = start;
  while (end < len && data[end] != 0) ++end;
  return QString::fromLocal8Bit(data + start, end - start);
}

xcb_get_property_cookie_t requestClass(xcb_connection_t* c, xcb_window_t w) {
  return xcb_get_property(c, 0, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256);
}

std::vector<xcb_window_t> childrenOf(xcb_connection_t* c, xcb_window_t w, xcb_window_t* parent = nullptr) {
  Reply<xcb_query_tree_reply_t> r(xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr));
  if (!r) throw Error(err::InvalidCall, QStringLiteral("no window 0x%1").arg(w, 0, 16));
  if (parent) *parent = r->parent;
  const xcb_window_t* kids = xcb_query_tree_children(r.get());
  return std::vector<xcb_window_t>(kids, kids + xcb_query_tree_children_length(r.get()));
}

// Depth-first search below w; remaining counts down the matches still to skip.
xcb_window_t search(xcb_connection_t* c, xcb_window_t w, const QString& cls, int& remaining, int depth) {
  if (depth > kMaxDepth) return XCB_WINDOW_NONE;
  std::vector<xcb_window_t> kids;
  try {
    kids = childrenOf(c, w);
  } catch (const Error&) {
    return XCB_WINDOW_NONE;  // a window that vanished during the walk has no children
  }
  // Ask for every child's class in one go, then read the answers in order.
  std::vector<xcb_get_property_cookie_t> cookies;
  cookies.reserve(kids.size());
  for (xcb_window_t k : kids) cookies.push_back(requestClass(c, k));
  for (size_t i = 0; i < kids.size(); ++i) {
    Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(c, cookies[i], nullptr));
    if (classFromReply(r.get()).compare(cls, Qt::CaseInsensitive) == 0 && --remaining == 0) {
      for (size_t j = i + 1; j < kids.size(); ++j) std::free(xcb_get_property_reply(c, cookies[j], nullptr));
      return kids[i];
    }
    r.reset();
    // The children of this window are searched before its next sibling; the replies of the
    // remaining siblings wait in the connection meanwhile.
    if (xcb_window_t found = search(c, kids[i], cls, remaining, depth + 1)) {
      for (size_t j = i + 1; j < kids.size(); ++j) std::free(xcb_get_property_reply(c, cookies[j], nullptr));
      return found;
    }
  }
  return XCB_WINDOW_NONE;
}

bool hasProperty(xcb_connection_t* c, xcb_window_t w, xcb_atom_t prop) {
  if (prop == XCB_ATOM_NONE) return false;
  Reply<xcb_get_property_reply_t> r(
      xcb_get_property_reply(c, xcb_get_property(c, 0, w, prop, XCB_GET_PROPERTY_TYPE_ANY, 0, 0), nullptr));
  return r && r->type != XCB_ATOM_NONE;
}

bool managerSupportsActivation(xcb_connection_t* c, xcb_window_t root) {
  Display& d = display();
  return xcb::managerSupports(c, root, d.atom("_NET_SUPPORTED"), d.atom("_NET_ACTIVE_WINDOW"));
}

bool activateThroughManager(xcb_connection_t* c, xcb_window_t root, xcb_window_t w) {
  const xcb_client_message_event_t ev = xcb::activeWindowRequest(w, display().atom("_NET_ACTIVE_WINDOW"));
  xcb_void_cookie_t ck = xcb_send_event_checked(c, 0, root, xcb::kToWindowManager, reinterpret_cast<const char*>(&ev));
  Reply<xcb_generic_error_t> e(xcb_request_check(c, ck));
  return !e;
}

bool focusDirectly(xcb_connection_t* c, xcb_window_t w) {
  Reply<xcb_generic_error_t> e(
      xcb_request_check(c, xcb_set_input_focus_checked(c, XCB_INPUT_FOCUS_PARENT, w, XCB_CURRENT_TIME)));
  if (e) return false;
  Reply<xcb_get_input_focus_reply_t> r(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  return r && r->focus == w;
}

}  // namespace

WindowHandle desktopWindow() {
  return trapped("platform.desktopWindow", WindowHandle(0),
                 [] { return display().get() ? WindowHandle(display().root()) : WindowHandle(0); });
}

WindowHandle foregroundWindow() {
  return trapped("platform.foregroundWindow", WindowHandle(0), [] {
    xcb_connection_t* c = display().get();
    if (!c) return WindowHandle(0);
    return WindowHandle(xcb::property32(c, display().root(), display().atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW));
  });
}

bool windowExists(WindowHandle window) {
  return trapped("platform.windowExists", false, [&] {
    xcb_connection_t* c = display().get();
    if (!c || window == 0) return false;
    Reply<xcb_get_window_attributes_reply_t> r(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    return bool(r);
  });
}

QString windowClass(WindowHandle window) {
  return trapped("platform.windowClass", QString(), [&] {
    xcb_connection_t* c = display().get();
    if (!c || window == 0) return QString();
    Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(c, requestClass(c, window), nullptr));
    return classFromReply(r.get());
  });
}

WindowHandle findClassEx(WindowHandle parent, const QString& className, int number) {
  return trapped("platform.findClassEx", WindowHandle(0), [&] {
    xcb_connection_t* c = display().get();
    if (!c || className.isEmpty()) return WindowHandle(0);
    const xcb_window_t start = parent ? parent : display().root();
    if (parent && !windowExists(parent)) {
      WriteLog(QStringLiteral("findClassEx: no window 0x%1").arg(parent, 0, 16), kDetail);
      return WindowHandle(0);
    }
    int remaining = number < 1 ? 1 : number;
    return WindowHandle(search(c, start, className, remaining, 0));
  });
}

bool setFocusToWindow(WindowHandle window) {
  return trapped("platform.setFocusToWindow", false, [&] {
    xcb_connection_t* c = display().get();
    if (!c || window == 0) return false;
    xcb_window_t parent = XCB_WINDOW_NONE;
    childrenOf(c, window, &parent);  // throws for a window that no longer exists
    const xcb_window_t root = display().root();
    const bool topLevel = parent == root || hasProperty(c, window, display().atom("WM_STATE"));
    if (topLevel && managerSupportsActivation(c, root)) return activateThroughManager(c, root, window);
    return focusDirectly(c, window);
  });
}

}  // namespace jex::platform
