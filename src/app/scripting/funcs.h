// Funcs: the object the core's scripts call to find and focus windows, show JexUI's accessible
// message and input boxes, show texts and read-me files, and set all voices' rate or volume.
//
// One instance exists from the main window's load to its unload; it is handed to the core's
// script engine as "Funcs" (proc.iScript.ExposeObject). Every member traps its own errors: a
// script sees an empty or zero result, never an error.
//
// Window handles travel as 32-bit integers (the X window id). Number in FindClassEx and
// SetFocusToClass counts from 1; 0, a negative number or an omitted Number take the first
// window found. FindClassEx with ParentHwnd 0 searches the whole desktop; SetFocusToClass
// with ParentHwnd 0 or omitted searches below the foreground window (the desktop when the
// window manager names none).
//
// The members that show things reach their forms by name through the form service
// (widgets/formservice.h): "frmSCRMsgBox" ShowMsgBox, "frmSCRInput" ShowInputBox,
// "frmReadMe" Read (through the main window's child switch), "frmTextWiz" ShowText (text,
// AutoRead and AutoClose as "1" or "0") and "frmVoices" AllSpeeds and AllVolumes.
#pragma once

#include <QString>
#include <memory>

#include "automation/dispatchable.h"

namespace jex {

class Funcs : public automation::Dispatchable {
 public:
  // Longest prompt, title or text handed to a form; longer ones are cut (and logged).
  static constexpr int kMaxText = 65536;

  Funcs();

  qint32 FindClassEx(const QVariant& parentHwnd, const QVariant& className, const QVariant& number);
  qint32 SetFocusToClass(const QVariant& className, const QVariant& number, const QVariant& parentHwnd);
  void MsgBox(const QVariant& prompt, const QVariant& buttons, const QVariant& title, const QVariant& cookie);
  void InputBox(const QVariant& prompt, const QVariant& title, const QVariant& defaultText, const QVariant& cookie);
  QString GetTypeLibInfoFromO(const QVariant& object);
  void ShowReadMe(const QVariant& fileName);
  void ShowText(const QVariant& text, const QVariant& autoRead, const QVariant& autoClose);
  void setAllVoiceSpeed(const QVariant& value);
  void setAllVoiceVolume(const QVariant& value);

  // The read-me file ShowReadMe opens for fileName: fileName itself, or NewTask + ".txt" when
  // it is empty. Empty when the name is no plain file name (path separators, "..").
  static QString readMeFile(const QString& fileName);
};

// The one instance while it is exposed; null before ExposeFuncs() and after ReleaseFuncs().
std::shared_ptr<Funcs> funcsInstance();
// Creates Funcs and hands it to the core's scripts (core: the core object, Jex() by default).
// False (and a log line) when the core could not take it.
bool ExposeFuncs(Obj core = Obj());
// Drops JexUI's reference; the core's script engine lets go of its proxy when it ends.
void ReleaseFuncs();

}  // namespace jex
