// The task list's view: a flat list of programs with columns (Task, Info, hWnd) that a screen
// reader hears as a list. A tree widget alone is announced as a tree view, with its cells as
// tree items; this one is a list whose entries are its rows, each said by its accessible text
// (the first column's Qt::AccessibleTextRole, else that column's text). Keyboard, columns and
// headers are the tree widget's.
//
// The focus and selection of a row are reported with the row's number as the list's child,
// which is what the list's accessible children are numbered by; a new current row is reported
// as the focus only while the list has the focus, and when the list gets the focus its current
// row is reported as the focus as well, so that the program it stands for is heard at once.
#pragma once

#include <QTreeWidget>

namespace jex {

class TaskListView : public QTreeWidget {
  Q_OBJECT
 public:
  explicit TaskListView(QWidget* parent = nullptr);

 protected:
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
  void focusInEvent(QFocusEvent* event) override;
};

}  // namespace jex
