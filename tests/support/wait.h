#pragma once
// Waiting in tests whose process answers another one while it waits (a screen reader asking
// the dialogs' accessible objects, a bus peer calling back). QTest's waits sleep 10 ms between
// two rounds of events, so each question from the other side waits up to 10 ms for its answer,
// and a reader that asks twenty questions per focus change hears it 200 ms late. These run a
// real event loop instead: an answer goes out as soon as its question comes in.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace jex::testing {

// Runs the event loop until pred() holds or ms have passed; whether pred() held.
template <typename Pred>
bool waitFor(Pred pred, int ms = 5000) {
  if (pred()) return true;
  QDeadlineTimer deadline(ms, Qt::PreciseTimer);
  QEventLoop loop;
  bool held = false;
  QTimer poll;
  poll.setTimerType(Qt::PreciseTimer);
  poll.setInterval(2);
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (pred()) {
      held = true;
      loop.quit();
    } else if (deadline.hasExpired()) {
      loop.quit();
    }
  });
  poll.start();
  loop.exec();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return held || pred();
}

// Runs the event loop for ms.
inline void pause(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace jex::testing
