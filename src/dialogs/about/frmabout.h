// frmAbout ("Info"): the program information, a modal window of its own. rtfInfo holds the
// language's JEXINFO.RTF, then the version (major.minor.revision) and the first six lines of the
// system information report. cmdSysInfo shows the whole report, cmdSupport (and the main
// window's mnuHelpEmail) opens a mail to the language file's [Links] supportmail with the report
// as its text. OK, Abbrechen and Escape close it; Ctrl with the right mouse button asks for the
// translation editor ("DLGRESWIZ").
#pragma once

#include <QUrl>

#include "dialogs/childdialog.h"

class QTextEdit;

namespace jex {

class frmAbout : public ChildDialog {
  Q_OBJECT
 public:
  static constexpr int kReportLines = 6;

  explicit frmAbout(QWidget* parent = nullptr);

  // Shows the window in front, the text focused.
  Q_INVOKABLE void ShowModal();
  // Opens the support mail.
  Q_INVOKABLE void SupportMail();
  // The mail SupportMail opens: to address, the program title as subject, report as text.
  static QUrl supportMailUrl(const QString& address, const QString& subject, const QString& report);

  QTextEdit* rtfInfo() const { return rtfInfo_; }

 protected:
  void showValues() override;
  void accept() override;
  void reject() override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void fill();
  QTextEdit* rtfInfo_;
};

}  // namespace jex
