// frmSCRMsgBox: the message box the core's scripts open (modeless). Its answer goes back
// through the core's CallBack with "OnMsgBoxClick"; the box then unloads itself.
#pragma once

#include "dialogs/boxes/boxform.h"
#include "dialogs/boxes/scriptboxobject.h"
#include "widgets/formservice.h"

#include <memory>

class QLabel;

namespace jex {

class frmSCRMsgBox : public BoxForm {
 public:
  frmSCRMsgBox();

  // Result, Cookie, Buttons and application; the object the script receives.
  ScriptBoxObject& fields() { return *fields_; }
  Obj object() const { return Obj(fields_); }

  // Shows message under title (the program title when empty) with Yes/No or OK buttons.
  void ShowMsgBox(const QString& message, const QString& title);

  QLabel* lblMsg() const { return lblMsg_; }

 protected:
  void buttonPressed(int index) override;

 private:
  std::shared_ptr<ScriptBoxObject> fields_;
  QLabel* lblMsg_;
};

// The scripts' MsgBox: a new box for the core's foreground application; returns at once.
frmSCRMsgBox* ScriptMsgBox(const QString& prompt, const QString& buttons, const QString& title, const QString& cookie);

// The form's registration with the form service (listed in app/formlist.cpp).
forms::Form frmSCRMsgBoxForm();

}  // namespace jex
