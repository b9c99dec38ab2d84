// BrailleDialog: what the two Braille dialogs share. Both edit the core's BrailleInterface live
// (every choice acts on the display at once), make the core store the values on OK and reload
// them when the user answers No to the save question. The button row (OK, Abbrechen, Hilfe) is
// the last row of the form; Enter is OK, Esc is Abbrechen.
#pragma once

#include "automation/automation.h"
#include "dialogs/childdialog.h"
#include "global/cglobal.h"

class QPushButton;

namespace jex {

class BrailleDialog : public ChildDialog {
  Q_OBJECT
 public:
  BrailleDialog(const QString& name, const QString& title, QWidget* parent = nullptr);
  ~BrailleDialog() override;

  QPushButton* cmdOK() const { return cmdOK_; }
  QPushButton* cmdCancel() const { return cmdCancel_; }
  QPushButton* cmdHelp() const { return cmdHelp_; }

 protected:
  // The core's Braille object, taken again when the core object was replaced; Nothing (and an
  // error line for where) when the core does not answer.
  Obj braille(const char* where);
  // Adds the button row to the form and wires its buttons.
  void addButtons();
  // OK: store, then close.
  virtual void okClicked() = 0;
  // Abbrechen: the save question, then close.
  void cancelClicked();
  // Hidden; the main window hears the dialog closed.
  void closeDialog();
  void revert() override;
  // The core's values put into the controls again.
  virtual void showValues() = 0;
  void showEvent(QShowEvent* event) override;
  // Enter that no control takes (lists, check boxes, the preview) is OK, as in a dialog box.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QPushButton* cmdOK_ = nullptr;
  QPushButton* cmdCancel_ = nullptr;
  QPushButton* cmdHelp_ = nullptr;
  CoreMember braille_{QStringLiteral("BrailleInterface")};
};

}  // namespace jex
