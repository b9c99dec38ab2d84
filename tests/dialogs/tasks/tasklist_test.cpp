// cTaskList and cTask against real windows: what counts as a task, the events of a refresh,
// hung windows, activating and ending a program.
#include <unistd.h>
#include <QSignalSpy>

#include "tests/dialogs/tasks/taskdesktop.h"
#include "tests/support/fakecore.h"

namespace jex::test {
namespace {

class TaskList : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_DESKTOP();
    ASSERT_TRUE(client.ok());
  }
  cTask* task(TaskWindow w) const { return list.TaskByhWnd(w); }
  bool listed(TaskWindow w) {
    return refreshUntil(list, [&] { return task(w) != nullptr; });
  }

  TaskClient client;
  cTaskList list;
};

TEST_F(TaskList, ListsWhatATaskBarShows) {
  const TaskWindow main = client.open(QStringLiteral("main"), QStringLiteral("Rechnung 2026"));
  const TaskWindow owned = client.open(QStringLiteral("owned"), QStringLiteral("Speichern unter"),
                                       QStringLiteral("dialog"), QStringLiteral("main"));
  const TaskWindow tool = client.open(QStringLiteral("tool"), QStringLiteral("Palette"), QStringLiteral("utility"));
  const TaskWindow skip = client.open(QStringLiteral("skip"), QStringLiteral("Leiste"), QStringLiteral("skip"));
  const TaskWindow untitled = client.open(QStringLiteral("untitled"), QString());
  const TaskWindow noPing = client.open(QStringLiteral("noping"), QStringLiteral("Alt"), QStringLiteral("noping"),
                                        QStringLiteral("-"), QStringLiteral("short"));
  const TaskWindow dialog = client.open(QStringLiteral("dialog"), QStringLiteral("Suchen"), QStringLiteral("dialog"));
  ASSERT_TRUE(listed(main) && listed(noPing) && listed(dialog));

  const cTask* t = task(main);
  EXPECT_EQ(t->Caption, QStringLiteral("Rechnung 2026"));
  EXPECT_EQ(t->ClassName, QStringLiteral("Sample"));
  EXPECT_TRUE(t->IsTask && t->Responding && !t->Iconic && !t->Zoomed);
  EXPECT_EQ(t->IconSm().availableSizes().value(0), QSize(16, 16));
  EXPECT_TRUE(task(noPing)->Responding);          // without the ping it counts as answering
  EXPECT_FALSE(task(noPing)->IconSm().isNull());  // an icon shorter than it says: the default
  for (TaskWindow no : {owned, tool, skip, untitled}) EXPECT_EQ(task(no), nullptr) << no;
  EXPECT_EQ(list.TaskByIndex(0), nullptr);
  EXPECT_EQ(list.TaskByIndex(list.Count() + 1), nullptr);

  // Nothing changed: no event.
  QSignalSpy added(&list, &cTaskList::TaskAdded), removed(&list, &cTaskList::TaskRemoved),
      updated(&list, &cTaskList::TaskUpdated);
  list.Refresh();
  list.Refresh();
  EXPECT_EQ(added.count() + removed.count() + updated.count(), 0);

  // A changed title is an update; a hidden window goes, and comes back at the end.
  ASSERT_TRUE(client.command(QStringLiteral("title main Rechnung 2027")));
  list.Refresh();
  ASSERT_EQ(updated.count(), 1);
  EXPECT_EQ(task(main)->Caption, QStringLiteral("Rechnung 2027"));
  ASSERT_TRUE(client.command(QStringLiteral("hide main")));
  ASSERT_TRUE(refreshUntil(list, [&] { return !task(main); }));
  EXPECT_NE(task(owned), nullptr);  // its owner is no longer visible
  ASSERT_TRUE(client.command(QStringLiteral("show main")));
  ASSERT_TRUE(listed(main));
  EXPECT_EQ(list.TaskByIndex(list.Count()), task(main));
  EXPECT_TRUE(refreshUntil(list, [&] { return !task(owned); }));
}

