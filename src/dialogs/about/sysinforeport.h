// The system information report that the about box shows and copies for support.
#pragma once

#include <QString>

namespace jex {

// Where the report looks; GetSysInfo() fills it from the running program.
struct SysInfoSources {
  QString appPath;       // the core's directory, trailing "/" (gGlobal().AppPath)
  QString systemDir;     // platform::systemDirectory()
  QString registryFile;  // platform::Registry::defaultPath()
};

// The report: 23 lines, each ended with CR LF. A value that cannot be read leaves its part of
// the line empty; the report is always returned.
QString GetSysInfo();
QString GetSysInfo(const SysInfoSources& sources);

// Digits grouped by "," as the format "###,###,###": 1234567 -> "1,234,567", 0 -> "".
QString formatGrouped(quint64 value);

}  // namespace jex
