// The task list dialog over the stand-in core, driven with the keyboard.
#include <unistd.h>
#include <QTemporaryDir>

#include "dialogs/tasks/frmtasks.h"
#include "tests/dialogs/tasks/taskdesktop.h"
#include "tests/support/accessibility.h"
#include "tests/support/dialogtest.h"

namespace jex::test {
namespace {

// The task list in the main window.
class TaskDialog : public DialogTest {
 protected:
  void SetUp() override {
    REQUIRE_DESKTOP();
    DialogTest::SetUp();
    showByKey();
    dlg = qobject_cast<frmTasks*>(forms::load(QStringLiteral("frmTasks")));
    ASSERT_NE(dlg, nullptr);
  }
  // The list shown as the command shows it, through the main window's child switch, with the
  // window that was in front before as the test set it.
  void showTasks() { ASSERT_TRUE(mdi->openForm(QStringLiteral("frmTasks"), QStringLiteral("ShowTasks"))); }
  QTreeWidgetItem* row(const QString& caption) const {
    return dlg->lvwTasks()->findItems(caption, Qt::MatchExactly, 0).value(0);
  }
  // Waits until the dialog's own refreshes show a row with caption (and info, when given).
  bool shows(const QString& caption, const QString& info = {}) {
    return QTest::qWaitFor([&] { return row(caption) && (info.isEmpty() || row(caption)->text(1) == info); }, 8000);
  }
  // A key pressed where the focus is in the dialog, as the user presses it.
  void key(Qt::Key k) {
    dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg));
    QTest::keyClick(QApplication::focusWidget(), k);
  }
  void press(const char* button) {
    dlg->button(button)->setFocus();
    key(Qt::Key_Return);
  }
  // Shows the dialog and selects the row of caption once it is there.
  void select(const QString& caption) {
    showTasks();
    ASSERT_TRUE(shows(caption));
    dlg->lvwTasks()->setCurrentItem(row(caption));
  }

  frmTasks* dlg = nullptr;
};

TEST_F(TaskDialog, PreselectsTheProgramInFrontIsHeardAsAListAndEnterSwitches) {
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
  core.foregroundWnd = qint64(letter);  // the window in front, as the core tells JexUI

  showTasks();
  ASSERT_TRUE(shows(QStringLiteral("Tabelle")));
  ASSERT_TRUE(shows(QStringLiteral("Brief")));
  EXPECT_EQ(dlg->lvwTasks()->currentItem(), row(QStringLiteral("Brief")));
  EXPECT_EQ(row(QStringLiteral("Brief"))->text(2), QStringLiteral("&h") + QString::number(letter, 16).toUpper());
  EXPECT_EQ(dlg->lvwTasks()->headerItem()->text(1), QStringLiteral("Status"));
  for (const char* own : {"JexUI Hauptmenü", "Corvane", "Mein Fenster"})
    EXPECT_EQ(row(QString::fromUtf8(own)), nullptr) << own;
  EXPECT_FALSE(dlg->button("cmdClose")->isVisible());
  EXPECT_ACCESSIBLE(dlg);

  // The list is heard as a list of programs with their state; the entry an arrow key moves to
  // has the focus.
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
  view->setCurrentItem(view->topLevelItem(0));
  view->setFocus();
  key(Qt::Key_Down);
  QAccessibleInterface* focused = list->focusChild();
  ASSERT_NE(focused, nullptr);
  EXPECT_EQ(list->indexOfChild(focused), 1);
  EXPECT_TRUE(focused->state().focused);
  EXPECT_FALSE(list->child(0)->state().focused);

  // Enter switches to the chosen program.
  view->setCurrentItem(row(QStringLiteral("Brief")));
  key(Qt::Key_Return);
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_FALSE(dlg->Timer1()->isActive());
  EXPECT_TRUE(QTest::qWaitFor([&] { return platform::tasks::activeWindow() == letter; }, 3000));
}

TEST_F(TaskDialog, WithoutProgramsSaysNoTasksAndEnterCloses) {
  showTasks();
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
  showTasks();
  ASSERT_TRUE(shows(QStringLiteral("Editor"), QStringLiteral("läuft normal")));
  ASSERT_TRUE(client.command(QStringLiteral("hang")));
  ASSERT_TRUE(shows(QStringLiteral("Editor"), QStringLiteral("reagiert nicht normal")));
  const auto said = [&](const char* text) {
    return QTest::qWaitFor([&] { return core.spoken.contains(QString::fromUtf8(text)); }, 8000);
  };
  EXPECT_TRUE(said("Editor reagiert nicht"));
  ASSERT_TRUE(client.command(QStringLiteral("answer")));
  ASSERT_TRUE(shows(QStringLiteral("Editor"), QStringLiteral("läuft normal")));
  EXPECT_TRUE(said("Editor läuft"));
  EXPECT_EQ(core.spoken.count(QStringLiteral("Editor reagiert nicht")), 1);
}

