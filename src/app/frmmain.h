// frmMain: the home child of the main window. It shows the language's information text
// ("JEXINFO.RTF") when no other dialog is open. The four standard button captions that the
// message boxes copy live in one store (dialogs/standardcaptions.h), localised from the same
// [frmMain] section of the language file.
#pragma once

#include "dialogs/childdialog.h"

class QTextBrowser;

namespace jex {

class frmMain : public ChildDialog {
  Q_OBJECT
 public:
  explicit frmMain(QWidget* parent = nullptr);
  QTextBrowser* txtInfo() const { return txtInfo_; }
  // Loads the rich-text file into the text; false (text cleared, logged) when it cannot be read.
  bool loadInfo(const QString& path);

 private:
  QTextBrowser* txtInfo_;
};

}  // namespace jex
