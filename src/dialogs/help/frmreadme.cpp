#include "dialogs/help/frmreadme.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextCursor>
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
namespace {
QString lastApplication() { return gGlobal().OldTask; }
}  // namespace

frmReadMe::frmReadMe(QWidget* parent) : TextWindow(QStringLiteral("frmReadMe"), QStringLiteral("Liesmich"), parent) {
  makeReadingLayout("cmdCancel");
}

void frmReadMe::Read(const QVariant& file) {
  trap("frmReadMe.Read", [&] {
    file_ = file.toString();
    WriteLog(QStringLiteral("frmReadMe.Read: ") + file_, kDetail);
    QTextDocument& doc = *text()->document();
    const QString path = help::findTextFile(help::helpFolder(gGlobal().AppPath, frmLocalizer().LNG()), file_);
    if (path.isEmpty()) WriteLog(QStringLiteral("no read-me file ") + file_, kTraffic);
    help::loadText(path, doc);
    lblTitle()->setText(doc.isEmpty() ? QString() : help::takeTitle(doc));
    if (lblTitle()->text().isEmpty()) lblTitle()->setText(file_);
    text()->setTextCursor(QTextCursor(&doc));
    platform::ForceForeground(window(), gGlobal().UseForceForeGround);
    text()->setFocus(Qt::OtherFocusReason);
    speechStop();
    noteShown();
  });
}

void frmReadMe::newWindowRead(QString& command) {
  const qint64 since = sinceShown();
  if (autoRead() != 1 || since <= kReadAfterMs || since >= kReadBeforeMs) return;
  speechStop();
  command = QStringLiteral("READEDITCUR");
}

void frmReadMe::reject() {
  WriteLog(QStringLiteral("frmReadMe.cmdCancel"), kDetail);
  hideChild();
}

JEX_FORM_REGISTRATION(frmReadMe,
                      {.create = [] { return std::make_unique<frmReadMe>(); },
                       .preload = 10,
                       .menuButton = 6,
                       .commands = {{.name = QStringLiteral("UI_SHOWREADME"),
                                     .action = QStringLiteral("Read"),
                                     .first = lastApplication}},
                       .menuEntries = {{.name = QStringLiteral("mnuReadme"),
                                        .action = QStringLiteral("Read"),
                                        .args = {QStringLiteral("readme.rtf")}},
                                       {.name = QStringLiteral("mnuHelpKeys"),
                                        .action = QStringLiteral("Read"),
                                        .args = {QStringLiteral("h4keys.rtf")}},
                                       {.name = QStringLiteral("mnuHelpApps"),
                                        .action = QStringLiteral("Read"),
                                        .first = [] { return lastApplication() + QStringLiteral(".rtf"); }}}})

}  // namespace jex
