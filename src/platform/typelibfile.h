// Reading a type library file into the type-information model (base/typeinfo.h).
//
// The files are of the format that IDL compilers write for automation ("MSFT" at the start), for
// 32-bit and 64-bit Windows alike. Anything else, older "SLTG" libraries and programs that carry
// a library as a resource included, is "not a type library". Every offset and count of the file
// is checked against the file before it is used, chains are followed at most as far as their
// segment could reach, and nothing is allocated beyond the file's own size; a file that is bad
// anywhere gives one message naming the file and the fault, never a partial library.
//
// A type that the library imports from another one is named by reading that library when it
// lies beside the file (or is found by the resolver given), else by the names every
// automation library knows (IUnknown, IDispatch); an import that cannot be named keeps the
// type's identifier in braces.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

#include "base/typeinfo.h"

namespace jex::platform {

// Larger files are refused before they are read.
inline constexpr qint64 kMaxTypeLibraryBytes = 64 * 1024 * 1024;

struct TypeLibRead {
  bool ok = false;
  typeinfo::Library library;
  QString error;  // "<file>: <fault>" when not ok
};

// Finds the file of an imported library by its file name as the importing library gives it
// ("stdole2.tlb"); empty when it is not to be had.
using ImportFinder = std::function<QString(const QString& importFile)>;

// Reads file. finder, when given, is asked for imports not found beside the file.
TypeLibRead readTypeLibrary(const QString& file, const ImportFinder& finder = {});
// Reads a library held in memory; name stands for the file in messages and in Library::file.
TypeLibRead readTypeLibraryData(const QByteArray& data, const QString& name, const ImportFinder& finder = {});

}  // namespace jex::platform
