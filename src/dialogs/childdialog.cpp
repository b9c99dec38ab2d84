#include "dialogs/childdialog.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "base/error.h"
#include "base/log.h"
#include "dialogs/boxes/frmmsgex.h"
#include "global/cnotifysink.h"
#include "localisation/frmlocalizer.h"
#include "localisation/localizable.h"
#include "widgets/buttonkeys.h"
#include "widgets/formservice.h"

namespace jex {
namespace {
const char* const kAsk2Save = "Die Einstellungen wurden geändert. Sollen die Änderungen gespeichert werden?";
const QString kSharedSection = QStringLiteral("frmMain");  // the shared message texts

ChildHost*& hostSlot() {
  static ChildHost* h = nullptr;
  return h;
}
QList<ChildDialog*>& dialogs() {
  static QList<ChildDialog*> list;
  return list;
}
}  // namespace

ChildDialog::ChildDialog(const QString& name, const QString& title, QWidget* parent) : QWidget(parent) {
  setObjectName(name);
  setProperty(loc::kFormProperty, true);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  lblTitle_ = new QLabel(title, this);
  lblTitle_->setObjectName(QStringLiteral("lblTitle"));
  column->addWidget(lblTitle_);
  lblAsk2Save_ = new QLabel(QString::fromUtf8(kAsk2Save), this);
  lblAsk2Save_->setObjectName(QStringLiteral("lblAsk2Save"));
  lblAsk2Save_->setVisible(false);
  content_ = new QVBoxLayout;
  column->addLayout(content_, 1);
  setVisible(false);
  dialogs().append(this);
  forms::live(this);
  ui::pressFocusedButtonOnEnter();
}

ChildDialog::~ChildDialog() {
  ChildUnload();
  dialogs().removeAll(this);
}

void ChildDialog::setHost(ChildHost* host) { hostSlot() = host; }
ChildHost* ChildDialog::host() { return hostSlot(); }
QList<ChildDialog*> ChildDialog::loaded() { return dialogs(); }

ChildDialog* ChildDialog::find(const QString& name) {
  for (ChildDialog* d : dialogs())
    if (d->objectName().compare(name, Qt::CaseInsensitive) == 0) return d;
  return nullptr;
}

void ChildDialog::ChildLoad() {
  trap("ChildDialog.ChildLoad", [this] {
    WriteLog(objectName() + QStringLiteral("_load"), kDetail);
    if (ChildHost* h = host()) {
      if (QWidget* frame = h->childFrame(); frame && parentWidget() != frame) {
        setParent(frame);
        if (frame->layout()) frame->layout()->addWidget(this);
      }
      move(0, 0);
    }
    setVisible(false);
    localise();
    rememberLoadedValues();
    if (ChildHost* h = host()) listen(h->notificationSink());
  });
}

void ChildDialog::ChildUnload() { listen(nullptr); }

// The shared save question first, then the dialog's own texts over it.
void ChildDialog::localise() {
  trap(qPrintable(objectName() + QStringLiteral(".Localize")), [this] {
    const QString shared = frmLocalizer().DlgIni().GetLeftSide(kSharedSection, lblAsk2Save_->objectName());
    lblAsk2Save_->setText(shared.isEmpty() ? QString::fromUtf8(kAsk2Save) : shared);
  });
  frmLocalizer().Localize(this);
}

void ChildDialog::listen(std::shared_ptr<cNotifySink> sink) {
  if (sink == m_Notifier) return;
  QObject::disconnect(notifierConnection_);
  m_Notifier = std::move(sink);
  if (m_Notifier)
    notifierConnection_ =
        connect(m_Notifier.get(), &cNotifySink::HandleCmdEvent, this, &ChildDialog::sinkCmd, Qt::DirectConnection);
}

void ChildDialog::sinkCmd(QString& command) {
  trap(qPrintable(objectName() + QStringLiteral(".MyNotifier_HandleCmd")), [&] { handleCmd(command.toUpper()); });
}

void ChildDialog::track(QWidget* control) {
  if (control) loadedValues_.insert(control, valueOf(control));
}

void ChildDialog::rememberLoadedValues() {
  for (auto it = loadedValues_.begin(); it != loadedValues_.end(); ++it) it.value() = valueOf(it.key());
}

bool ChildDialog::changed() const {
  for (auto it = loadedValues_.cbegin(); it != loadedValues_.cend(); ++it)
    if (valueOf(it.key()) != it.value()) return true;
  return false;
}

void ChildDialog::revert() {
  for (auto it = loadedValues_.cbegin(); it != loadedValues_.cend(); ++it) setValue(it.key(), it.value());
}

QString ChildDialog::saveQuestion() const { return lblAsk2Save_->text(); }

bool ChildDialog::handleCmd(const QString& command) {
  return trapped(qPrintable(objectName() + QStringLiteral(".HandleCmd")), false, [&] {
    if (command == QLatin1String("UI_QUERYHIDECHILD")) {
      ChildHost* h = host();
      if (h && h->activeChild() == this) queryHide();
      return true;
    }
    if (command == QLatin1String("UI_LNGCHANGE")) {
      localise();
      return true;
    }
    return false;
  });
}

bool ChildDialog::queryHide() {
  if (asking_) {
    WriteLog(objectName() + QStringLiteral(": the save question is open already"), kDetail);
    return false;
  }
  if (changed()) {
    asking_ = true;
    const qint16 answer = MsgBoxEx(saveQuestion(), msgbox::kSaveQuestion);
    asking_ = false;
    switch (answer) {
      case msgbox::Yes:
        store();
        rememberLoadedValues();
        break;
      case msgbox::No:
        revert();
        break;
      default:
        return false;
    }
  }
  hideChild();
  return true;
}

void ChildDialog::hideChild() {
  const bool wasVisible = isVisible();
  hide();
  if (wasVisible)
    if (ChildHost* h = host()) h->childClosed(*this);
}

void ChildDialog::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (ChildHost* h = host()) h->childActivates(*this);
}

void ChildDialog::closeEvent(QCloseEvent* event) {
  event->ignore();  // hidden, not unloaded
  queryHide();
}

QVariant ChildDialog::valueOf(const QWidget* control) {
  if (auto* b = qobject_cast<const QAbstractButton*>(control)) return b->isChecked();
  if (auto* e = qobject_cast<const QLineEdit*>(control)) return e->text();
  if (auto* c = qobject_cast<const QComboBox*>(control)) return c->currentIndex();
  if (auto* s = qobject_cast<const QSpinBox*>(control)) return s->value();
  if (auto* s = qobject_cast<const QDoubleSpinBox*>(control)) return s->value();
  if (auto* s = qobject_cast<const QAbstractSlider*>(control)) return s->value();
  return {};
}

void ChildDialog::setValue(QWidget* control, const QVariant& value) {
  if (auto* b = qobject_cast<QAbstractButton*>(control)) b->setChecked(value.toBool());
  else if (auto* e = qobject_cast<QLineEdit*>(control)) e->setText(value.toString());
  else if (auto* c = qobject_cast<QComboBox*>(control)) c->setCurrentIndex(value.toInt());
  else if (auto* s = qobject_cast<QSpinBox*>(control)) s->setValue(value.toInt());
  else if (auto* s = qobject_cast<QDoubleSpinBox*>(control)) s->setValue(value.toDouble());
  else if (auto* s = qobject_cast<QAbstractSlider*>(control)) s->setValue(value.toInt());
}

}  // namespace jex
