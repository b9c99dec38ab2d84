// The accessibility-bus listener: one thread that owns every libatspi call, with a GLib main
// context of its own and a short call time-out, so that a slow application never stalls the
// core. It reports, for the process it is told to follow only: focus changes, name, value and
// check-state changes, text typed or deleted and caret moves of the focused object, and window
// activations. The caret move that typing causes is not reported: the edit is heard instead.
//
// Events are read when the thread is idle: a burst (50 Tab presses) is read once, for its
// latest event, and an object that is gone by then is simply skipped.
#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "corvane/reader/readerevent.h"

namespace corvane::reader {

class AtspiListener {
 public:
  using Sink = std::function<void(ReaderEvent)>;  // called on the listener's thread
  explicit AtspiListener(Sink sink);
  ~AtspiListener();

  // Starts the thread and returns at once. started is called on the listener's thread when it
  // listens (empty text) or cannot (why); a failed thread has ended by then. Not called after stop().
  using Started = std::function<void(const QString& failure)>;
  void start(Started started);
  // Ends the thread. A registration with the registry still under way is waited for a second
  // at most; then the thread is left to end by itself.
  void stop();
  // Events of other processes are ignored; 0: none is followed.
  void follow(qint64 pid) { pid_ = pid; }
  qint64 followedPid() const { return pid_; }
  // Reads the object that has the focus now (in any process) from its caret on, on the
  // listener's thread, and hands it to done there; not called after stop(). Focus changes
  // already on their way are taken in first.
  using TextRead = std::function<void(FocusedText)>;
  void readFocusedText(TextRead done);
  // Hands one event to the sink (the thread's own use).
  void deliver(ReaderEvent e) { sink_(std::move(e)); }

  struct State;  // the thread's own (GLib and libatspi) state

 private:
  Sink sink_;
  std::atomic<qint64> pid_{0};
  std::thread thread_;
  std::unique_ptr<State> state_;
};

}  // namespace corvane::reader
