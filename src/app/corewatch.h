// CoreWatch: keeps JexUI heard by the core.
//
// The core keeps JexUI's sink and notifier for as long as JexUI stays on the bus; a JexUI that
// was only slow keeps them. Still, a core can lose them (it dropped them, or another core took
// the bus name over while JexUI runs), and a JexUI that does not notice stays up but deaf. So:
//   - every callTimeout() ms of the access layer the core is asked whether it still raises the
//     sink's "HandleCmd" (JEX_UI_Notification_Sink_Event_Enable("HandleCmd")); when it does not,
//     lost() runs (the main window registers sink and notifier again);
//   - a new owner of "corvane.application" makes the core object be reached afresh
//     (Jex() = the new owner's root object), then lost() runs.
// A core that leaves the bus is not handled here: JexUI then ends (see Shutdown). Nothing is
// checked while JexUI quits, while a call to the core waits or while DoEventsGuarded runs, and
// a check the busy core does not answer in time counts as "still held".
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <functional>

class QDBusServiceWatcher;
class QTimer;

namespace jex {

class CoreWatch : public QObject {
  Q_OBJECT
 public:
  CoreWatch(const QDBusConnection& conn, std::function<void()> lost, QObject* parent = nullptr);

  // One check now (the timer runs it too).
  void check();
  QTimer* timer() const { return timer_; }

 private:
  void ownerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

  QDBusConnection conn_;
  std::function<void()> lost_;
  QDBusServiceWatcher* watcher_ = nullptr;
  QTimer* timer_ = nullptr;
};

}  // namespace jex
