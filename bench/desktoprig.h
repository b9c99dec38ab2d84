// JexUI started in this process as at load, on the virtual desktop of tests/e2e/desktop.cpp with
// the built core beside it (corvane --no-jexui, which JexUI then finds on the bus), its main
// window in front; the core told which application the user is in. error says why not.
#pragma once

#include <QApplication>
#include <QString>
#include <QTest>

#include "app/frmmdi.h"
#include "app/startup.h"
#include "tests/e2e/desktop.h"

namespace jex::bench {

struct DesktopRig {
  QString error;

  // switchTo: the console's ":switch" arguments (the application in front, the one before).
  // waitForFuncs: wait until JexUI has handed the core its script objects too.
  explicit DesktopRig(const QString& switchTo, bool waitForFuncs = false) {
    error = !jex::testing::desktopError().isEmpty() ? jex::testing::desktopError() : jex::testing::core().error;
    if (!error.isEmpty()) return;
    qputenv("JEXUI_LOGDIR", jex::testing::core().home.toUtf8());
    jex::frmMDI::setQuitter([] {});
    if (jex::Main() != -1 || !jex::frmMDI::instance()) {
      error = QStringLiteral("JexUI did not start");
      return;
    }
    if (waitForFuncs)
      (void)QTest::qWaitFor([] { return jex::testing::coreOutput().contains(QStringLiteral("EXPOSED: Funcs")); },
                            10000);
    (void)QTest::qWaitFor([] { return QApplication::activeWindow() == jex::frmMDI::instance(); }, 8000);
    jex::testing::coreWrite(QStringLiteral(":switch ") + switchTo);
    QTest::qWait(500);
  }
  ~DesktopRig() { jex::testing::coreQuit(); }
  DesktopRig(const DesktopRig&) = delete;
  DesktopRig& operator=(const DesktopRig&) = delete;
};

}  // namespace jex::bench
