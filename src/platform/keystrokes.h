// Keystrokes to the window in front, as if typed: the X server's XTest extension presses and
// releases the keys, their keycodes taken from the server's keyboard map. Modifier keys the user
// still holds (the screen-reader combination that asked for the copy) are released first, so
// that Ctrl+A does not arrive as Ctrl+Alt+A, and are not pressed again afterwards.
#pragma once

#include <QList>
#include <QString>

namespace jex::platform {

// One chord: the modifiers held (Qt::ControlModifier, Qt::ShiftModifier, Qt::AltModifier) and
// the key (an X keysym: 'a', 'c', 0xff50 for Home).
struct Keystroke {
  int modifiers = 0;
  quint32 keysym = 0;
};

inline constexpr quint32 kKeysymHome = 0xff50;

// Sends the chords in order and waits until the server has them. False, with the reason in
// problem, without a display, without XTest, or for a key the keyboard map does not have.
bool sendKeystrokes(const QList<Keystroke>& chords, QString& problem);

}  // namespace jex::platform
