// Script calls as the stand-in core runs them. It has no script engine: of a function's body it
// runs the lines that call proc.SpeechOutVoice or proc.AddToCMDQueue with literal arguments
// (strings, joined with & or not, and whole numbers), and reports every other line as not run.
//
// Commands that call a script function (upper case, as the command router passes them on):
//   ".SUB.NAME"      NAME of the foreground application's script
//   "APP.SUB.NAME"   NAME of the script of APP; for "DEFAULT" the foreground application's
//                    script when it has NAME, else the default script (scripts/default.vbs)
#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace corvane {

struct FunctionCall {
  QString app;  // "" for the foreground application's script
  QString function;
};
std::optional<FunctionCall> parseFunctionCall(const QString& command);

struct ScriptStep {
  enum Kind { Speak, Queue, NotRun };
  Kind kind = NotRun;
  QString text;    // Speak: the text; Queue: the command; NotRun: the statement as written
  int source = 1;  // Speak: the speech source (voice number)
  int line = 0;    // line number in the script, from 1
};

struct ScriptFunctionBody {
  QString name;  // as the script spells it
  QList<ScriptStep> steps;
};
// The steps of the public Sub or Function name (without regard to case) of a script's text;
// nullopt when the script has no such function.
std::optional<ScriptFunctionBody> scriptBody(const QString& text, const QString& name);

}  // namespace corvane
