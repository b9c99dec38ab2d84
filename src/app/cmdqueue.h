// Command queues: commands from JexUI to the core (iAdd2JexCmdQ) and JexUI's own queue, run one
// command per tick of the main window's timer tmrCMD (CommandQueue).
#pragma once

#include <QObject>
#include <QQueue>
#include <QString>
#include <chrono>
#include <functional>

class QTimer;

namespace jex {

class CommandQueue;
class cNotifySink;

// What iAdd2MyCmdQ and iNotify reach: the queue of the main window and its notification sink.
// The main window registers itself while it exists, so that the queue needs no main window.
class CommandHost {
 public:
  virtual ~CommandHost() = default;
  virtual CommandQueue& commandQueue() = 0;
  virtual cNotifySink* Notifier() const = 0;  // null while there is no sink
};
void setCommandHost(CommandHost* host);
CommandHost* commandHost();  // null before the main window exists and after it is gone

// Logs "iAdd2JexCmdQ: " + command (level 3) and hands the command to the core's
// proc.AddToCMDQueue; the core owns it from then on. Errors are trapped and logged.
void iAdd2JexCmdQ(const QString& command);
// Logs "iAdd2MyCmdQ: " + command (level 3) and appends it to the main window's queue.
void iAdd2MyCmdQ(const QString& command);
// Logs "iNotify: " + command (level 3) and raises HandleCmd with it in every listening dialog.
void iNotify(const QString& command);
// Stops the core's speech, yields once, then asks the core to read the current edit field.
void SpeechStopReadCursor();
// Yields to the message loop once with cGlobal.InDoEvents set, so no queued command runs.
void DoEventsGuarded();

// JexUI's queue (first in, first out; duplicates allowed) and its 1 ms timer "tmrCMD". Each tick
// runs one command through run, with the timer off meanwhile; nothing runs while
// cGlobal.Quitting or cGlobal.InDoEvents is set, nor while a call to the core waits for its
// reply (a command never runs inside another one's core call).
class CommandQueue : public QObject {
  Q_OBJECT
 public:
  using Runner = std::function<void(const QString&)>;
  explicit CommandQueue(Runner run, QObject* parent = nullptr);

  void add(const QString& command);  // appends and enables the timer
  void kick();                       // enables the timer when commands wait
  int size() const { return int(queue_.size()); }
  bool isEmpty() const { return queue_.isEmpty(); }
  QTimer* tmrCMD() const { return timer_; }

 private:
  void tick();

  Runner run_;
  QQueue<QString> queue_;
  QTimer* timer_;
  std::chrono::steady_clock::time_point due_;  // when the last tick was due
};

}  // namespace jex
