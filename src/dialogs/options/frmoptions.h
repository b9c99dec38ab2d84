// frmOptions ("Optionen"): the general switches of the screen reader and of JexUI, the interface
// language, the behaviour at logon and the document wizard's settings per application, on three
// tabs (Allgemein, Dokumentwizard, Windowsanmeldung; Ctrl+Tab and Ctrl+Shift+Tab go round them
// and put the focus on the tab's first control).
//
// The dialog keeps nothing of its own. Each control is bound to the core (proc.IsMonWinVisible,
// TooltipsStatus, NavBeep, BadWinMsg, GlobalSettings, Locale), to the current user's switches
// (cUser), to corvane.ini ([MIXED] chkSayWelcome, [SSRD]), to JEXUI.INI ([WinUsers]
// UseLogonUser) or to the registry (the logon service SSRD with its keyboard driver QMTKBDHK,
// and the web-page add-on's class). Nothing is written before OK (or Yes to the save question).
//
// Decided here:
// - Line length (cbo_DWLineLen) takes 20 to 250, lines per page (cbo_DWLines) 5 to 200; any other
//   text stops OK with a message and the focus on the field.
// - The document wizard's values of each application the user changed are kept while another
//   application is chosen in cbo_Task and all are stored on OK, not only the shown one's.
// - chkWinUser is written back to JEXUI.INI [WinUsers] UseLogonUser on OK.
// - cmdEditMsg follows chkStartMsg at once, not only at the next showing.
// - The languages are named by the core's Locale (each in its own language where it can).
#pragma once

#include <QMap>

#include "dialogs/childdialog.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QStackedWidget;
class QTabBar;

namespace jex {

class frmOptions : public ChildDialog {
  Q_OBJECT
 public:
  enum Tab { TabGeneral = 0, TabDocWiz = 1, TabStart = 2 };
  // The decided ranges of the document wizard's numbers.
  static constexpr int kMinLineLen = 20, kMaxLineLen = 250, kMinLines = 5, kMaxLines = 200;

  explicit frmOptions(QWidget* parent = nullptr);
  ~frmOptions() override;

  // The next (forward) or previous tab, with the focus on its first control.
  Q_INVOKABLE void SwitchTabs(bool forward = true);
  void selectTab(int tab);
  // The application of the chosen cbo_Task entry: "DEFAULT" for the global one.
  QString SelectedTask() const;

  QTabBar* tabOptions() const { return tabOptions_; }
  QComboBox* cboLanguage() const { return cboLanguage_; }
  QComboBox* cboTask() const { return cboTask_; }
  QComboBox* cboSSRD() const { return cboSSRD_; }
  QCheckBox* chkKbdHK() const { return chkKbdHK_; }
  QCheckBox* chkDefSetting() const { return chkDefSetting_; }
  QComboBox* cboDWLineLen() const { return cboDWLineLen_; }
  QComboBox* cboDWLines() const { return cboDWLines_; }
  QPushButton* cmdEditMsg() const { return cmdEditMsg_; }

 protected:
  void showValues() override;
  void store() override;
  void revert() override;
  void accept() override;
  bool untrackedChanges() const override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The document wizard's four values and whether the application follows the global ones.
  struct DocWiz {
    bool followsGlobal = true;
    bool start = false;
    bool autoRead = true;
    QString lineLen;
    QString lines;
    bool operator==(const DocWiz&) const = default;
  };
  void tabChanged(int tab);
  void namePage();
  void showGeneral();
  void showLogon();
  void fillLanguages(const QStringList& names, const QStringList& ids);
  // The chosen application's values, from the core or from the changes kept for it.
  void showDocWiz();
  DocWiz readDocWiz(const QString& app) const;
  DocWiz shownDocWiz() const;
  void putDocWiz(const DocWiz& d);
  // Keeps the shown application's values when the user changed them.
  void keepDocWiz();
  void docWizEdited();
  void ssrdChosen(int index);
  void editWelcome();
  // The first number field outside its range (its application chosen, the message shown); false
  // when all are numbers in range.
  bool refuseBadNumbers();
  void storeGeneral();
  void storePagecaster();
  void storeLogon();
  void storeDocWiz();
  void storeLanguage();

  QTabBar* tabOptions_ = nullptr;
  QStackedWidget* picTab_ = nullptr;
  QCheckBox* chkMonVisible_ = nullptr;
  QCheckBox* chkTooltips_ = nullptr;
  QCheckBox* chkNavBeep_ = nullptr;
  QCheckBox* chkBadWinMsg_ = nullptr;
  QCheckBox* chkSounds_ = nullptr;
  QCheckBox* chkSpeakTips_ = nullptr;
  QCheckBox* chkAsk2Save_ = nullptr;
  QCheckBox* chkAutoRead_ = nullptr;
  QCheckBox* chkPagecaster_ = nullptr;
  QComboBox* cboLanguage_ = nullptr;
  QComboBox* cboTask_ = nullptr;
  QCheckBox* chkDefSetting_ = nullptr;
  QCheckBox* chkDWStart_ = nullptr;
  QCheckBox* chkDWAutoRead_ = nullptr;
  QComboBox* cboDWLineLen_ = nullptr;
  QComboBox* cboDWLines_ = nullptr;
  QCheckBox* chkStartMsg_ = nullptr;
  QPushButton* cmdEditMsg_ = nullptr;
  QComboBox* cboSSRD_ = nullptr;
  QCheckBox* chkKbdHK_ = nullptr;
  QCheckBox* chkWinUser_ = nullptr;

  QString shownTask_;              // the application whose document-wizard values are shown
  DocWiz loadedDocWiz_;            // its values as the core gave them
  QMap<QString, DocWiz> changed_;  // the values the user changed, by application
  bool showingDocWiz_ = false;
};

}  // namespace jex
