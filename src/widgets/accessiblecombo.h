// The accessible face of a combo box (a QComboBox, editable or not), as screen readers over
// AT-SPI read it.
//
// Qt shows a drop-down list with its popup list as its only child and exposes neither its
// selection nor its text, so a reader that asks for the chosen entry finds nothing and ignores
// the change notices it gets. An editable one tells a new entry chosen with the arrow keys only
// as new text of its field, which readers take for typing and keep quiet about unless they saw
// the key themselves. This interface gives the combo box:
//  - its chosen entry (an editable one: the text of its field) as its text (the text interface)
//    and its value,
//  - its entries as list items, the chosen one selected; in an editable one an entry counts as
//    chosen only while the field holds its text, so a text typed over it chooses none,
//  - an editable one's field as its last child, so that what is typed there is still told as
//    typing in a field of the combo box,
//  - on every change of the chosen entry while it has the focus, a focus event for the chosen
//    item (focused while the combo box has the focus), which readers present as the new entry.
//    Typing chooses no entry and so moves no focus.
// Its name stays its label's (the accessible name or the buddy label), never the entry.
#pragma once

#include <QAccessibleWidget>
#include <QList>

class QComboBox;

namespace jex::ui {

class AccessibleCombo : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit AccessibleCombo(QComboBox* combo);
  ~AccessibleCombo() override;

  QComboBox* combo() const;

  // QAccessibleInterface
  QString text(QAccessible::Text t) const override;
  int childCount() const override;
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* childAt(int x, int y) const override;
  QAccessibleInterface* focusChild() const override;
  void* interface_cast(QAccessible::InterfaceType t) override;

  // QAccessibleTextInterface: the chosen entry, read-only, without a caret of its own
  void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QString text(int startOffset, int endOffset) const override;
  int characterCount() const override;
  QRect characterRect(int offset) const override;
  int offsetAtPoint(const QPoint& point) const override;
  void scrollToSubstring(int, int) override {}
  QString attributes(int offset, int* startOffset, int* endOffset) const override;

 private:
  mutable QList<QAccessible::Id> items_;  // the entries' interfaces by row, made when first asked for
};

// The factory that gives every QComboBox an AccessibleCombo: installed once, after
// the application was made (the forms' kit calls it; it is also queued when the application
// starts).
void installAccessibleFactories();

// Tells screen readers that combo's chosen entry changed (its item gets the focus event);
// nothing when the combo box does not have the focus. Called by the interface on every change.
void announceChosenEntry(QComboBox* combo);

}  // namespace jex::ui
