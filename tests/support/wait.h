#pragma once
// Waiting in tests whose process answers another one while it waits (a screen reader asking
// the dialogs' accessible objects, a bus peer calling back). QTest's waits sleep 10 ms between
// two rounds of events, so each question from the other side waits up to 10 ms for its answer,
// and a reader that asks twenty questions per focus change hears it 200 ms late. These block in
// the event dispatcher instead: an answer goes out as soon as its question comes in. No event
// loop of their own is entered, so code that waits for the loop level it started in (the quick
// menu opens in the loop that asked for it) runs as it does under QTest's waits.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace jex::testing {

// Handles events until pred() holds or ms have passed; whether pred() held.
template <typename Pred>
bool waitFor(Pred pred, int ms = 5000) {
  if (pred()) return true;
  const QDeadlineTimer deadline(ms, Qt::PreciseTimer);
  QTimer wake;  // the dispatcher comes back at least this often to look at pred()
  wake.setTimerType(Qt::PreciseTimer);
  wake.start(2);
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (pred()) return true;
  } while (!deadline.hasExpired());
  return false;
}

// Handles events for ms.
inline void pause(int ms) {
  (void)waitFor([] { return false; }, ms);
}

}  // namespace jex::testing
