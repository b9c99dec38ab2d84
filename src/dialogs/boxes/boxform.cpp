#include "dialogs/boxes/boxform.h"

#include <QHBoxLayout>

#include "base/error.h"
#include "context/appcontext.h"
#include "localisation/formregistry.h"
#include "localisation/frmlocalizer.h"
#include "localisation/localizable.h"
#include "platform/foreground.h"
#include "widgets/accessibility.h"
#include "widgets/buttonkeys.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace jex {

BoxForm::BoxForm(const QString& name, QWidget* parent) : QDialog(parent) {
  setObjectName(name);
  setSizeGripEnabled(false);
  ui::pressFocusedButtonOnEnter();
}

QPushButton* BoxForm::button(int index) const {
  return index >= 0 && index < buttons_.size() ? buttons_.at(index) : nullptr;
}

int BoxForm::maximumBoxWidth() const {
  const QScreen* s = screen();
  return s ? s->availableGeometry().width() : 800;
}

QPushButton* BoxForm::addButton(int index, const QString& caption) {
  auto* b = new QPushButton(caption, this);
  b->setObjectName(QStringLiteral("cmdBtn"));
  loc::setArrayIndex(b, index);
  b->setAutoDefault(true);
  if (buttons_.size() <= index) buttons_.resize(index + 1, nullptr);
  buttons_[index] = b;
  connect(b, &QPushButton::clicked, this,
          [this, index] { trap("BoxForm.cmdBtn_Click", [&] { buttonPressed(index); }); });
  return b;
}

void BoxForm::setDefaultButton(int index) {
  for (QPushButton* b : buttons_)
    if (b) b->setDefault(b == button(index));
  defaultButton_ = index;
}

void BoxForm::setCancelButton(int index) { cancelButton_ = index; }

QLabel* BoxForm::addMessageLabel(const QString& name) {
  auto* label = new QLabel(this);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setMaximumWidth(maximumBoxWidth() - 30);
  return label;
}

void BoxForm::setMessage(QLabel* label, const QString& text) {
  trap("BoxForm.setMessage", [&] {
    label->setText(text);
    setAccessibleDescription(text);
  });
}

void BoxForm::setTitle(const QString& title, const QString& fallback) {
  QString t = title.isEmpty() ? fallback : title;
  t.replace(QLatin1String("\r\n"), QLatin1String(" "));
  t.replace(QLatin1Char('\r'), QLatin1Char(' '));
  t.replace(QLatin1Char('\n'), QLatin1Char(' '));
  setWindowTitle(t);
}

void BoxForm::localize() {
  trap("BoxForm.localize", [&] {
    frmLocalizer().Localize(this);
    ui::refreshAccessibility(this);
  });
}

void BoxForm::bringToFront() {
  trap("BoxForm.bringToFront", [&] {
    platform::ForceForeground(this, appContext().foregroundMethod());
    if (focusOnShow_ && focusOnShow_->isVisibleTo(this)) focusOnShow_->setFocus(Qt::ActiveWindowFocusReason);
  });
}

void BoxForm::fitToScreen() {
  adjustSize();
  if (width() > maximumBoxWidth()) resize(maximumBoxWidth(), height());
}

void BoxForm::showInFront(QWidget* focus) {
  focusOnShow_ = focus;
  fitToScreen();
  show();
}

void BoxForm::execInFront() {
  fitToScreen();
  exec();
}

void BoxForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  bringToFront();
}

void BoxForm::keyPressEvent(QKeyEvent* event) {
  const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  if (plain && event->key() == Qt::Key_Escape) {
    // Escape is the cancel button's; without a visible one it does nothing (the close box
    // remains).
    QPushButton* cancel = button(cancelButton_);
    if (cancel && cancel->isVisible() && cancel->isEnabled()) cancel->click();
    return;
  }
  QDialog::keyPressEvent(event);
}

QHBoxLayout* BoxForm::okCancelRow() {
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(addButton(0, QStringLiteral("OK")));
  row->addWidget(addButton(1, QStringLiteral("Abbrechen")));
  setDefaultButton(0);
  setCancelButton(1);
  return row;
}

}  // namespace jex
