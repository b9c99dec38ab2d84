#include "dialogs/about/frmabout.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include "base/error.h"
#include "base/log.h"
#include "dialogs/about/sysinforeport.h"
#include "dialogs/boxes/frmmsgex.h"
#include "global/cglobal.h"
#include "localisation/frmlocalizer.h"
#include "platform/foreground.h"
#include "platform/opener.h"
#include "widgets/accessibility.h"
#include "widgets/formservice.h"
#include "widgets/named.h"
#include "widgets/rtfreader.h"

namespace jex {

frmAbout::frmAbout(QWidget* parent) : ChildDialog(QStringLiteral("frmAbout"), QStringLiteral("Info"), parent) {
  ownWindow();
  resize(520, 400);
  rtfInfo_ = named<QTextEdit>(this, "rtfInfo");
  rtfInfo_->setReadOnly(true);
  rtfInfo_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
  rtfInfo_->setTabChangesFocus(true);
  ui::setBuddy(lblTitle(), rtfInfo_);
  content()->addWidget(rtfInfo_, 1);
  auto* row = new QHBoxLayout;
  auto* cmdSupport = named<QPushButton>(this, "cmdSupport", QStringLiteral("&Support"));
  auto* cmdSysInfo = named<QPushButton>(this, "cmdSysInfo", QStringLiteral("System&info"));
  auto* cmdOK = named<QPushButton>(this, "cmdOK", QStringLiteral("OK"));
  auto* cmdCancel = named<QPushButton>(this, "cmdCancel", QStringLiteral("Abbrechen"));
  cmdOK->setDefault(true);
  row->addWidget(cmdSupport);
  row->addWidget(cmdSysInfo);
  row->addStretch(1);
  row->addWidget(cmdOK);
  row->addWidget(cmdCancel);
  content()->addLayout(row);
  connect(cmdOK, &QPushButton::clicked, this, [this] { trap("frmAbout.cmdOK_Click", [this] { accept(); }); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { trap("frmAbout.cmdCancel_Click", [this] { reject(); }); });
  connect(cmdSupport, &QPushButton::clicked, this,
          [this] { trap("frmAbout.cmdSupport_Click", [this] { SupportMail(); }); });
  connect(cmdSysInfo, &QPushButton::clicked, this,
          [] { trap("frmAbout.cmdSysInfo_Click", [] { MsgBoxEx(GetSysInfo(), msgbox::kOkOnly); }); });
}

void frmAbout::showValues() { fill(); }

void frmAbout::fill() {
  trap("frmAbout.Form_Load", [this] {
    QTextDocument& doc = *rtfInfo_->document();
    const QString file = frmLocalizer().LngDir() + QStringLiteral("JEXINFO.RTF");
    if (!rtf::readFile(file, doc)) doc.clear();
    QTextCursor c(&doc);
    c.movePosition(QTextCursor::End);
    QStringList lines{
        QStringLiteral("Version %1.%2.%3").arg(JEX_VERSION_MAJOR).arg(JEX_VERSION_MINOR).arg(JEX_VERSION_REVISION)};
    const QStringList report = GetSysInfo().split(QStringLiteral("\r\n"));
    lines += report.mid(0, kReportLines);
    for (const QString& l : lines) {
      if (!doc.isEmpty()) c.insertBlock();
      c.insertText(l);
    }
    rtfInfo_->setTextCursor(QTextCursor(&doc));
  });
}

void frmAbout::ShowModal() {
  trap("frmAbout.ShowModal", [this] {
    show();
    raise();
    platform::ForceForeground(this, gGlobal().UseForceForeGround);
    activateWindow();
    rtfInfo_->setFocus(Qt::OtherFocusReason);
  });
}

QUrl frmAbout::supportMailUrl(const QString& address, const QString& subject, const QString& report) {
  QUrl url;
  url.setScheme(QStringLiteral("mailto"));
  url.setPath(address.trimmed());
  const QByteArray query = "subject=" + QUrl::toPercentEncoding(subject) + "&body=" + QUrl::toPercentEncoding(report);
  url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
  return url;
}

void frmAbout::SupportMail() {
  trap("frmAbout.SupportMail", [] {
    const QString address = frmLocalizer().DlgIni().GetStr(QStringLiteral("Links"), QStringLiteral("supportmail"),
                                                           QStringLiteral("support@example.org"));
    const QUrl url = supportMailUrl(address, gGlobal().AppTitle, GetSysInfo());
    WriteLog(QStringLiteral("SupportMail: ") + address, kDetail);
    if (!platform::desktopOpener().open(url))
      throw Error(err::FileError, QStringLiteral("the desktop could not open a mail to ") + address);
  });
}

void frmAbout::accept() { hideChild(); }
void frmAbout::reject() { hideChild(); }

void frmAbout::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton && (event->modifiers() & Qt::ControlModifier)) {
    trap("frmAbout.Form_MouseDown", [] {
      WriteLog(QStringLiteral("iAdd2JexCmdQ: DLGRESWIZ"), kTraffic);
      Jex().call(QStringLiteral("proc.AddToCMDQueue"), {QStringLiteral("DLGRESWIZ")});
    });
    return;
  }
  ChildDialog::mousePressEvent(event);
}

JEX_FORM_REGISTRATION(
    frmAbout,
    {.create = [] { return std::make_unique<frmAbout>(); },
     .menuEntries = {{.name = QStringLiteral("mnuHelpInfo"), .action = QStringLiteral("ShowModal"), .show = false},
                     {.name = QStringLiteral("mnuHelpEmail"), .action = QStringLiteral("SupportMail"), .show = false}}})

}  // namespace jex
