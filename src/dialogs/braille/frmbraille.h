// frmBraille ("Brailledarstellung"): how text is shown on the Braille display: 6 or 8 dots,
// cursor shape and blinking, attributes, contracted Braille (German and French only), and which
// blank spaces and blank lines are shown.
//
// The blanks are bits of the core's BrailleLineMode: 0x100 << j for the spaces at the start,
// middle and end of a line (chkHSpace(j)), 0x1000 << j for the blank lines at the top, middle
// and bottom of a window (chkVSpace(j)); a set bit shows those blanks. The check boxes hold the
// values and the localised captions; the user works with them through the checkable lists
// lstHSpace and lstVSpace (Space toggles an entry). Other bits of BrailleLineMode are never
// touched here.
//
// Every change acts on the display at once, and the preview line shows a sample sentence as
// the core renders it with the live settings.
#pragma once

#include <array>

#include "dialogs/braille/brailledialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace jex {

class frmBraille : public BrailleDialog {
  Q_OBJECT
 public:
  static constexpr int kLineModeMask = 0x7700;

  explicit frmBraille(QWidget* parent = nullptr);

  QComboBox* cboDots() const { return cboDots_; }
  QComboBox* cboCursor() const { return cboCursor_; }
  QCheckBox* chkCursorBlink() const { return chkCursorBlink_; }
  QComboBox* cboAttrib() const { return cboAttrib_; }
  QComboBox* cboGrade2() const { return cboGrade2_; }
  QCheckBox* chkGrade2Lower() const { return chkGrade2Lower_; }
  QListWidget* lstHSpace() const { return lstHSpace_; }
  QListWidget* lstVSpace() const { return lstVSpace_; }
  QCheckBox* chkHSpace(int j) const { return chkHSpace_[size_t(j)]; }
  QCheckBox* chkVSpace(int j) const { return chkVSpace_[size_t(j)]; }
  QLineEdit* preview() const { return nl_Preview_; }

  bool handleCmd(const QString& command) override;

 protected:
  void store() override;
  void showValues() override;

 private:
  // A change of the user's, written into the core unless the values are being shown.
  void write(const char* where, const std::function<void(Obj&)>& fn);
  QListWidget* spaceList(const char* name, const char* box, std::array<QCheckBox*, 3>& boxes, int firstBit,
                         const QStringList& captions);
  void lineBit(int bit, bool on);
  // The list entries take the check boxes' captions and states.
  void syncLists();
  void nameList(QListWidget* list);
  void renderPreview();

  QComboBox* cboDots_;
  QComboBox* cboCursor_;
  QCheckBox* chkCursorBlink_;
  QComboBox* cboAttrib_;
  QLabel* lblGrade2_;
  QComboBox* cboGrade2_;
  QCheckBox* chkGrade2Lower_;
  QListWidget* lstHSpace_;
  QListWidget* lstVSpace_;
  std::array<QCheckBox*, 3> chkHSpace_{};
  std::array<QCheckBox*, 3> chkVSpace_{};
  QLineEdit* nl_Preview_;
};

}  // namespace jex
