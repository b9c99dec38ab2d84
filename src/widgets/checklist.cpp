#include "widgets/checklist.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

#include "base/error.h"

namespace jex::ui {

namespace {

// One entry of the list as a check box.
class CheckEntry : public QAccessibleInterface {
 public:
  CheckEntry(CheckList* list, int row) : list_(list), row_(row) {}

  int row() const { return row_; }
  bool isValid() const override { return list_ && row_ < list_->count(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return list_ ? list_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override {
    return list_ ? QAccessible::queryAccessibleInterface(list_.data()) : nullptr;
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* focusChild() const override { return nullptr; }
  QAccessible::Role role() const override { return QAccessible::CheckBox; }
  void setText(QAccessible::Text, const QString&) override {}
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name && isValid() ? list_->item(row_)->text() : QString();
  }
  QRect rect() const override {
    if (!isValid()) return {};
    const QRect r = list_->visualItemRect(list_->item(row_));
    return QRect(list_->viewport()->mapToGlobal(r.topLeft()), r.size());
  }
  QAccessible::State state() const override {
    QAccessible::State s;
    if (!isValid()) {
      s.invalid = true;
      return s;
    }
    const QListWidgetItem* it = list_->item(row_);
    s.focusable = true;
    s.checkable = bool(it->flags() & Qt::ItemIsUserCheckable);
    s.checked = it->checkState() == Qt::Checked;
    s.disabled = !(it->flags() & Qt::ItemIsEnabled) || !list_->isEnabled();
    s.active = list_->currentRow() == row_;
    s.focused = s.active && list_->hasFocus();
    s.invisible = !list_->isVisible();
    s.offscreen = !list_->viewport()->rect().intersects(list_->visualItemRect(it));
    return s;
  }

 private:
  QPointer<CheckList> list_;
  int row_;
};

// The list, whose children are its entries.
class CheckListAccessible : public QAccessibleWidget {
 public:
  explicit CheckListAccessible(CheckList* list) : QAccessibleWidget(list, QAccessible::List), list_(list) {
    const auto prune = [this] { dropFrom(list_ ? list_->count() : 0); };
    connections_ << QObject::connect(list->model(), &QAbstractItemModel::rowsRemoved, list, prune)
                 << QObject::connect(list->model(), &QAbstractItemModel::modelReset, list, prune);
  }
  ~CheckListAccessible() override {
    for (const QMetaObject::Connection& c : std::as_const(connections_)) QObject::disconnect(c);
    dropFrom(0);
  }

  int childCount() const override { return list_ ? list_->count() : 0; }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) return nullptr;
    if (const auto id = entries_.constFind(index); id != entries_.cend()) return QAccessible::accessibleInterface(*id);
    auto* entry = new CheckEntry(list_, index);
    entries_.insert(index, QAccessible::registerAccessibleInterface(entry));
    return entry;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto* entry = dynamic_cast<const CheckEntry*>(child);
    return entry && entry->parent() == this ? entry->row() : -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    if (!list_) return nullptr;
    const QModelIndex i = list_->indexAt(list_->viewport()->mapFromGlobal(QPoint(x, y)));
    return i.isValid() ? child(i.row()) : nullptr;
  }
  QAccessibleInterface* focusChild() const override {
    return list_ && list_->hasFocus() ? child(list_->currentRow()) : nullptr;
  }

 private:
  void dropFrom(int first) const {
    for (auto it = entries_.begin(); it != entries_.end();) {
      if (it.key() < first) {
        ++it;
        continue;
      }
      QAccessible::deleteAccessibleInterface(it.value());
      it = entries_.erase(it);
    }
  }

  QPointer<CheckList> list_;
  mutable QHash<int, QAccessible::Id> entries_;
  QList<QMetaObject::Connection> connections_;
};

QAccessibleInterface* checkListFactory(const QString& className, QObject* object) {
  if (className != QLatin1String(CheckList::staticMetaObject.className())) return nullptr;
  auto* list = qobject_cast<CheckList*>(object);
  return list ? new CheckListAccessible(list) : nullptr;
}

}  // namespace

CheckList::CheckList(QWidget* parent) : QListWidget(parent) { QAccessible::installFactory(checkListFactory); }

// The widget's own focus event is told after this handler; the entry follows it, from the event
// loop, so that the entry and not the list is where the reader's focus ends up.
void CheckList::focusInEvent(QFocusEvent* event) {
  QListWidget::focusInEvent(event);
  QMetaObject::invokeMethod(
      this,
      [this] {
        trap("ui::CheckList.focusIn", [this] {
          if (!QAccessible::isActive() || !hasFocus() || currentRow() < 0) return;
          QAccessibleEvent focus(this, QAccessible::Focus);
          focus.setChild(currentRow());
          QAccessible::updateAccessibility(&focus);
        });
      },
      Qt::QueuedConnection);
}

}  // namespace jex::ui
