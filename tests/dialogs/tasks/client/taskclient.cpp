// A small X client for the task tests: opens top-level windows as the tests ask on its standard
// input, one command a line, and answers each with one line ("window <name> <id>" or "ok") once
// the X server has handled it. It answers _NET_WM_PING unless told to hang.
//
//   open <name> <class> <kind> <owner|-> <icon> <title ...>
//        kind: normal | dialog | utility | skip (skip-taskbar) | noping (no _NET_WM_PING)
//        icon: - | ok (16 and 32 pixels) | short (says 64 x 64, holds far less)
//   title <name> <title ...>     rawtitle <name> <hex bytes>     bigtitle <name> <bytes>
//   hide <name>   show <name>   close <name>   pid <name> <number>   machine <name> <host>
//   hang          answer        ignoreterm (SIGTERM does not end it)
// It ends when its standard input closes.
#include <xcb/xcb.h>

#include <poll.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

xcb_connection_t* c;
xcb_window_t root;
std::map<std::string, xcb_window_t> windows;
bool hung = false;

xcb_atom_t atom(const char* name) {
  xcb_intern_atom_reply_t* r =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
  const xcb_atom_t a = r ? r->atom : 0;
  std::free(r);
  return a;
}

void setProperty(xcb_window_t w, const char* name, xcb_atom_t type, int format, const void* data, size_t count) {
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom(name), type, uint8_t(format), uint32_t(count), data);
}
void setAtoms(xcb_window_t w, const char* name, std::vector<xcb_atom_t> atoms) {
  setProperty(w, name, XCB_ATOM_ATOM, 32, atoms.data(), atoms.size());
}
void setTitle(xcb_window_t w, const std::string& bytes) {
  setProperty(w, "_NET_WM_NAME", atom("UTF8_STRING"), 8, bytes.data(), bytes.size());
}

void sync() { std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); }

