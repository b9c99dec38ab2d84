// frmSCRMsgBox: the message box the core's scripts open (scriptbox.h). Its answer ("yes", "no"
// or "ok") goes back through the core's CallBack with "OnMsgBoxClick".
#pragma once

#include "dialogs/boxes/scriptbox.h"
#include "widgets/formservice.h"

class QLabel;

namespace jex {

class frmSCRMsgBox : public ScriptBox {
 public:
  frmSCRMsgBox();

  // Shows message under title (the program title when empty) with Yes/No or OK buttons.
  void ShowMsgBox(const QString& message, const QString& title);

  QLabel* lblMsg() const { return lblMsg_; }

 protected:
  void buttonPressed(int index) override;

 private:
  QLabel* lblMsg_;
};

// The scripts' MsgBox: a new box for the core's foreground application; returns at once.
frmSCRMsgBox* ScriptMsgBox(const QString& prompt, const QString& buttons, const QString& title, const QString& cookie);

// The form's registration with the form service (listed in app/formlist.cpp).
forms::Form frmSCRMsgBoxForm();

}  // namespace jex
