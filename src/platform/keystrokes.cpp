#include "platform/keystrokes.h"

#include <xcb/xtest.h>

#include <QHash>

#include "platform/xcbutil.h"

namespace jex::platform {
namespace {

constexpr quint32 kControlL = 0xffe3, kShiftL = 0xffe1, kAltL = 0xffe9;

// The server's keyboard map: the first keycode of each keysym (on its plain or shifted level).
QHash<quint32, xcb_keycode_t> keycodes(xcb_connection_t* c) {
  QHash<quint32, xcb_keycode_t> map;
  const xcb_setup_t* setup = xcb_get_setup(c);
  const xcb_keycode_t first = setup->min_keycode, last = setup->max_keycode;
  auto r = xcb::reply(
      xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, first, quint8(last - first + 1)), nullptr));
  if (!r) return map;
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r.get());
  const int per = r->keysyms_per_keycode;
  for (int code = first; code <= last; ++code)
    for (int level = 0; level < qMin(per, 2); ++level) {
      const quint32 sym = syms[(code - first) * per + level];
      if (sym != 0 && !map.contains(sym)) map.insert(sym, xcb_keycode_t(code));
    }
  return map;
}

// The keycodes that are down now.
QList<xcb_keycode_t> keysDown(xcb_connection_t* c) {
  QList<xcb_keycode_t> down;
  auto r = xcb::reply(xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr));
  if (!r) return down;
  for (int byte = 0; byte < 32; ++byte)
    for (int bit = 0; bit < 8; ++bit)
      if (r->keys[byte] & (1 << bit)) down << xcb_keycode_t(byte * 8 + bit);
  return down;
}

void key(xcb_connection_t* c, xcb_keycode_t code, bool press) {
  xcb_test_fake_input(c, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
}
}  // namespace

bool sendKeystrokes(const QList<Keystroke>& chords, QString& problem) {
  const QByteArray display = qgetenv("DISPLAY");
  if (display.isEmpty()) {
    problem = QStringLiteral("no display");
    return false;
  }
  int screen = 0;
  xcb_connection_t* c = xcb_connect(display.constData(), &screen);
  const auto done = [&](bool ok) {
    xcb_disconnect(c);
    return ok;
  };
  if (!c || xcb_connection_has_error(c)) {
    problem = QStringLiteral("cannot connect to the display");
    return done(false);
  }
  const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_test_id);
  if (!ext || !ext->present) {
    problem = QStringLiteral("the display has no XTest");
    return done(false);
  }
  const QHash<quint32, xcb_keycode_t> map = keycodes(c);
  const xcb_keycode_t ctrl = map.value(kControlL), shift = map.value(kShiftL), alt = map.value(kAltL);
  for (const Keystroke& k : chords)
    if (!map.contains(k.keysym)) {
      problem = QStringLiteral("the keyboard map has no key for keysym 0x%1").arg(k.keysym, 0, 16);
      return done(false);
    }
  // Modifier keys still held by the user are let go: theirs is not this chord.
  const QList<xcb_keycode_t> down = keysDown(c);
  auto modifierSyms = {kControlL,       kShiftL,         kAltL,           quint32(0xffe4),
                       quint32(0xffe2), quint32(0xffea), quint32(0xffe7), quint32(0xffe8),
                       quint32(0xffeb), quint32(0xffec), quint32(0xfe03)};
  for (quint32 sym : modifierSyms)
    for (auto it = map.cbegin(); it != map.cend(); ++it)
      if (it.key() == sym && down.contains(it.value())) key(c, it.value(), false);
  for (const Keystroke& k : chords) {
    QList<xcb_keycode_t> held;
    if ((k.modifiers & Qt::ControlModifier) && ctrl) held << ctrl;
    if ((k.modifiers & Qt::ShiftModifier) && shift) held << shift;
    if ((k.modifiers & Qt::AltModifier) && alt) held << alt;
    for (xcb_keycode_t m : held) key(c, m, true);
    key(c, map.value(k.keysym), true);
    key(c, map.value(k.keysym), false);
    for (qsizetype i = held.size() - 1; i >= 0; --i) key(c, held.at(i), false);
  }
  // A round trip: the server has every event before this returns.
  xcb::reply(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  return done(true);
}

}  // namespace jex::platform
