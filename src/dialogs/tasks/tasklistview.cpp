#include "dialogs/tasks/tasklistview.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QHeaderView>
#include <QPointer>

namespace jex {

namespace {

// One row of the list as a list entry.
class RowAccessible : public QAccessibleInterface {
 public:
  RowAccessible(TaskListView* view, int row) : view_(view), row_(row) {}

  int row() const { return row_; }
  bool isValid() const override { return view_ && view_->model() && row_ < view_->model()->rowCount(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return view_ ? view_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override {
    return view_ ? QAccessible::queryAccessibleInterface(view_.data()) : nullptr;
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* focusChild() const override { return nullptr; }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  void setText(QAccessible::Text, const QString&) override {}

  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name || !isValid()) return {};
    const QModelIndex first = index();
    const QString spoken = first.data(Qt::AccessibleTextRole).toString();
    return spoken.isEmpty() ? first.data(Qt::DisplayRole).toString() : spoken;
  }

  QRect rect() const override {
    if (!isValid()) return {};
    QRect r = view_->visualRect(index());
    r.setLeft(0);
    r.setWidth(view_->viewport()->width());
    return QRect(view_->viewport()->mapToGlobal(r.topLeft()), r.size());
  }

  QAccessible::State state() const override {
    QAccessible::State s;
    if (!isValid()) {
      s.invalid = true;
      return s;
    }
    s.focusable = true;
    s.selectable = true;
    const QModelIndex i = index();
    s.selected = view_->selectionModel() && view_->selectionModel()->isSelected(i);
    s.active = view_->currentIndex().row() == row_;
    s.focused = s.active && view_->hasFocus();
    const QRect r = view_->visualRect(i);
    s.invisible = !view_->isVisible();
    s.offscreen = !view_->viewport()->rect().intersects(r);
    return s;
  }

 private:
  QModelIndex index() const { return view_->model()->index(row_, 0); }

  QPointer<TaskListView> view_;
  int row_;
};

// The view as a list whose children are its rows (child i is row i).
class ListAccessible : public QAccessibleWidget {
 public:
  explicit ListAccessible(TaskListView* view) : QAccessibleWidget(view, QAccessible::List), view_(view) {
    // Entries past the end after a removal are gone; the others show what their row holds now.
    const auto prune = [this] { dropFrom(rowCount()); };
    connections_ << QObject::connect(view->model(), &QAbstractItemModel::rowsRemoved, view, prune)
                 << QObject::connect(view->model(), &QAbstractItemModel::modelReset, view, prune);
  }
  ~ListAccessible() override {
    for (const QMetaObject::Connection& c : std::as_const(connections_)) QObject::disconnect(c);
    dropFrom(0);
  }

  int childCount() const override { return rowCount(); }

  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= rowCount()) return nullptr;
    if (const auto id = rows_.constFind(index); id != rows_.cend()) return QAccessible::accessibleInterface(*id);
    auto* row = new RowAccessible(view_, index);
    rows_.insert(index, QAccessible::registerAccessibleInterface(row));
    return row;
  }

  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto* row = dynamic_cast<const RowAccessible*>(child);
    return row && row->parent() == this ? row->row() : -1;
  }

  QAccessibleInterface* childAt(int x, int y) const override {
    if (!view_) return nullptr;
    const QModelIndex i = view_->indexAt(view_->viewport()->mapFromGlobal(QPoint(x, y)));
    return i.isValid() ? child(i.row()) : nullptr;
  }

  QAccessibleInterface* focusChild() const override {
    if (!view_ || !view_->hasFocus()) return nullptr;
    const QModelIndex current = view_->currentIndex();
    return current.isValid() ? child(current.row()) : nullptr;
  }

 private:
  int rowCount() const { return view_ && view_->model() ? view_->model()->rowCount() : 0; }
  void dropFrom(int first) const {
    for (auto it = rows_.begin(); it != rows_.end();) {
      if (it.key() < first) {
        ++it;
        continue;
      }
      QAccessible::deleteAccessibleInterface(it.value());
      it = rows_.erase(it);
    }
  }

  QPointer<TaskListView> view_;
  mutable QHash<int, QAccessible::Id> rows_;
  QList<QMetaObject::Connection> connections_;
};

QAccessibleInterface* listFactory(const QString& className, QObject* object) {
  if (className != QLatin1String(TaskListView::staticMetaObject.className())) return nullptr;
  auto* view = qobject_cast<TaskListView*>(object);
  return view ? new ListAccessible(view) : nullptr;
}

void report(TaskListView* view, QAccessible::Event type, const QModelIndex& index) {
  QAccessibleEvent event(view, type);
  event.setChild(index.row());
  QAccessible::updateAccessibility(&event);
}

}  // namespace

TaskListView::TaskListView(QWidget* parent) : QTreeWidget(parent) { QAccessible::installFactory(listFactory); }

// QTreeView's own versions report the cell with its number in a tree of cells, and report a new
// current cell as the focus even while the view has none; here the row is the list's child, and
// it is the focus only when the list has it.
void TaskListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QAbstractItemView::currentChanged(current, previous);  // NOLINT(bugprone-parent-virtual-call)
  if (allColumnsShowFocus()) viewport()->update();
  if (QAccessible::isActive() && current.isValid() && hasFocus()) report(this, QAccessible::Focus, current);
}

// The widget's own focus event is told after this handler; the row follows it, from the event
// loop, so that the row and not the list is where the reader's focus ends up.
void TaskListView::focusInEvent(QFocusEvent* event) {
  QTreeWidget::focusInEvent(event);
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (QAccessible::isActive() && hasFocus() && currentIndex().isValid())
          report(this, QAccessible::Focus, currentIndex());
      },
      Qt::QueuedConnection);
}

void TaskListView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
  QAbstractItemView::selectionChanged(selected, deselected);  // NOLINT(bugprone-parent-virtual-call)
  if (!QAccessible::isActive()) return;
  if (const QModelIndex added = selected.indexes().value(0); added.isValid())
    report(this, QAccessible::SelectionAdd, added);
  if (const QModelIndex removed = deselected.indexes().value(0); removed.isValid())
    report(this, QAccessible::SelectionRemove, removed);
}

}  // namespace jex
