#include "platform/sysparams.h"

namespace jex::platform {

bool SysParams::call(const SysParamCall& c) {
  calls_.append(c);
  return true;
}

SysParams& SysParams::instance() {
  static SysParams s;
  return s;
}

}  // namespace jex::platform
