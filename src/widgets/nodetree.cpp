#include "widgets/nodetree.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

#include "base/error.h"

namespace jex::ui {

namespace {

// One node of the tree as a tree item.
class NodeAccessible : public QAccessibleInterface {
 public:
  NodeAccessible(NodeTree* tree, const QModelIndex& index) : tree_(tree), index_(index) {}

  const QPersistentModelIndex& index() const { return index_; }
  bool isValid() const override { return tree_ && index_.isValid(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return tree_ ? tree_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override {
    return tree_ ? QAccessible::queryAccessibleInterface(tree_.data()) : nullptr;
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* focusChild() const override { return nullptr; }
  QAccessible::Role role() const override { return QAccessible::TreeItem; }
  void setText(QAccessible::Text, const QString&) override {}

  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name || !isValid()) return {};
    const QString spoken = index_.data(Qt::AccessibleTextRole).toString();
    return spoken.isEmpty() ? index_.data(Qt::DisplayRole).toString() : spoken;
  }

  QRect rect() const override {
    if (!isValid()) return {};
    const QRect r = tree_->visualRect(index_);
    return QRect(tree_->viewport()->mapToGlobal(r.topLeft()), r.size());
  }

  QAccessible::State state() const override {
    QAccessible::State s;
    if (!isValid()) {
      s.invalid = true;
      return s;
    }
    s.focusable = true;
    s.selectable = true;
    s.selected = tree_->selectionModel() && tree_->selectionModel()->isSelected(index_);
    s.active = tree_->currentIndex() == index_;
    s.focused = s.active && tree_->hasFocus();
    s.expandable = tree_->model()->hasChildren(index_);
    s.expanded = s.expandable && tree_->isExpanded(index_);
    s.collapsed = s.expandable && !s.expanded;
    s.disabled = !tree_->isEnabled() || !(tree_->model()->flags(index_) & Qt::ItemIsEnabled);
    s.invisible = !tree_->isVisible();
    s.offscreen = !tree_->viewport()->rect().intersects(tree_->visualRect(index_));
    return s;
  }

 private:
  QPointer<NodeTree> tree_;
  QPersistentModelIndex index_;
};

// The tree, whose children are the nodes shown.
class TreeAccessible : public QAccessibleWidget {
 public:
  explicit TreeAccessible(NodeTree* tree) : QAccessibleWidget(tree, QAccessible::Tree), tree_(tree) {
    // A node removed loses its entry; the others keep theirs, at their new place.
    const auto prune = [this] { dropGone(); };
    connections_ << QObject::connect(tree->model(), &QAbstractItemModel::rowsRemoved, tree, prune)
                 << QObject::connect(tree->model(), &QAbstractItemModel::modelReset, tree, prune);
  }
  ~TreeAccessible() override {
    for (const QMetaObject::Connection& c : std::as_const(connections_)) QObject::disconnect(c);
    for (const QAccessible::Id id : std::as_const(nodes_)) QAccessible::deleteAccessibleInterface(id);
  }

  int childCount() const override { return tree_ ? int(tree_->shownNodes().size()) : 0; }

  QAccessibleInterface* child(int index) const override {
    if (!tree_ || index < 0 || index >= childCount()) return nullptr;
    const QPersistentModelIndex node = tree_->shownNodes().at(index);
    if (const auto id = nodes_.constFind(node); id != nodes_.cend()) return QAccessible::accessibleInterface(*id);
    auto* entry = new NodeAccessible(tree_, node);
    nodes_.insert(node, QAccessible::registerAccessibleInterface(entry));
    return entry;
  }

  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto* node = dynamic_cast<const NodeAccessible*>(child);
    return node && tree_ && node->parent() == this ? tree_->shownRow(node->index()) : -1;
  }

  QAccessibleInterface* childAt(int x, int y) const override {
    if (!tree_) return nullptr;
    const QModelIndex i = tree_->indexAt(tree_->viewport()->mapFromGlobal(QPoint(x, y)));
    return i.isValid() ? child(tree_->shownRow(i)) : nullptr;
  }

  QAccessibleInterface* focusChild() const override {
    if (!tree_ || !tree_->hasFocus()) return nullptr;
    const QModelIndex current = tree_->currentIndex();
    return current.isValid() ? child(tree_->shownRow(current)) : nullptr;
  }

 private:
  void dropGone() const {
    for (auto it = nodes_.begin(); it != nodes_.end();) {
      if (it.key().isValid()) {
        ++it;
        continue;
      }
      QAccessible::deleteAccessibleInterface(it.value());
      it = nodes_.erase(it);
    }
  }

