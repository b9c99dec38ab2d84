#include "app/cmdqueue.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>

#include "automation/dbustransport.h"
#include "base/error.h"
#include "base/log.h"
#include "global/cglobal.h"
#include "global/cnotifysink.h"

namespace jex {
namespace {
constexpr int kTickMs = 1;
constexpr std::chrono::milliseconds kTick(kTickMs);
constexpr std::chrono::milliseconds kCatchUp(50);
CommandHost* g_host = nullptr;
}  // namespace

void setCommandHost(CommandHost* host) { g_host = host; }
CommandHost* commandHost() { return g_host; }

void iAdd2JexCmdQ(const QString& command) {
  trap("iAdd2JexCmdQ", [&] {
    WriteLog(QStringLiteral("iAdd2JexCmdQ: ") + command, kTraffic);
    Jex().call(QStringLiteral("proc.AddToCMDQueue"), {command});
  });
}

void iAdd2MyCmdQ(const QString& command) {
  trap("iAdd2MyCmdQ", [&] {
    WriteLog(QStringLiteral("iAdd2MyCmdQ: ") + command, kTraffic);
    CommandHost* host = g_host;
    if (!host) throw Error(err::ObjectRequired, QStringLiteral("no main window"));
    host->commandQueue().add(command);
  });
}

void iNotify(const QString& command) {
  trap("iNotify", [&] {
    WriteLog(QStringLiteral("iNotify: ") + command, kTraffic);
    CommandHost* host = g_host;
    if (!host || !host->Notifier()) throw Error(err::ObjectRequired, QStringLiteral("no notification sink"));
    QString s = command;
    host->Notifier()->HandleCmd(s);
  });
}

void SpeechStopReadCursor() {
  trap("SpeechStopReadCursor", [] {
    Jex().call(QStringLiteral("proc.SpeechStop"));
    QCoreApplication::processEvents();
    iAdd2JexCmdQ(QStringLiteral("READEDITCUR"));
  });
}

void DoEventsGuarded() {
  trap("DoEventsGuarded", [] {
    cGlobal& g = gGlobal();
    const bool before = g.InDoEvents;
    g.InDoEvents = true;
    QCoreApplication::processEvents();
    g.InDoEvents = before;
  });
}

CommandQueue::CommandQueue(Runner run, QObject* parent)
    : QObject(parent), run_(std::move(run)), timer_(new QTimer(this)) {
  timer_->setObjectName(QStringLiteral("tmrCMD"));
  timer_->setInterval(kTickMs);
  // A coarse timer may come up to a millisecond late: in a burst every command would wait
  // nearly two ticks.
  timer_->setTimerType(Qt::PreciseTimer);
  connect(timer_, &QTimer::timeout, this, &CommandQueue::tick);
}

void CommandQueue::add(const QString& command) {
  queue_.enqueue(command);
  timer_->start();
}

void CommandQueue::kick() {
  if (!queue_.isEmpty() && !timer_->isActive()) timer_->start();
}

void CommandQueue::tick() {
  trap("frmMDI.tmrCMD_Timer", [this] {
    const cGlobal& g = gGlobal();
    // A tick brought forward (below) waits a whole one again when it has to try again.
    if (timer_->interval() != kTickMs) timer_->setInterval(kTickMs);
    if (g.Quitting || g.InDoEvents) return;
    // A command that waits on the core serves incoming calls meanwhile, so a key can arrive
    // in the middle of it: its command waits (the timer keeps running) until the call is
    // back. A modal box's own loop is no call, so QUIT still runs while a question is open.
    if (automation::dbus::callsWaiting() > 0) return;
    timer_->stop();
    if (queue_.isEmpty()) return;
    // The ticks of a burst keep the pace of one a millisecond from its first tick on: the time
    // a command takes, and the calls that come in between two ticks, are not added to the wait
    // for the next one; late ticks catch up, one command each. Far behind (a dialog was open)
    // the pace starts anew.
    const auto now = std::chrono::steady_clock::now();
    const auto next = due_ + kTick;
    due_ = now > next + kCatchUp ? now : next;
    const QString command = queue_.dequeue();
    run_(command);
    if (!gGlobal().Quitting && !queue_.isEmpty() && !timer_->isActive()) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(due_ + kTick - std::chrono::steady_clock::now());
      timer_->start(int(std::clamp<qint64>(left.count(), 0, kTickMs)));
    }
  });
}

}  // namespace jex
