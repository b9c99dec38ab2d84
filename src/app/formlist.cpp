// The program's forms: every JEX_FORM_REGISTRATION under src/, listed by the build in
// jex_forms.inc (cmake/FormList.cmake), one X(name) line each. Calling each registration from
// here, rather than registering from static objects, keeps every form in the program: the linker
// would drop a form's object file from its static library when nothing refers to it by symbol.
#include "app/formlist.h"

#include "app/scripting/typelib.h"
#include "dialogs/speech/clsmixer.h"
#include "global/cglobal.h"
#include "jex_forms.inc"
#include "widgets/formservice.h"

namespace jex {

#define X(name) forms::Form name##Form();
JEX_FORMS
#undef X

namespace {
QString L(const char* s) { return QString::fromLatin1(s); }

// The dialogs still to come, as their registrations will name them: until a registration of the
// same name takes their place, their commands and menu entries lead to "<name> - not available".
QList<forms::Form> comingForms() {
  return {
      {.name = L("frmMeridan"), .menuButton = 4},
  };
}
}  // namespace

void registerForms() {
  static const bool once = [] {
#define X(name) forms::addDefault(name##Form());
    JEX_FORMS
#undef X
    for (const forms::Form& coming : comingForms()) forms::addRoutes(coming);
    // The classes outside programs create by name ("JexUI.clsMixer").
    registerTypeLibClass(QStringLiteral("clsMixer"), [] { return std::make_shared<clsMixer>(); });
    return true;
  }();
  (void)once;
}

}  // namespace jex
