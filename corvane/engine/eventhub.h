// The two channels on which the core tells JexUI what happens.
//
// 1. The notification sink: one object registered with Init_JEX_UI_Notification_Sink. The core
//    calls its methods AudioStart(O), AudioStop(O), ProcessSwitch(OldTask, NewTask),
//    VoiceSelect(O), HandleCmd(S) (S by reference) and AboutToSpeak(O), each only while that
//    event is enabled with JEX_UI_Notification_Sink_Event_Enable(eventName) = True.
// 2. The notifier channel (the hook library's notifier on Windows). JexUI installs a receiver
//    object for one of its windows:
//        JexNotifier_Install(receiver As Object, windowHandle As Long) As Boolean
//        JexNotifier_Remove(windowHandle As Long) As Boolean
//    The core calls on every installed receiver, without any enabling:
//        TaskSwitch(), UIGotFocus(), UILostFocus(), AudioStart(), AudioStop(), HandleCmd(S)
//    where S is passed by reference: a receiver that empties it has consumed the command, one
//    that replaces it tells the core to act on the replacement instead.
//
// A receiver or sink whose process has left the bus is dropped at the first call that finds it
// gone. A slow one is not a gone one: a call that times out (or fails otherwise) is logged and
// that event is dropped, and the receiver or sink stays registered for the next one.
//
// Calls to the other side block while serving incoming calls and events, so an event can come
// up while another is still being delivered. Such events wait and are delivered, in order,
// after the one in progress: the other side never gets one event inside another.
#pragma once

#include <QMap>
#include <QObject>
#include <QSet>
#include <functional>

#include "automation/automation.h"

namespace corvane {

class EventHub : public QObject {
  Q_OBJECT
 public:
  using Obj = jex::automation::Obj;
  explicit EventHub(QObject* parent = nullptr) : QObject(parent) {}

  // Sink registration (sinkChanged tells each registration and each clearing by JexUI).
  void setSink(const Obj& sink);
  void clearSink();
  bool hasSink() const { return !sink_.isNothing(); }
  void enableEvent(const QString& eventName, bool on);
  bool isEnabled(const QString& eventName) const;

  // Notifier receivers, one per window handle (a second install for the same handle replaces).
  bool installNotifier(const Obj& receiver, qint32 windowHandle);
  bool removeNotifier(qint32 windowHandle);
  int notifierCount() const { return int(notifiers_.size()); }

  // Raising. o is what travels as O: the utterance object (objects.h), or its text.
  void audioStart(const QVariant& o);
  void audioStop(const QVariant& o);
  // AboutToSpeak is delivered at once or not at all: what the handler leaves in O's SPC_Str is
  // what is spoken, so a late delivery would come after the speech. While another event or
  // command is being delivered it is dropped and false is returned (the caller speaks the text
  // unchanged); likewise when the call fails. True when delivered or not asked for.
  bool aboutToSpeak(const QVariant& o);
  void voiceSelect(const QVariant& voice);
  // Task names are upper-cased; "JEXUI" is JexUI's.
  void processSwitch(const QString& oldTask, const QString& newTask);
  // Offers a command to JexUI: the notifier receivers first, then the sink; stops as soon as
  // the string is emptied. Returns the string as it came back.
  QString offerCommand(const QString& command);
  // True while an event or command is being delivered.
  bool busy() const { return depth_ > 0; }

 signals:
  void sinkChanged(bool registered);
  // One line per event raised, for the monitor ("EVENT: ...").
  void raised(const QString& line);

 private:
  enum class Delivery { Done, Failed, Gone };
  // Calls member on the sink when eventName is enabled; a gone sink is dropped.
  Delivery callSink(const QString& eventName, QVariantList& args);
  void callNotifiers(const QString& member);
  void dropNotifier(qint32 windowHandle, const Obj& receiver);
  // Failed: an error or a time-out, logged; Gone: the target's process has left the bus.
  Delivery callOne(const Obj& target, const QString& member, QVariantList& args, const char* where);

  void deliver(std::function<void()> fn);
  void drainDeferred();

  int depth_ = 0;
  QList<std::function<void()>> deferred_;
  Obj sink_;
  QSet<QString> enabled_;  // lower-case event names
  QMap<qint32, Obj> notifiers_;
};

}  // namespace corvane
