// The monitor window's Braille pane: a labelled read-only line with the cells of the display
// as Unicode Braille, redrawn at every change of the display's values or text, and with the
// cursor blinking while CurBlinkStat is on.
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QTimer;

namespace corvane {

class BrailleState;

class BraillePane : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kBlinkMs = 500;
  explicit BraillePane(QWidget* parent = nullptr);
  // Follows the display from now on (once).
  void attach(BrailleState* state);
  // The display shows what is typed in line, with its caret.
  void follow(QLineEdit* line);
  QLineEdit* cells() const { return cells_; }

 private:
  void redraw(bool cursorOn);
  void blink();
  BrailleState* state_ = nullptr;
  QLineEdit* cells_;
  QTimer* blink_;
  bool cursorOn_ = true;
};

}  // namespace corvane