// A program that flips between answering and not is shown as it is, but said only once a state
// has lasted.
TEST_F(TaskDialog, AFlippingProgramIsSaidOnlyOnceAStateLasts) {
  TaskClient client;
  client.open(QStringLiteral("w"), QStringLiteral("Wackler"));
  showTasks();
  ASSERT_TRUE(shows(QStringLiteral("Wackler"), QStringLiteral("läuft normal")));
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(client.command(QStringLiteral("hang")));
    ASSERT_TRUE(shows(QStringLiteral("Wackler"), QStringLiteral("reagiert nicht normal")));
    ASSERT_TRUE(client.command(QStringLiteral("answer")));
    ASSERT_TRUE(shows(QStringLiteral("Wackler"), QStringLiteral("läuft normal")));
  }
  QTest::qWait(frmTasks::kSettleMs + 1500);
  EXPECT_FALSE(core.spoken.contains(QStringLiteral("Wackler reagiert nicht")));
  EXPECT_FALSE(core.spoken.contains(QStringLiteral("Wackler läuft")));
}

// The screen reader's own windows stay out by their process whatever their caption says (also
// "corvane time out !" while hung), and a row whose caption shows it as one only later goes.
TEST_F(TaskDialog, TheScreenReadersOwnWindowsStayOutInEveryState) {
  QTemporaryDir dir;
  const QString core = dir.filePath(QStringLiteral("corvane"));
  ASSERT_TRUE(QFile::copy(QStringLiteral(JEX_BIN_DIR "/jex_taskclient"), core));
  TaskClient own(core), other;
  ASSERT_TRUE(own.ok() && other.ok());
  own.open(QStringLiteral("monitor"), QString());
  ASSERT_TRUE(own.command(QStringLiteral("hang")));
  other.open(QStringLiteral("w"), QStringLiteral("Nachbar"));
  other.open(QStringLiteral("late"), QStringLiteral("Später"));
  showTasks();
  ASSERT_TRUE(shows(QStringLiteral("Nachbar")));
  ASSERT_TRUE(own.command(QStringLiteral("title monitor corvane Monitor")));
  ASSERT_TRUE(own.command(QStringLiteral("answer")));
  ASSERT_TRUE(other.command(QStringLiteral("title late JexUI Einstellungen")));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !row(QStringLiteral("Später")); }, 5000));
  QTest::qWait(2500);  // the monitor's window hung and answering again
  for (int i = 0; i < dlg->lvwTasks()->topLevelItemCount(); ++i)
    EXPECT_EQ(dlg->lvwTasks()->topLevelItem(i)->text(0), QStringLiteral("Nachbar"));
}

// A title with a NUL and a line break, and one of a megabyte: the row keeps its state, shown and
// said after the caption as the row shows it.
TEST_F(TaskDialog, OddTitlesKeepTheirRowWhole) {
  TaskClient client;
  client.open(QStringLiteral("nul"), QStringLiteral("x"));
  client.open(QStringLiteral("big"), QStringLiteral("x"));
  ASSERT_TRUE(client.command(QStringLiteral("rawtitle nul 4d61696c00496e626f780a32")));
  ASSERT_TRUE(client.command(QStringLiteral("bigtitle big 1048576")));
  showTasks();
  const QString nul = QStringLiteral("Mail Inbox 2"), big(cTask::kMaxCaption, u'x');
  for (const QString& caption : {nul, big}) {
    ASSERT_TRUE(shows(caption, QStringLiteral("läuft normal")));
    EXPECT_EQ(row(caption)->data(0, Qt::AccessibleTextRole).toString(), caption + QStringLiteral(" läuft normal"));
  }
}

TEST_F(TaskDialog, MinimiseMaximiseAndRestoreByKeys) {
  TaskClient client;
  client.open(QStringLiteral("w"), QStringLiteral("Kalender"));
  select(QStringLiteral("Kalender"));
  const std::pair<const char*, const char*> presses[] = {
      {"cmdMinimize", "minimiert"}, {"cmdRestore", "normal"}, {"cmdMaximize", "maximiert"}, {"cmdRestore", "normal"}};
  for (const auto& [button, shape] : presses) {
    press(button);
    EXPECT_TRUE(shows(QStringLiteral("Kalender"), QStringLiteral("läuft ") + QLatin1String(shape))) << button;
    for (const auto& [other, itsShape] : presses)  // a button that would not change the shape is off
      EXPECT_EQ(dlg->button(other)->isEnabled(), std::strcmp(shape, itsShape) != 0) << button << ", then " << other;
  }
}

TEST_F(TaskDialog, EndingATaskAsksFirst) {
  TaskClient client;
  client.open(QStringLiteral("w"), QStringLiteral("Rechner"));
  select(QStringLiteral("Rechner"));
  {
    AnswerBox no(Qt::Key_Escape);
    press("cmdEndTask");
    EXPECT_EQ(no.asked, 1);
  }
  EXPECT_FALSE(client.process().waitForFinished(300));
  AnswerBox yes(Qt::Key_Return);
  press("cmdEndTask");
  EXPECT_EQ(yes.asked, 1);
  EXPECT_TRUE(client.process().waitForFinished(3000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !row(QStringLiteral("Rechner")); }, 5000));
}

}  // namespace
}  // namespace jex::test
