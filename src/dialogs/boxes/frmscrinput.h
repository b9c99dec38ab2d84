// frmSCRInput: the input box the core's scripts open (modeless). The text entered (OK) or
// nothing (Cancel) goes back through the core's CallBack with "OnInputBox"; the box then
// unloads itself. A prompt wider than the design width widens the box (up to the screen).
#pragma once

#include "dialogs/boxes/boxform.h"
#include "dialogs/boxes/scriptboxobject.h"
#include "widgets/formservice.h"

#include <memory>

class QLabel;
class QLineEdit;

namespace jex {

class frmSCRInput : public BoxForm {
 public:
  // Width of the prompt label and of the answer field at design time, in pixels; the window
  // is 30 pixels wider.
  static constexpr int kDesignLabelWidth = 231;
  static constexpr int kSideSpace = 30;

  frmSCRInput();

  ScriptBoxObject& fields() { return *fields_; }
  Obj object() const { return Obj(fields_); }

  // The answer field's starting text, fully selected (nothing for an empty text).
  void setDefaultText(const QString& text);
  // Shows prompt (sized to its text), the OK and cancel buttons, and focuses the answer field.
  void ShowInputBox(const QString& prompt);

  QLabel* nl_Msg() const { return nl_Msg_; }
  QLineEdit* txtInput() const { return txtInput_; }

 protected:
  void buttonPressed(int index) override;

 private:
  std::shared_ptr<ScriptBoxObject> fields_;
  QLabel* nl_Msg_;
  QLineEdit* txtInput_;
};

// The scripts' InputBox: a new box for the core's foreground application; returns at once.
frmSCRInput* ScriptInputBox(const QString& prompt, const QString& title, const QString& defaultText,
                            const QString& cookie);

// The form's registration with the form service (listed in app/formlist.cpp).
forms::Form frmSCRInputForm();

}  // namespace jex
