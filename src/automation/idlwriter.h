// A program's automation objects as an IDL library: one dispatch interface per class, written
// from the classes' member tables, so that the type library widl makes from it cannot drift from
// the objects it describes. Identifiers are derived from names, the same on every build.
//
// The declared form of a member is the same here and wherever a living object is described:
// its declared parameters, or, for a member that declares none, "Param1" ... of type Variant
// (those from its least number of arguments on optional).
#pragma once

#include <QList>
#include <QString>

#include "automation/automation.h"

namespace jex::automation {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" derived from name.
QString nameGuid(const QString& name);
// The library identifier of a program's library.
inline QString libraryGuid(const QString& library) { return nameGuid(QStringLiteral("library/") + library); }

// The parameters member is declared with (see above), without a property's value.
QList<ParamInfo> declaredParams(const MemberInfo& member);

struct IdlClass {
  QString name;  // made an identifier ("corvane.application" -> corvane_application)
  QString help;
  QList<MemberInfo> members;
};
// The IDL text of the library.
QString writeIdl(const QString& library, const QString& help, const QList<IdlClass>& classes);
// Writes it to file; false (with the reason in problem) when it could not be written.
bool writeIdlFile(const QString& file, const QString& library, const QString& help, const QList<IdlClass>& classes,
                  QString& problem);

}  // namespace jex::automation
