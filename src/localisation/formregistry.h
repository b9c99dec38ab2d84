// The language-file check of a form: which keys a complete translation of it must hold. The
// forms themselves are registered with the form service (widgets/formservice.h), which
// creates each one for the check.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

namespace jex {
class cIniFil;
}

namespace jex::loc {

// The keys a complete translation of the form must hold in ini and does not: every control's
// caption or text (when the built-in one is not empty), its tool tip (when the built-in one is
// not empty and the control is no label or menu entry) and every list item and tab. A key whose
// needed part is empty counts as missing. Each entry reads "[section] key".
QStringList missingEntries(QWidget* form, cIniFil& ini);

}  // namespace jex::loc
