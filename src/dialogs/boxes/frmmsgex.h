// frmMsgEx: the program's own modal question box, and MsgBoxEx, which shows it.
//
// Kinds: 1 yes/no/cancel with the "do not ask again" box (answers 7 at once while the user's
// Ask2Save switch is 0), 2 yes/no, 3 OK. Results: 6 yes, 7 no, 2 cancel, 1 OK.
// Access keys: releasing a letter key (no Shift, Ctrl or Alt) on a button presses the first
// visible button whose caption starts with that upper-case letter ("&" before it allowed).
#pragma once

#include "dialogs/boxes/boxform.h"

class QCheckBox;
class QLabel;

namespace jex {

namespace msgbox {
constexpr qint16 OK = 1;
constexpr qint16 Cancel = 2;
constexpr qint16 Yes = 6;
constexpr qint16 No = 7;

// The kinds of question MsgBoxEx asks.
enum Kind : int {
  kSaveQuestion = 1,  // yes/no/cancel with "do not ask again"
  kYesNo = 2,
  kOkOnly = 3,
};
}  // namespace msgbox

class frmMsgEx : public BoxForm {
 public:
  frmMsgEx();
  ~frmMsgEx() override;

  // 2 until a button was pressed.
  qint16 result() const { return result_; }

  // Shows the controls of a question kind (msgbox::Kind) and the message.
  void prepare(const QString& message, int kind);

  QCheckBox* chkBox() const { return chkBox_; }
  QLabel* nl_Msg() const { return nl_Msg_; }
  QLabel* imgExclamation() const { return imgExclamation_; }

  // Shows the box modally; returns when it closed.
  void showModal();

 protected:
  void buttonPressed(int index) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  bool pressAccessKey(int key);

  qint16 result_ = msgbox::Cancel;
  QLabel* imgExclamation_;
  QLabel* nl_Msg_;
  QCheckBox* chkBox_;
  QWidget* firstFocus_ = nullptr;
};

// Asks message as a question of a msgbox::Kind and returns the answer.
qint16 MsgBoxEx(const QString& message, int kind);

}  // namespace jex
