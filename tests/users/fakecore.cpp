#include "tests/users/fakecore.h"

#include <QFile>

#include "core/base/log.h"
#include "core/global/cglobal.h"
#include "corvane/core/appdir.h"
#include "corvane/core/objects.h"

namespace usertest {

CoreFixture::CoreFixture() {
  corvane::copyTreeKeepExisting(QStringLiteral(JEX_SOURCE_DIR) + QStringLiteral("/data/user/DEFAULT"),
                                appPath() + QStringLiteral("user/DEFAULT"));
  jex::Jex() = jex::Obj(std::make_shared<corvane::Root>(core));
  jex::gGlobal().AppPath = appPath();
  jex::logfile::setPath(appPath() + QStringLiteral("jexui.log"));
  jex::logfile::setThreshold(5);
}

CoreFixture::~CoreFixture() {
  jex::logfile::setPath({});
  jex::logfile::setThreshold(0);
  jex::resetGlobals();
}

QString CoreFixture::logText() const { return readFile(appPath() + QStringLiteral("jexui.log")); }

QString CoreFixture::readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void CoreFixture::writeFile(const QString& path, const QByteArray& data) {
  QFile f(path);
  if (f.open(QIODevice::WriteOnly)) f.write(data);
}

}  // namespace usertest
