#include "dialogs/braille/brailledialog.h"

#include "base/error.h"
#include "base/log.h"

namespace jex {

BrailleDialog::BrailleDialog(const QString& name, const QString& title, QWidget* parent)
    : ChildDialog(name, title, parent) {
  hiddenTexts({{"lblAsk2Save", "wollen Sie die Änderungen an den Brailleeinstellungen speichern ?"}});
}

BrailleDialog::~BrailleDialog() { WriteLog(objectName() + QStringLiteral("_Unload"), kDetail); }

Obj BrailleDialog::braille(const char* where) {
  return trapped(where, Obj(), [this] { return braille_.get(); });
}

void BrailleDialog::revert() {
  trap(qPrintable(objectName() + QStringLiteral(".LoadValues")), [this] {
    WriteLog(objectName() + QStringLiteral("_loadValues"), kDetail);
    if (Obj b = braille("BrailleDialog.revert")) b.call(QStringLiteral("LoadValues"));
  });
  loadValues();
}

}  // namespace jex
