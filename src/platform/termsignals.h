// The termination signals of the process (SIGTERM, SIGINT) as a Qt signal; SIGPIPE is ignored.
//
// The operating system's handler only writes the signal number into a pipe; the notice is
// delivered on the user-interface thread through the event loop, so whatever runs in answer
// (the orderly shutdown) runs like any other event handler.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace jex::platform {

class TermSignals : public QObject {
  Q_OBJECT
 public:
  // Installs the handlers on first use; later calls return the same object.
  static TermSignals& instance();

 signals:
  // One notice per signal received; signo is SIGTERM or SIGINT.
  void terminateRequested(int signo);

 private:
  TermSignals();
  void readPipe();
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace jex::platform
