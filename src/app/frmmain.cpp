#include "app/frmmain.h"

#include <QFile>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "base/log.h"
#include "widgets/accessibility.h"
#include "widgets/formservice.h"
#include "widgets/named.h"
#include "widgets/rtfreader.h"

namespace jex {

frmMain::frmMain(QWidget* parent) : ChildDialog(QStringLiteral("frmMain"), QStringLiteral("Hauptmenü"), parent) {
  leaveKeysToFrame();  // no dialog: Tab goes on to the main window's buttons
  txtInfo_ = named<QTextBrowser>(this, "txtInfo");
  txtInfo_->setOpenExternalLinks(false);
  content()->addWidget(txtInfo_);
  ui::setBuddy(lblTitle(), txtInfo_);
}

bool frmMain::loadInfo(const QString& path) {
  if (QFile::exists(path) && rtf::readFile(path, *txtInfo_->document())) return true;
  txtInfo_->clear();
  WriteLog(QStringLiteral("frmMain: cannot read ") + path, kTraffic);
  return false;
}

JEX_FORM_REGISTRATION(frmMain, {.create = [] { return std::make_unique<frmMain>(); }, .menuButton = forms::kNoButton})

}  // namespace jex
