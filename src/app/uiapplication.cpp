#include "app/uiapplication.h"

#include <QCoreApplication>

#include "app/scripting/typelib.h"

namespace jex {

UI_Application::UI_Application() : Dispatchable(typeLibClass(QStringLiteral("UI_Application"))) {
  property(
      QStringLiteral("VersionString"), [] { return QVariant(VersionString()); }, {},
      QStringLiteral("major.minor.revision of the running JexUI"));
  property(
      QStringLiteral("ExeLocation"), [] { return QVariant(ExeLocation()); }, {},
      QStringLiteral("the directory of the running JexUI program"));
}

QString UI_Application::VersionString() {
  return QStringLiteral("%1.%2.%3").arg(JEX_VERSION_MAJOR).arg(JEX_VERSION_MINOR).arg(JEX_VERSION_REVISION);
}

QString UI_Application::ExeLocation() { return QCoreApplication::applicationDirPath(); }

}  // namespace jex
