// The task list dialog over the stand-in core, driven with the keyboard.
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <unistd.h>

#include "localisation/frmlocalizer.h"
#include "tasks/frmtasks.h"
#include "tests/support/accessibility.h"
#include "tests/support/fakecore.h"
#include "tests/tasks/taskdesktop.h"

namespace jex::test {
namespace {

class TaskDialog : public ::testing::Test, public fake::CoreFixture {
 protected:
  void SetUp() override {
    REQUIRE_DESKTOP();
    frmLocalizer().setLNG(QStringLiteral("1031"));
    dlg = std::make_unique<frmTasks>();
    dlg->ChildLoad();
  }
  void TearDown() override {
    dlg.reset();
    resetLocalizer();
  }
  QTreeWidgetItem* row(const QString& caption) const {
    const auto found = dlg->lvwTasks()->findItems(caption, Qt::MatchExactly, 0);
    return found.value(0);
  }
  // Waits until the dialog's own refreshes show a row with caption (and info, when given).
  bool shows(const QString& caption, const QString& info = {}) {
    return QTest::qWaitFor([&] { return row(caption) && (info.isEmpty() || row(caption)->text(1) == info); }, 8000);
  }
  // A key pressed where the focus is in the dialog, as the user presses it.
  void key(Qt::Key k) {
    dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    QTest::keyClick(QApplication::focusWidget(), k);
  }
  bool spoken(const QString& text) const { return core.spoken.contains(text); }

