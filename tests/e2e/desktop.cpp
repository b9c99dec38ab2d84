#include "tests/e2e/desktop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace jex::testing {
namespace {

QString& error() {
  static QString e = QStringLiteral("the desktop was not started");
  return e;
}

std::vector<pid_t>& children() {
  static std::vector<pid_t> c;
  return c;
}

void endChildren() {
  auto& c = children();
  for (auto it = c.rbegin(); it != c.rend(); ++it) ::kill(*it, SIGTERM);
  for (auto it = c.rbegin(); it != c.rend(); ++it) {
    for (int i = 0; i < 30 && ::waitpid(*it, nullptr, WNOHANG) == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ::kill(*it, SIGKILL);
    ::waitpid(*it, nullptr, WNOHANG);
  }
  c.clear();
}

// Starts args[0] with its output thrown away; keepFd stays open in the child (its -displayfd
// or --print-address pipe).
pid_t spawn(const std::vector<std::string>& args, int keepFd = -1) {
  const pid_t pid = ::fork();
  if (pid != 0) {
    if (pid > 0) children().push_back(pid);
    return pid;
  }
  ::setpgid(0, 0);  // Ctrl+C of a terminal reaches the tests, not the desktop under them
  const int null = ::open("/dev/null", O_RDWR);
  ::dup2(null, 0);
  ::dup2(null, 1);
  ::dup2(null, 2);
  for (int fd = 3; fd < 256; ++fd)
    if (fd != keepFd) ::close(fd);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execvp(argv[0], argv.data());
  ::_exit(127);
}

// The first line a child writes to fd, within ms.
std::string firstLine(int fd, int ms) {
  std::string line;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    char c;
    if (::read(fd, &c, 1) != 1) break;
    if (c == '\n') return line;
    line += c;
  }
  return {};
}

bool waitFor(const char* shellCheck, int ms) {
  for (int waited = 0; waited < ms; waited += 100) {
    if (std::system(shellCheck) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

QString start() {
  int pipeFd[2];
  if (::pipe(pipeFd) != 0) return QStringLiteral("no pipe");
  spawn({"Xvfb", "-displayfd", std::to_string(pipeFd[1]), "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, pipeFd[1]);
  ::close(pipeFd[1]);
  const std::string display = firstLine(pipeFd[0], 10000);
  ::close(pipeFd[0]);
  if (display.empty()) return QStringLiteral("Xvfb did not start (is it installed?)");
  ::setenv("DISPLAY", (":" + display).c_str(), 1);
  spawn({"openbox", "--sm-disable"});

  if (::pipe(pipeFd) != 0) return QStringLiteral("no pipe");
  spawn({"dbus-daemon", "--session", "--nofork", "--print-address=" + std::to_string(pipeFd[1])}, pipeFd[1]);
  ::close(pipeFd[1]);
  const std::string address = firstLine(pipeFd[0], 10000);
  ::close(pipeFd[0]);
  if (address.empty()) return QStringLiteral("dbus-daemon did not start");
  ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);

  spawn({"/usr/libexec/at-spi-bus-launcher", "--launch-immediately"});
  if (!waitFor("dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress "
               ">/dev/null 2>&1", 10000))
    return QStringLiteral("the accessibility bus did not start (at-spi2-core's at-spi-bus-launcher)");
  ::unsetenv("AT_SPI_BUS_ADDRESS");
  return {};
}

}  // namespace

const QString& desktopError() { return error(); }

}  // namespace jex::testing

// Runs before the application exists (tests/support/main.cpp).
void jexTestBeforeApplication(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--gtest_list_tests") == 0) return;  // listing needs no desktop
  std::atexit(jex::testing::endChildren);
  jex::testing::error() = jex::testing::start();
  if (!jex::testing::error().isEmpty()) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return;
  }
  // The ctest environment says offscreen for every area; these tests need the real display.
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  ::setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1);
}
