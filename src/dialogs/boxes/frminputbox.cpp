#include "dialogs/boxes/frminputbox.h"

#include "base/log.h"
#include "context/appcontext.h"
#include "widgets/accessibility.h"
#include "widgets/formservice.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace jex {

frmInputBox::frmInputBox() : BoxForm(QStringLiteral("frmInputBox")) {
  WriteLog(QStringLiteral("frmInputEx_Load"), kDetail);
  nl_Msg_ = addMessageLabel(QStringLiteral("nl_Msg"));
  nl_Msg_->setMinimumWidth(231);
  nl_Input_ = new QLineEdit(this);
  nl_Input_->setObjectName(QStringLiteral("nl_Input"));
  ui::setBuddy(nl_Msg_, nl_Input_);
  setFocusOnShow(nl_Input_);

  QHBoxLayout* row = okCancelRow();
  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(15, 10, 15, 10);
  top->addWidget(nl_Msg_);
  top->addWidget(nl_Input_);
  top->addLayout(row);
  localize();
}

void frmInputBox::setPrompt(const QString& prompt) { setMessage(nl_Msg_, prompt); }

void frmInputBox::setDefault(const QString& text) {
  nl_Input_->setText(text);
  nl_Input_->selectAll();
}

void frmInputBox::showModal() { execInFront(); }

void frmInputBox::buttonPressed(int index) {
  result_ = index == 0 ? nl_Input_->text() : QString();
  hide();
}

QString InputBoxEx(const QString& prompt, const QString& defaultText) {
  return trapped("InputBoxEx", QString(), [&] {
    frmInputBox form;
    form.setTitle(appContext().appTitle());
    form.setPrompt(prompt);
    form.setDefault(defaultText);
    form.showModal();
    return appContext().quitting() ? QString() : form.result();
  });
}

JEX_FORM_REGISTRATION(frmInputBox, {.create = [] { return std::make_unique<frmInputBox>(); }})

}  // namespace jex
