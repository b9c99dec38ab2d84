// A tree of nodes (one column shown) heard by screen readers as a tree whose items are its
// nodes, with the current node as the focus.
//
// Qt's own tree is a table of cells to a reader: its children are numbered per cell, header
// included, and a tab into it is heard as the tree alone, without the node the user is on. Here
// child i is the i-th node shown (expanded parents' children in order, collapsed ones left out),
// named by its first column (Qt::AccessibleTextRole, else the text), with its expanded or
// collapsed state. A new current node is reported as the focus only while the tree has the
// focus (and once its focus-in has come); when the tree gets the focus its current node is
// reported as the focus as well, so that the node is heard at once; expanding or collapsing the current node is told as
// its state.
#pragma once

#include <QTreeWidget>

namespace jex::ui {

class NodeTree : public QTreeWidget {
  Q_OBJECT
 public:
  explicit NodeTree(QWidget* parent = nullptr);
  ~NodeTree() override;

  // The nodes shown, in order (child i of the tree's accessible is entry i); built again only
  // after the tree changed.
  const QList<QPersistentModelIndex>& shownNodes() const;
  int shownRow(const QModelIndex& index) const;  // -1 when the node is not shown

 protected:
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void updateGeometries() override;  // after every change of what is shown (expandAll, hidden rows)

 private:
  void stale() { shownValid_ = false; }
  void report(QAccessible::Event type, const QModelIndex& index);

  mutable QList<QPersistentModelIndex> shown_;
  mutable bool shownValid_ = false;
  // Between its focus-in and focus-out event. While the focus comes over from another control,
  // the tree already has it before its focus-in arrives; a node chosen then (by the control
  // the focus leaves) is told with the focus-in, not before the tree is.
  bool focusIn_ = false;
};

}  // namespace jex::ui
