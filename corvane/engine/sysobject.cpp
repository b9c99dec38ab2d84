#include "corvane/engine/sysobject.h"

#include "automation/dispatchable.h"
#include "corvane/engine/hostplatform.h"

namespace corvane {

namespace {

class SysObject : public jex::automation::Dispatchable {
 public:
  SysObject() : Dispatchable(QStringLiteral("iSys")) {
    method(
        QStringLiteral("GetProcessNameFromWindow"), 1, 1,
        [](jex::automation::Args& a) {
          return QVariant(processNameOfWindow(quint32(a.i32(0))));  // window ids are 32 bits
        },
        QStringLiteral("the executable's name of the process that owns a window; \"\" when none of this host"));
  }
};

}  // namespace

jex::automation::Obj makeSysObject() { return jex::automation::Obj(std::make_shared<SysObject>()); }

}  // namespace corvane
