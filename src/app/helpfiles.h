// Help files, documents and links, all opened through the desktop's opener (platform/opener.h),
// never executed.
//
// Help files live in the help folder of the current language: AppPath + "Help/" + LNG + "/"
// (the installation spells the folder "Help" or "HELP": its name is compared without regard to
// case, and so are the language folder and the file). A help name is a plain file name: one
// with a path separator, a drive or scheme colon, "." or "..", or an empty one is refused.
#pragma once

#include <QString>
#include <QUrl>

namespace jex {

// The help file name of language lng below appPath. Throws Error for a refused name or when
// the folder or the file does not exist.
QString HelpFilePath(const QString& appPath, const QString& lng, const QString& name);

// A document or link named by the core or the language file: an absolute local path of an
// existing file, or a link (http, https, ftp, mailto, file; "www." names become http links).
// Throws Error for anything else (empty names, relative paths, other schemes).
QUrl DocumentUrl(const QString& name);

// Opens the help file name of the current language (cGlobal.AppPath, the localiser's LNG); logs
// "Call HelpFile: " + path. A refused name or a missing file is an error line for location and
// nothing opens. True when the desktop took the file.
bool OpenHelpFile(const QString& name, const char* location);

// Opens a document or link (DocumentUrl); errors as OpenHelpFile.
bool OpenDocument(const QString& name, const char* location);

}  // namespace jex
