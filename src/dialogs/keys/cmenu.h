// cMenu: one popup menu and the entries of it and of its submenus, built from menu files
// (menufile.h), from lists of "key=caption" strings or entry by entry, shown at a point and
// answering which entry was chosen.
//
// Every entry has an ID: 1 for the first one added, one more for each further entry, separators
// included. Entries are found by ID or by key (without regard to case; of two entries with the
// same key the first one is found). An entry gets a submenu when the first entry is added under
// it. Checked, Enabled and the caption of an entry are shown at once when they are written; an
// entry whose check state was written is announced with it ("checked" / "not checked").
//
// The menus follow the program's menu keys (widgets/menukeys.h): "&" marks an access key, an
// entry without one answers to its first letter.
//
//   cMenu menu;
//   menu.AppendFromFile(lngDir + "QMenu.ini", "Menu");
//   QString key = menu.PopUp(this, cMenu::kReturnCmd, true, -1, -1);  // "" when cancelled
#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>

#include "automation/automation.h"
#include "dialogs/keys/menufile.h"

class QAction;
class QMenu;
class QWidget;

namespace jex {

class cMenu;

class cMenuItem {
 public:
  qint32 ID() const { return id_; }
  QString Caption() const { return caption_; }
  void setCaption(const QString& caption);
  QString Key() const { return key_; }
  void setKey(const QString& key) { key_ = key; }
  bool Checked() const { return checked_; }
  void setChecked(bool checked);
  bool Enabled() const { return enabled_; }
  void setEnabled(bool enabled);
  QMenu* Menu() const { return menu_; }        // the menu that holds the entry
  QMenu* SubMenu() const { return submenu_; }  // its own submenu; null until a child is added
  QAction* Action() const { return action_; }

 private:
  friend class cMenu;
  qint32 id_ = 0;
  QString caption_, key_;
  bool checked_ = false, enabled_ = true;
  QPointer<QMenu> menu_, submenu_;
  QPointer<QAction> action_;
};

class cMenu {
 public:
  // The flags of PopUp: where the menu stands against the point, and whether the choice is
  // returned (without kReturnCmd it goes to Chosen and PopUp returns "").
  static constexpr qint32 kCenterAlign = 0x4, kRightAlign = 0x8;
  static constexpr qint32 kVCenterAlign = 0x10, kBottomAlign = 0x20;
  static constexpr qint32 kReturnCmd = 0x100;

  // lists: where "%function%" lines get their entries; empty means the program's (setListSource).
  explicit cMenu(MenuListSource lists = {});
  ~cMenu();
  cMenu(const cMenu&) = delete;
  cMenu& operator=(const cMenu&) = delete;

  // The program's list functions (the state object's, by name), for every menu made without its own.
  static void setListSource(MenuListSource lists);

  int Count() const { return int(items_.size()); }
  // All entries by ID.
  const QList<cMenuItem*>& Items() const { return order_; }
  cMenuItem* ItemByKey(const QString& key) const;
  cMenuItem* ItemByID(qint32 id) const;

  // Appends an entry to parent's submenu (made on first use) or to the menu; an empty caption
  // gives a separator.
  cMenuItem* AddItem(const QString& caption, const QString& key, cMenuItem* parent = nullptr);
  void AppendFromFile(const QString& file, const QString& section, cMenuItem* parent = nullptr, int codePage = 0);
  void AppendFromCollection(const QStringList& strings, cMenuItem* parent = nullptr);
  // A collection of the other side (Count and Item, or all items at once).
  void AppendFromCollection(const Obj& collection, cMenuItem* parent = nullptr);

  // Shows the menu at (x, y) (the pointer's position when either is negative) and waits: the
  // chosen entry's key (returnKey) or its ID as text; "" when cancelled.
  QString PopUp(QWidget* owner, qint32 flags, bool returnKey, int x, int y);
  // The same for the submenu of parent ("" when it has none).
  QString PopSub(cMenuItem* parent, QWidget* owner, qint32 flags, bool returnKey, int x, int y);
  // Without kReturnCmd, a choice is handed here (ID, key) instead.
  std::function<void(qint32 id, const QString& key)> Chosen;

  void Destroy();
  void Clear();

  QString Tag;
  QMenu* menu() const { return menu_; }

 private:
  void create();
  void append(const QList<MenuLine>& lines, cMenuItem* parent);
  QString track(QMenu* menu, QWidget* owner, qint32 flags, bool returnKey, int x, int y);

  MenuListSource lists_;
  QPointer<QMenu> menu_;
  QList<QPointer<QMenu>> submenus_;
  std::vector<std::unique_ptr<cMenuItem>> items_;
  QList<cMenuItem*> order_;
  QHash<QString, qint32> idsByKey_;  // lower-case key -> ID
  qint32 lastId_ = 0;
};

}  // namespace jex
