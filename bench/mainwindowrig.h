// JexUI's main window in this process, registered with a core as at load (the sink handed to
// it, the notifier installed) and released in order at the end; and a stand-in for the voices
// dialog, so that a benchmark measures the command path alone.
#pragma once

#include <QDBusConnection>
#include <QWidget>
#include <memory>

#include "app/frmmdi.h"
#include "app/uiapplication.h"
#include "automation/dbustransport.h"
#include "global/cglobal.h"
#include "widgets/formservice.h"

namespace jex::bench {

struct MainWindowRig {
  jex::frmMDI* w = nullptr;

  // core: the core object as JexUI reaches it; conn: the bus of a core in another process,
  // which takes the sink only from the owner of JexUI's name.
  explicit MainWindowRig(const jex::Obj& core, QDBusConnection* conn = nullptr) {
    jex::Jex() = core;
    if (conn)
      jex::automation::dbus::publish(QStringLiteral("JexUI.UI_Application"), std::make_shared<jex::UI_Application>(),
                                     *conn);
    w = new jex::frmMDI;
    w->registerSink();
    w->installHook();
  }
  ~MainWindowRig() {
    w->removeHook();
    delete w;
    jex::resetGlobals();
  }
};

// "frmVoices" as a plain window that DLGSPEECH shows and that counts the voices commands
// (SPEEDUP and the like) that reach it.
struct VoicesStandIn {
  QWidget window;
  int commands = 0;

  VoicesStandIn() {
    window.setObjectName(QStringLiteral("frmVoices"));
    jex::forms::add({.name = QStringLiteral("frmVoices"), .action = [this](const QString& action, const QStringList&) {
                       if (action == QLatin1String("Show")) window.show();
                       else ++commands;
                     }});
  }
  ~VoicesStandIn() { jex::forms::remove(QStringLiteral("frmVoices")); }
};

}  // namespace jex::bench
