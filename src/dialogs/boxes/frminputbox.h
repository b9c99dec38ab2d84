// frmInputBox: the program's own modal input box (new names and the like), and InputBoxEx,
// which shows it.
#pragma once

#include "dialogs/boxes/boxform.h"

class QLabel;
class QLineEdit;

namespace jex {

class frmInputBox : public BoxForm {
 public:
  frmInputBox();

  // The text entered (OK), or empty (Cancel or not answered).
  QString result() const { return result_; }

  void setPrompt(const QString& prompt);
  // The answer offered when the box shows, selected.
  void setDefault(const QString& text);
  // Shows the box modally with the answer field focused; returns when it closed.
  void showModal();

  QLabel* nl_Msg() const { return nl_Msg_; }
  QLineEdit* nl_Input() const { return nl_Input_; }

 protected:
  void buttonPressed(int index) override;

 private:
  QString result_;
  QLabel* nl_Msg_;
  QLineEdit* nl_Input_;
};

// Asks for a text with prompt, the answer field holding defaultText (selected, so that typing
// replaces it); empty on Cancel or while the program is quitting.
QString InputBoxEx(const QString& prompt, const QString& defaultText = {});

}  // namespace jex
