#include "base/paths.h"

namespace jex {

QString withTrailingSlash(QString dir) {
  if (dir.endsWith(u'\\')) dir.chop(1);
  if (!dir.endsWith(u'/')) dir += u'/';
  return dir;
}

QString fileTitle(const QString& path) {
  const QString name = path.mid(qMax(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/')) + 1);
  const qsizetype dot = name.lastIndexOf(u'.');
  return dot > 0 ? name.left(dot) : name;
}

}  // namespace jex
