// The declaration text the object wizard writes for the core's scripts: a whole class, or one
// member, in the script language, each line ending with CR LF.
//
//   Private Enum Fill            Private Type Point             Private Const CLSID_Square As String = "{...}"
//   	fillNone = 0                	x As Long
//   	fillSolid = 1               	weights(0 To 2, 0 To 3) As Integer
//   End Enum                     End Type
//
// Members by invoke kind: "Sub Move(ByVal dx As Long, ByVal dy As Long)", "Function Area() As
// Double", "Property Get Name() As String", "Property Let Name(RHS As String)", "Property Set
// Parent(ByVal value As Object)", "Const MaxShapes = 64"; in a module "Declare Function Draw Lib
// "shapes.dll"  Alias "DrawA" (...) As Long".
//
// Decisions where the text's shape is open:
//  - an [out, retval] parameter is the result and leaves the list; a function whose declared
//    result is HRESULT or void and that has none is a Sub;
//  - an array without fixed bounds is written "()"; a result that is an array gets "()" after its
//    element type;
//  - the value of "Property Let" is "RHS As <type>" without ByVal; "Property Set" keeps the
//    parameter as declared;
//  - string constants are quoted (inner quotes doubled), Booleans are True and False; the
//    coclass's class identifier is quoted too, being a String constant;
//  - unions are written as records; aliases are no classes, only the names of types;
//  - a data member of an interface (a dispatch property) is a Property Get and a Property Let;
//  - an interface's declaration holds the members of its bases in the same library first;
//  - events of the default event interface are "Event Name(...)" without a prefix;
//  - an unnamed parameter is "Param" + its position from 1;
//  - a whole class is written in the "Private " form; the documentation of one member in the
//    help-comment form (a tab, "'", the help text, a line break, then the declaration).
#pragma once

#include <QString>

#include "base/typeinfo.h"

namespace jex::objwiz {

enum class DeclarationForm { Private, HelpComment };

// The name of a type by its variant number ("Long", "Unknown Type(5)", the library's own name).
QString typeName(const typeinfo::Type& type);
// What follows a name: " As Long", or for an array "(0 To 2, 1 To 4) As Integer", "() As Long".
QString typeSuffix(const typeinfo::Type& type);
// A constant's value as the script writes it.
QString valueText(const QVariant& value);
// The parameters of member in order, separated by ", " (its result parameter left out).
QString parameterList(const typeinfo::Member& member);
// One member; owner supplies a module's library file (may be null).
QString memberDeclaration(const typeinfo::Member& member, DeclarationForm form, const typeinfo::Class* owner = nullptr);
// The whole class, every line ending with CR LF.
QString classDeclaration(const typeinfo::Library& library, const typeinfo::Class& cls);

}  // namespace jex::objwiz
