// cNotifySink: the one notification sink handed to the core. The core calls its six methods
// late-bound (every argument by reference); each call becomes one of eight Qt signals, so
// every dialog connects to the main window's sink on load and disconnects on unload.
//
//   AudioStart(O) / AudioStop(O)      -> AudioStart() / AudioStop()
//   ProcessSwitch(OldTask, NewTask)   -> UIGotFocus() and/or UILostFocus(), then TaskSwitch()
//   VoiceSelect(O)                    -> VoiceSelect(O)
//   HandleCmd(S)                      -> HandleCmd(S): a handler may change S (by reference);
//                                        the changed string goes back to the core
//   AboutToSpeak(O)                   -> AboutToSpeak(O)
//
// Connect to HandleCmd with a direct connection only (the string is passed by reference).
#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <memory>

#include "automation/dispatchable.h"

namespace jex {

class cNotifySink : public QObject, public automation::Dispatchable {
  Q_OBJECT
 public:
  // Logs "cNotifySink_Initialize"; the release logs "cNotifySink_Terminate".
  static std::shared_ptr<cNotifySink> create();
  ~cNotifySink() override;

  // The methods the core calls (also callable directly).
  void AudioStart(const QVariant& o);
  void AudioStop(const QVariant& o);
  // Writes cGlobal.PrevOldTask, OldTask and NewTask (upper case), then raises the events.
  void ProcessSwitch(const QString& oldTask, const QString& newTask);
  void VoiceSelect(const QVariant& o);
  void HandleCmd(QString& s);
  void AboutToSpeak(const QVariant& o);

 signals:
  void AudioStartEvent();
  void AudioStopEvent();
  void VoiceSelectEvent(const QVariant& o);
  void HandleCmdEvent(QString& cmd);
  void AboutToSpeakEvent(const QVariant& o);
  void TaskSwitchEvent();
  void UIGotFocusEvent();
  void UILostFocusEvent();

 private:
  cNotifySink();
};

}  // namespace jex
