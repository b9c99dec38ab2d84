#include "app/ownlibrary.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

#include "app/scripting/funcs.h"
#include "app/scripting/typelib.h"
#include "app/uiapplication.h"
#include "automation/idlwriter.h"
#include "base/error.h"
#include "base/log.h"
#include "platform/registry.h"

namespace jex {

QString ownTypeLibraryFile() { return QCoreApplication::applicationDirPath() + QStringLiteral("/jexui.tlb"); }

int writeOwnIdl(const QString& file) {
  return trapped("writeOwnIdl", 1, [&] {
    const QList<automation::IdlClass> classes{
        {QStringLiteral("Funcs"), QStringLiteral("Functions for the core's scripts"), Funcs().members()},
        {QStringLiteral("UI_Application"), QStringLiteral("JexUI itself"), UI_Application().members()}};
    QString problem;
    if (!automation::writeIdlFile(file, QLatin1String(kTypeLibrary), QStringLiteral("JexUI's objects for the scripts"),
                                  classes, problem)) {
      std::fprintf(stderr, "jexui: %s: %s\n", qPrintable(file), qPrintable(problem));
      return 1;
    }
    return 0;
  });
}

void registerOwnTypeLibrary() {
  trap("registerOwnTypeLibrary", [] {
    const QString file = ownTypeLibraryFile();
    if (!QFileInfo(file).isFile()) return;
    if (!platform::typelibs::registerLibrary(platform::Registry::machinePath(),
                                             automation::libraryGuid(QLatin1String(kTypeLibrary)), 1, 0, file))
      WriteErrorLog(QStringLiteral("the type library could not be registered: ") + file);
  });
}

}  // namespace jex
