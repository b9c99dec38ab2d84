// Type information of a type library or of a living object, as the object wizard needs it:
// plain data, the same whichever way it was read (a library file through the platform's reader,
// an object of the access layer through its member table).
//
// Types carry the automation variant type number. A pointer only counts in pointerLevel; a type
// that the library defines itself (an enum, a record, an interface, an alias) has varType 0 and
// its name in userType, the way script authors see it.
#pragma once

#include <QString>
#include <QVariant>
#include <QVector>

namespace jex::typeinfo {

// Variant type numbers the model uses by name.
namespace vt {
constexpr int Empty = 0;
constexpr int I2 = 2;
constexpr int I4 = 3;
constexpr int R4 = 4;
constexpr int R8 = 5;
constexpr int Cy = 6;
constexpr int Date = 7;
constexpr int Bstr = 8;
constexpr int Dispatch = 9;
constexpr int Error = 10;
constexpr int Bool = 11;
constexpr int Variant = 12;
constexpr int Unknown = 13;
constexpr int I1 = 16;
constexpr int UI1 = 17;
constexpr int UI2 = 18;
constexpr int UI4 = 19;
constexpr int I8 = 20;
constexpr int UI8 = 21;
constexpr int Int = 22;
constexpr int UInt = 23;
constexpr int Void = 24;
constexpr int HResult = 25;
constexpr int Ptr = 26;
constexpr int SafeArray = 27;
constexpr int CArray = 28;
constexpr int UserDefined = 29;
constexpr int LpStr = 30;
constexpr int LpWStr = 31;
}  // namespace vt

struct ArrayBound {
  qint64 lower = 0;
  qint64 upper = 0;  // lower + count - 1
};

struct Type {
  int varType = vt::Variant;  // 0 with userType set for a type of the library
  int pointerLevel = 0;
  QString userType;  // the name of a type the library defines (varType 0)
  bool isArray = false;
  QVector<ArrayBound> bounds;  // empty for an array without fixed bounds (SAFEARRAY)
};

enum class InvokeKind { None, Function, PropertyGet, PropertyPut, PropertyPutRef };

// Parameter flags as the libraries write them.
namespace pf {
constexpr int In = 0x1;
constexpr int Out = 0x2;
constexpr int Lcid = 0x4;
constexpr int RetVal = 0x8;
constexpr int Optional = 0x10;
constexpr int HasDefault = 0x20;
}  // namespace pf

struct Parameter {
  QString name;
  Type type;
  int flags = 0;
  bool isOut() const { return flags & pf::Out; }
  bool isRetVal() const { return flags & pf::RetVal; }
  bool isOptional() const { return flags & (pf::Optional | pf::HasDefault); }
};

struct Member {
  QString name;
  qint32 memberId = 0;
  InvokeKind invokeKind = InvokeKind::None;  // None for a constant or a field
  QVector<Parameter> parameters;
  Type result;  // the function's declared result, the field's or constant's type
  bool hasValue = false;
  QVariant value;     // a constant's value (numbers, strings)
  QString entryName;  // a module function's entry in its library file, when it has its own
  qint32 entryOrdinal = -1;
  QString help;
};

enum class ClassKind { Constants, Record, Modules, Interface, CoClass };
// "constants", "record", "modules", "interface", "coclass"
QString kindName(ClassKind kind);

struct ImplementedInterface {
  QString name;
  bool isDefault = false;
  bool isSource = false;  // an event interface
  int classIndex = -1;    // the interface's class in the same library; -1 for an imported one
};

struct Class {
  QString name;
  ClassKind kind = ClassKind::Interface;
  bool isUnion = false;     // a record whose fields share their place
  bool isDispatch = false;  // a dispatch interface (its members are reached by name)
  QString guid;             // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", empty when it has none
  QString help;
  QString moduleFile;  // a module's library file
  QString baseName;    // an interface's base interface
  int baseIndex = -1;  // its class in the same library
  QVector<Member> members;
  QVector<ImplementedInterface> interfaces;  // a coclass's
};

// A named type of the library that is no class of its own (an alias).
struct TypeName {
  QString name;
  Type aliasOf;
};

enum class SystemKind { Win16 = 0, Win32 = 1, Mac = 2, Win64 = 3 };

struct Library {
  QString file;  // where it was read from; empty for a living object
  QString name;
  QString help;
  QString helpFile;
  QString guid;
  int majorVersion = 0;
  int minorVersion = 0;
  SystemKind systemKind = SystemKind::Win32;
  QVector<Class> classes;
  QVector<TypeName> aliases;
  QStringList imports;  // the files of imported libraries

  // The class called name (without regard to case); null when there is none.
  const Class* findClass(const QString& name) const;
};

}  // namespace jex::typeinfo
