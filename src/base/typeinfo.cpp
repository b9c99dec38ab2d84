#include "base/typeinfo.h"

namespace jex::typeinfo {

QString kindName(ClassKind kind) {
  switch (kind) {
    case ClassKind::Constants:
      return QStringLiteral("constants");
    case ClassKind::Record:
      return QStringLiteral("record");
    case ClassKind::Modules:
      return QStringLiteral("modules");
    case ClassKind::Interface:
      return QStringLiteral("interface");
    case ClassKind::CoClass:
      return QStringLiteral("coclass");
  }
  return {};
}

const Class* Library::findClass(const QString& name) const {
  for (const Class& c : classes)
    if (c.name.compare(name, Qt::CaseInsensitive) == 0) return &c;
  return nullptr;
}

}  // namespace jex::typeinfo
