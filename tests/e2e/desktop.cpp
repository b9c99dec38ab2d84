#include "tests/e2e/desktop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
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

// Never destroyed: the exit handler that ends the children runs after static destructors
// registered later than it.
std::vector<pid_t>& children() {
  static auto* c = new std::vector<pid_t>;
  return *c;
}

void endChildren() {
  auto& c = children();
  for (auto it = c.rbegin(); it != c.rend(); ++it) ::kill(*it, SIGTERM);
  for (auto it = c.rbegin(); it != c.rend(); ++it) {
    for (int i = 0; i < 30 && ::waitpid(*it, nullptr, WNOHANG) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
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
  spawn({"Xvfb", "-displayfd", std::to_string(pipeFd[1]), "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
        pipeFd[1]);
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

  // The accessibility bus's socket goes into the runtime folder: one of this desktop's own keeps
  // it apart from other tests' buses.
  static char runtime[] = "/tmp/test_e2e_run-XXXXXX";
  if (!::mkdtemp(runtime)) return QStringLiteral("no runtime folder");
  ::setenv("XDG_RUNTIME_DIR", runtime, 1);
  std::atexit([] { QDir(QString::fromLocal8Bit(runtime)).removeRecursively(); });
  spawn({"/usr/libexec/at-spi-bus-launcher", "--launch-immediately"});
  if (!waitFor("dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress "
               ">/dev/null 2>&1",
               10000))
    return QStringLiteral("the accessibility bus did not start (at-spi2-core's at-spi-bus-launcher)");
  // The registry is started on its first call; on a busy machine that takes longer than a
  // program's registration waits, so it is woken here, before JexUI and the core register.
  if (!waitFor("a=$(dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress "
               "| sed -n 's/.*string \"\\(.*\\)\"/\\1/p') && dbus-send --bus=\"$a\" --print-reply "
               "--reply-timeout=20000 --dest=org.a11y.atspi.Registry /org/a11y/atspi/registry "
               "org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1",
               30000))
    return QStringLiteral("the accessibility registry did not start (at-spi2-core's at-spi2-registryd)");
  ::unsetenv("AT_SPI_BUS_ADDRESS");
  return {};
}

struct CoreState {
  CoreRun run;
  QStringList args;
  bool wanted = false;
  pid_t pid = 0;
  int in = -1, out = -1;
  QString output;
};
CoreState& coreState() {
  static CoreState c;
  return c;
}

void removeCoreHome() {
  const QString home = coreState().run.home;
  if (!home.isEmpty() && qEnvironmentVariableIsEmpty("JEX_E2E_KEEP")) QDir(home).removeRecursively();
}

QString startCore() {
  CoreState& c = coreState();
  char tmpl[] = "/tmp/test_e2e-XXXXXX";
  if (!::mkdtemp(tmpl)) return QStringLiteral("no temporary folder");
  c.run.home = QString::fromLocal8Bit(tmpl);
  std::atexit(removeCoreHome);
  QDir().mkpath(c.run.home + QStringLiteral("/app"));
  if (!qEnvironmentVariableIsEmpty("JEX_E2E_KEEP")) {  // a detailed log to look at afterwards
    QFile ini(c.run.home + QStringLiteral("/app/corvane.ini"));
    if (ini.open(QIODevice::WriteOnly)) ini.write("[SERVICE]\r\nWriteLogFile=5\r\n");
  }
  int in[2], out[2];
  if (::pipe(in) != 0 || ::pipe(out) != 0) return QStringLiteral("no pipe");
  std::vector<std::string> args{
      JEX_BIN_DIR "/corvane", "--appdir",        (c.run.home + QStringLiteral("/app")).toStdString(),
      "--no-jexui",           "--no-foreground", "--no-monitor",
      "--no-audio",           "--trust-bus",     "--report-begun"};  // JexUI runs in this test process
  for (const QString& a : c.args) args.push_back(a.toStdString());
  c.pid = ::fork();
  if (c.pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(out[1], 2);
    for (int fd = 3; fd < 256; ++fd) ::close(fd);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  if (c.pid < 0) return QStringLiteral("fork failed");
  children().push_back(c.pid);
  c.in = in[1];
  c.out = out[0];
  ::fcntl(c.out, F_SETFL, ::fcntl(c.out, F_GETFL) | O_NONBLOCK);
  for (int waited = 0; waited < 15000 && !coreOutput().contains(QStringLiteral("READER: ")); waited += 50)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (!c.output.contains(QStringLiteral("READER: listening")))
    return QStringLiteral("the core's screen reader does not listen: ") + c.output.right(400);
  return {};
}

}  // namespace

const QString& desktopError() { return error(); }

void useCore(const QStringList& extraArguments) {
  coreState().wanted = true;
  coreState().args = extraArguments;
}

const CoreRun& core() { return coreState().run; }

const QString& coreOutput() {
  CoreState& c = coreState();
  char buf[4096];
  ssize_t n;
  while (c.out >= 0 && (n = ::read(c.out, buf, sizeof buf)) > 0) c.output += QString::fromUtf8(buf, int(n));
  return c.output;
}

void coreWrite(const QString& line) {
  const QByteArray b = (line + u'\n').toUtf8();
  if (coreState().in >= 0 && ::write(coreState().in, b.constData(), size_t(b.size())) < 0)
    coreState().run.error = QStringLiteral("the core's console is closed");
}

void coreQuit() {
  CoreState& c = coreState();
  if (c.pid <= 0) return;
  coreWrite(QStringLiteral(":quit"));
  for (int i = 0; i < 100 && ::waitpid(c.pid, nullptr, WNOHANG) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ::kill(c.pid, SIGKILL);
  ::waitpid(c.pid, nullptr, WNOHANG);
  c.pid = 0;
}

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
  if (jex::testing::coreState().wanted) {
    jex::testing::CoreRun& run = jex::testing::coreState().run;
    run.error = jex::testing::startCore();
  }
  // This process is JexUI: its windows are heard over the accessibility bus.
  ::setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1);
}
