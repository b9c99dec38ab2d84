#include "core/startuploaders.h"

#include <array>

#include "core/base/error.h"

namespace jex::startuploaders {
namespace {
std::array<Loader, kSteps>& table() {
  static std::array<Loader, kSteps> t;
  return t;
}
bool valid(int step) { return step >= 0 && step < kSteps; }
}  // namespace

void setLoader(int step, Loader loader) {
  if (valid(step)) table()[size_t(step)] = std::move(loader);
}

bool hasLoader(int step) { return valid(step) && bool(table()[size_t(step)]); }

void run(int step) {
  if (!hasLoader(step)) return;
  trap("frmMDI.tmrStartUp", table()[size_t(step)]);
}

}  // namespace jex::startuploaders
