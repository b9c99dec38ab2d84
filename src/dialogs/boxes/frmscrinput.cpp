#include "dialogs/boxes/frmscrinput.h"

#include "base/log.h"
#include "dialogs/boxes/standardcaptions.h"
#include "widgets/accessibility.h"
#include "widgets/formservice.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace jex {

frmSCRInput::frmSCRInput() : ScriptBox(QStringLiteral("frmSCRInput"), QStringLiteral("OnInputBox")) {
  WriteLog(QStringLiteral("frmInput2_Load"), kDetail);
  setWindowTitle(QStringLiteral("Halda"));
  nl_Msg_ = addMessageLabel(QStringLiteral("nl_Msg"));
  nl_Msg_->setFixedWidth(kDesignLabelWidth);
  txtInput_ = new QLineEdit(this);
  txtInput_->setObjectName(QStringLiteral("txtInput"));
  txtInput_->setFixedWidth(kDesignLabelWidth);
  ui::setBuddy(nl_Msg_, txtInput_);

  QHBoxLayout* row = okCancelRow();
  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(kSideSpace / 2, 10, kSideSpace / 2, 10);
  top->setSizeConstraint(QLayout::SetFixedSize);
  top->addWidget(nl_Msg_);
  top->addWidget(txtInput_);
  top->addLayout(row);
  localize();
}

void frmSCRInput::setDefaultText(const QString& text) {
  if (text.isEmpty()) return;
  txtInput_->setText(text);
  txtInput_->setSelection(0, int(text.size()));
}

void frmSCRInput::ShowInputBox(const QString& prompt) {
  trap("frmSCRInput.ShowInputBox", [&] {
    setMessage(nl_Msg_, prompt);
    // Automatic sizing: the width of the prompt on one line, bounded by the screen.
    nl_Msg_->setWordWrap(false);
    const int natural = nl_Msg_->sizeHint().width();
    nl_Msg_->setWordWrap(true);
    if (natural > kDesignLabelWidth) {
      const int width = qMin(natural, maximumBoxWidth() - kSideSpace);
      nl_Msg_->setFixedWidth(width);
      txtInput_->setFixedWidth(width);
    }
    button(0)->setText(StandardCaption(StdCaption::OK));
    button(1)->setText(StandardCaption(StdCaption::Cancel));
    showInFront(txtInput_);
  });
}

void frmSCRInput::buttonPressed(int index) { answer(index == 0 ? txtInput_->text() : QString()); }

frmSCRInput* ScriptInputBox(const QString& prompt, const QString& title, const QString& defaultText,
                            const QString& cookie) {
  return openScriptBox<frmSCRInput>("ScriptInputBox", cookie, [&](frmSCRInput& box) {
    if (!title.isEmpty()) box.setTitle(title);
    box.setDefaultText(defaultText);
    box.ShowInputBox(prompt);
  });
}

// "ShowInputBox" with prompt, title, default text and cookie: a box of its own for each call.
JEX_FORM_REGISTRATION(frmSCRInput, {.create = [] { return std::make_unique<frmSCRInput>(); },
                                    .action = scriptBoxAction(QStringLiteral("frmSCRInput"),
                                                              QStringLiteral("ShowInputBox"), &ScriptInputBox)})

}  // namespace jex
