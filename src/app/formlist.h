// The program's forms (see widgets/formservice.h).
#pragma once

namespace jex {

// Registers every form whose registration the build found in the sources, once, then the
// commands and menu entries of the dialogs still to come; a name registered already (a test's
// stand-in) keeps its registration.
void registerForms();

}  // namespace jex
