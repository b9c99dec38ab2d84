// frmHelp ("Hilfe"): the help of a dialog, opened at the part that belongs to the control the user
// asked about (the dialog's Hilfe button, "/" where a dialog offers it, the core's help key
// passed on by the main window, the main window's menu entry mnuHelpDirect). A modal window of
// its own over the dialog; cmdClose (and Escape) closes it and the dialog has the focus again.
//
// ShowHelp(form, control): the help file of form in the current language is loaded into rtfHelp,
// its markers removed (dialogs/help/helptext.h), and the caret put at the control's part (the
// start when the control has none); that is also where reading starts when the core announces
// the window (NEWFGWINREAD) and the user's AutoRead is 1.
#pragma once

#include "dialogs/help/textwindow.h"

class QPushButton;

namespace jex {

class frmHelp : public TextWindow {
  Q_OBJECT
 public:
  explicit frmHelp(QWidget* parent = nullptr);

  // form, or form and control (several arguments come as one list).
  Q_INVOKABLE void ShowHelp(const QVariant& args);
  void ShowHelp(const QString& form, const QString& control);
  // The help of the control the user is on in the active dialog; the main window's help without
  // one.
  Q_INVOKABLE void DirectHelp();

  // Where reading starts: the control's part of the text.
  int readingStart() const { return start_; }
  QPushButton* cmdClose() const { return cmdClose_; }

 protected:
  void newWindowRead(QString& command) override;
  void reject() override;

 private:
  QPushButton* cmdClose_;
  int start_ = 0;
};

}  // namespace jex
