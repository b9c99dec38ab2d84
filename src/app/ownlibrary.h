// JexUI's own type library "JexUI": the objects it serves to the core's scripts (Funcs and
// UI_Application), written as IDL from their member tables (jexui --write-idl FILE),
// turned into jexui.tlb beside the program by the build and registered at start, so that the
// object wizard and other programs find it the way Windows programs find registered libraries.
#pragma once

#include <QString>

namespace jex {

// The library file beside the program.
QString ownTypeLibraryFile();
// Writes the IDL; 0, or 1 with a line on standard error.
int writeOwnIdl(const QString& file);
// Registers ownTypeLibraryFile() when it is there.
void registerOwnTypeLibrary();

}  // namespace jex
