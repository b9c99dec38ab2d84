#include "dialogs/boxes/frmscrmsgbox.h"

#include "context/appcontext.h"
#include "dialogs/boxes/standardcaptions.h"
#include "widgets/accessibility.h"
#include "widgets/formservice.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace jex {

namespace {
const char* const kTags[] = {"yes", "no", "ok"};
}

frmSCRMsgBox::frmSCRMsgBox() : ScriptBox(QStringLiteral("frmSCRMsgBox"), QStringLiteral("OnMsgBoxClick")) {
  lblMsg_ = addMessageLabel(QStringLiteral("lblMsg"));
  auto* row = new QHBoxLayout;
  row->addStretch();
  for (const auto& [index, caption] : {std::pair{0, "Ja"}, std::pair{1, "Nein"}, std::pair{2, "OK"}}) {
    QPushButton* b = addButton(index, QString::fromUtf8(caption));
    b->setProperty("tag", QString::fromLatin1(kTags[index]));
    b->hide();
    row->addWidget(b);
  }
  row->addStretch();
  setCancelButton(1);
  setDefaultButton(2);
  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(15, 15, 15, 15);
  top->addWidget(lblMsg_);
  top->addLayout(row);
  localize();
}

void frmSCRMsgBox::ShowMsgBox(const QString& message, const QString& title) {
  trap("frmSCRMsgBox.ShowMsgBox", [&] {
    setMessage(lblMsg_, message);
    setTitle(title, appContext().appTitle());
    const bool yesNo = fields().Buttons.toLower() == QLatin1String("yesno");
    if (yesNo) {
      button(0)->setText(StandardCaption(StdCaption::Yes));
      button(1)->setText(StandardCaption(StdCaption::No));
    } else {
      button(2)->setText(StandardCaption(StdCaption::OK));
    }
    button(0)->setVisible(yesNo);
    button(1)->setVisible(yesNo);
    button(2)->setVisible(!yesNo);
    QPushButton* focus = yesNo ? button(0) : button(2);
    ui::setBuddy(lblMsg_, focus);
    showInFront(focus);
  });
}

void frmSCRMsgBox::buttonPressed(int index) { answer(button(index)->property("tag").toString()); }

frmSCRMsgBox* ScriptMsgBox(const QString& prompt, const QString& buttons, const QString& title, const QString& cookie) {
  return openScriptBox<frmSCRMsgBox>("ScriptMsgBox", cookie, [&](frmSCRMsgBox& box) {
    box.fields().Buttons = buttons;
    box.ShowMsgBox(prompt, title);
  });
}

// "ShowMsgBox" with prompt, buttons, title and cookie: a box of its own for each call.
JEX_FORM_REGISTRATION(frmSCRMsgBox, {.create = [] { return std::make_unique<frmSCRMsgBox>(); },
                                     .action = scriptBoxAction(QStringLiteral("frmSCRMsgBox"),
                                                               QStringLiteral("ShowMsgBox"), &ScriptMsgBox)})

}  // namespace jex
