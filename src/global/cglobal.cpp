#include "global/cglobal.h"

#include "base/log.h"

namespace jex {
namespace {
std::unique_ptr<cGlobal> g_global;
Obj g_core;
// The layers below the application read the program's state through this object.
[[maybe_unused]] const bool g_isContext = (setAppContextSource([]() -> AppContext& { return gGlobal(); }), true);
}  // namespace

Obj& cGlobal::core() { return g_core; }

qint32 cGlobal::WriteLogFile() const { return writeLogFile_; }

void cGlobal::setWriteLogFile(qint32 level) {
  writeLogFile_ = level;
  logfile::setThreshold(level);
}

bool cGlobal::UiActive() const {
  return trapped("cGlobal.UiActive", false, [] {
    return !Jex().isNothing() && Jex().str(QStringLiteral("proc.ForeGroundApp")).toUpper() == QLatin1String("JEXUI");
  });
}

cGlobal& gGlobal() {
  if (!g_global) g_global = std::make_unique<cGlobal>();
  return *g_global;
}

Obj& Jex() { return g_core; }

Obj CoreMember::get() {
  if (object_.isNothing() || !(core_ == Jex())) {
    object_ = Obj();
    core_ = Jex();
    if (!core_.isNothing()) object_ = core_.obj(name_);
  }
  return object_;
}

void resetGlobals() {
  g_global.reset();
  g_core = Obj();
}

}  // namespace jex
