// The script console: calls the objects exposed to the core's scripts as a script would, and
// shows what the scripts receive through CallBack.
//
//   :funcs MEMBER [ARG ...]     calls MEMBER of the exposed "Funcs" object
//   :funcs MEMBER = VALUE       assigns a property (AllVoiceSpeed, AllVoiceVolume)
//
// Arguments: "quoted text" (\" and \\ inside), whole numbers, ~ for an omitted optional
// argument, @PATH for one of the core's objects (@proc, @SpeechVoices: a dotted path from the
// root object), anything else as text. The answer is printed as "FUNCS: MEMBER -> RESULT" (the
// arguments that came back changed are listed after it), a failing call as
// "FUNCS: MEMBER failed: NUMBER DESCRIPTION".
#pragma once

#include <QHash>
#include <QString>
#include <QVariantList>
#include <optional>

#include "automation/dispatchable.h"

namespace corvane {

class ScriptHost;

struct ScriptCall {
  QString member;
  QVariantList args;
  bool assign = false;          // MEMBER = VALUE
  QHash<int, QString> objects;  // argument index -> the path of a core object given as @PATH
  QString error;                // not empty: the line could not be read
};

ScriptCall parseScriptCall(const QString& text);

// Runs text (everything after ":funcs") against the object exposed as objectName; returns
// the console line.
// root: the core's root object the @PATH arguments start from.
QString runScriptCall(const ScriptHost& host, const QString& text, const QString& objectName = QStringLiteral("Funcs"),
                      const jex::Obj& root = jex::Obj());

// The console line for a CallBack of a script box: (application, box, event, 0) gives
// "CALLBACK: EVENT application=APP Result=RESULT Cookie=COOKIE", reading Result and Cookie
// through the box object. Nothing when the arguments have another shape.
std::optional<QString> describeScriptBoxCallBack(const jex::automation::Args& a);

}  // namespace corvane
