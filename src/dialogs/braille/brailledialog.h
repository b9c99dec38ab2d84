// BrailleDialog: what the two Braille dialogs share beyond the dialog kit. Both edit the core's
// BrailleInterface live (every choice acts on the display at once), make the core store the
// values on OK and reload them when the user answers No to the save question.
#pragma once

#include "automation/automation.h"
#include "dialogs/childdialog.h"
#include "global/cglobal.h"

namespace jex {

class BrailleDialog : public ChildDialog {
  Q_OBJECT
 public:
  BrailleDialog(const QString& name, const QString& title, QWidget* parent = nullptr);
  ~BrailleDialog() override;

 protected:
  // The core's Braille object, taken again when the core object was replaced; Nothing (and an
  // error line for where) when the core does not answer.
  Obj braille(const char* where);
  // The core reads its stored values again, and the dialog shows them.
  void revert() override;

 private:
  CoreMember braille_{QStringLiteral("BrailleInterface")};
};

}  // namespace jex
