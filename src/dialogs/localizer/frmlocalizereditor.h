// The translation editor, the visible side of frmLocalizer (form name "frmLocalizer"): it lists
// every localisable text of one open form, lets the translator change captions and tool tips,
// makes the selected control blink on the form, and saves the texts into the current language
// file in one write.
//
// Rows (columns Control, Caption, Tooltip and a hidden tab-order column):
//   - a control whose default text (DefaultText) is not "---": its key, its caption as shown now
//     ("--- Tip: " or "--- Items: n" for tip-only and list controls), its tool tip as shown now or
//     "---" where no tip is edited (frames, labels, the message buttons cmdBtn, text boxes named
//     "lbl..."), its place in the form's Tab chain as three digits ("007"), empty where Tab
//     does not reach it;
//   - each item of a list (from 0) and tab of a tab strip (from 1): key + "_Item " + number, the
//     item's text, "---", its control's tab order.
// An edit box showing a value that begins with "---" is disabled: "---" marks a part that is
// not translated, "--- Tip: " and "--- Items: n" mark a control whose caption is no text (they
// are written back as they stand and never read as a caption).
//
// Keys: Enter goes list -> Caption -> Tooltip -> list, skipping a disabled box; Ctrl+C on the
// list copies "[key]"; a column header sorts by its column. Escape, the close box and Cancel
// leave without writing; when something was edited they first ask "Exit without saving ?" in
// JexUI's own accessible box (No stays), with nothing edited there is nothing to lose and
// nothing is asked. Messages and the question come from the form's invisible labels. Save writes every row (a
// first save writes the form's whole section) in one atomic write of the language file, then
// localises the form again. A row that cannot be written (a caption with "|", a line break, a
// character outside the file's code page) is named in a message and nothing is written; so is
// a file that cannot be written (read-only, missing folder, lock held); the edits stay.
//
// The editor is a window of its own, placed beside the edited form inside the screen (on its
// left in a right-to-left language, on its right otherwise, else where there is room) with a
// margin of 360 twips, with the margins of the dialogs in the main window inside it. Over a
// modal box it is modal itself, so that it takes input; closed, it gives the focus back to the
// window and control that had it.
#pragma once

#include "dialogs/childdialog.h"

#include <QHash>
#include <QPointer>
#include <QSizePolicy>
#include <QTimer>

class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace jex {

class LocalizerEditor : public ChildDialog {
  Q_OBJECT
 public:
  enum Column { kControl = 0, kCaption = 1, kTooltip = 2, kTabOrder = 3 };
  static constexpr int kBlinkMs = 400;
  static constexpr int kMarginTwips = 360;

  LocalizerEditor();
  ~LocalizerEditor() override;

  // Fills the editor for form (or for the dialog inside it that holds the focus) and shows it.
  Q_INVOKABLE void EditControls(QWidget* form);

  QWidget* editedForm() const { return form_; }
  QTreeWidget* nl_lvwControls() const { return list_; }
  QLineEdit* nl_Caption() const { return caption_; }
  QLineEdit* nl_Tooltip() const { return tooltip_; }
  QPushButton* cmdSave() const { return cmdSave_; }
  QTimer& tmrBlink() { return tmrBlink_; }
  // The control that blinks now; null when none does.
  QObject* blinking() const { return blinking_; }

  // Save and Cancel, as their buttons run them.
  void save();
  void cancel();

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool handleCmd(const QString& command) override;
  bool untrackedChanges() const override { return edited_; }

 private:
  void applyTexts();
  void fillRows(const QString& activeKey);
  void addRow(const QString& key, const QString& caption, const QString& tip, const QString& order, QObject* control);
  void rowSelected(QTreeWidgetItem* row);
  void loadBox(QLineEdit* box, const QString& value);
  void boxEdited(int column, const QString& text);
  void enterFrom(QObject* watched);
  void place();
  void startBlinking(QObject* control);
  void stopBlinking();
  void blink();
  qint16 ask(const QString& message, int kind);
  // Leaves the form as it was and hides the editor.
  void finish();
  // A row that cannot be written, as the message names it; empty when all can.
  QString badRow() const;

  QTreeWidget* list_;
  QLineEdit* caption_;
  QLineEdit* tooltip_;
  QPushButton* cmdSave_;
  QPushButton* cmdCancel_;
  QTimer tmrBlink_;
  QHash<const QTreeWidgetItem*, QPointer<QObject>> rowControls_;
  QPointer<QWidget> form_;
  QPointer<QObject> blinking_;
  bool blinkWasHidden_ = false;
  bool blinkRetained_ = false;
  bool edited_ = false;
};

}  // namespace jex
