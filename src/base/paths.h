// Paths as the program joins and shows them: a directory ends with '/', so that a file name can
// be appended to it directly; a file is shown by its title.
#pragma once

#include <QString>

namespace jex {

// dir with a '/' at its end, added when it lacks one. A trailing '\' (a directory as a
// script may write it) counts as that separator and becomes '/'. Nothing else is changed:
// callers trim first, and an empty dir gives "/".
QString withTrailingSlash(QString dir);

// The title of a file: its name without the folders ('/' or '\' before it) and without its last
// extension. "C:\tables\de-g2.ctb" and "/usr/share/liblouis/tables/de-g2.ctb" give "de-g2"; a
// name whose only dot is its first character (".profile") keeps it.
QString fileTitle(const QString& path);

}  // namespace jex
