// frmSCRInput: the input box the core's scripts open (scriptbox.h). The text entered (OK) or
// nothing (Cancel) goes back through the core's CallBack with "OnInputBox". A prompt wider than the design width widens
// the box (up to the screen).
#pragma once

#include "dialogs/boxes/scriptbox.h"
#include "widgets/formservice.h"

class QLabel;
class QLineEdit;

namespace jex {

class frmSCRInput : public ScriptBox {
 public:
  // Width of the prompt label and of the answer field at design time, in pixels; the window
  // is 30 pixels wider.
  static constexpr int kDesignLabelWidth = 231;
  static constexpr int kSideSpace = 30;

  frmSCRInput();

  // The answer field's starting text, fully selected (nothing for an empty text).
  void setDefaultText(const QString& text);
  // Shows prompt (sized to its text), the OK and cancel buttons, and focuses the answer field.
  void ShowInputBox(const QString& prompt);

  QLabel* nl_Msg() const { return nl_Msg_; }
  QLineEdit* txtInput() const { return txtInput_; }

 protected:
  void buttonPressed(int index) override;

 private:
  QLabel* nl_Msg_;
  QLineEdit* txtInput_;
};

// The scripts' InputBox: a new box for the core's foreground application; returns at once.
frmSCRInput* ScriptInputBox(const QString& prompt, const QString& title, const QString& defaultText,
                            const QString& cookie);

// The form's registration with the form service (listed in app/formlist.cpp).
forms::Form frmSCRInputForm();

}  // namespace jex