  std::unique_ptr<frmTasks> dlg;
};

// Presses key on every modal box that shows; counts them.
struct Answer {
  explicit Answer(Qt::Key key) {
    QObject::connect(&timer, &QTimer::timeout, [this, key] {
      QWidget* box = QApplication::activeModalWidget();
      if (!box || !box->isVisible()) return;
      ++asked;
      QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, key);
    });
    timer.start(20);
  }
  QTimer timer;
  int asked = 0;
};

TEST_F(TaskDialog, PreselectsTheProgramInFrontAndEnterSwitchesToIt) {
  TaskClient client;
  const TaskWindow letter = client.open(QStringLiteral("letter"), QStringLiteral("Brief"));
  const TaskWindow sheet = client.open(QStringLiteral("sheet"), QStringLiteral("Tabelle"));
  client.open(QStringLiteral("own"), QStringLiteral("JexUI Hauptmenü"));
  client.open(QStringLiteral("core"), QStringLiteral("Corvane"));
  client.open(QStringLiteral("mine"), QStringLiteral("Mein Fenster"));
  ASSERT_TRUE(client.command(QStringLiteral("pid mine %1").arg(::getpid())));
  cTaskList managed;
  ASSERT_TRUE(refreshUntil(managed, [&] { return managed.TaskByhWnd(letter) && managed.TaskByhWnd(sheet); }));
  ASSERT_TRUE(managed.TaskByhWnd(sheet)->Activate());
  gGlobal().LastForeWnd = letter;

  dlg->ShowTasks();
  ASSERT_TRUE(shows(QStringLiteral("Tabelle")));
  ASSERT_TRUE(shows(QStringLiteral("Brief")));
  EXPECT_EQ(dlg->lvwTasks()->currentItem(), row(QStringLiteral("Brief")));
  EXPECT_EQ(row(QStringLiteral("Brief"))->text(1), QStringLiteral("läuft normal"));
  EXPECT_EQ(row(QStringLiteral("Brief"))->text(2), QStringLiteral("&h") + QString::number(letter, 16).toUpper());
  EXPECT_EQ(dlg->lvwTasks()->headerItem()->text(1), QStringLiteral("Status"));
  for (const char* own : {"JexUI Hauptmenü", "Corvane", "Mein Fenster"}) EXPECT_EQ(row(QString::fromUtf8(own)), nullptr) << own;
  EXPECT_TRUE(dlg->button("cmdMinimize")->isEnabled());
  EXPECT_FALSE(dlg->button("cmdRestore")->isEnabled());
  EXPECT_FALSE(dlg->button("cmdClose")->isVisible());
  EXPECT_ACCESSIBLE(dlg.get());

  dlg->lvwTasks()->setFocus();
  key(Qt::Key_Return);
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_FALSE(dlg->Timer1()->isActive());
  EXPECT_TRUE(QTest::qWaitFor([&] { return platform::tasks::activeWindow() == letter; }, 3000));
}

TEST_F(TaskDialog, IsHeardAsAListOfProgramsWithTheirState) {
  TaskClient client;
  client.open(QStringLiteral("letter"), QStringLiteral("Brief"));
  client.open(QStringLiteral("sheet"), QStringLiteral("Tabelle"));
  dlg->ShowTasks();
  ASSERT_TRUE(shows(QStringLiteral("Brief")) && shows(QStringLiteral("Tabelle")));
  QTreeWidget* view = dlg->lvwTasks();
  QAccessibleInterface* list = QAccessible::queryAccessibleInterface(view);
  ASSERT_EQ(list->role(), QAccessible::List);
  ASSERT_EQ(list->childCount(), view->topLevelItemCount());
  for (int i = 0; i < list->childCount(); ++i) {
    QAccessibleInterface* entry = list->child(i);
    EXPECT_EQ(entry->role(), QAccessible::ListItem);
    EXPECT_EQ(entry->text(QAccessible::Name), view->topLevelItem(i)->text(0) + u' ' + view->topLevelItem(i)->text(1));
    EXPECT_EQ(list->indexOfChild(entry), i);
  }
  // The entry an arrow key moves to has the focus.
  view->setCurrentItem(view->topLevelItem(0));
  view->setFocus();
  key(Qt::Key_Down);
  QAccessibleInterface* focused = list->focusChild();
  ASSERT_NE(focused, nullptr);
  EXPECT_EQ(list->indexOfChild(focused), 1);
  EXPECT_TRUE(focused->state().focused);
  EXPECT_FALSE(list->child(0)->state().focused);
}

TEST_F(TaskDialog, WithoutProgramsSaysNoTasksAndEnterCloses) {
  dlg->ShowTasks();
  ASSERT_EQ(dlg->lvwTasks()->topLevelItemCount(), 1);
  EXPECT_EQ(dlg->lvwTasks()->topLevelItem(0)->text(0), QStringLiteral("keine Tasks !"));
  EXPECT_TRUE(dlg->button("cmdClose")->isVisible());
  for (const char* b : {"cmdSwitchTo", "cmdMinimize", "cmdMaximize", "cmdRestore", "cmdEndTask"})
    EXPECT_FALSE(dlg->button(b)->isEnabled()) << b;
  key(Qt::Key_Return);
  EXPECT_FALSE(dlg->isVisible());
}

TEST_F(TaskDialog, AProgramThatStopsAnsweringIsShownAndSaidOnce) {
  TaskClient client;
  client.open(QStringLiteral("w"), QStringLiteral("Editor"));
  dlg->ShowTasks();
  ASSERT_TRUE(shows(QStringLiteral("Editor"), QStringLiteral("läuft normal")));
  ASSERT_TRUE(client.command(QStringLiteral("hang")));
  ASSERT_TRUE(shows(QStringLiteral("Editor"), QStringLiteral("reagiert nicht normal")));
  EXPECT_TRUE(spoken(QStringLiteral("Editor reagiert nicht")));
  ASSERT_TRUE(client.command(QStringLiteral("answer")));
  ASSERT_TRUE(shows(QStringLiteral("Editor"), QStringLiteral("läuft normal")));
  EXPECT_TRUE(spoken(QStringLiteral("Editor läuft")));
  EXPECT_EQ(core.spoken.count(QStringLiteral("Editor reagiert nicht")), 1);
}

TEST_F(TaskDialog, MinimiseMaximiseAndRestoreByKeys) {
  TaskClient client;
  const TaskWindow w = client.open(QStringLiteral("w"), QStringLiteral("Kalender"));
  dlg->ShowTasks();
  ASSERT_TRUE(shows(QStringLiteral("Kalender")));
  dlg->lvwTasks()->setCurrentItem(row(QStringLiteral("Kalender")));
  const auto press = [&](const char* button, const char* state) {
    dlg->button(button)->setFocus();
    key(Qt::Key_Return);
    EXPECT_TRUE(shows(QStringLiteral("Kalender"), QString::fromUtf8(state))) << button;
  };
  press("cmdMinimize", "läuft minimiert");
  EXPECT_FALSE(dlg->button("cmdMinimize")->isEnabled());
  press("cmdRestore", "läuft normal");
  press("cmdMaximize", "läuft maximiert");
  EXPECT_TRUE(dlg->button("cmdRestore")->isEnabled());
  press("cmdRestore", "läuft normal");
  EXPECT_EQ(cTask(w).GetCaption(), QStringLiteral("Kalender"));
}

TEST_F(TaskDialog, EndingATaskAsksFirst) {
  TaskClient client;
  client.open(QStringLiteral("w"), QStringLiteral("Rechner"));
  dlg->ShowTasks();
  ASSERT_TRUE(shows(QStringLiteral("Rechner")));
  dlg->lvwTasks()->setCurrentItem(row(QStringLiteral("Rechner")));
  {
    Answer no(Qt::Key_Escape);
    dlg->button("cmdEndTask")->setFocus();
    key(Qt::Key_Return);
    EXPECT_EQ(no.asked, 1);
  }
  EXPECT_FALSE(client.process().waitForFinished(300));
  Answer yes(Qt::Key_Return);
  dlg->button("cmdEndTask")->setFocus();
  key(Qt::Key_Return);
  EXPECT_EQ(yes.asked, 1);
  EXPECT_TRUE(client.process().waitForFinished(3000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !row(QStringLiteral("Rechner")); }, 5000));
}

}  // namespace
}  // namespace jex::test
