// Popup menu entries as screen readers meet them. The toolkit tells a checked entry as checked,
// but never that an entry can be checked at all, so that an entry that is off is heard as a
// plain entry and a toggle cannot be told from a command. Every entry of a popup menu (QMenu) is
// given an accessible interface of its own that says what the toolkit's says (its name with the
// key hint, its place, its submenu, its press and show-menu actions) and, for an entry that can
// be checked, that it is checkable, and checked when it is on.
//
// Entries that also stand in a menu bar or a tool bar keep the toolkit's interface.
//
// The toolkit's AT-SPI bridge leaves "checkable" out of the states it sends; the states of a
// checkable entry are answered for it (platform/atspistates.h).
//
// An entry taken out of a menu is told to readers (children-changed over AT-SPI, as the toolkit
// tells a widget that goes) and loses its interface, which is made anew for the menu it goes to.
// An entry added is not told: its interface, made then, would be sent with the states it has
// while it is being made, before it is made checkable, and kept by readers that cache them;
// readers count a menu's entries anew when their number changed.
//
//   ui::tellMenuEntryStates();      // once, before the menus are read
//   ui::watchMenuEntries(menu);     // for each menu
//   // applyMenuKeys does both for the program's menus
#pragma once

class QAction;
class QMenu;

namespace jex::ui {

// Installs the interface for every popup menu entry read from now on; later calls do nothing.
void tellMenuEntryStates();

// Has the menu tell readers about entries taken out, for its lifetime.
void watchMenuEntries(QMenu* menu);

// The menu whose entry the action is (its parent, or the one menu it was added to); null for an
// action that is no popup menu's entry alone.
QMenu* entryMenuOf(const QAction* action);

}  // namespace jex::ui
