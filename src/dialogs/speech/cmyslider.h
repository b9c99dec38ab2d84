// cMySlider: a numeric text box coupled with a horizontal slider, so that a value is set by
// keyboard alone in the text box with the slider's keys:
//   Page Up +10, Page Down -10, Up +1, Down -1, End the maximum, Home the minimum (swallowed,
//   the value clamped; Change follows from the slider);
//   only digits and Backspace are typed; on the release of a top-row digit key the number is
//   clamped into the range, the slider follows, and from two characters on the text is selected
//   again (caret 0, three characters) so that the next digits start a new number;
//   the release of any other key but Tab and Alt selects the text;
//   after every key release the core's proc.Lst_Key is set to "+Down".
// A slider moved by the user shows its value in the text box, selected. Change is raised for
// every change of the slider's value except those made by ShowVal and Clear.
//
// The text box is the tab stop; the slider only shows the value. The text box's accessible
// description says what the value means: "55 %" and, when a meaning is set, ", " + meaning(55)
// ("55 %, 320 Wörter pro Minute"), so a screen reader says more than a bare number.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class QLineEdit;
class QSlider;

namespace jex {

class cMySlider : public QObject {
  Q_OBJECT
 public:
  explicit cMySlider(QObject* parent = nullptr);

  void Init(QLineEdit* tb, QSlider* sli, qint32 min, qint32 max);
  qint16 Value() const;
  void setValue(qint32 v);  // Value let
  void ShowVal(qint32 v);   // Value let without Change
  void Clear();
  bool Enabled() const;
  void setEnabled(bool on);
  // What a percentage means, for the accessible description; null: the percentage only.
  void setMeaning(std::function<QString(int)> meaning);

  QLineEdit* TB() const { return tb_; }
  QSlider* SLI() const { return sli_; }

 signals:
  void Change();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void selectText();
  void sliderChanged(int value);
  void describe();
  bool keyDown(int key);
  void keyUp(int key, Qt::KeyboardModifiers mods);

  QPointer<QLineEdit> tb_;
  QPointer<QSlider> sli_;
  bool suppress_ = false;
  std::function<QString(int)> meaning_;
};

}  // namespace jex
