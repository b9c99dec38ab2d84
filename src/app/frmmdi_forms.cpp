// frmMDI: the forms that commands and menu entries reach by name, through the form service
// (widgets/formservice.h); the main window is the service's frame.
//
//   openForm(name, action, args)  the child switch, then the form is shown: a dialog (loaded, or
//                                 created now from its registration) by the main window itself,
//                                 any other registered form by its action; an action other than
//                                 "Show" then runs
//   formAction(name, action, args) runs an operation of the form without the child switch
//   openTarget(target)             where a command or menu entry leads, as a registration names
//                                  it: openForm, or formAction for a form used as it is
//
// A form that is neither loaded nor registered gives one log line; nothing stands in for it.
#include "app/frmmain.h"
#include "app/frmmdi.h"
#include "base/error.h"
#include "base/log.h"
#include "global/cnotifysink.h"
#include "widgets/accessibility.h"

namespace jex {
namespace {
const QString kShow = QStringLiteral("Show");
}  // namespace

bool frmMDI::openForm(const QString& name, const QString& action, const QStringList& args) {
  return trapped("frmMDI.OpenForm", false, [&] {
    auto* dialog = qobject_cast<ChildDialog*>(forms::load(name));
    if (!dialog && !forms::contains(name)) {
      forms::notAvailable(name);
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
  trap("frmMDI.FormAction", [&] { forms::run(name, action, args); });
}

bool frmMDI::openTarget(forms::Target target) {
  const forms::Route& route = target.route;
  QStringList args = route.args;
  if (route.first) args.prepend(route.first());
  if (route.show) return openForm(target.form, route.action, args);
  formAction(target.form, route.action, args);
  return true;
}

void frmMDI::adopt(QWidget& form) {
  if (auto* dialog = qobject_cast<ChildDialog*>(&form)) dialog->ChildLoad();
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
  // The first control Tab reaches (the dialog's title and other labels come before it).
  QWidget* first = form.nextInFocusChain();
  while (first && first != &form && form.isAncestorOf(first) && !ui::isTabStop(first))
    first = first->nextInFocusChain();
  if (first && form.isAncestorOf(first)) first->setFocus();
  return true;
}

void frmMDI::callOnActiveChild(const char* operation, int index) {
  ChildDialog* child = activeChild();
  if (!child) {
    WriteLog(QString::fromLatin1(operation) + QStringLiteral(": no active dialog"), kDetail);
    return;
  }
  formAction(child->objectName(), QString::fromLatin1(operation),
             index >= 0 ? QStringList{QString::number(index)} : QStringList());
}

std::shared_ptr<cNotifySink> frmMDI::notificationSink() const { return sink_; }

}  // namespace jex
