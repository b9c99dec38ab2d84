#include "core/cmdqueue.h"

#include "core/base/error.h"
#include "core/base/log.h"
#include "core/global/cglobal.h"

namespace jex {

void iAdd2JexCmdQ(const QString& command) {
  trap("iAdd2JexCmdQ", [&] {
    WriteLog(QStringLiteral("iAdd2JexCmdQ: ") + command, 3);
    Jex().call(QStringLiteral("proc.AddToCMDQueue"), {command});
  });
}

}  // namespace jex
