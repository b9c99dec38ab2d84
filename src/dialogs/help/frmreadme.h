// frmReadMe ("Liesmich"): a read-me text of the current language in the main window
// (Help/<language>/<file>; a name without extension tries ".rtf", then ".txt"). The file's first
// line is its title: it leaves the text and becomes lblTitle. cmdCancel and Escape close it.
//
// The core announces the window it is about to read (NEWFGWINREAD): between 0.1 and 1.0 seconds
// after a file was opened, and with the user's AutoRead 1, the window is read from the caret
// instead (the command becomes "READEDITCUR"); later the core reads it as any other window.
#pragma once

#include "dialogs/help/textwindow.h"

class QPushButton;

namespace jex {

class frmReadMe : public TextWindow {
  Q_OBJECT
 public:
  static constexpr qint64 kReadAfterMs = 100;
  static constexpr qint64 kReadBeforeMs = 1000;

  explicit frmReadMe(QWidget* parent = nullptr);

  Q_INVOKABLE void Read(const QVariant& file);
  QString file() const { return file_; }

 protected:
  void newWindowRead(QString& command) override;
  void reject() override;

 private:
  QString file_;
};

}  // namespace jex