TEST_F(TaskList, BadTitlesAndVanishingWindowsLeaveTheOthersListed) {
  const TaskWindow good = client.open(QStringLiteral("good"), QStringLiteral("Gut"));
  const TaskWindow bad = client.open(QStringLiteral("bad"), QStringLiteral("x"));
  const TaskWindow big = client.open(QStringLiteral("big"), QStringLiteral("x"));
  const TaskWindow nul = client.open(QStringLiteral("nul"), QStringLiteral("x"));
  ASSERT_TRUE(client.command(QStringLiteral("rawtitle bad 41c3ff42")));
  ASSERT_TRUE(client.command(QStringLiteral("bigtitle big 1048576")));
  ASSERT_TRUE(client.command(QStringLiteral("rawtitle nul 41000a4209")));
  ASSERT_TRUE(listed(good) && listed(bad) && listed(big) && listed(nul));
  EXPECT_TRUE(task(bad)->Caption.startsWith(u'A') && task(bad)->Caption.endsWith(u'B'));
  EXPECT_TRUE(task(bad)->Caption.contains(QChar(0xFFFD)));
  // A megabyte of title is cut as the row shows and says it; a NUL or line break splits nothing.
  EXPECT_EQ(task(big)->Caption, QString(cTask::kMaxCaption, u'x'));
  EXPECT_EQ(cTask(big).GetCaption(), task(big)->Caption);
  EXPECT_EQ(task(nul)->Caption, QStringLiteral("A  B "));

  ASSERT_TRUE(client.command(QStringLiteral("close bad")));
  cTask gone(bad);
  gone.Update();
  EXPECT_FALSE(gone.IsTask);
  EXPECT_EQ(gone.GetCaption(), QStringLiteral(" time out !"));
  ASSERT_TRUE(refreshUntil(list, [&] { return !task(bad); }));
  EXPECT_NE(task(good), nullptr);
  EXPECT_EQ(cTask(good).GetCaption(), QStringLiteral("Gut"));
  EXPECT_EQ(cTask(client.open(QStringLiteral("blank"), QString())).GetCaption(), QStringLiteral(" NO Titlet !"));

  // The display going away empties the list without an error; it comes back with the display.
  const QByteArray display = qgetenv("DISPLAY");
  qputenv("DISPLAY", ":65000");
  list.Refresh();
  EXPECT_EQ(list.Count(), 0);
  qputenv("DISPLAY", display);
  EXPECT_TRUE(listed(good));
}

TEST_F(TaskList, HungWindowsAreMarkedBothWays) {
  list.setHungTimeout(300);
  list.setHungTimeout(0);  // ignored
  list.setHungTimeout(-5);
  EXPECT_EQ(list.HungTimeout(), 300);
  const TaskWindow w = client.open(QStringLiteral("w"), QStringLiteral("Editor"));
  ASSERT_TRUE(listed(w));
  QSignalSpy updated(&list, &cTaskList::TaskUpdated);

  ASSERT_TRUE(client.command(QStringLiteral("hang")));
  ASSERT_TRUE(refreshUntil(list, [&] { return !task(w)->Responding; }));
  ASSERT_EQ(updated.count(), 1);
  EXPECT_EQ(task(w)->Caption, QStringLiteral("Editor"));  // hung later: the title stays
  list.Refresh();
  QTest::qWait(400);  // past its time again: the ping sent anew does not make it answer
  list.Refresh();
  EXPECT_EQ(updated.count(), 1);

  // Seen for the first time while hung: the class name stands for the title.
  cTaskList fresh;
  fresh.setHungTimeout(300);
  fresh.Refresh();
  ASSERT_NE(fresh.TaskByhWnd(w), nullptr);
  EXPECT_EQ(fresh.TaskByhWnd(w)->Caption, QStringLiteral("Sample time out !"));
  EXPECT_EQ(fresh.TaskByhWnd(w)->GetCaption(), QStringLiteral(" time out !"));

  ASSERT_TRUE(client.command(QStringLiteral("answer")));
  ASSERT_TRUE(refreshUntil(list, [&] { return task(w)->Responding; }));
  EXPECT_EQ(updated.count(), 2);
  ASSERT_TRUE(refreshUntil(fresh, [&] { return fresh.TaskByhWnd(w)->Caption == u"Editor"; }));
}

// Nothing waits for an answer: with a time-out of ten minutes a hung window is still within its
// time at every refresh (a refresh that waited for it would not come back for ten minutes).
TEST_F(TaskList, ARefreshNeverWaitsForAnAnswer) {
  const TaskWindow w = client.open(QStringLiteral("w"), QStringLiteral("Zögerer"));
  ASSERT_TRUE(listed(w));
  ASSERT_TRUE(client.command(QStringLiteral("hang")));
  list.setHungTimeout(600000);
  for (int i = 0; i < 3; ++i) list.Refresh();
  EXPECT_TRUE(task(w)->Responding);
  cTask single(w, 600000);
  single.Update();
  EXPECT_TRUE(single.IsTask && single.Responding);
  EXPECT_EQ(single.GetCaption(), QStringLiteral("Zögerer"));
}

