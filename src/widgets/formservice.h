// The form service: every form of the program by name.
//
// A form joins with one registration, written in its own folder: its name, the factory that
// creates it hidden, the step of the start-up's background loading that creates it, for a form
// that opens windows of its own (the script boxes) the operations it offers without an instance,
// and what the main window knows of it: the menu button of its family and the commands and menu
// entries that reach it.
//
//   // src/dialogs/speech/frmvoices.cpp
//   JEX_FORM_REGISTRATION(frmVoices, {.create = [] { return std::make_unique<frmVoices>(); }, .preload = 3,
//                                     .menuButton = 2, .commands = {{.name = QStringLiteral("DLGSPEECH")}}})
//
// The build lists every registration it finds in the sources (app/formlist.cpp), so nothing else
// names a new form. Everything reaches a form by its name: the main window's commands and menu
// entries, Funcs and the scripts. A name with no form behind it writes one line,
// "<name> - not available".
//
// The live instance of a form is the dialog that was loaded (every ChildDialog announces itself
// with live()) or the one the service created from the factory. Form names compare without regard
// to case; command and menu entry names are exact.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

namespace jex::forms {

inline constexpr int kNoPreload = -1;
inline constexpr int kNoButton = -1;

using Factory = std::function<std::unique_ptr<QWidget>()>;
// An operation by name with its arguments (a form's own window, a box that shows itself).
using Action = std::function<void(const QString& action, const QStringList& args)>;

// What a command from the core or a menu entry of the main window runs on a form.
struct Route {
  QString name{};                           // the command ("DLGSPEECH") or menu entry ("mnuBrailleDevice")
  QString action = QStringLiteral("Show");  // "Show" with a control's name gives that control the focus
  QStringList args{};
  std::function<QString()> first{};  // an argument read when it runs, before args (e.g. the last application)
  bool show = true;                  // through the child switch and shown; false: run on the form as it is
};

struct Form {
  QString name{};
  Factory create{};          // a new instance, hidden; also what the language-file check builds
  int preload = kNoPreload;  // the background loading step (0 ..) that creates it at start-up
  Action action{};           // operations offered without an instance; null: the instance's own
  // The main window's button of the form's family, marked while it shows; kNoButton: none. A form
  // that names none has button 0.
  std::optional<int> menuButton{};
  QList<Route> commands{};     // the commands from the core that reach it
  QList<Route> menuEntries{};  // the main window's menu entries that reach it
};

// Where a command or a menu entry leads.
struct Target {
  QString form;
  Route route;
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

// Registers form (or replaces the registration of that name); the menu button, commands and
// menu entries it names replace those given before.
void add(Form form);
// Registers form unless one of that name is registered already (a stand-in stays); its menu
// button, commands and menu entries join where no registration has given them.
void addDefault(Form form);
// Only the menu button, commands and menu entries of a form that is not there yet, where no
// registration has given them: they lead to "<name> - not available" until the form comes.
void addRoutes(const Form& form);
// Drops the registration; an instance the service created and nobody adopted is deleted. The
// menu button and routes stay: they name the form, whatever stands behind the name.
void remove(const QString& name);
bool contains(const QString& name);
const Form* find(const QString& name);
// The registered names, sorted.
QStringList names();
// A new instance of its own, not the live one; null for an unknown name or a failing factory.
std::unique_ptr<QWidget> create(const QString& name);
// The registered forms that the background loading step creates.
QStringList preloadedAt(int step);

// Where a command from the core (command) or a menu entry (menuEntry) leads; null when no
// registration names it.
const Target* command(const QString& name);
const Target* menuEntry(const QString& name);
// The main window's button of the form's family; 0 when no registration names one.
int menuButton(const QString& form);

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
