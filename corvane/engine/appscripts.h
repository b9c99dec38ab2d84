// App_Scripts: the scripts of the applications, one file "scripts/apps/<application>.vbs" in
// the core's directory (the name found without regard to case).
//
// Its functions are the file's public Sub and Function procedures, in file order; the comment
// line right above a procedure ("' ..." or "Rem ...") is its description.
//
//   GetScript(app)                 the application's script object: Name, Functions (the names),
//                                  GetFunctionLong(name) (the description; Error 5 for a name
//                                  the script does not have). An application without a script
//                                  gets an object without functions.
//   AddAppFunctionsToCol(app, col) calls col.Add(app + ":Sub." + name) for every function.
//
// The application name is upper case on the way in; a name that is empty, "." or "..", or that
// holds a path separator is refused with Error 5 and a log line, so that nothing outside the
// scripts directory is read.
#pragma once

#include <QList>
#include <QString>

#include "automation/automation.h"

namespace corvane {

class CoreModel;

struct ScriptFunction {
  QString name;
  QString description;
  bool operator==(const ScriptFunction&) const = default;
};

// The public procedures of a script's text, with the comment line above each.
QList<ScriptFunction> scriptFunctions(const QString& text);

// The text of an application's script (upper-case name, checked as above; Error 5 for a name
// refused), or of the default script "scripts/default.vbs" for an empty name; "" when there is
// no such file.
QString appScriptText(const QString& appPath, const QString& app);

jex::automation::Obj makeAppScripts(CoreModel& model);

}  // namespace corvane
