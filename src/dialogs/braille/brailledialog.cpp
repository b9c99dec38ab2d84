#include "dialogs/braille/brailledialog.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "base/error.h"
#include "base/log.h"
#include "global/cglobal.h"
#include "widgets/formservice.h"

namespace jex {

BrailleDialog::BrailleDialog(const QString& name, const QString& title, QWidget* parent)
    : ChildDialog(name, title, parent) {}

BrailleDialog::~BrailleDialog() { WriteLog(objectName() + QStringLiteral("_Unload"), kDetail); }

Obj BrailleDialog::braille(const char* where) {
  return trapped(where, Obj(), [this] { return braille_.get(); });
}

void BrailleDialog::addButtons() {
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  const auto button = [&](QPushButton*& b, const char* name, const QString& caption) {
    b = new QPushButton(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    row->addWidget(b);
  };
  button(cmdOK_, "cmdOK", QStringLiteral("OK"));
  button(cmdCancel_, "cmdCancel", QStringLiteral("Abbrechen"));
  button(cmdHelp_, "cmdHelp", QStringLiteral("Hilfe"));
  cmdOK_->setDefault(true);
  content()->addStretch(1);
  content()->addLayout(row);
  connect(cmdOK_, &QPushButton::clicked, this,
          [this] { trap(qPrintable(objectName() + QStringLiteral(".cmdOK_Click")), [this] { okClicked(); }); });
  connect(cmdCancel_, &QPushButton::clicked, this, &BrailleDialog::cancelClicked);
  connect(cmdHelp_, &QPushButton::clicked, this, [this] {
    trap(qPrintable(objectName() + QStringLiteral(".cmdHelp_Click")),
         [this] { forms::run(QStringLiteral("frmHelp"), QStringLiteral("ShowHelp"), {objectName()}); });
  });
  auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
  connect(esc, &QShortcut::activated, cmdCancel_, &QPushButton::click);
}

void BrailleDialog::cancelClicked() {
  trap(qPrintable(objectName() + QStringLiteral(".cmdCancel_Click")), [this] { queryHide(); });
}

void BrailleDialog::closeDialog() {
  // The focus is not moved into the dialog as it goes (the reader would say a control that is
  // gone); the main window puts it on the first control at the next opening.
  hideChild();
}

void BrailleDialog::revert() {
  trap(qPrintable(objectName() + QStringLiteral(".LoadValues")), [this] {
    WriteLog(objectName() + QStringLiteral("_loadValues"), kDetail);
    if (Obj b = braille("BrailleDialog.revert")) b.call(QStringLiteral("LoadValues"));
  });
  showValues();
}

void BrailleDialog::showEvent(QShowEvent* event) {
  ChildDialog::showEvent(event);
  showValues();
}

void BrailleDialog::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && cmdOK_ && cmdOK_->isEnabled()) {
    event->accept();
    cmdOK_->click();
    return;
  }
  ChildDialog::keyPressEvent(event);
}

}  // namespace jex
