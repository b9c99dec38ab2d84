// frmMDI: the forms that commands and menu entries reach by name, through one path.
//
//   openForm(name, action, args)  the child switch, then the form is shown: a loaded dialog
//                                 (ChildDialog) by the main window itself, any other form by the
//                                 action it registered; an action other than "Show" then runs
//   formAction(name, action, args) runs an operation of the form without the child switch: the
//                                 loaded dialog's invokable method of that name, or else the
//                                 form's registered action
//
// A form that is neither loaded nor registered is logged as not available; nothing stands in
// for it.
#include <QHash>
#include <QMetaMethod>
#include <QMetaObject>

#include "core/base/error.h"
#include "core/base/log.h"
#include "core/forms/frmmain.h"
#include "core/frmmdi.h"
#include "core/global/cnotifysink.h"

namespace jex {
namespace {
const QString kShow = QStringLiteral("Show");

QHash<QString, frmMDI::FormAction>& registered() {
  static QHash<QString, frmMDI::FormAction> table;
  return table;
}

void notAvailable(const QString& what) { WriteLog(what + QStringLiteral(" - not available"), kDetail); }

bool hasMethod(const QObject& object, const QByteArray& name) {
  const QMetaObject* meta = object.metaObject();
  for (int i = 0; i < meta->methodCount(); ++i)
    if (meta->method(i).name() == name) return true;
  return false;
}

// Calls the dialog's invokable method action with the arguments (none, one, or all as a list).
bool invoke(ChildDialog& dialog, const QString& action, const QStringList& args) {
  const QByteArray method = action.toLatin1();
  if (!hasMethod(dialog, method)) return false;
  if (args.isEmpty()) return QMetaObject::invokeMethod(&dialog, method.constData(), Qt::DirectConnection);
  const QVariant arg = args.size() == 1 ? QVariant(args.first()) : QVariant(args);
  return QMetaObject::invokeMethod(&dialog, method.constData(), Qt::DirectConnection, Q_ARG(QVariant, arg));
}
}  // namespace

void frmMDI::registerForm(const QString& name, FormAction action) { registered().insert(name, std::move(action)); }
void frmMDI::unregisterForm(const QString& name) { registered().remove(name); }

bool frmMDI::openForm(const QString& name, const QString& action, const QStringList& args) {
  return trapped("frmMDI.OpenForm", false, [&] {
    ChildDialog* dialog = ChildDialog::find(name);
    if (!dialog && !registered().contains(name)) {
      notAvailable(name);
      return false;
    }
    if (dialog ? !showChild(*dialog) : !QueryHideChild(nullptr)) return false;
    if (!dialog || action != kShow) {
      formAction(name, action, args);
    } else if (!args.isEmpty()) {
      // "Show" with a control's name: that control gets the focus.
      if (auto* control = dialog->findChild<QWidget*>(args.first())) control->setFocus(Qt::OtherFocusReason);
    }
    return true;
  });
}

void frmMDI::formAction(const QString& name, const QString& action, const QStringList& args) {
  trap("frmMDI.FormAction", [&] {
    ChildDialog* dialog = ChildDialog::find(name);
    if (dialog && invoke(*dialog, action, args)) return;
    const auto it = registered().constFind(name);
    if (it != registered().constEnd()) {
      (*it)(action, args);
      return;
    }
    notAvailable(dialog ? name + u'.' + action : name);
  });
}

ChildDialog* frmMDI::activeChild() const {
  for (ChildDialog* d : client_->findChildren<ChildDialog*>(Qt::FindDirectChildrenOnly))
    if (d != home_ && d->isVisibleTo(client_)) return d;
  return nullptr;
}

bool frmMDI::showChild(ChildDialog& form) {
  if (!QueryHideChild(&form)) return false;
  if (home_ && &form != home_) home_->hide();
  if (form.parentWidget() != client_) form.ChildLoad();
  form.show();
  if (QWidget* first = form.nextInFocusChain(); first && form.isAncestorOf(first)) first->setFocus();
  return true;
}

void frmMDI::callOnActiveChild(const char* operation, int index) {
  ChildDialog* child = activeChild();
  if (!child) {
    WriteLog(QString::fromLatin1(operation) + QStringLiteral(": no active dialog"), kDetail);
    return;
  }
  formAction(child->objectName(), QString::fromLatin1(operation), index >= 0 ? QStringList{QString::number(index)} : QStringList());
}

std::shared_ptr<cNotifySink> frmMDI::notificationSink() const { return sink_; }

}  // namespace jex
