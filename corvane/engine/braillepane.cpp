#include "corvane/engine/braillepane.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

#include "base/error.h"
#include "corvane/engine/brailleinterface.h"

namespace corvane {

BraillePane::BraillePane(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("picBraille"));
  auto* label = new QLabel(tr("&Braille display:"), this);
  cells_ = new QLineEdit(this);
  cells_->setObjectName(QStringLiteral("txtBraille"));
  cells_->setReadOnly(true);
  cells_->setAccessibleName(tr("Braille display"));
  cells_->setAccessibleDescription(tr("The cells of the Braille display as Unicode Braille"));
  QFont f = cells_->font();
  f.setPointSizeF(f.pointSizeF() * 1.5);
  cells_->setFont(f);
  label->setBuddy(cells_);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(label);
  row->addWidget(cells_, 1);
  blink_ = new QTimer(this);
  blink_->setInterval(kBlinkMs);
  connect(blink_, &QTimer::timeout, this, &BraillePane::blink);
}

void BraillePane::attach(BrailleState* state) {
  jex::trap("BraillePane.attach", [&] {
    if (state_ || !state) return;
    state_ = state;
    QPointer<BraillePane> self(this);
    state_->onChange([self] {
      if (self) self->redraw(true);
    });
    redraw(true);
  });
}

void BraillePane::follow(QLineEdit* line) {
  const auto show = [this, line] {
    jex::trap("BraillePane.follow", [&] {
      if (state_) state_->show(line->text(), line->cursorPosition());
    });
  };
  connect(line, &QLineEdit::textChanged, this, show);
  connect(line, &QLineEdit::cursorPositionChanged, this, show);
}

void BraillePane::redraw(bool cursorOn) {
  jex::trap("BraillePane.redraw", [&] {
    if (!state_) return;
    cursorOn_ = cursorOn;
    cells_->setText(state_->render(state_->shownText(), state_->shownCaret(), cursorOn));
    const BrailleValues& v = state_->values();
    const bool blinking = v.curBlink == 1 && v.cursorMode != 0 && state_->shownCaret() >= 0;
    if (blinking) blink_->start();  // (re)started: a change shows the cursor a whole phase
    else blink_->stop();
  });
}

void BraillePane::blink() { redraw(!cursorOn_); }

}  // namespace corvane
