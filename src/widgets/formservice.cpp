#include "widgets/formservice.h"

#include <QHash>
#include <QMap>
#include <QMetaMethod>
#include <QMetaObject>
#include <QPointer>

#include "base/error.h"
#include "base/log.h"

namespace jex::forms {
namespace {

struct State {
  QMap<QString, Form> forms;         // keyed by the upper-cased name
  QHash<QString, Target> commands;   // by the command's name
  QHash<QString, Target> entries;    // by the menu entry's name
  QHash<QString, int> buttons;       // by the upper-cased form name
  QList<QPointer<QWidget>> live;     // loaded forms, newest last
  QList<QPointer<QWidget>> created;  // created here and not yet adopted by a parent
  Frame* frame = nullptr;
};

State& state() {
  static State s;
  return s;
}

QString key(const QString& name) { return name.toUpper(); }

// The form's method called name: the exact spelling first, else the one that differs only in
// case ("SPEEDMAX" finds SpeedMax). Empty when there is none.
QByteArray methodNamed(const QObject& object, const QByteArray& name) {
  const QMetaObject* meta = object.metaObject();
  QByteArray found;
  for (int i = 0; i < meta->methodCount(); ++i) {
    const QByteArray m = meta->method(i).name();
    if (m == name) return m;
    if (found.isEmpty() && m.compare(name, Qt::CaseInsensitive) == 0) found = m;
  }
  return found;
}

bool invoke(QWidget& form, const QString& action, const QStringList& args) {
  const QByteArray method = methodNamed(form, action.toLatin1());
  if (method.isEmpty()) return false;
  if (args.isEmpty()) return QMetaObject::invokeMethod(&form, method.constData(), Qt::DirectConnection);
  const QVariant arg = args.size() == 1 ? QVariant(args.first()) : QVariant(args);
  return QMetaObject::invokeMethod(&form, method.constData(), Qt::DirectConnection, Q_ARG(QVariant, arg));
}
// The form's menu button and routes; replace: over those given before, else only where none is.
void route(const Form& form, bool replace) {
  State& s = state();
  const auto put = [&](auto& hash, const auto& k, auto value) {
    if (replace || !hash.contains(k)) hash.insert(k, std::move(value));
  };
  if (form.menuButton) put(s.buttons, key(form.name), *form.menuButton);
  for (const Route& r : form.commands) put(s.commands, r.name, Target{form.name, r});
  for (const Route& r : form.menuEntries) put(s.entries, r.name, Target{form.name, r});
}
}  // namespace

void add(Form form) {
  route(form, true);
  const QString k = key(form.name);
  state().forms.insert(k, std::move(form));
}

void addDefault(Form form) {
  route(form, false);
  if (!contains(form.name)) state().forms.insert(key(form.name), std::move(form));
}

void addRoutes(const Form& form) { route(form, false); }

void remove(const QString& name) {
  state().forms.remove(key(name));
  auto& created = state().created;
  for (qsizetype i = created.size() - 1; i >= 0; --i) {
    QWidget* w = created.at(i);
    if (w && w->objectName().compare(name, Qt::CaseInsensitive) != 0) continue;
    created.removeAt(i);
    if (w && !w->parent()) delete w;
  }
}

bool contains(const QString& name) { return state().forms.contains(key(name)); }

const Form* find(const QString& name) {
  const auto it = state().forms.constFind(key(name));
  return it == state().forms.constEnd() ? nullptr : &*it;
}

QStringList names() {
  QStringList out;
  for (const Form& f : state().forms) out << f.name;
  out.sort(Qt::CaseInsensitive);
  return out;
}

std::unique_ptr<QWidget> create(const QString& name) {
  return trapped("FormService.Create", std::unique_ptr<QWidget>(), [&] {
    const Form* f = find(name);
    return f && f->create ? f->create() : std::unique_ptr<QWidget>();
  });
}

QStringList preloadedAt(int step) {
  QStringList out;
  if (step < 0) return out;
  for (const Form& f : state().forms)
    if (f.preload == step) out << f.name;
  return out;
}

const Target* command(const QString& name) {
  const auto it = state().commands.constFind(name);
  return it == state().commands.constEnd() ? nullptr : &*it;
}

const Target* menuEntry(const QString& name) {
  const auto it = state().entries.constFind(name);
  return it == state().entries.constEnd() ? nullptr : &*it;
}

int menuButton(const QString& form) { return state().buttons.value(key(form), 0); }

void setFrame(Frame* frame) { state().frame = frame; }
Frame* frame() { return state().frame; }

void live(QWidget* form) {
  if (form) state().live.append(form);
}

QWidget* instance(const QString& name) {
  auto& all = state().live;
  all.removeAll(nullptr);
  for (qsizetype i = all.size() - 1; i >= 0; --i)
    if (all.at(i)->objectName().compare(name, Qt::CaseInsensitive) == 0) return all.at(i);
  return nullptr;
}

QWidget* load(const QString& name, const char* where) {
  if (QWidget* form = instance(name)) return form;
  const Form* f = find(name);
  if (!f || !f->create || f->action) return nullptr;
  QWidget* form = nullptr;
  trap(where, [&] {
    std::unique_ptr<QWidget> made = f->create();
    if (!made) return;
    if (made->objectName().isEmpty()) made->setObjectName(f->name);
    form = made.release();
    live(form);
    state().created.append(form);
    if (Frame* fr = state().frame) fr->adopt(*form);
  });
  return form;
}

bool open(const QString& name, const QString& action, const QStringList& args) {
  if (Frame* fr = state().frame) return fr->openForm(name, action, args);
  return run(name, action, args);
}

bool run(const QString& name, const QString& action, const QStringList& args) {
  return trapped("FormService.Run", false, [&] {
    const Form* f = find(name);
    QWidget* form = f && f->action ? instance(name) : load(name);
    if (form && invoke(*form, action, args)) return true;
    if (f && f->action) {
      f->action(action, args);
      return true;
    }
    notAvailable(form ? name + u'.' + action : name);
    return false;
  });
}

void notAvailable(const QString& what) { WriteLog(what + QStringLiteral(" - not available"), kDetail); }

}  // namespace jex::forms
