// Keys as they reach the core: from the console (":key CODE", ":brlkey CODE"), from
// screen-reader combinations typed in the monitor window and, while a dialog captures keys, from
// the display's keyboard (hostplatform.h, KeyboardListener).
//
// The screen-reader key is Caps Lock: a key pressed while it is held gives "CAP_" + the key's
// name, then "|A" with Alt and "|S" with Shift held ("CAP_Up|A|S"), as the binding files write
// them. Keypad keys give "L" + layer + "N" + key: a keypad key pressed while another keypad key
// is held is a chord with the held key as its layer ("L/N5"); a keypad key released without
// having served as a layer is the key alone, layer "0" ("L0N5"). Key names are those of the
// binding files: letters and digits, F1..F24, Up, Down, Left, Right, Home, End, PageUp,
// PageDown, Insert, Delete, Backspace, Enter, Escape, Tab, Space, Apps; keypad keys 0..9, D, /,
// *, -, +, E. Other keys are the application's and reach no code.
//
// Automation members on the root object:
//   HandleKeyCode, HandleBrlCode  true (default): the core acts on keyboard / Braille keys,
//                                 running the command the merged binding levels give the key in
//                                 the foreground application; false: the key is only reported
//   LastKeyCode, LastBrlCode      the last key reported while not handled; "" clears it
// When JexUI leaves the bus both switches are turned on again, so that the keyboard is never
// left without its commands.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "corvane/engine/keybindings.h"

namespace corvane {

class CoreModel;

// What a keyboard code is: a screen-reader combination, a keypad chord, or nothing the keyboard
// gives (what remains may still be a Braille key's code).
enum class KeyboardCode { None, ScreenReader, Keypad };
KeyboardCode keyboardCodeKind(const QString& code);

// Turns presses and releases of named keys into codes ("CapsLock", "Shift", "Alt", "Ctrl",
// "KP:5" for keypad keys, else the key's name).
class KeyChords {
 public:
  QStringList press(const QString& key);
  QStringList release(const QString& key);
  void reset() { *this = KeyChords(); }

 private:
  bool caps_ = false, shift_ = false, alt_ = false;
  QString layer_;  // the keypad key held first
  bool layerUsed_ = false;
};

// The command the merged levels bind code to for app (user's app set, user's global set,
// shipped app set, shipped global set; the first that binds it); "" when none does.
QString boundCommand(BindingStore& store, const QString& app, const QString& code, BindingKind kind);

class KeyInput {
 public:
  KeyInput(CoreModel& model, std::shared_ptr<BindingStore> store);

  bool handles(BindingKind kind) const { return handles_[index(kind)]; }
  void setHandles(BindingKind kind, bool on);
  const QString& last(BindingKind kind) const { return last_[index(kind)]; }
  // "" clears; anything else must be a key code (throws jex::Error).
  void setLast(BindingKind kind, const QString& code);
  // A key of that kind: reported while its kind is not handled, else its command is queued.
  // Returns the line reported ("KEY: ..." or "BRLKEY: ...").
  QString pressed(const QString& code, BindingKind kind);
  // Both kinds handled again (JexUI has left); true when one was captured.
  bool restore();
  // Told whenever keyboard capture starts (true) or ends.
  void onKeyboardCapture(std::function<void(bool)> listener) { listener_ = std::move(listener); }

 private:
  static int index(BindingKind kind) { return kind == BindingKind::Braille ? 1 : 0; }
  CoreModel& model_;
  std::shared_ptr<BindingStore> store_;
  bool handles_[2] = {true, true};
  QString last_[2];
  std::function<void(bool)> listener_;
};

}  // namespace corvane
