#include "widgets/accessiblecombo.h"

#include <QApplication>
#include <QComboBox>
#include <QPointer>

#include "base/error.h"
#include "widgets/fieldfocus.h"
#include "widgets/menuentries.h"

namespace jex::ui {

namespace {

// Whether row is the chosen entry of combo: its current one, and in an editable combo box only
// while the field still holds the entry's text (a text typed over it chooses no entry).
bool isChosen(const QComboBox* combo, int row) {
  if (!combo || row < 0 || combo->currentIndex() != row) return false;
  return !combo->isEditable() || combo->currentText() == combo->itemText(row);
}

// One entry of a drop-down list: a list item named by its text, selected when it is the chosen
// one, focused when it is and the combo box has the focus.
class ComboItem : public QAccessibleInterface {
 public:
  ComboItem(QComboBox* combo, int row) : combo_(combo), row_(row) {}

  bool isValid() const override { return combo_ && row_ < combo_->count(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return parentIface() ? parentIface()->window() : nullptr; }
  QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(QAccessible::Relation) const override {
    return {};
  }
  QAccessibleInterface* focusChild() const override { return nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override { return parentIface(); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name && isValid() ? combo_->itemText(row_) : QString();
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!combo_) return {};
    return QRect(combo_->mapToGlobal(QPoint(0, 0)), combo_->size());
  }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override {
    QAccessible::State s;
    if (!isValid()) {
      s.invalid = true;
      return s;
    }
    s.selectable = true;
    s.focusable = true;
    const bool chosen = isChosen(combo_, row_);
    s.selected = chosen;
    s.focused = chosen && combo_->hasFocus();
    s.invisible = !combo_->isVisible();
    s.disabled = !combo_->isEnabled();
    return s;
  }

 private:
  QAccessibleInterface* parentIface() const { return combo_ ? QAccessible::queryAccessibleInterface(combo_) : nullptr; }
  QPointer<QComboBox> combo_;
  int row_;
};

QAccessibleInterface* comboFactory(const QString& className, QObject* object) {
  if (className != QLatin1String("QComboBox")) return nullptr;
  auto* combo = qobject_cast<QComboBox*>(object);
  return combo ? new AccessibleCombo(combo) : nullptr;
}

}  // namespace

AccessibleCombo::AccessibleCombo(QComboBox* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {
  // The combo box is the context: the connection ends with it, the interface may not outlive it.
  QObject::connect(combo, &QComboBox::currentIndexChanged, combo, [combo] { announceChosenEntry(combo); });
}

AccessibleCombo::~AccessibleCombo() {
  for (QAccessible::Id id : items_)
    if (id) QAccessible::deleteAccessibleInterface(id);
}

QComboBox* AccessibleCombo::combo() const { return static_cast<QComboBox*>(widget()); }

QString AccessibleCombo::text(QAccessible::Text t) const {
  return trapped("AccessibleCombo.text", QString(), [&] {
    if (t == QAccessible::Value) return combo()->currentText();
    return QAccessibleWidget::text(t);
  });
}

int AccessibleCombo::childCount() const { return combo()->count() + (combo()->lineEdit() ? 1 : 0); }

QAccessibleInterface* AccessibleCombo::child(int index) const {
  return trapped("AccessibleCombo.child", static_cast<QAccessibleInterface*>(nullptr), [&] {
    if (index == combo()->count() && combo()->lineEdit())
      return QAccessible::queryAccessibleInterface(combo()->lineEdit());
    if (index < 0 || index >= combo()->count()) return static_cast<QAccessibleInterface*>(nullptr);
    if (items_.size() <= index) items_.resize(index + 1, 0);
    if (!items_[index]) items_[index] = QAccessible::registerAccessibleInterface(new ComboItem(combo(), index));
    return QAccessible::accessibleInterface(items_[index]);
  });
}

int AccessibleCombo::indexOfChild(const QAccessibleInterface* child) const {
  if (child && combo()->lineEdit() && child->object() == combo()->lineEdit()) return combo()->count();
  const QAccessible::Id id = QAccessible::uniqueId(const_cast<QAccessibleInterface*>(child));
  const qsizetype at = items_.indexOf(id);
  return at < combo()->count() ? int(at) : -1;
}

QAccessibleInterface* AccessibleCombo::childAt(int, int) const { return nullptr; }

QAccessibleInterface* AccessibleCombo::focusChild() const {
  const int row = combo()->currentIndex();
  return combo()->hasFocus() && isChosen(combo(), row) ? child(row) : nullptr;
}

void* AccessibleCombo::interface_cast(QAccessible::InterfaceType t) {
  if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
  return QAccessibleWidget::interface_cast(t);
}

void AccessibleCombo::selection(int, int* startOffset, int* endOffset) const {
  *startOffset = 0;
  *endOffset = 0;
}

QString AccessibleCombo::text(int startOffset, int endOffset) const {
  const QString all = combo()->currentText();
  if (endOffset < 0 || endOffset > all.size()) endOffset = int(all.size());
  startOffset = qBound(0, startOffset, endOffset);
  return all.mid(startOffset, endOffset - startOffset);
}

int AccessibleCombo::characterCount() const { return int(combo()->currentText().size()); }

QRect AccessibleCombo::characterRect(int) const { return {}; }

int AccessibleCombo::offsetAtPoint(const QPoint&) const { return -1; }

QString AccessibleCombo::attributes(int offset, int* startOffset, int* endOffset) const {
  *startOffset = offset;
  *endOffset = offset;
  return {};
}

void announceChosenEntry(QComboBox* combo) {
  trap("ui::announceChosenEntry", [&] {
    if (!combo || !combo->hasFocus() || !QAccessible::isActive()) return;
    const int row = combo->currentIndex();
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(combo);
    if (!isChosen(combo, row) || !iface || !iface->child(row)) return;
    // The focus moves to the chosen item (the combo box keeps the keyboard focus): readers say the
    // item as the new place of the focus. The toolkit's bridge passes no active-descendant change on.
    QAccessibleEvent ev(combo, QAccessible::Focus);
    ev.setChild(row);
    QAccessible::updateAccessibility(&ev);
  });
}

void installAccessibleFactories() {
  trap("ui::installAccessibleFactories", [] {
    // The toolkit asks the factory installed last first; its own is installed while the
    // application is made, so this one goes in after that, once.
    static bool installed = false;
    if (installed || !qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    QAccessible::removeFactory(comboFactory);
    QAccessible::installFactory(comboFactory);
    installFieldFocus();
    tellMenuEntryStates();
    installed = true;
  });
}

}  // namespace jex::ui
