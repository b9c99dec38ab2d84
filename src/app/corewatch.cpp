#include "app/corewatch.h"

#include <QDBusServiceWatcher>
#include <QTimer>

#include "app/startup.h"
#include "automation/dbustransport.h"
#include "base/error.h"
#include "base/log.h"
#include "global/cglobal.h"

namespace jex {
namespace {
namespace bus = automation::dbus;

bool mayCallCore() {
  const cGlobal& g = gGlobal();
  return !g.Quitting && !g.InDoEvents && bus::callsWaiting() == 0 && !Jex().isNothing();
}
}  // namespace

CoreWatch::CoreWatch(const QDBusConnection& conn, std::function<void()> lost, QObject* parent)
    : QObject(parent), conn_(conn), lost_(std::move(lost)), timer_(new QTimer(this)) {
  timer_->setObjectName(QStringLiteral("tmrCoreWatch"));
  timer_->setInterval(bus::callTimeout());
  connect(timer_, &QTimer::timeout, this, &CoreWatch::check);
  timer_->start();
  if (conn_.isConnected()) {
    watcher_ = new QDBusServiceWatcher(QString::fromLatin1(kCoreProgId), conn_,
                                       QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this, &CoreWatch::ownerChanged);
  }
}

void CoreWatch::check() {
  trap("frmMDI.CheckCoreSink", [this] {
    timer_->setInterval(bus::callTimeout());
    if (!mayCallCore()) return;
    bool held = true;
    try {
      held = automation::toBool(
          Jex().get(QStringLiteral("JEX_UI_Notification_Sink_Event_Enable"), {QStringLiteral("HandleCmd")}));
    } catch (const Error& e) {
      if (e.number() != err::Timeout) throw;  // a busy core answers the next time
    }
    if (held || gGlobal().Quitting) return;
    WriteLog(QStringLiteral("JEX holds no sink > register again"), kTraffic);
    lost_();
  });
}

void CoreWatch::ownerChanged(const QString&, const QString&, const QString& newOwner) {
  trap("frmMDI.CoreOwnerChanged", [&] {
    if (newOwner.isEmpty() || gGlobal().Quitting) return;  // gone: the vanish notice ends JexUI
    WriteLog(QStringLiteral("JEX new owner ") + newOwner + QStringLiteral(" > register again"), kTraffic);
    Jex() = bus::connect(QString::fromLatin1(kCoreProgId), conn_);
    lost_();
  });
}

}  // namespace jex
