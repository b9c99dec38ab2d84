// Directory paths as the program joins them: a directory ends with '/', so that a file name
// can be appended to it directly.
#pragma once

#include <QString>

namespace jex {

// dir with a '/' at its end, added when it lacks one. A trailing '\' (a directory as a
// script may write it) counts as that separator and becomes '/'. Nothing else is changed:
// callers trim first, and an empty dir gives "/".
QString withTrailingSlash(QString dir);

}  // namespace jex
