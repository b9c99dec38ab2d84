#include "dialogs/help/frmhelp.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

#include "base/error.h"
#include "base/log.h"
#include "dialogs/help/helptext.h"
#include "global/cglobal.h"
#include "localisation/frmlocalizer.h"
#include "platform/foreground.h"
#include "widgets/accessibility.h"
#include "widgets/formservice.h"
#include "widgets/named.h"

namespace jex {

frmHelp::frmHelp(QWidget* parent) : TextWindow(QStringLiteral("frmHelp"), QStringLiteral("Hilfe"), parent) {
  ownWindow();
  resize(560, 420);
  cmdClose_ = makeReadingLayout("cmdClose");
}

void frmHelp::ShowHelp(const QVariant& args) {
  const QStringList a = args.toStringList();
  ShowHelp(a.value(0), a.value(1));
}

void frmHelp::ShowHelp(const QString& form, const QString& control) {
  trap("frmHelp.ShowHelp", [&] {
    WriteLog(QStringLiteral("ShowHelp: ") + form + u' ' + control, kDetail);
    // Read and rid of its markers before the text box lays it out: one layout, not one per marker.
    auto* doc = new QTextDocument(text());
    // Latin text needs no shaping (kerning, ligatures): without it, laying out a long help text
    // before the caret can go to the control's part takes a third of the time.
    QFont font = text()->document()->defaultFont();
    font.setStyleStrategy(QFont::PreferNoShaping);
    doc->setDefaultFont(font);
    const QString folder = help::helpFolder(gGlobal().AppPath, frmLocalizer().LNG());
    const QString file = help::findTextFile(folder, form + QStringLiteral(".rtf"));
    if (file.isEmpty()) WriteLog(QStringLiteral("no help file for ") + form, kTraffic);
    help::loadText(file, *doc);
    start_ = int(help::removeMarkers(*doc, control));
    text()->setDocument(doc);  // the one before, the text box's child, goes
    QTextCursor c = text()->textCursor();
    c.setPosition(start_);
    text()->setTextCursor(c);
    text()->ensureCursorVisible();
    noteShown();
    show();
    raise();
    platform::ForceForeground(this, gGlobal().UseForceForeGround);
    activateWindow();
    text()->setFocus(Qt::OtherFocusReason);
  });
}

void frmHelp::DirectHelp() {
  trap("frmHelp.DirectHelp", [this] {
    ChildHost* h = host();
    if (ChildDialog* child = h ? h->activeChild() : nullptr) {
      child->help();
      return;
    }
    ShowHelp(QStringLiteral("frmMDI"), QString());
  });
}

// The core reads the window from the control's part when the user wants it read at once;
// else it says the window as it says any other.
void frmHelp::newWindowRead(QString& command) {
  if (autoRead() != 1) return;
  QTextCursor c = text()->textCursor();
  c.setPosition(qMin(start_, text()->document()->characterCount() - 1));
  text()->setTextCursor(c);
  command.clear();
  readFromCaret();
}

void frmHelp::reject() {
  WriteLog(QStringLiteral("frmHelp_Unload"), kDetail);
  hideChild();
}

JEX_FORM_REGISTRATION(
    frmHelp,
    {.create = [] { return std::make_unique<frmHelp>(); },
     .menuEntries = {{.name = QStringLiteral("mnuHelpDirect"), .action = QStringLiteral("DirectHelp"), .show = false}}})

}  // namespace jex
