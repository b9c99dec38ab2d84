#include "widgets/menuentries.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QActionEvent>
#include <QKeySequence>
#include <QMenu>
#include <QPointer>
#include <QStyle>

#include "base/error.h"
#include "platform/atspistates.h"
#include "widgets/accessibility.h"
#include "widgets/menukeys.h"

namespace jex::ui {

namespace {

class MenuEntry : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  MenuEntry(QMenu* menu, QAction* action) : menu_(menu), action_(action) {}

  bool isValid() const override { return menu_ && action_; }
  QObject* object() const override { return action_; }
  QWindow* window() const override { return menu_ ? menu_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override {
    return menu_ ? QAccessible::queryAccessibleInterface(menu_.data()) : nullptr;
  }
  // An entry that opens a submenu holds it as its one child.
  QAccessibleInterface* child(int index) const override {
    return index == 0 && submenu() ? QAccessible::queryAccessibleInterface(submenu()) : nullptr;
  }
  int childCount() const override { return submenu() ? 1 : 0; }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child && submenu() && child->object() == submenu() ? 0 : -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    QAccessibleInterface* sub = child(0);
    return sub && sub->rect().contains(x, y) ? sub : nullptr;
  }
  QAccessible::Role role() const override {
    return action_ && action_->isSeparator() ? QAccessible::Separator : QAccessible::MenuItem;
  }
  QString text(QAccessible::Text t) const override {
    if (!isValid()) return {};
    switch (t) {
      case QAccessible::Name:
        return plainCaption(action_->text());  // with the key hint after its tab
      case QAccessible::Accelerator: {
        if (!action_->shortcut().isEmpty()) return action_->shortcut().toString(QKeySequence::NativeText);
        const QChar key = accessKey(action_->text());
        return key.isNull() ? QString() : QKeySequence(Qt::ALT).toString(QKeySequence::NativeText) + key;
      }
      default:
        return {};
    }
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!isValid()) return {};
    const QRect r = menu_->actionGeometry(action_);
    return r.translated(menu_->mapToGlobal(QPoint(0, 0)));
  }
  QAccessible::State state() const override {
    QAccessible::State s;
    if (!isValid()) {
      s.invalid = true;
      return s;
    }
    s.invisible = !menu_->isVisible() || !action_->isVisible();
    s.focused = menu_->activeAction() == action_;
    s.hotTracked = menu_->style()->styleHint(QStyle::SH_Menu_MouseTracking, nullptr, menu_);
    s.disabled = action_->isSeparator() || !action_->isEnabled();
    s.checkable = action_->isCheckable();
    s.checked = action_->isCheckable() && action_->isChecked();
    return s;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
  }

  // Pressed, a command runs; an entry with a submenu shows it (or hides it when it shows).
  QStringList actionNames() const override {
    if (!isValid() || action_->isSeparator()) return {};
    return {submenu() ? showMenuAction() : pressAction()};
  }
  void doAction(const QString& name) override {
    trap("ui.MenuEntry.doAction", [&] {
      if (!isValid() || !action_->isEnabled()) return;
      if (name == pressAction()) {
        action_->trigger();
      } else if (name == showMenuAction()) {
        if (submenu() && submenu()->isVisible()) submenu()->hide();
        else menu_->setActiveAction(action_);
      }
    });
  }
  QStringList keyBindingsForAction(const QString& name) const override {
    if (!isValid() || name != pressAction() || action_->shortcut().isEmpty()) return {};
    return {action_->shortcut().toString(QKeySequence::NativeText)};
  }

 private:
  QMenu* submenu() const { return action_ ? action_->menu<QMenu*>() : nullptr; }

  QPointer<QMenu> menu_;
  QPointer<QAction> action_;
};

QAccessibleInterface* entryFactory(const QString& className, QObject* object) {
  if (className != QLatin1String("QAction")) return nullptr;
  return trapped("ui.MenuEntry.create", static_cast<QAccessibleInterface*>(nullptr), [&]() -> QAccessibleInterface* {
    auto* action = qobject_cast<QAction*>(object);
    QMenu* menu = entryMenuOf(action);
    return menu ? new MenuEntry(menu, action) : nullptr;
  });
}

class EntryWatch : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::ActionRemoved) return false;
    trap("ui.MenuEntries.removed", [&] {
      QAction* action = static_cast<QActionEvent*>(event)->action();
      if (!qobject_cast<QMenu*>(watched) || !action) return;
      // The entry's interface, if it was read (one for an action in no menu is not made).
      QAccessibleInterface* entry = QAccessible::queryAccessibleInterface(action);
      if (!entry) return;
      if (QAccessible::isActive()) {
        QAccessibleEvent destroyed(entry, QAccessible::ObjectDestroyed);
        QAccessible::updateAccessibility(&destroyed);
      }
      QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(entry));
    });
    return false;
  }
};

}  // namespace

void watchMenuEntries(QMenu* menu) {
  trap("ui.watchMenuEntries", [&] {
    if (!menu || menu->property("jexEntryWatch").toBool()) return;
    menu->setProperty("jexEntryWatch", true);
    menu->installEventFilter(new EntryWatch(menu));
  });
}

QMenu* entryMenuOf(const QAction* action) {
  if (!action) return nullptr;
  QMenu* menu = nullptr;
  for (QObject* o : action->associatedObjects()) {
    auto* m = qobject_cast<QMenu*>(o);
    // In a menu bar, a tool bar or a second menu as well: not the entry of one menu.
    if (!m || (menu && menu != m)) return nullptr;
    menu = m;
  }
  return menu;
}

void tellMenuEntryStates() {
  static const bool installed = [] {
    QAccessible::installFactory(entryFactory);
    // The bridge leaves "checkable" out of the states it sends: a toggle's are answered here.
    platform::atspi::answerStates([](QAccessibleInterface* i) -> std::optional<QAccessible::State> {
      const auto* entry = dynamic_cast<MenuEntry*>(i);
      if (!entry || !entry->isValid()) return std::nullopt;
      const QAccessible::State state = entry->state();
      return state.checkable ? std::optional(state) : std::nullopt;
    });
    return true;
  }();
  (void)installed;
}

}  // namespace jex::ui
