// The program's forms: one line per form. The registration itself (factory, preloading step,
// operations) is written beside the form with JEX_FORM_REGISTRATION. Listing them here, rather
// than registering from static objects, keeps every form in the program: the linker would drop
// a form's object file from its static library when nothing refers to it by symbol.
#include "app/formlist.h"

#include "app/scripting/typelib.h"
#include "dialogs/speech/clsmixer.h"
#include "widgets/formservice.h"

#define JEX_FORMS(X) \
  X(frmMDI)          \
  X(frmMain)         \
  X(frmMsgEx)        \
  X(frmInputBox)     \
  X(frmSCRMsgBox)    \
  X(frmSCRInput)     \
  X(frmBraille)      \
  X(frmDevice)       \
  X(frmTasks)        \
  X(frmKeyecho)      \
  X(frmVoices)

namespace jex {

#define JEX_DECLARE_FORM(name) forms::Form name##Form();
JEX_FORMS(JEX_DECLARE_FORM)
#undef JEX_DECLARE_FORM

void registerForms() {
  static const bool once = [] {
#define JEX_ADD_FORM(name) forms::addDefault(name##Form());
    JEX_FORMS(JEX_ADD_FORM)
#undef JEX_ADD_FORM
    // The classes outside programs create by name ("JexUI.clsMixer").
    registerTypeLibClass(QStringLiteral("clsMixer"), [] { return std::make_shared<clsMixer>(); });
    return true;
  }();
  (void)once;
}

}  // namespace jex
