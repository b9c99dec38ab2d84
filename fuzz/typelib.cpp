// Arbitrary bytes as a type library: the reader must answer every input with a library or one
// message naming the file, never crash, hang or allocate beyond what the input could describe;
// what it gives must hold together.
#include "platform/typelibfile.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  const jex::platform::TypeLibRead read = jex::platform::readTypeLibraryData(bytes, QStringLiteral("fuzz.tlb"));
  if (!read.ok) {
    check(read.error.startsWith(QStringLiteral("fuzz.tlb: ")));
    return 0;
  }
  check(read.error.isEmpty());
  const jex::typeinfo::Library& lib = read.library;
  // Every reference inside the library names a class of it; counts never exceed the input.
  qsizetype members = 0;
  for (const jex::typeinfo::Class& c : lib.classes) {
    check(c.baseIndex < lib.classes.size());
    for (const auto& ii : c.interfaces) check(ii.classIndex < lib.classes.size());
    members += c.members.size();
    for (const auto& m : c.members) check(m.parameters.size() * 12 <= qsizetype(size));
  }
  check(members * 12 <= qsizetype(size));
  check(lib.classes.size() * 100 <= qsizetype(size));
  return 0;
}
