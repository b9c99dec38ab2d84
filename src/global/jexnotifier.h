// JexNotifier: the notifier channel of the core. InstallHook registers a receiver object for one
// window of this program with the core (JexNotifier_Install(receiver, windowHandle)) or removes
// it (JexNotifier_Remove(windowHandle)). The core then calls the receiver's TaskSwitch(),
// UIGotFocus(), UILostFocus(), AudioStart(), AudioStop() and HandleCmd(S); each call raises the
// signal of the same kind. HandleCmd passes S by reference: what the handlers leave in it goes
// back to the core (emptied: consumed; replaced: run the replacement instead).
//
// Connect to HandleCmdEvent with a direct connection only.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "automation/automation.h"

namespace jex {

class JexNotifier : public QObject {
  Q_OBJECT
 public:
  // core: the core object the receiver is registered with.
  explicit JexNotifier(automation::Obj core, QObject* parent = nullptr);
  ~JexNotifier() override;

  // install true: registers the receiver for windowHandle; false: removes it. Returns the
  // core's answer; false (logged) when the core cannot be reached.
  bool InstallHook(qint64 windowHandle, bool install);
  // The receiver object the core calls (for tests and in-process cores).
  automation::Obj receiver() const { return receiver_; }

 signals:
  void TaskSwitchEvent();
  void UIGotFocusEvent();
  void UILostFocusEvent();
  void AudioStartEvent();
  void AudioStopEvent();
  void HandleCmdEvent(QString& cmd);

 private:
  automation::Obj core_;
  automation::Obj receiver_;
};

}  // namespace jex
