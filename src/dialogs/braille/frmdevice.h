// frmDevice: the Braille display, its port, the translation table, and what the display's
// routing keys, optical sensors and status cells do.
//
// The devices come from the core, each under the names the language file's [DEVICES] section
// gives its identifier ("|" between several names; the identifier when there is none);
// [DEVICES] Active holds the name the user last confirmed, so that a device listed under two
// names comes back under the one chosen. Table and modes act in the core at once; device and
// port only on OK. The change level decides what OK stores: 0 nothing, 1 the values, 2 device
// and port switched first.
#pragma once

#include <QHash>

#include "dialogs/braille/brailledialog.h"

class QComboBox;
class QLabel;

namespace jex {

class frmDevice : public BrailleDialog {
  Q_OBJECT
 public:
  explicit frmDevice(QWidget* parent = nullptr);

  QComboBox* cboDevice() const { return cboDevice_; }
  QComboBox* cboPort() const { return cboPort_; }
  QComboBox* cboBrailleTable() const { return cboBrailleTable_; }
  QComboBox* cboSWMode() const { return cboSWMode_; }
  QComboBox* cboOSMode() const { return cboOSMode_; }
  QComboBox* cboStatus() const { return cboStatus_; }

  // 0 unchanged, 1 table or a mode changed, 2 device or port changed (since the last showing).
  int GetChangeLevel() const;
  // The device identifier behind a display name; empty when the name is not listed.
  QString deviceOf(const QString& displayName) const;

  bool handleCmd(const QString& command) override;

 protected:
  void store() override;
  void showValues() override;

 private:
  void init();
  void deviceChosen();
  void useTable(const QString& name);
  void setMode(QComboBox* list, const char* member);

  QComboBox* cboDevice_;
  QComboBox* cboPort_;
  QComboBox* cboBrailleTable_;
  QComboBox* cboSWMode_;
  QComboBox* cboOSMode_;
  QComboBox* cboStatus_;
  bool initialised_ = false;
  QHash<QString, QString> deviceIds_;  // display name -> identifier
  QHash<QString, int> deviceIndex_;    // identifier -> its number in the core's list
};

}  // namespace jex
