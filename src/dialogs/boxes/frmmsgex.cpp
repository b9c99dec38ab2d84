#include "dialogs/boxes/frmmsgex.h"

#include "base/log.h"
#include "context/appcontext.h"
#include "localisation/frmlocalizer.h"
#include "users/cuser.h"
#include "widgets/accessibility.h"
#include "widgets/formservice.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace jex {

namespace {
constexpr qint16 kResults[] = {msgbox::Yes, msgbox::No, msgbox::Cancel, msgbox::OK};
}

frmMsgEx::frmMsgEx() : BoxForm(QStringLiteral("frmMsgEx")) {
  WriteLog(QStringLiteral("frmMsgEx_Load"), kDetail);
  imgExclamation_ = new QLabel(this);
  imgExclamation_->setObjectName(QStringLiteral("imgExclamation"));
  imgExclamation_->setProperty(loc::kKindProperty, QStringLiteral("picture"));
  const int icon = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  imgExclamation_->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(icon, icon));
  imgExclamation_->setAlignment(Qt::AlignTop);
  imgExclamation_->hide();
  nl_Msg_ = addMessageLabel(QStringLiteral("nl_Msg"));
  nl_Msg_->setMinimumWidth(231);
  chkBox_ = new QCheckBox(QStringLiteral("diese Frage nicht mehr stellen"), this);
  chkBox_->setObjectName(QStringLiteral("chkBox"));
  chkBox_->hide();

  auto* message = new QHBoxLayout;
  message->addWidget(imgExclamation_);
  message->addWidget(nl_Msg_, 1);
  auto* row = new QHBoxLayout;
  row->addStretch();
  const char* captions[] = {"Ja", "Nein", "abbrechen", "OK"};
  for (int i = 0; i < 4; ++i) {
    QPushButton* b = addButton(i, QString::fromUtf8(captions[i]));
    b->hide();
    b->installEventFilter(this);
    row->addWidget(b);
  }
  row->addStretch();
  setDefaultButton(0);
  setCancelButton(3);
  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(15, 15, 15, 15);
  top->addLayout(message);
  top->addWidget(chkBox_);
  top->addLayout(row);
  localize();
}

frmMsgEx::~frmMsgEx() {
  WriteLog(QStringLiteral("frmMsgEx_UnLoad"), kDetail);
  WriteLog(QStringLiteral("frmMsgEx_Terminate"), kDetail);
}

void frmMsgEx::prepare(const QString& message, int kind) {
  trap("frmMsgEx.prepare", [&] {
    setTitle(appContext().appTitle());
    QList<int> shown;
    switch (kind) {
      case msgbox::kSaveQuestion:
        chkBox_->show();
        shown = {0, 1, 2};
        setCancelButton(2);
        break;
      case msgbox::kYesNo:
        shown = {0, 1};
        setCancelButton(1);
        break;
      case msgbox::kOkOnly:
        shown = {3};
        break;
      default:
        break;
    }
    imgExclamation_->setVisible(kind >= msgbox::kSaveQuestion && kind <= msgbox::kOkOnly);
    for (int i = 0; i < 4; ++i) button(i)->setVisible(shown.contains(i));
    firstFocus_ = shown.isEmpty() ? nullptr : button(shown.first());
    setMessage(nl_Msg_, message);
    setFocusOnShow(firstFocus_);
    if (firstFocus_) ui::setBuddy(nl_Msg_, firstFocus_);
  });
}

void frmMsgEx::showModal() { execInFront(); }

void frmMsgEx::buttonPressed(int index) {
  if (index >= 0 && index < 4) result_ = kResults[index];
  hide();
}

bool frmMsgEx::pressAccessKey(int key) {
  for (int i = 0; i < 4; ++i) {
    QPushButton* b = button(i);
    if (!b->isVisible()) continue;
    const QString caption = b->text();
    const int at = caption.startsWith(QLatin1Char('&')) ? 1 : 0;
    if (caption.size() > at && caption.at(at).unicode() == key) {
      b->click();
      return true;
    }
  }
  return false;
}

bool frmMsgEx::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyRelease) {
    auto* key = static_cast<QKeyEvent*>(event);
    const auto held = key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (!key->isAutoRepeat() && held == Qt::NoModifier &&
        trapped("frmMsgEx.cmdBtn_KeyUp", false, [&] { return pressAccessKey(key->key()); }))
      return true;
  }
  return BoxForm::eventFilter(watched, event);
}

void frmMsgEx::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton && (event->modifiers() & Qt::ControlModifier)) {
    trap("frmMsgEx.MouseDown", [&] { frmLocalizer().EditControls(this); });
    return;
  }
  BoxForm::mousePressEvent(event);
}

qint16 MsgBoxEx(const QString& message, int kind) {
  return trapped("MsgBoxEx", msgbox::Cancel, [&]() -> qint16 {
    const std::shared_ptr<cUser> user = appContext().currentUser();
    frmMsgEx form;
    if (kind == msgbox::kSaveQuestion && user && user->Ask2Save() == 0) return msgbox::No;
    form.prepare(message, kind);
    form.showModal();
    if (appContext().quitting()) return form.result();
    if (kind == msgbox::kSaveQuestion && form.chkBox()->isChecked() && user) user->setAsk2Save(0);
    return form.result();
  });
}

JEX_FORM_REGISTRATION(frmMsgEx, {.create = [] { return std::make_unique<frmMsgEx>(); }})

}  // namespace jex
