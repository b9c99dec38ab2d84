#include "dialogs/speech/cmyslider.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QSlider>

#include "base/error.h"
#include "global/cglobal.h"

namespace jex {
namespace {
constexpr int kPage = 10;
constexpr int kSelectLength = 3;
}  // namespace

cMySlider::cMySlider(QObject* parent) : QObject(parent) {}

void cMySlider::Init(QLineEdit* tb, QSlider* sli, qint32 min, qint32 max) {
  trap("cMySlider.Init", [&] {
    if (tb_) tb_->removeEventFilter(this);
    if (sli_) disconnect(sli_, nullptr, this, nullptr);
    tb_ = tb;
    sli_ = sli;
    if (!tb_ || !sli_) return;
    tb_->installEventFilter(this);
    sli_->setOrientation(Qt::Horizontal);
    sli_->setFocusPolicy(Qt::NoFocus);
    sli_->setRange(min, max);
    connect(sli_, &QSlider::valueChanged, this, &cMySlider::sliderChanged);
    connect(sli_, &QSlider::sliderMoved, this, [this](int v) {
      tb_->setText(QString::number(v));
      selectText();
    });
    selectText();
  });
}

qint16 cMySlider::Value() const { return sli_ ? qint16(sli_->value()) : qint16(0); }

void cMySlider::setValue(qint32 v) {
  trap("cMySlider.Value", [&] {
    if (!sli_) return;
    v = std::clamp(v, sli_->minimum(), sli_->maximum());
    tb_->setText(QString::number(v));
    sli_->setValue(v);
    describe();
  });
}

void cMySlider::ShowVal(qint32 v) {
  suppress_ = true;
  setValue(v);
  suppress_ = false;
}

void cMySlider::Clear() {
  trap("cMySlider.Clear", [&] {
    if (!tb_) return;
    suppress_ = true;
    tb_->clear();
    tb_->setSelection(0, 1);
    tb_->setAccessibleDescription(QString());
    suppress_ = false;
  });
}

bool cMySlider::Enabled() const { return tb_ && tb_->isEnabled(); }

void cMySlider::setEnabled(bool on) {
  if (tb_) tb_->setEnabled(on);
  if (sli_) sli_->setEnabled(on);
}

void cMySlider::setMeaning(std::function<QString(int)> meaning) {
  meaning_ = std::move(meaning);
  describe();
}

void cMySlider::selectText() {
  if (!tb_) return;
  tb_->setSelection(0, kSelectLength);
  tb_->setFocus(Qt::OtherFocusReason);
}

void cMySlider::sliderChanged(int) {
  describe();
  if (!suppress_) emit Change();
}

void cMySlider::describe() {
  trap("cMySlider.Describe", [&] {
    if (!tb_ || !sli_ || tb_->text().isEmpty()) return;
    const int v = sli_->value();
    QString text = QString::number(v) + QStringLiteral(" %");
    if (meaning_) {
      const QString m = meaning_(v);
      if (!m.isEmpty()) text += QStringLiteral(", ") + m;
    }
    tb_->setAccessibleDescription(text);
  });
}

bool cMySlider::keyDown(int key) {
  const int v = sli_->value();
  switch (key) {
    case Qt::Key_PageUp:
      setValue(v + kPage);
      return true;
    case Qt::Key_PageDown:
      setValue(v - kPage);
      return true;
    case Qt::Key_Up:
      setValue(v + 1);
      return true;
    case Qt::Key_Down:
      setValue(v - 1);
      return true;
    case Qt::Key_End:
      setValue(sli_->maximum());
      return true;
    case Qt::Key_Home:
      setValue(sli_->minimum());
      return true;
    default:
      return false;
  }
}

void cMySlider::keyUp(int key, Qt::KeyboardModifiers mods) {
  if (key >= Qt::Key_0 && key <= Qt::Key_9 && !(mods & Qt::KeypadModifier)) {
    qint64 n = tb_->text().toLongLong();
    if (n > sli_->maximum()) tb_->setText(QString::number(sli_->maximum()));
    if (n < sli_->minimum()) tb_->setText(QString::number(sli_->minimum()));
    if (tb_->text().size() >= 2) selectText();
    n = tb_->text().toLongLong();
    sli_->setValue(int(n));
  } else if (key != Qt::Key_Tab && key != Qt::Key_Backtab && key != Qt::Key_Alt && tb_->hasFocus()) {
    // (a key released after the focus moved on, the Shift of Shift+Tab, leaves it there)
    selectText();
  }
  if (!Jex().isNothing()) Jex().set(QStringLiteral("proc.Lst_Key"), QStringLiteral("+Down"));
}

bool cMySlider::eventFilter(QObject* watched, QEvent* event) {
  // Only key events are looked at: the others include those of a text box being destroyed,
  // which is no QLineEdit any more by then.
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
  if (watched != tb_ || !sli_) return false;
  if (event->type() == QEvent::KeyPress) {
    return trapped("cMySlider.TB_KeyDown", false, [&] {
      auto* k = static_cast<QKeyEvent*>(event);
      if (keyDown(k->key())) return true;
      const QString t = k->text();
      // Only digits and Backspace are typed; other characters are swallowed.
      return !t.isEmpty() && t.at(0).isPrint() && !(t.at(0) >= u'0' && t.at(0) <= u'9');
    });
  }
  if (event->type() == QEvent::KeyRelease) {
    auto* k = static_cast<QKeyEvent*>(event);
    if (!k->isAutoRepeat()) trap("cMySlider.TB_KeyUp", [&] { keyUp(k->key(), k->modifiers()); });
  }
  return false;
}

}  // namespace jex
