// The form service: every form of the program by name.
//
// A form joins with one registration (its name, the factory that creates it hidden, the step of
// the start-up's background loading that creates it, and, for a form that opens windows of its
// own such as the script boxes, the operations it offers without an instance). The registration
// is written in the form's own folder, and the build lists every registration it finds in the
// sources (app/formlist.cpp), so nothing else names a new form:
//
//   // src/dialogs/speech/frmvoices.cpp
//   JEX_FORM_REGISTRATION(frmVoices, {.create = [] { return std::make_unique<frmVoices>(); }, .preload = 3})
//
// Everything else reaches a form by its name: the main window's commands and menu entries, Funcs
// and the scripts. A name with no form behind it writes one line, "<name> - not available".
//
// The live instance of a form is the dialog that was loaded (every ChildDialog announces itself
// with live()) or the one the service created from the factory. Names compare without regard
// to case.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

namespace jex::forms {

inline constexpr int kNoPreload = -1;

using Factory = std::function<std::unique_ptr<QWidget>()>;
// An operation by name with its arguments (a form's own window, a box that shows itself).
using Action = std::function<void(const QString& action, const QStringList& args)>;

struct Form {
  QString name{};
  Factory create{};          // a new instance, hidden; also what the language-file check builds
  int preload = kNoPreload;  // the background loading step (0 ..) that creates it at start-up
  Action action{};           // operations offered without an instance; null: the instance's own
};

// The frame that shows forms: the main window with its child switch.
class Frame {
 public:
  virtual ~Frame() = default;
  // The child switch, then the form shown and action run on it; false when it did not come.
  virtual bool openForm(const QString& name, const QString& action, const QStringList& args) = 0;
  // A form the service has just created from its factory: a dialog joins the frame.
  virtual void adopt(QWidget& form) = 0;
};

// Registers form (or replaces the registration of that name).
void add(Form form);
// Registers form unless one of that name is registered already (a stand-in stays).
void addDefault(Form form);
// Drops the registration; an instance the service created and nobody adopted is deleted.
void remove(const QString& name);
bool contains(const QString& name);
const Form* find(const QString& name);
// The registered names, sorted.
QStringList names();
// A new instance of its own, not the live one; null for an unknown name or a failing factory.
std::unique_ptr<QWidget> create(const QString& name);
// The registered forms that the background loading step creates.
QStringList preloadedAt(int step);

void setFrame(Frame* frame);
Frame* frame();

// Announces a loaded form; it is the live instance of its name until it is destroyed.
void live(QWidget* form);
// The live instance; null when there is none.
QWidget* instance(const QString& name);
// The live instance, else one created now from the factory (a form registered with an action
// is not created) and adopted by the frame. where names the error trap around the factory.
QWidget* load(const QString& name, const char* where = "FormService.Load");

// Through the frame's child switch; without a frame as run(). False when it did not come.
bool open(const QString& name, const QString& action = QStringLiteral("Show"), const QStringList& args = {});
// Runs an operation without showing the form: the instance's invokable method of that name (compared
// without regard to case when no method has the exact spelling)
// (no argument, one argument as a QVariant, several as one QStringList), else the registered
// action; else one log line. False when nothing ran.
bool run(const QString& name, const QString& action, const QStringList& args = {});
// The one line for a form (or "form.operation") that is not there: "<what> - not available".
void notAvailable(const QString& what);

}  // namespace jex::forms

// In the form's own folder, at the start of a line inside namespace jex: the registration of form
// name, a function name##Form() that the build's list of forms (app/formlist.cpp) calls, e.g.
//   JEX_FORM_REGISTRATION(frmUser, {.create = [] { return std::make_unique<frmUser>(); }, .preload = 5})
#define JEX_FORM_REGISTRATION(formName, ...) \
  ::jex::forms::Form formName##Form() {      \
    ::jex::forms::Form form __VA_ARGS__;     \
    form.name = QStringLiteral(#formName);   \
    return form;                             \
  }
