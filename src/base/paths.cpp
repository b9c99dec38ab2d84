#include "base/paths.h"

namespace jex {

QString withTrailingSlash(QString dir) {
  if (dir.endsWith(u'\\')) dir.chop(1);
  if (!dir.endsWith(u'/')) dir += u'/';
  return dir;
}

}  // namespace jex
