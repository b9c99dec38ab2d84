// A choice in a list committed when the user settles on it, on a real window driven by keys:
// a drop-down list and an item list, each beside a field to leave to and a default button.
#include "widgets/listcommit.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

namespace {

enum class ListKind { DropDown, Items };

class ListCommitTest : public ::testing::TestWithParam<ListKind> {
 protected:
  void SetUp() override {
    auto* layout = new QVBoxLayout(&window);
    const QStringList items{QStringLiteral("eins"), QStringLiteral("zwei"), QStringLiteral("drei"),
                            QStringLiteral("vier")};
    if (GetParam() == ListKind::DropDown) {
      combo = new QComboBox;
      combo->addItems(items);
      list = combo;
      commit = jex::ui::ListCommit::attach(combo, [this] { committedNow(combo->currentText()); });
    } else {
      items_ = new QListWidget;
      items_->addItems(items);
      items_->setCurrentRow(0);
      list = items_;
      commit = jex::ui::ListCommit::attach(items_, [this] { committedNow(items_->currentItem()->text()); });
    }
    layout->addWidget(list);
    layout->addWidget(field);
    layout->addWidget(ok);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &window, [this] { okAtCommits = committed.size(); });
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    list->setFocus(Qt::TabFocusReason);
    ASSERT_NE(commit, nullptr);
  }
  void select(int row) {
    if (combo) combo->setCurrentIndex(row);
    else items_->setCurrentRow(row);
  }
  void committedNow(const QString& item) {
    committed << item;
    if (onCommit) onCommit();
  }
  void arrow(int times) {
    for (int i = 0; i < times; ++i) QTest::keyClick(list, Qt::Key_Down);
  }

  QDialog window;
  QLineEdit* field = new QLineEdit;
  QPushButton* ok = new QPushButton(QStringLiteral("OK"));
  QComboBox* combo = nullptr;
  QListWidget* items_ = nullptr;
  QWidget* list = nullptr;
  jex::ui::ListCommit* commit = nullptr;
  QStringList committed;
  std::function<void()> onCommit;  // what the handler does besides noting the item
  int okAtCommits = -1;            // how many commits there were when the default button was pressed
};

TEST_P(ListCommitTest, ArrowingCommitsNothingUntilTheFocusLeavesThenOnceForTheLastItem) {
  arrow(3);
  EXPECT_TRUE(committed.isEmpty()) << committed.join(u' ').toStdString();
  EXPECT_TRUE(commit->pending());
  QTest::keyClick(list, Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), field);
  EXPECT_EQ(committed, QStringList{QStringLiteral("vier")});
  EXPECT_FALSE(commit->pending());
  // Back and out again without a new choice: nothing more.
  list->setFocus(Qt::BacktabFocusReason);
  QTest::keyClick(list, Qt::Key_Tab);
  EXPECT_EQ(committed.size(), 1);
}

TEST_P(ListCommitTest, EnterCommitsFirstAndThenPressesTheDefaultButton) {
  arrow(2);
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(committed, QStringList{QStringLiteral("drei")});
  EXPECT_EQ(okAtCommits, 1) << "the default button was pressed before the commit, or not at all";
  // Enter with nothing chosen commits nothing but still presses the button.
  okAtCommits = -1;
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(committed.size(), 1);
  EXPECT_EQ(okAtCommits, 1);
}

TEST_P(ListCommitTest, TheProgramsChoiceIsCommittedAtOnceAndAHiddenListDropsTheUsers) {
  select(2);  // with the focus in the list, but not by a key
  EXPECT_EQ(committed, QStringList{QStringLiteral("drei")});
  arrow(1);
  window.hide();  // Escape closing the window: the choice is not made
  EXPECT_FALSE(commit->pending());
  EXPECT_EQ(committed.size(), 1);
}

TEST_P(ListCommitTest, ACommitThatAsksAModalQuestionRunsOnce) {
  // The question takes the focus from the list and gives it back: no second commit.
  QDialog question(&window);
  onCommit = [&] {
    QTimer::singleShot(0, &question, [&] { question.accept(); });
    question.exec();
  };
  arrow(2);
  QTest::keyClick(list, Qt::Key_Tab);
  EXPECT_EQ(committed, QStringList{QStringLiteral("drei")});
  list->setFocus(Qt::BacktabFocusReason);
  arrow(1);
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(committed, (QStringList{QStringLiteral("drei"), QStringLiteral("vier")}));
}

INSTANTIATE_TEST_SUITE_P(Lists, ListCommitTest, ::testing::Values(ListKind::DropDown, ListKind::Items),
                         [](const ::testing::TestParamInfo<ListKind>& p) {
                           return p.param == ListKind::DropDown ? "DropDown" : "Items";
                         });

}  // namespace
