// frmTasks: the screen reader's own task manager. A list of the running programs with their
// state ("läuft normal", "reagiert nicht maximiert", ...) and buttons to switch to a program,
// minimise, maximise or restore its window, or end it. The list is brought up to date once a
// second (Timer1, off during each refresh so that ticks never overlap); the program that was in
// front when the dialog was called is preselected, so that Enter switches straight back to it.
//
// Rows: key "h" + window handle in upper-case hexadecimal; columns Task (the caption, headed by
// lblTask), Info (the state text, also the row's tag, headed by lblStatus) and hWnd ("&h" +
// handle). An empty list shows the placeholder row "h0" (lblNoTask) and the close button.
// The screen reader's own windows (this process, the processes of JexUI, the core and its
// launcher, captions with "jexui", "Sim", "Corvane") are never listed, in no state. When a listed
// program stops or starts answering the core says so once the new state has lasted
// kSettleMs: a blind user cannot see the column change, and a program that flips between the
// two is not announced at every flip.
//
// The dialog kit's keys with buttons of its own: Enter presses the default button (cmdSwitchTo,
// or cmdClose while the list is empty), Escape closes, "/" asks for the help of the control.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include "dialogs/childdialog.h"
#include "dialogs/tasks/ctask.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace jex {

class frmTasks : public ChildDialog {
  Q_OBJECT
 public:
  static constexpr int kSettleMs = 2500;

  explicit frmTasks(QWidget* parent = nullptr);
  ~frmTasks() override;

  // Fills the list at once, starts the timer, brings the dialog to the front and selects the
  // row of the window that was in front before (cGlobal.LastForeWnd).
  Q_INVOKABLE void ShowTasks();

  bool handleCmd(const QString& command) override;

  cTaskList& taskList() { return tasks_; }
  QTreeWidget* lvwTasks() const { return lvwTasks_; }
  QTimer* Timer1() { return &timer_; }
  QPushButton* button(const char* name) const;
  // The state text of a task as the Info column shows it.
  QString stateText(const cTask& task) const;
  // The key of a task's row.
  static QString keyOf(TaskWindow window);

 protected:
  void showValues() override;
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void tick();
  // Makes the row of the window that was in front before (cGlobal.LastForeWnd) the current one.
  void selectLastForeground();
  void showTask(cTask* task);
  void removeTask(cTask* task);
  void updateButtons();
  QTreeWidgetItem* rowByKey(const QString& key) const;
  cTask* selectedTask() const;
  void switchTo();
  void endTask();
  void applyHeaders();
  bool ownWindow(const cTask& task);
  void say(const QString& text);

  QTreeWidget* lvwTasks_;
  QPushButton *cmdSwitchTo_, *cmdMinimize_, *cmdMaximize_, *cmdRestore_, *cmdEndTask_, *cmdClose_;
  QTimer timer_;
  QElapsedTimer clock_;
  cTaskList tasks_;
  // Says the changes of answering that have lasted (called after each refresh).
  void announceLasting();

  QHash<TaskWindow, bool> windowOfOwnProcess_;  // window -> belongs to the screen reader
  struct Heard {
    bool responding = true;  // as last said (or first shown)
    bool pending = false;    // the row shows the other state, since pendingSinceMs
    qint64 pendingSinceMs = 0;
  };
  QHash<TaskWindow, Heard> heard_;
};

}  // namespace jex
