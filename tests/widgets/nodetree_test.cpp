// A tree of nodes in a real window driven by keys, as a reader sees it through Qt's
// accessibility: the node the user is on has the focus, numbered as the tree's children say
// (the focus events themselves are heard by the core's reader in the end-to-end walk).
#include "widgets/nodetree.h"

#include <gtest/gtest.h>
#include <QAccessible>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

namespace {

struct Step {
  const char* name;
  Qt::Key key;
  const char* focus;  // the node with the focus after the key
  int shown;          // nodes shown
};

class NodeTreeKeys : public ::testing::TestWithParam<std::vector<Step>> {
 protected:
  void SetUp() override {
    auto* box = new QVBoxLayout(&window);
    box->addWidget(field);
    box->addWidget(tree);
    tree->setHeaderHidden(true);
    for (const auto& [top, kids] : {std::pair{"Tasten", QStringList{"F1", "F2"}}, {"Braille", {"B1"}}, {"Leer", {}}}) {
      auto* n = new QTreeWidgetItem(tree, {QString::fromLatin1(top)});
      for (const QString& k : kids) new QTreeWidgetItem(n, {k});
    }
    tree->setCurrentItem(tree->topLevelItem(0));
    window.show();
    field->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  }
  // The node with the focus as the tree's accessible tells it, checked both ways.
  QString focusedNode() const {
    QAccessibleInterface* t = QAccessible::queryAccessibleInterface(tree);
    QAccessibleInterface* n = t->focusChild();
    if (!n) return {};
    EXPECT_EQ(t->child(t->indexOfChild(n)), n);
    EXPECT_TRUE(n->state().focused);
    return n->text(QAccessible::Name);
  }

  QWidget window;
  QLineEdit* field = new QLineEdit(&window);
  jex::ui::NodeTree* tree = new jex::ui::NodeTree(&window);
};

TEST_P(NodeTreeKeys, TheNodeTheUserIsOnHasTheFocus) {
  QAccessibleInterface* t = QAccessible::queryAccessibleInterface(tree);
  ASSERT_EQ(t->role(), QAccessible::Tree);
  EXPECT_EQ(t->focusChild(), nullptr) << "a node focused while the tree has no focus";
  for (const Step& s : GetParam()) {
    SCOPED_TRACE(s.name);
    QTest::keyClick(QApplication::focusWidget(), s.key);
    EXPECT_EQ(focusedNode(), QString::fromUtf8(s.focus));
    EXPECT_EQ(t->childCount(), s.shown);
    for (int i = 0; i < t->childCount(); ++i) {
      EXPECT_EQ(t->indexOfChild(t->child(i)), i);
      EXPECT_EQ(t->child(i)->role(), QAccessible::TreeItem);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Walks, NodeTreeKeys,
                         ::testing::Values(std::vector<Step>{{"tab in", Qt::Key_Tab, "Tasten", 3},
                                                             {"down", Qt::Key_Down, "Braille", 3},
                                                             {"end", Qt::Key_End, "Leer", 3},
                                                             {"up", Qt::Key_Up, "Braille", 3}},
                                           // Opened nodes move the ones below: the numbers follow.
                                           std::vector<Step>{{"tab in", Qt::Key_Tab, "Tasten", 3},
                                                             {"open", Qt::Key_Right, "Tasten", 5},
                                                             {"into it", Qt::Key_Down, "F1", 5},
                                                             {"end", Qt::Key_End, "Leer", 5},
                                                             {"up", Qt::Key_Up, "Braille", 5},
                                                             {"open", Qt::Key_Right, "Braille", 6},
                                                             {"down", Qt::Key_Down, "B1", 6},
                                                             {"back to the parent", Qt::Key_Left, "Braille", 6},
                                                             {"close", Qt::Key_Left, "Braille", 5},
                                                             {"down", Qt::Key_Down, "Leer", 5},
                                                             {"away", Qt::Key_Backtab, "", 5},
                                                             {"tab in again", Qt::Key_Tab, "Leer", 5}}));

TEST_F(NodeTreeKeys, NodesTellTheirStateAndARemovedNodeRenumbersTheRest) {
  tree->setFocus();
  QTest::keyClick(tree, Qt::Key_Right);
  QAccessibleInterface* node = QAccessible::queryAccessibleInterface(tree)->child(0);
  ASSERT_NE(node, nullptr);
  EXPECT_TRUE(node->state().expanded);
  QTest::keyClick(tree, Qt::Key_Left);
  EXPECT_TRUE(node->state().collapsed);
  EXPECT_FALSE(QAccessible::queryAccessibleInterface(tree)->child(2)->state().expandable);
  delete tree->takeTopLevelItem(0);
  EXPECT_EQ(QAccessible::queryAccessibleInterface(tree)->child(0)->text(QAccessible::Name), QStringLiteral("Braille"));
}

}  // namespace
