// The desktop of the task tests: the executable's one virtual display (tests/support/xserver.h)
// with openbox on it, and clients of the test X client (jex_taskclient) that open, change and
// close windows and stop answering pings when told.
#pragma once

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <memory>

#include "dialogs/tasks/ctask.h"
#include "platform/tasks.h"
#include "tests/support/xserver.h"

namespace jex::test {

// Empty when the display with its window manager runs; else why not (the tests skip with it).
inline QString desktopError() {
  static const QString error = [] {
    auto& x = testing::XServer::instance();
    if (!x.ok()) return x.error();
    struct WindowManager : QProcess {
      ~WindowManager() override {
        kill();
        waitForFinished(3000);
      }
    };
    static WindowManager openbox;
    openbox.setStandardErrorFile(QProcess::nullDevice());
    openbox.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    if (!openbox.waitForStarted(5000)) return QStringLiteral("openbox could not be started: ") + openbox.errorString();
    if (!QTest::qWaitFor([] { return platform::tasks::hasWindowManager(); }, 10000))
      return QStringLiteral("openbox did not take over the display");
    // Announced is not yet managing (a window mapped meanwhile stays unmanaged): a window of
    // the tests' own must appear in the client list.
    for (int attempt = 0; attempt < 20; ++attempt) {
      const xcb_window_t probe = x.create(x.root(), QStringLiteral("Probe"));
      const bool managing = QTest::qWaitFor([&] { return platform::tasks::topLevelWindows().contains(probe); }, 500);
      x.destroy(probe);
      if (managing) return QString();
    }
    return QStringLiteral("openbox does not manage windows");
  }();
  return error;
}

#define REQUIRE_DESKTOP() \
  if (const QString e = ::jex::test::desktopError(); !e.isEmpty()) GTEST_SKIP() << e.toStdString()

// One process of the test client.
class TaskClient {
 public:
  // program: the client's executable (a copy of it under another name, for another process name).
  explicit TaskClient(const QString& program = QStringLiteral(JEX_BIN_DIR "/jex_taskclient")) {
    if (!desktopError().isEmpty()) return;
    process_.start(program, {});
    ok_ = process_.waitForStarted(5000) && line() == "ready";
  }
  ~TaskClient() {
    process_.kill();
    process_.waitForFinished(3000);
  }
  bool ok() const { return ok_; }
  QProcess& process() { return process_; }

  // Opens a window; its id, 0 when the client did not answer.
  TaskWindow open(const QString& name, const QString& title, const QString& kind = QStringLiteral("normal"),
                  const QString& owner = QStringLiteral("-"), const QString& icon = QStringLiteral("ok")) {
    const QByteArray answer =
        send(QStringList{QStringLiteral("open"), name, QStringLiteral("Sample"), kind, owner, icon, title}.join(u' '));
    return TaskWindow(answer.split(' ').value(2).toULong());
  }
  // Any other command of the client; true when it answered "ok".
  bool command(const QString& line) { return send(line) == "ok"; }

 private:
  QByteArray send(const QString& line) {
    process_.write(line.toUtf8() + '\n');
    return this->line();
  }
  QByteArray line() {
    QElapsedTimer t;
    t.start();
    while (!process_.canReadLine() && t.elapsed() < 5000) process_.waitForReadyRead(100);
    return process_.readLine().trimmed();
  }
  QProcess process_;
  bool ok_ = false;
};

// A window of a real toolkit in a process of its own, found by its title: Qt (jex_qtwindow, on
// the xcb plugin) or GTK 3 (the system's Python with gi). hang() stops the process (SIGSTOP), so
// that nothing of it answers any more; answer() lets it go on.
class ToolkitWindow {
 public:
  enum Kit { Qt, Gtk };
  ToolkitWindow(Kit kit, const QString& title) {
    if (!desktopError().isEmpty()) return;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("QT_ACCESSIBILITY"));
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (kit == Qt) {
      process_.start(QStringLiteral(JEX_BIN_DIR "/jex_qtwindow"), {title});
    } else {
      const QString script = QStringLiteral(
          "import sys, gi\ngi.require_version('Gtk', '3.0')\nfrom gi.repository import Gtk\n"
          "w = Gtk.Window(title=sys.argv[1])\nw.connect('destroy', Gtk.main_quit)\nw.show_all()\nGtk.main()\n");
      process_.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, title});
    }
    if (!process_.waitForStarted(5000)) return;
    (void)QTest::qWaitFor(
        [&] {
          const QList<TaskWindow> all = platform::tasks::topLevelWindows();
          const QList<platform::tasks::WindowState> states = platform::tasks::readWindows(all);
          for (qsizetype i = 0; i < all.size(); ++i)
            if (states[i].title == title) window_ = all[i];
          return window_ != 0;
        },
        10000);
  }
  ~ToolkitWindow() {
    answer();
    process_.kill();
    process_.waitForFinished(3000);
  }
  TaskWindow window() const { return window_; }
  void hang() { ::kill(pid_t(process_.processId()), SIGSTOP); }
  void answer() {
    if (process_.processId() > 0) ::kill(pid_t(process_.processId()), SIGCONT);
  }

 private:
  QProcess process_;
  TaskWindow window_ = 0;
};

// Refreshes list until pred holds (the window manager takes its time); false after 5 s.
template <class Pred>
bool refreshUntil(cTaskList& list, Pred pred) {
  return QTest::qWaitFor(
      [&] {
        list.Refresh();
        return pred();
      },
      5000);
}

}  // namespace jex::test