// Windows of real toolkits: each answers the ping in its own way (Qt and GTK send the answer to
// the root window with different event masks), and a stopped process answers nothing.
class ToolkitTask : public TaskList, public ::testing::WithParamInterface<ToolkitWindow::Kit> {};

TEST_P(ToolkitTask, RunsHangsAndRunsAgain) {
  const QString title = GetParam() == ToolkitWindow::Qt ? QStringLiteral("Qt Fenster") : QStringLiteral("GTK Fenster");
  ToolkitWindow program(GetParam(), title);
  ASSERT_NE(program.window(), 0u) << "no window titled " << title.toStdString();
  list.setHungTimeout(300);
  ASSERT_TRUE(listed(program.window()));
  QSignalSpy updated(&list, &cTaskList::TaskUpdated);
  for (int i = 0; i < 4; ++i) {  // each time past the time-out of the ping before
    QTest::qWait(400);
    list.Refresh();
  }
  EXPECT_TRUE(task(program.window())->Responding);
  EXPECT_EQ(task(program.window())->Caption, title);
  EXPECT_EQ(updated.count(), 0);

  program.hang();
  ASSERT_TRUE(refreshUntil(list, [&] { return !task(program.window())->Responding; }));
  program.answer();
  EXPECT_TRUE(refreshUntil(list, [&] { return task(program.window())->Responding; }));
}

INSTANTIATE_TEST_SUITE_P(Kits, ToolkitTask, ::testing::Values(ToolkitWindow::Qt, ToolkitWindow::Gtk),
                         [](const auto& info) { return info.param == ToolkitWindow::Qt ? "Qt" : "Gtk"; });

// Minimise, maximise and restore are driven through the dialog (frmtasks_test.cpp).
TEST_F(TaskList, ActivateRestoresAMinimisedWindowFirst) {
  const TaskWindow w = client.open(QStringLiteral("w"), QStringLiteral("Tabelle"));
  const TaskWindow other = client.open(QStringLiteral("other"), QStringLiteral("Brief"));
  ASSERT_TRUE(listed(w) && listed(other));
  cTask* t = task(w);
  EXPECT_TRUE(task(other)->Activate());
  EXPECT_EQ(platform::tasks::activeWindow(), other);
  t->Minimize();
  ASSERT_TRUE(refreshUntil(list, [&] { return t->Iconic; }));
  EXPECT_NE(list.TaskByhWnd(w), nullptr);  // a minimised window stays a task
  EXPECT_TRUE(t->Activate());
  EXPECT_EQ(platform::tasks::activeWindow(), w);
  cTask blank(w);
  EXPECT_FALSE(blank.Activate());  // no caption: nothing done
}

TEST_F(TaskList, KillEndsTheWindowsOwnProcessOnlyAndTheCoreNamesIt) {
  fake::CoreFixture core;
  const TaskWindow w = client.open(QStringLiteral("w"), QStringLiteral("Opfer"));
  ASSERT_TRUE(listed(w));
  EXPECT_EQ(task(w)->ProcessName(), QStringLiteral("jex_taskclient"));
  QProcess ended;
  ended.start(QStringLiteral("true"));
  ended.waitForStarted();
  const qint64 deadPid = ended.processId();
  ended.waitForFinished();
  const QString host = QStringLiteral("machine w ") + QSysInfo::machineHostName();
  for (const QString& change : {QStringLiteral("machine w elsewhere.example"), host + QStringLiteral("\npid w 0"),
                                QStringLiteral("pid w %1").arg(::getpid()), QStringLiteral("pid w %1").arg(deadPid)}) {
    for (const QString& line : change.split(u'\n')) ASSERT_TRUE(client.command(line));
    EXPECT_FALSE(task(w)->Kill()) << change.toStdString();
    EXPECT_FALSE(client.process().waitForFinished(100)) << change.toStdString();
  }
  // Its own process again, one that ignores the request to end: killed two seconds later, without waiting.
  ASSERT_TRUE(client.command(QStringLiteral("pid w %1").arg(client.process().processId())));
  ASSERT_TRUE(client.command(QStringLiteral("ignoreterm")));
  EXPECT_TRUE(task(w)->Kill());
  const auto isEnded = [&] { return client.process().state() == QProcess::NotRunning; };
  EXPECT_FALSE(QTest::qWaitFor(isEnded, 1000));
  EXPECT_TRUE(QTest::qWaitFor(isEnded, 4000));
  EXPECT_TRUE(refreshUntil(list, [&] { return !task(w); }));
  EXPECT_EQ(cTask(w).ProcessName(), QString());
}

}  // namespace
}  // namespace jex::test