  QPointer<NodeTree> tree_;
  mutable QHash<QPersistentModelIndex, QAccessible::Id> nodes_;
  QList<QMetaObject::Connection> connections_;
};

QAccessibleInterface* treeFactory(const QString& className, QObject* object) {
  if (className != QLatin1String(NodeTree::staticMetaObject.className())) return nullptr;
  auto* tree = qobject_cast<NodeTree*>(object);
  return tree ? new TreeAccessible(tree) : nullptr;
}

}  // namespace

NodeTree::NodeTree(QWidget* parent) : QTreeWidget(parent) {
  QAccessible::installFactory(treeFactory);
  QAbstractItemModel* m = model();
  connect(m, &QAbstractItemModel::rowsInserted, this, &NodeTree::stale);
  connect(m, &QAbstractItemModel::rowsRemoved, this, &NodeTree::stale);
  connect(m, &QAbstractItemModel::rowsMoved, this, &NodeTree::stale);
  connect(m, &QAbstractItemModel::modelReset, this, &NodeTree::stale);
  connect(m, &QAbstractItemModel::layoutChanged, this, &NodeTree::stale);
  const auto toggled = [this](const QModelIndex& index) {
    stale();
    trap("ui::NodeTree.toggled", [&] {
      if (!QAccessible::isActive() || !hasFocus() || index != currentIndex()) return;
      const int row = shownRow(index);
      QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(this);
      QAccessibleInterface* node = tree && row >= 0 ? tree->child(row) : nullptr;
      if (!node) return;
      QAccessible::State changed;
      changed.expanded = true;
      changed.collapsed = true;
      QAccessibleStateChangeEvent event(node, changed);
      QAccessible::updateAccessibility(&event);
    });
  };
  connect(this, &QTreeView::expanded, this, toggled);
  connect(this, &QTreeView::collapsed, this, toggled);
}

// The model is a child of the tree and goes after this part of the tree is gone: its last
// signals (the reset as it is deleted) must not reach it.
NodeTree::~NodeTree() {
  if (QAbstractItemModel* m = model()) m->disconnect(this);
}

const QList<QPersistentModelIndex>& NodeTree::shownNodes() const {
  if (shownValid_) return shown_;
  shown_.clear();
  QList<QModelIndex> todo;  // depth first, in the order shown
  for (int r = model()->rowCount(rootIndex()) - 1; r >= 0; --r) todo << model()->index(r, 0, rootIndex());
  while (!todo.isEmpty()) {
    const QModelIndex i = todo.takeLast();
    if (isRowHidden(i.row(), i.parent())) continue;
    shown_ << i;
    if (isExpanded(i))
      for (int r = model()->rowCount(i) - 1; r >= 0; --r) todo << model()->index(r, 0, i);
  }
  shownValid_ = true;
  return shown_;
}

int NodeTree::shownRow(const QModelIndex& index) const {
  if (!index.isValid()) return -1;
  return int(shownNodes().indexOf(QPersistentModelIndex(index.siblingAtColumn(0))));
}

void NodeTree::report(QAccessible::Event type, const QModelIndex& index) {
  trap("ui::NodeTree.report", [&] {
    const int row = shownRow(index);
    if (row < 0) return;
    QAccessibleEvent event(this, type);
    event.setChild(row);
    QAccessible::updateAccessibility(&event);
  });
}

// QTreeView's own versions report the cell with its number in a table of cells, and a new
// current cell as the focus even while the view has none.
void NodeTree::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QAbstractItemView::currentChanged(current, previous);  // NOLINT(bugprone-parent-virtual-call)
  if (allColumnsShowFocus()) viewport()->update();
  if (QAccessible::isActive() && current.isValid() && hasFocus() && focusIn_) report(QAccessible::Focus, current);
}

void NodeTree::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
  QAbstractItemView::selectionChanged(selected, deselected);  // NOLINT(bugprone-parent-virtual-call)
  if (!QAccessible::isActive()) return;
  if (const QModelIndex added = selected.indexes().value(0); added.isValid()) report(QAccessible::SelectionAdd, added);
  if (const QModelIndex removed = deselected.indexes().value(0); removed.isValid())
    report(QAccessible::SelectionRemove, removed);
}

void NodeTree::updateGeometries() {
  stale();
  QTreeWidget::updateGeometries();
}

// The widget's own focus event is told after this handler; the node follows it, from the event
// loop, so that the node and not the tree is where the reader's focus ends up.
void NodeTree::focusInEvent(QFocusEvent* event) {
  focusIn_ = true;
  QTreeWidget::focusInEvent(event);
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (QAccessible::isActive() && hasFocus() && currentIndex().isValid())
          report(QAccessible::Focus, currentIndex());
      },
      Qt::QueuedConnection);
}

void NodeTree::focusOutEvent(QFocusEvent* event) {
  focusIn_ = false;
  QTreeWidget::focusOutEvent(event);
}

}  // namespace jex::ui
