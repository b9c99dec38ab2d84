#include "dialogs/keys/cmenu.h"

#include <QAction>
#include <QCursor>
#include <QMenu>

#include "base/log.h"
#include "widgets/menukeys.h"

namespace jex {

namespace {

MenuListSource& programLists() {
  static MenuListSource lists;
  return lists;
}

QString handleText(const QMenu* menu) { return QString::number(reinterpret_cast<quintptr>(menu), 16).toUpper(); }

}  // namespace

// ---------------------------------------------------------------- cMenuItem

void cMenuItem::setCaption(const QString& caption) {
  trap("cMenuItem.Caption", [&] {
    caption_ = caption;
    if (action_ && !action_->isSeparator()) action_->setText(caption);
  });
}

void cMenuItem::setChecked(bool checked) {
  trap("cMenuItem.Checked", [&] {
    checked_ = checked;
    if (!action_ || action_->isSeparator()) return;
    action_->setCheckable(true);  // from now on the entry is announced with its check state
    action_->setChecked(checked);
  });
}

void cMenuItem::setEnabled(bool enabled) {
  trap("cMenuItem.Enabled", [&] {
    enabled_ = enabled;
    if (action_) action_->setEnabled(enabled);
  });
}

// ---------------------------------------------------------------- cMenu

cMenu::cMenu(MenuListSource lists) : lists_(std::move(lists)) { create(); }

cMenu::~cMenu() { Destroy(); }

void cMenu::setListSource(MenuListSource lists) { programLists() = std::move(lists); }

void cMenu::create() {
  trap("cMenu.Class_Initialize", [&] {
    menu_ = new QMenu;
    ui::applyMenuKeys(menu_);
    WriteLog(QStringLiteral("CreatePopupMenu: ") + handleText(menu_), kDetail);
  });
}

cMenuItem* cMenu::ItemByKey(const QString& key) const {
  return trapped("cMenu.ItemByKey", static_cast<cMenuItem*>(nullptr),
                 [&] { return ItemByID(idsByKey_.value(key.toLower(), 0)); });
}

cMenuItem* cMenu::ItemByID(qint32 id) const { return id >= 1 && id <= order_.size() ? order_.at(id - 1) : nullptr; }

cMenuItem* cMenu::AddItem(const QString& caption, const QString& key, cMenuItem* parent) {
  return trapped("cMenu.AddItem", static_cast<cMenuItem*>(nullptr), [&]() -> cMenuItem* {
    if (!menu_) create();
    QMenu* target = menu_;
    if (parent) {
      if (!parent->submenu_) {
        auto* sub = new QMenu;
        ui::applyMenuKeys(sub);
        submenus_.append(sub);
        if (parent->action_) parent->action_->setMenu(sub);
        parent->submenu_ = sub;
        WriteLog(QStringLiteral("CreatePopupMenu: ") + handleText(sub), kDetail);
      }
      target = parent->submenu_;
    }
    auto item = std::make_unique<cMenuItem>();
    item->id_ = ++lastId_;
    item->caption_ = caption;
    item->key_ = key;
    item->menu_ = target;
    if (!key.isEmpty()) {
      const QString folded = key.toLower();
      if (idsByKey_.contains(folded))
        WriteErrorLog(QStringLiteral("cMenu.AddItem: key %1 is already entry %2 - entry %3 keeps no key")
                          .arg(key)
                          .arg(idsByKey_.value(folded))
                          .arg(item->id_));
      else idsByKey_.insert(folded, item->id_);
    }
    QAction* action = caption.isEmpty() ? target->addSeparator() : target->addAction(caption);
    action->setData(item->id_);
    item->action_ = action;
    cMenuItem* raw = item.get();
    order_.append(raw);
    items_.push_back(std::move(item));
    return raw;
  });
}

void cMenu::append(const QList<MenuLine>& lines, cMenuItem* parent) {
  for (const MenuLine& line : lines) {
    switch (line.kind) {
      case MenuLine::Kind::Separator:
        AddItem(QString(), QString(), parent);
        break;
      case MenuLine::Kind::Entry:
        AddItem(line.caption, line.key, parent);
        break;
      case MenuLine::Kind::Submenu: {
        cMenuItem* item = AddItem(line.caption, QString(), parent);
        if (!item) break;
        if (line.children.isEmpty()) {
          // An empty submenu still shows as one, so that the entry says what it holds: nothing.
          auto* sub = new QMenu;
          ui::applyMenuKeys(sub);
          submenus_.append(sub);
          item->action_->setMenu(sub);
          item->submenu_ = sub;
          WriteLog(QStringLiteral("CreatePopupMenu: ") + handleText(sub), kDetail);
        }
        append(line.children, item);
        break;
      }
    }
  }
}

void cMenu::AppendFromFile(const QString& file, const QString& section, cMenuItem* parent, int codePage) {
  trap("cMenu.AppendFromFile", [&] {
    const MenuListSource& lists = lists_ ? lists_ : programLists();
    append(readMenuSection(file, section, lists, codePage), parent);
  });
}

void cMenu::AppendFromCollection(const QStringList& strings, cMenuItem* parent) {
  trap("cMenu.AppendFromCollection", [&] { append(menuLinesFromStrings(strings), parent); });
}

void cMenu::AppendFromCollection(const Obj& collection, cMenuItem* parent) {
  trap("cMenu.AppendFromCollection", [&] {
    if (collection.isNothing()) throw Error(err::ObjectRequired, QStringLiteral("no collection"));
    QStringList strings;
    if (!trap("cMenu.AppendFromCollection.Items", [&] { strings = collection.strings(); })) {
      const int n = collection.count();
      for (int i = 1; i <= n; ++i) strings << automation::toStr(collection.item(i));
    }
    append(menuLinesFromStrings(strings), parent);
  });
}

QString cMenu::PopUp(QWidget* owner, qint32 flags, bool returnKey, int x, int y) {
  return trapped("cMenu.PopUp", QString(), [&] { return track(menu_, owner, flags, returnKey, x, y); });
}

QString cMenu::PopSub(cMenuItem* parent, QWidget* owner, qint32 flags, bool returnKey, int x, int y) {
  return trapped("cMenu.PopSub", QString(), [&] {
    if (!parent || !parent->submenu_) return QString();
    return track(parent->submenu_, owner, flags, returnKey, x, y);
  });
}

QString cMenu::track(QMenu* menu, QWidget* owner, qint32 flags, bool returnKey, int x, int y) {
  if (!menu || menu->isVisible()) return {};
  QPoint at = (x < 0 || y < 0) ? QCursor::pos() : QPoint(x, y);
  const QSize size = menu->sizeHint();
  if (flags & kRightAlign) at.rx() -= size.width();
  else if (flags & kCenterAlign) at.rx() -= size.width() / 2;
  if (flags & kBottomAlign) at.ry() -= size.height();
  else if (flags & kVCenterAlign) at.ry() -= size.height() / 2;
  if (owner) menu->setLayoutDirection(owner->layoutDirection());
  QAction* chosen = menu->exec(at);
  cMenuItem* item = chosen ? ItemByID(chosen->data().toInt()) : nullptr;
  if (!item) return {};
  // Choosing a checkable entry toggles it in the menu; its state is the owner's to write.
  if (chosen->isCheckable()) chosen->setChecked(item->checked_);
  if (!(flags & kReturnCmd)) {
    if (Chosen) Chosen(item->id_, item->key_);
    return {};
  }
  return returnKey ? item->key_ : QString::number(item->id_);
}

void cMenu::Destroy() {
  trap("cMenu.Destroy", [&] {
    // Entries let go of their submenus first, so that no entry points at a menu that is gone.
    for (cMenuItem* item : std::as_const(order_))
      if (item->action_ && item->submenu_) item->action_->setMenu(static_cast<QMenu*>(nullptr));
    for (const QPointer<QMenu>& sub : std::as_const(submenus_)) {
      if (!sub) continue;
      WriteLog(QStringLiteral("Destroy: ") + handleText(sub), kDetail);
      delete sub.data();
    }
    submenus_.clear();
    if (menu_) {
      WriteLog(QStringLiteral("Destroy: ") + handleText(menu_), kDetail);
      delete menu_.data();
    }
    order_.clear();
    items_.clear();
    idsByKey_.clear();
    lastId_ = 0;
  });
}

void cMenu::Clear() {
  trap("cMenu.Clear", [&] {
    Destroy();
    create();
  });
}

}  // namespace jex
