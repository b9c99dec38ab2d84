// frmKeyecho ("Tastenecho"): what the screen reader says while the user types. Every value
// belongs to the core's KeyEcho object: each change is written into the core at once (and so
// heard at once), OK makes the core store the values, No to the save question makes it read the
// stored ones again. chkKeyEcho enables the other eight controls; their values stay shown and
// kept while they are disabled.
//
// The field txtTry ("Ausprobieren") lets the user hear the settings before OK: every key typed
// there is echoed by the core with its live, unsaved values: text typed or deleted by the core's
// screen reader as in any field, the keys that change no text by KeyEcho.TryKey.
#pragma once

#include "automation/automation.h"
#include "dialogs/childdialog.h"
#include "global/cglobal.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace jex {

class frmKeyecho : public ChildDialog {
  Q_OBJECT
 public:
  explicit frmKeyecho(QWidget* parent = nullptr);
  ~frmKeyecho() override;

  // The core's values shown again (each activation does it).
  Q_INVOKABLE void LoadValues();
  bool HasChanges() const { return changed(); }

  QCheckBox* chkKeyEcho() const { return chkKeyEcho_; }
  QComboBox* cboCharEcho() const { return cboCharEcho_; }
  QLineEdit* txtTry() const { return txtTry_; }
  QPushButton* cmdOK() const { return cmdOK_; }
  QPushButton* cmdCancel() const { return cmdCancel_; }

 protected:
  void store() override;
  void revert() override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct Setting {
    const char* member;
    QWidget* control;
  };
  Obj keyEcho(const char* where);
  void write(const Setting& s);
  void enableAll(bool on);
  void closeDialog();

  QCheckBox* chkKeyEcho_ = nullptr;
  QComboBox* cboCharEcho_ = nullptr;
  QLineEdit* txtTry_ = nullptr;
  QPushButton* cmdOK_ = nullptr;
  QPushButton* cmdCancel_ = nullptr;
  QPushButton* cmdHelp_ = nullptr;
  QList<Setting> settings_;  // the nine controls and their members, chkKeyEcho first
  bool loading_ = false;
  CoreMember keyEcho_{QStringLiteral("KeyEcho")};
};

}  // namespace jex
