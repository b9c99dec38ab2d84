// Facts about the running system and the session, and the shell's "open" verb.
#pragma once

#include <QString>
#include <QStringList>

namespace jex::platform {

// The process id of the running program.
qint64 ownProcessId();

// The login name of the user running the program ("Windows user name"); empty when unknown.
QString loginName();

// Three-character system code of the first-run registry file "jex" + code + ".reg".
// On Windows it is "4" (NT family) or "1", followed by the major and minor version digits,
// cut to three characters. On Linux it is "L" followed by the kernel's major and minor
// version digits, cut to three characters: kernel 6.1 gives "L61", 5.10 gives "L51".
QString systemCode();

// The shell's "open" verb, used to start the core's launcher. Documents and links named by the
// core or the language files never come here: they go to the desktop's opener (opener.h).
// An executable file is started detached with dir as its working directory (no window of its
// own is opened for it); any other file or URL is opened with the desktop's default
// application. Returns whether the start was reported as successful.
bool shellOpen(const QString& file, const QString& dir = {}, const QStringList& args = {});

}  // namespace jex::platform
