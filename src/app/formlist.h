// The one list of the program's forms (see widgets/formservice.h).
#pragma once

namespace jex {

// Registers every form of the list with the form service, once; a name registered already (a
// test's stand-in) keeps its registration.
void registerForms();

}  // namespace jex
