// JexUI's type library as seen over the bus: the library name and the member listing of any
// living automation object.
//
// The library name is part of each class name JexUI serves ("JexUI.Funcs"); the bus
// introspection of an object carries that class name and one annotation per member with its
// help text, and Describe() answers the same member table.
#pragma once

#include <QString>
#include <QStringList>

#include "automation/automation.h"

namespace jex {

inline constexpr char kTypeLibrary[] = "JexUI";

// "JexUI." + className.
QString typeLibClass(const QString& className);

// A class outside programs may create by name ("JexUI." + className, automation::createObject)
// joins the type library's list of creatable classes.
void registerTypeLibClass(const QString& className, automation::Factory factory);
// The creatable classes, with their library name ("JexUI.clsMixer"), sorted.
QStringList typeLibClasses();

// A text listing the members of object, one per line, with their kind, argument counts and
// help text:
//   Class JexUI.Funcs
//   Function FindClassEx(3) ' ...
//   Function SetFocusToClass(1 to 3) ' Sets Focus ...
//   Property Get VersionString
//   Property Let AllVoiceSpeed
// Empty for Nothing. Line breaks inside help texts are kept as they are.
QString describeMembers(const Obj& object);

}  // namespace jex
