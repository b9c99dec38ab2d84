// What the core's tests share: S() for text, and the stand-in core with its root object in a
// temporary directory, logging everything to corvane.log there.
#pragma once

#include "corvane/engine/objects.h"
#include "tests/support/fakecore.h"
#include "tests/support/text.h"

namespace corvane::testing {

// The words of a text, split at blanks.
inline QStringList words(const char* s) { return S(s).split(u' ', Qt::SkipEmptyParts); }

class RootFixture {
 protected:
  RootFixture() {
    jex::logfile::setPath(appPath() + S("corvane.log"));
    jex::logfile::setThreshold(5);
  }
  ~RootFixture() {
    jex::logfile::setPath({});
    jex::logfile::setThreshold(0);
  }
  QString appPath() const { return dir.path() + u'/'; }
  QString logText() const { return fake::CoreFixture::readFile(appPath() + S("corvane.log")); }
  bool logged(const QString& part) const { return logText().contains(part); }
  static void writeFile(const QString& path, const QByteArray& data) { fake::CoreFixture::writeFile(path, data); }
  Root& r() { return *std::static_pointer_cast<Root>(root.target()); }
  // A new root on the same directory, as after a restart.
  jex::Obj restarted() { return jex::Obj(std::make_shared<Root>(core)); }

  QTemporaryDir dir;
  fake::Core core{dir.path()};
  jex::Obj root{std::make_shared<Root>(core)};
};

}  // namespace corvane::testing
