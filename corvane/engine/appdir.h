// The core's own directory (AppPath): created on first start from the shipped data folder.
#pragma once

#include <QString>

namespace corvane {

// Defaults written into a new corvane.ini ([General] DefaultLng, MeridanLoaded, UseSpeech;
// [Braille] ActiveBraillePort).
extern const char* const kDefaultIni;

struct AppDirResult {
  bool ok = false;
  QString appPath;  // absolute, with a trailing "/"
  int copiedFiles = 0;
  QString error;  // the reason when !ok
};

// Default location: $XDG_DATA_HOME/corvane/ (~/.local/share/corvane/).
QString defaultAppPath();

// Creates appPath, copies every file below dataDir that is not there yet (existing files are
// never overwritten) and writes corvane.ini with its defaults when it is missing.
AppDirResult prepareAppDir(const QString& appPath, const QString& dataDir);

// Copies the tree below from into to without overwriting; returns the number of files copied.
int copyTreeKeepExisting(const QString& from, const QString& to);

}  // namespace corvane
