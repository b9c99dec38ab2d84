// frmLocalizer: the one shared caption localiser. It loads a language (the language file
// JEXUIDLG.INI in the language directory LNG/<number>/), replaces the captions, tool tips, list
// items and tab captions of a form with that language's texts, sets the forms' writing
// direction, answers single term look-ups for key names, and carries out a language change.
//
// Language file, one section per form ([frmUser]) with one key per control:
//   cmdOK=OK|Stores the settings       caption left of the first "|", tool tip right of it
//   cmdBtn(2)=...                      element 2 of the control array cmdBtn
//   cboSpeechDef_Item 0=...            list item 0 (lists count from 0, tabs from 1); the blank
//                                      before the number belongs to the key
// An empty part keeps the built-in text. [Global] RightToLeft=1 makes the language right to
// left, [Global] Charset names the font character set; [CapKeys] holds the key-name terms.
//
// How the Windows mechanisms map onto Qt:
// - Writing direction: QWidget::setLayoutDirection on the form and on each control the rules
//   name. An explicit direction is not inherited from the parent, as a window with
//   "no inherited layout" behaves; labels, tab strips, rich text boxes follow their parent.
//   Qt repaints and re-lays out a widget whose direction changed by itself.
// - Character set: Qt's texts are Unicode, so the font character set needs nothing on the
//   widgets. The Charset number selects the code page in which the language file is read
//   (base/codepages.h): the file is opened as Western first to read [Global] Charset and then
//   opened again in that code page. A UTF-8 file is read as UTF-8 whatever Charset says.
// - Nudge: loc::nudge() (updateGeometry), so that the layout takes a new size hint at once.
#pragma once

#include "ini/cicollection.h"
#include "ini/cinifil.h"
#include "localisation/localizable.h"

#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace jex {

// The default text of a control that decides how it is localised:
// "---" (left alone), "--- Tip: " (only its tool tip), "--- Items: " + count (items or tabs),
// or its caption or text.
QString DefaultText(const loc::Control& c);

class frmLocalizer {
 public:
  // What the language change needs from the rest of the program. The main window sets them when
  // it is made (iNotify, iAdd2JexCmdQ and QUIT through its own queue); a hook not set is skipped.
  struct Hooks {
    std::function<void(const QString& cmd)> notify;      // in-process notification to all dialogs
    std::function<void(const QString& cmd)> sendToCore;  // append to the core's command queue
    std::function<void()> quit;                          // the main window's quit operation
  };

  frmLocalizer();
  frmLocalizer(const frmLocalizer&) = delete;
  frmLocalizer& operator=(const frmLocalizer&) = delete;

  // The current language number ("1031"); writing it loads that language.
  QString LNG() const { return lng_; }
  void setLNG(const QString& lng);
  // The core directory + "LNG/" + LNG + "/".
  QString LngDir() const { return lngDir_; }
  bool RTL() const { return rtl_; }
  qint32 Charset() const { return charset_; }
  // The open language file (read it, do not keep it: a language change replaces it).
  cIniFil& DlgIni() { return *dlgIni_; }
  // The language file's path.
  QString DlgIniPath() const { return dlgIni_->FileName(); }

  QString GetCapString(const QString& term) const;
  void Localize(QWidget* form);
  // Opens the translation editor on the form.
  void EditControls(QWidget* form);

  // The main window's menu tips: the tip of each localised menu entry under its caption.
  CiCollection<QString>& MenuTips() { return menuTips_; }

  // The interface language changes to lng: in place when the direction stays, otherwise by
  // quitting after asking the core to bring the user interface up again.
  void ChangeLanguage(const QString& lng);

  Hooks& hooks() { return hooks_; }

  // The core directory (the one AppPath of cGlobal, or the core's proc.AppPath), with "/".
  static QString coreDir();
  // The language file in a language directory (its name compared without regard to case).
  static QString languageFile(const QString& lngDir);

 private:
  void localizeControl(const QString& section, const loc::Control& c);
  void localizeItems(const QString& section, const loc::Control& c);
  void setDirection(QWidget* w) const;

  QString lng_;
  QString lngDir_;
  bool rtl_ = false;
  qint32 charset_ = 0;
  std::unique_ptr<cIniFil> dlgIni_;
  CiCollection<QString> terms_;
  CiCollection<QString> menuTips_;
  Hooks hooks_;
};

// The one instance, created on first use. (The function shares the class's name, as the
// program's code calls it; name the type as "class frmLocalizer" where both are visible.)
class frmLocalizer& frmLocalizer();
// Drops the instance (tests and shutdown).
void resetLocalizer();

}  // namespace jex
