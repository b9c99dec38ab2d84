// What the program's four message and input boxes share: the button array cmdBtn, Enter on the
// default button and Escape on the cancel button, the message as the window's accessible
// description, titles without line breaks, a size bounded by the screen, localisation at load,
// and showing the box in front with the right control focused.
#pragma once

#include <QDialog>
#include <QList>

class QLabel;
class QPushButton;

class QHBoxLayout;

namespace jex {

class BoxForm : public QDialog {
 public:
  // name: the form's name (its language file section).
  explicit BoxForm(const QString& name, QWidget* parent = nullptr);

  // Element index of the button array cmdBtn; null for an index that was not created.
  QPushButton* button(int index) const;

  // The widest a box may be: the available width of its screen.
  int maximumBoxWidth() const;

  // The window caption; line breaks become blanks, an empty title gives fallback.
  void setTitle(const QString& title, const QString& fallback = {});

 protected:
  // Creates element index of cmdBtn with its design caption (not yet placed in a layout).
  QPushButton* addButton(int index, const QString& caption);
  void setDefaultButton(int index);
  void setCancelButton(int index);
  // The right-aligned row of the input boxes: cmdBtn(0) "OK" (default), cmdBtn(1) "Abbrechen" (cancel).
  QHBoxLayout* okCancelRow();

  // A message label: plain text, word-wrapped, never wider than the screen allows.
  QLabel* addMessageLabel(const QString& name);
  // Sets the message of label, which is also the window's accessible description.
  void setMessage(QLabel* label, const QString& text);
  // The control focused whenever the box is shown.
  void setFocusOnShow(QWidget* focus) { focusOnShow_ = focus; }

  // Translates the captions from the language file (the form's section).
  void localize();

  // Shows the box (modeless), forces it to the foreground and focuses focus.
  void showInFront(QWidget* focus);
  // Shows the box modally, in front, with the focus-on-show control focused; returns when it
  // is hidden.
  void execInFront();

  // Called when element index of cmdBtn is pressed.
  virtual void buttonPressed(int index) = 0;

  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void bringToFront();
  void fitToScreen();

  QList<QPushButton*> buttons_;
  int defaultButton_ = -1;
  int cancelButton_ = -1;
  QWidget* focusOnShow_ = nullptr;
};

}  // namespace jex
