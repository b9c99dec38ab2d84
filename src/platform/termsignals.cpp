#include "platform/termsignals.h"

#include <fcntl.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <csignal>

#include "base/log.h"

namespace jex::platform {
namespace {
int g_pipe[2] = {-1, -1};

void onSignal(int signo) {
  const unsigned char b = static_cast<unsigned char>(signo);
  [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &b, 1);
}
}  // namespace

TermSignals& TermSignals::instance() {
  static auto* s = new TermSignals;  // lives as long as the process
  return *s;
}

TermSignals::TermSignals() {
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    WriteErrorLog(QStringLiteral("TermSignals: no pipe for the signal handlers"));
    return;
  }
  notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  QObject::connect(notifier_, &QSocketNotifier::activated, this, &TermSignals::readPipe);
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGINT, &sa, nullptr);
  // Output to a terminal or pipe that has gone away is not a reason to end: write calls fail
  // with EPIPE instead.
  ::signal(SIGPIPE, SIG_IGN);
}

void TermSignals::readPipe() {
  unsigned char b = 0;
  while (::read(g_pipe[0], &b, 1) == 1) emit terminateRequested(int(b));
}

}  // namespace jex::platform
