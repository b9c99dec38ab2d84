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

namespace jex {

class frmKeyecho : public ChildDialog {
  Q_OBJECT
 public:
  explicit frmKeyecho(QWidget* parent = nullptr);
  ~frmKeyecho() override;

  QCheckBox* chkKeyEcho() const { return chkKeyEcho_; }
  QComboBox* cboCharEcho() const { return cboCharEcho_; }
  QLineEdit* txtTry() const { return txtTry_; }

 protected:
  void showValues() override;
  void store() override;
  void revert() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Setting {
    const char* member;
    QWidget* control;
  };
  Obj keyEcho(const char* where);
  void write(const Setting& s);
  void enableAll(bool on);

  QCheckBox* chkKeyEcho_ = nullptr;
  QComboBox* cboCharEcho_ = nullptr;
  QLineEdit* txtTry_ = nullptr;
  QList<Setting> settings_;  // the nine controls and their members, chkKeyEcho first
  CoreMember keyEcho_{QStringLiteral("KeyEcho")};
};

}  // namespace jex
