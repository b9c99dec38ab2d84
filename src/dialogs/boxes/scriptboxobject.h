// The public fields of a script box as the core's scripts see them: the box is handed to the
// core's CallBack as this automation object, and the script reads Result and Cookie from it.
// The object outlives the form, so a script may read it after the box has unloaded.
#pragma once

#include "automation/dispatchable.h"

#include <QString>

namespace jex {

class ScriptBoxObject : public automation::Dispatchable {
 public:
  explicit ScriptBoxObject(const QString& formName);

  QString Result;       // the answer; empty until a button was pressed
  QString Cookie;       // the caller's cookie, handed back untouched
  QString Buttons;      // message box: "YESNO" (any case) for Yes/No, anything else for OK
  QString application;  // the foreground application when the box was requested

  // Tells the core's scripts the answer: CallBack(application by reference, this box,
  // event, 0). Errors of the call are logged and otherwise ignored.
  void CallBack(const QString& event);
};

// The core's foreground application (empty when the core cannot be asked).
QString coreForeGroundApp();

}  // namespace jex
