// What the scripts' message and input boxes share: each call of the core's scripts opens a box
// of its own (modeless) for the core's foreground application; the button pressed sets its
// Result, which goes back with the caller's cookie through the core's CallBack with the box's
// event, and the box then unloads itself.
#pragma once

#include "base/error.h"
#include "dialogs/boxes/boxform.h"
#include "dialogs/boxes/scriptboxobject.h"
#include "widgets/formservice.h"

#include <memory>

namespace jex {

class ScriptBox : public BoxForm {
 public:
  // Result, Cookie, Buttons and application; the object the script receives.
  ScriptBoxObject& fields() { return *fields_; }
  Obj object() const { return Obj(fields_); }

 protected:
  // name: the form's name; event: the CallBack event of the answer.
  ScriptBox(const QString& name, QString event);
  // Hands result to the script and unloads the box.
  void answer(const QString& result);

 private:
  std::shared_ptr<ScriptBoxObject> fields_;
  QString event_;
};

// A new Box for the core's foreground application with the caller's cookie, shown by show(box);
// null when that failed (logged for where).
template <class Box, class Show>
Box* openScriptBox(const char* where, const QString& cookie, Show&& show) {
  return trapped(where, static_cast<Box*>(nullptr), [&] {
    auto* box = new Box;
    box->fields().application = coreForeGroundApp();
    box->fields().Cookie = cookie;
    show(*box);
    return box;
  });
}

// The registered operation of a script box, offered without an instance: action opens a box of
// its own with the script's four arguments; any other operation is not available.
template <class Box>
forms::Action scriptBoxAction(const QString& formName, const QString& action,
                              Box* (*open)(const QString&, const QString&, const QString&, const QString&)) {
  return [=](const QString& requested, const QStringList& a) {
    if (requested != action) return forms::notAvailable(formName + u'.' + requested);
    open(a.value(0), a.value(1), a.value(2), a.value(3));
  };
}

}  // namespace jex