void answer(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

std::vector<uint32_t> icon(int size) {
  std::vector<uint32_t> v{uint32_t(size), uint32_t(size)};
  v.resize(2 + size_t(size * size), 0xff3366ccu);
  return v;
}

void open(std::istringstream& in) {
  std::string name, cls, kind, owner, iconKind, title;
  in >> name >> cls >> kind >> owner >> iconKind;
  std::getline(in >> std::ws, title);
  const xcb_window_t w = xcb_generate_id(c);
  const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  xcb_create_window(c, XCB_COPY_FROM_PARENT, w, root, 10, 10, 200, 100, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
  const std::string wmClass = name + '\0' + cls + '\0';
  setProperty(w, "WM_CLASS", XCB_ATOM_STRING, 8, wmClass.data(), wmClass.size());
  setTitle(w, title);
  std::vector<xcb_atom_t> protocols{atom("WM_DELETE_WINDOW")};
  if (kind != "noping") protocols.push_back(atom("_NET_WM_PING"));
  setAtoms(w, "WM_PROTOCOLS", protocols);
  const uint32_t pid = uint32_t(getpid());
  setProperty(w, "_NET_WM_PID", XCB_ATOM_CARDINAL, 32, &pid, 1);
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  setProperty(w, "WM_CLIENT_MACHINE", XCB_ATOM_STRING, 8, host, std::strlen(host));
  if (kind == "dialog") setAtoms(w, "_NET_WM_WINDOW_TYPE", {atom("_NET_WM_WINDOW_TYPE_DIALOG")});
  if (kind == "utility") setAtoms(w, "_NET_WM_WINDOW_TYPE", {atom("_NET_WM_WINDOW_TYPE_UTILITY")});
  if (kind == "skip") setAtoms(w, "_NET_WM_STATE", {atom("_NET_WM_STATE_SKIP_TASKBAR")});
  if (owner != "-" && windows.count(owner)) setProperty(w, "WM_TRANSIENT_FOR", XCB_ATOM_WINDOW, 32, &windows[owner], 1);
  if (iconKind == "ok") {
    std::vector<uint32_t> v = icon(16), big = icon(32);
    v.insert(v.end(), big.begin(), big.end());
    setProperty(w, "_NET_WM_ICON", XCB_ATOM_CARDINAL, 32, v.data(), v.size());
  } else if (iconKind == "short") {
    const uint32_t v[] = {64, 64, 1, 2, 3, 4, 5, 6};
    setProperty(w, "_NET_WM_ICON", XCB_ATOM_CARDINAL, 32, v, 8);
  }
  xcb_map_window(c, w);
  windows[name] = w;
  sync();
  answer("window " + name + " " + std::to_string(w));
}

void command(const std::string& line) {
  std::istringstream in(line);
  std::string verb, name, rest;
  in >> verb;
  if (verb == "open") return open(in);
  in >> name;
  std::getline(in >> std::ws, rest);
  const xcb_window_t w = windows.count(name) ? windows[name] : 0;
  if (verb == "ignoreterm") {
    std::signal(SIGTERM, SIG_IGN);
  } else if (verb == "hang" || verb == "answer") {
    hung = verb == "hang";
  } else if (verb == "title") {
    setTitle(w, rest);
  } else if (verb == "rawtitle") {
    std::string bytes;
    for (size_t i = 0; i + 1 < rest.size(); i += 2) bytes += char(std::strtol(rest.substr(i, 2).c_str(), nullptr, 16));
    setTitle(w, bytes);
  } else if (verb == "bigtitle") {
    setTitle(w, std::string(std::stoul(rest), 'x'));
  } else if (verb == "hide") {
    xcb_unmap_window(c, w);
    // ICCCM withdrawal: a synthetic UnmapNotify to the root as well.
    xcb_unmap_notify_event_t ev{};
    ev.response_type = XCB_UNMAP_NOTIFY;
    ev.event = root;
    ev.window = w;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&ev));
  } else if (verb == "show") {
    xcb_map_window(c, w);
  } else if (verb == "close") {
    xcb_destroy_window(c, w);
    windows.erase(name);
  } else if (verb == "pid") {
    const uint32_t pid = uint32_t(std::stoul(rest));
    setProperty(w, "_NET_WM_PID", XCB_ATOM_CARDINAL, 32, &pid, 1);
  } else if (verb == "machine") {
    setProperty(w, "WM_CLIENT_MACHINE", XCB_ATOM_STRING, 8, rest.data(), rest.size());
  }
  sync();
  answer("ok");
}

void readEvents() {
  const xcb_atom_t protocols = atom("WM_PROTOCOLS"), ping = atom("_NET_WM_PING");
  while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
    if ((e->response_type & ~0x80) == XCB_CLIENT_MESSAGE && !hung) {
      auto* m = reinterpret_cast<xcb_client_message_event_t*>(e);
      if (m->type == protocols && m->data.data32[0] == ping) {
        m->window = root;  // as Qt's xcb plugin answers (GTK: SubstructureNotify in place of Structure)
        xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(m));
        xcb_flush(c);
      }
    }
    std::free(e);
  }
}

}  // namespace

int main() {
  c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c)) {
    std::fprintf(stderr, "taskclient: no display\n");
    return 1;
  }
  root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  answer("ready");
  std::string buffer;
  for (;;) {
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {xcb_get_file_descriptor(c), POLLIN, 0}};
    xcb_flush(c);
    if (poll(fds, 2, -1) < 0) continue;
    if (xcb_connection_has_error(c)) return 2;
    readEvents();
    if (!(fds[0].revents & (POLLIN | POLLHUP))) continue;
    char chunk[4096];
    const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
    if (n <= 0) return 0;
    buffer.append(chunk, size_t(n));
    for (size_t nl; (nl = buffer.find('\n')) != std::string::npos;) {
      const std::string line = buffer.substr(0, nl);
      buffer.erase(0, nl + 1);
      command(line);
    }
  }
}
