// frmUser: the users of the screen reader. The user chosen in cboUser becomes the core's current
// user at once; the verbosity lists swap the user's output definitions (cUser); the long names
// and what is read when a window opens are written into the core's MixedSettings at once and
// stored by OK (MixedSettings.SaveValues) or taken back by No to the save question
// (LoadValues, the user chosen before selected again).
//
// The user operations (the main window's user menu, also offered by cmdProfiles and by the
// context-menu key in cboUser) work through cProfiles; each question is one of the program's
// own boxes. A refused name or a failed file operation shows lblError; a name taken shows
// lblUserExists. Export writes the chosen user to a .zip file, import asks for the new user's
// name with the archive's as the default. The file is chosen in Qt's file dialog, or by the
// chooser a test installs.
//
// The verbosity lists show the levels 1 to 3 (OUTDEF.SP1 .. SP3) as "minimal", "Standard" and
// "maximal": list index + 1 is the level.
#pragma once

#include <functional>

#include "dialogs/childdialog.h"
#include "dialogs/profiles/cprofiles.h"

class QCheckBox;
class QComboBox;
class QMenu;
class QPushButton;

namespace jex {

class frmUser : public ChildDialog {
  Q_OBJECT
 public:
  explicit frmUser(QWidget* parent = nullptr);

  QComboBox* cboUser() const { return cboUser_; }
  QComboBox* cboSpeechDef() const { return cboSpeechDef_; }
  QComboBox* cboBrailleDef() const { return cboBrailleDef_; }
  QComboBox* cboNewWindow() const { return cboNewWindow_; }
  QCheckBox* chkSpeechLong() const { return chkSpeechLong_; }
  QCheckBox* chkBrailleLong() const { return chkBrailleLong_; }
  QPushButton* cmdProfiles() const { return cmdProfiles_; }
  QPushButton* cmdVerbosity() const { return cmdVerbosity_; }
  cProfiles& profiles() { return profiles_; }

  // The public operations the main window's user menu calls on the active dialog.
  Q_INVOKABLE void UserNew();
  Q_INVOKABLE void UserCopy();
  Q_INVOKABLE void UserRename();
  Q_INVOKABLE void UserReset();
  Q_INVOKABLE void UserDelete();
  Q_INVOKABLE void UserExport();
  Q_INVOKABLE void UserImport();

  // Chooses the archive file: save true for an export (suggested: a file name to offer),
  // false for an import. Empty: the user cancelled.
  using FileChooser = std::function<QString(QWidget* parent, bool save, const QString& suggested)>;
  // Installs a chooser (a test's); an empty one puts Qt's file dialog back.
  static void setFileChooser(FileChooser chooser);

 protected:
  void showValues() override;
  void store() override;
  void revert() override;
  bool untrackedChanges() const override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void fillUserList();
  void selectUser(const QString& name);
  void userChosen();
  void verbosityChosen(bool speech);
  void setMixed(const char* member, int value, const char* location);
  void popup(const char* menu, QWidget* below);
  QString selected() const;
  // The box for an outcome that is no success; false when there was one.
  bool done(cProfiles::Outcome outcome);
  // After an operation that made or kept name: the list again, name chosen, the focus on it.
  void showUser(const QString& name);

  QComboBox* cboUser_;
  QPushButton* cmdProfiles_;
  QComboBox* cboSpeechDef_;
  QCheckBox* chkSpeechLong_;
  QComboBox* cboNewWindow_;
  QCheckBox* chkBrailleLong_;
  QComboBox* cboBrailleDef_;
  QPushButton* cmdVerbosity_;
  cProfiles profiles_;
  QString loadedUser_;  // the user current when the values were loaded
  bool filling_ = false;
};

}  // namespace jex
