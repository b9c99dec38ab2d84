// JexUI program entry.
#include <QApplication>

#include "app/ownlibrary.h"
#include "app/startup.h"

int main(int argc, char** argv) {
  // Without any display the program still runs, its window simply not seen.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("jexui"));
  QApplication::setQuitOnLastWindowClosed(false);
  const QStringList args = QApplication::arguments();
  if (args.size() == 3 && args[1] == QLatin1String("--write-idl")) return jex::writeOwnIdl(args[2]);
  jex::openLog();
  const int rc = jex::Main();
  if (rc >= 0) return rc;
  const int exitCode = QApplication::exec();
  jex::ReleaseMainWindow();  // every loop has returned now
  return exitCode;
}
