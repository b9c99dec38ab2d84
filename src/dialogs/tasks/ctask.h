// cTask: one top-level window as the task list knows it, with its cached attributes and the
// window operations (switch to, minimise, maximise, restore, end). cTaskList: the collection of
// tasks, brought up to date by Refresh, which reports what was added, removed or changed.
//
// A window counts as a task when it is visible, no tool window, not owned by a visible window
// and has a title. Whether it still answers is asked with one ping per refresh (platform/tasks.h)
// that nothing waits for: a window is hung once its ping has gone HungTimeout unanswered. A
// window seen hung before it was ever read shows its class name + " time out !"; one that hangs
// later keeps its title. A caption is cut to kMaxCaption characters, so that the row shows and
// says the same and its state is still heard after it.
//
// Style and ExStyle keep the window's state in the bits a task bar knows them by (visible,
// minimised, maximised; tool window), so that a change of any of them is seen in one compare.
#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <memory>
#include <vector>

#include "platform/tasks.h"

namespace jex {

using TaskWindow = platform::tasks::WindowHandle;

class cTask {
 public:
  static constexpr quint32 WS_VISIBLE = 0x10000000;
  static constexpr quint32 WS_MINIMIZE = 0x20000000;
  static constexpr quint32 WS_MAXIMIZE = 0x01000000;
  static constexpr quint32 WS_EX_TOOLWINDOW = 0x00000080;
  static constexpr int kDefaultHungTimeout = 100;
  static constexpr int kMaxCaption = 512;

  explicit cTask(TaskWindow window = 0, int hungTimeout = kDefaultHungTimeout);

  TaskWindow hWnd = 0;
  quint32 Style = 0;
  quint32 ExStyle = 0;
  QString Caption;
  QString ClassName;
  bool Responding = true;
  bool Changed = false;
  bool IsTask = false;
  bool Zoomed = false;
  bool Iconic = false;
  int HungTimeout = kDefaultHungTimeout;

  // Re-reads the window (and pings it, without waiting) and sets Changed.
  void Update();
  // The same from a state read and a ping answered elsewhere (the list reads all at once).
  void apply(const platform::tasks::WindowState& state, bool answering);

  QIcon Icon() const;
  QIcon IconSm() const;
  static QIcon defaultIcon();      // the standard application icon
  static QIcon defaultLogoIcon();  // the system's own icon

  // The window belongs to the screen reader: this process, or JexUI, the core or its launcher.
  bool OfScreenReader() const;
  // Ends the window's process (refused, with a log line, for the screen reader's own).
  bool Kill();
  void Minimize();
  void Restore();
  void Maximize();
  // Brings the window to the front (restored when minimised); true when it now is in front.
  // An empty Caption answers false and does nothing.
  bool Activate();
  // A fresh title: " time out !" when the window does not answer, " NO Titlet !" without one.
  QString GetCaption();
  // The core's name of the window's process.
  QString ProcessName();

 private:
  void readIcons(const platform::tasks::WindowState& state);
  QIcon bigIcon_, smallIcon_;
  quint32 iconBytes_ = 0;
  TaskWindow iconOwner_ = 0;
  bool iconsRead_ = false;
};

class cTaskList : public QObject {
  Q_OBJECT
 public:
  explicit cTaskList(QObject* parent = nullptr);
  ~cTaskList() override;

  int HungTimeout() const { return hungTimeout_; }
  // Values of 0 and below are ignored.
  void setHungTimeout(int ms);
  int Count() const { return int(tasks_.size()); }
  // 1-based; null when out of range.
  cTask* TaskByIndex(int n) const;
  cTask* TaskByhWnd(TaskWindow window) const;
  // Walks the top-level windows and raises the events below (each with the task, which stays
  // valid for the handler; a removed task is deleted after its event).
  void Refresh();

 signals:
  void TaskAdded(jex::cTask* task);
  void TaskRemoved(jex::cTask* task);
  void TaskUpdated(jex::cTask* task);

 private:
  void remove(std::size_t index);
  std::vector<std::unique_ptr<cTask>> tasks_;
  int hungTimeout_ = cTask::kDefaultHungTimeout;
};

}  // namespace jex
