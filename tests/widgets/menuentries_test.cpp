// Popup menu entries as a reader meets them through Qt's accessibility: each entry named with
// its key hint, a toggle checkable and checked when on (the toolkit's own tells only "checked"),
// a submenu below its entry, the focus on the entry the keys are on, a change of the menu's
// entries told to the bridge; an entry that also stands in a menu bar keeps the toolkit's own.
#include "widgets/menuentries.h"

#include <gtest/gtest.h>
#include <QAccessible>
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>

#include "widgets/menukeys.h"

namespace {

QString S(const char* s) { return QString::fromUtf8(s); }

// One entry of the menu and what a reader must find in it.
struct Entry {
  const char* caption;  // "-" for a separator
  int check;            // -1: no toggle, 0: toggle off, 1: toggle on
  bool enabled;
  bool submenu;
  const char* name;  // the accessible name
};

const Entry kEntries[] = {
    {"&Sprachausgabe", 1, true, false, "Sprachausgabe"},
    {"T&ooltips ansagen\t(CAP+T)", 0, true, false, "Tooltips ansagen\t(CAP+T)"},
    {"-", -1, false, false, ""},
    {"&Braille", -1, true, true, "Braille"},
    {"Anwendungs&funktionen", -1, false, true, "Anwendungsfunktionen"},
    {"Laut && leise", -1, true, false, "Laut & leise"},
};

class MenuEntries : public ::testing::Test {
 protected:
  void SetUp() override {
    jex::ui::applyMenuKeys(&menu);  // as the program's menus are made
    for (const Entry& e : kEntries) {
      QAction* a = QLatin1String(e.caption) == u"-" ? menu.addSeparator() : menu.addAction(S(e.caption));
      if (e.check >= 0) {
        a->setCheckable(true);
        a->setChecked(e.check == 1);
      }
      if (e.submenu) {
        auto* sub = new QMenu(&menu);
        sub->addAction(S("6 oder 8 Punkte"));
        a->setMenu(sub);
      }
      a->setEnabled(e.enabled);
      actions << a;
    }
  }
  QAccessibleInterface* entry(int i) const { return QAccessible::queryAccessibleInterface(actions.at(i)); }

  QMenu menu;
  QList<QAction*> actions;
};

TEST_F(MenuEntries, TellTheirNameRoleCheckStateAndPlace) {
  QAccessibleInterface* m = QAccessible::queryAccessibleInterface(&menu);
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->childCount(), int(std::size(kEntries)));
  for (int i = 0; i < int(std::size(kEntries)); ++i) {
    const Entry& e = kEntries[i];
    SCOPED_TRACE(e.caption);
    QAccessibleInterface* it = m->child(i);
    ASSERT_NE(it, nullptr);
    EXPECT_EQ(it, entry(i)) << "the menu's child is not the entry's interface";
    EXPECT_EQ(m->indexOfChild(it), i);
    EXPECT_EQ(it->parent(), m);
    EXPECT_EQ(it->role(), e.caption[0] == '-' ? QAccessible::Separator : QAccessible::MenuItem);
    EXPECT_EQ(it->text(QAccessible::Name), S(e.name));
    const QAccessible::State st = it->state();
    EXPECT_EQ(bool(st.checkable), e.check >= 0);
    EXPECT_EQ(bool(st.checked), e.check == 1);
    EXPECT_EQ(bool(st.disabled), !e.enabled);
    EXPECT_EQ(it->childCount(), e.submenu ? 1 : 0);
    if (e.submenu) {
      QAccessibleInterface* sub = it->child(0);
      ASSERT_NE(sub, nullptr);
      EXPECT_EQ(sub->object(), actions.at(i)->menu());
      EXPECT_EQ(it->indexOfChild(sub), 0);
    }
    const QStringList acts = it->actionInterface() ? it->actionInterface()->actionNames() : QStringList();
    if (e.caption[0] != '-') {
      EXPECT_EQ(acts, QStringList{e.submenu ? QAccessibleActionInterface::showMenuAction()
                                            : QAccessibleActionInterface::pressAction()});
    }
  }
  EXPECT_EQ(entry(0)->text(QAccessible::Accelerator), QKeySequence(Qt::ALT).toString(QKeySequence::NativeText) + u'S');
}

TEST_F(MenuEntries, FollowTheActionAndTheKeys) {
  QAccessibleInterface* tips = entry(1);
  actions.at(1)->setChecked(true);
  EXPECT_TRUE(tips->state().checked) << "a toggle switched on is not told so";
  actions.at(0)->setCheckable(false);
  EXPECT_FALSE(entry(0)->state().checkable);
  EXPECT_FALSE(entry(0)->state().checked) << "an entry that is no toggle any more is told checked";

  menu.popup(QPoint(10, 10));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
  EXPECT_FALSE(tips->state().invisible);
  QTest::keyClick(&menu, Qt::Key_Down);
  QTest::keyClick(&menu, Qt::Key_Down);
  EXPECT_TRUE(tips->state().focused);
  EXPECT_FALSE(entry(0)->state().focused);
  EXPECT_TRUE(tips->rect().intersects(QRect(menu.mapToGlobal(QPoint(0, 0)), menu.size())));
  QSignalSpy triggered(actions.at(5), &QAction::triggered);
  entry(5)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(triggered.size(), 1);
  menu.hide();
  EXPECT_TRUE(tips->state().invisible);
}

// An entry taken out of a menu loses its interface, which is made anew for the menu it goes to.
// (Its coming and going is told to readers over the bus while they listen: the reader's tests on
// the desktop hear a menu's new count.)
TEST_F(MenuEntries, AnEntryMovedToAnotherMenuNamesItsNewMenu) {
  ASSERT_EQ(entry(0)->parent(), QAccessible::queryAccessibleInterface(&menu));
  QMenu other;
  jex::ui::applyMenuKeys(&other);
  menu.removeAction(actions.at(0));
  other.addAction(actions.at(0));
  QAccessibleInterface* moved = entry(0);
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(moved->parent(), QAccessible::queryAccessibleInterface(&other)) << "the entry still names its old menu";
  EXPECT_EQ(QAccessible::queryAccessibleInterface(&other)->child(0), moved);
}

TEST(MenuEntryOwner, IsTheOneMenuTheActionStandsIn) {
  QMenu menu, second;
  QMenuBar bar;
  QAction* own = menu.addAction(S("Eigen"));
  QAction* twice = menu.addAction(S("Zweimal"));
  second.addAction(twice);
  QAction* inBar = menu.addAction(S("Leiste"));
  bar.addAction(inBar);
  QAction loose(S("Lose"));
  EXPECT_EQ(jex::ui::entryMenuOf(own), &menu);
  EXPECT_EQ(jex::ui::entryMenuOf(twice), nullptr);
  EXPECT_EQ(jex::ui::entryMenuOf(inBar), nullptr);
  EXPECT_EQ(jex::ui::entryMenuOf(&loose), nullptr);
  EXPECT_EQ(jex::ui::entryMenuOf(nullptr), nullptr);
}

}  // namespace
