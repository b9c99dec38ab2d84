// Facts about the system for the support report: version, directories, free space, memory,
// screen and the versions of system libraries.
//
// Linux counterparts of the Windows facts, chosen so that the report keeps its formats:
// - the system version is the kernel's: family "Linux", major.minor and, as the build
//   number, the kernel's patch level; the service-pack text is the distribution's name;
// - the system directory is the directory of the system's shared libraries (the one the C
//   library was loaded from, for example /usr/lib/x86_64-linux-gnu/);
// - a library's "file version" is the version in its real file name after ".so."
//   (libatspi.so.0 -> libatspi.so.0.0.1 gives "0.0.1");
// - memory is read from /proc/meminfo: total and available physical memory and total swap.
// Every function answers "unknown" (empty, 0 or valid=false) rather than failing.
#pragma once

#include <QString>
#include <optional>

namespace jex::platform {

struct OsVersion {
  bool valid = false;
  QString family;  // "Linux"
  int major = 0;
  int minor = 0;
  int build = 0;
  QString extra;  // the distribution's name, for example "Debian GNU/Linux 12 (bookworm)"
};
OsVersion osVersion();

// The directory of the system's shared libraries, with a trailing "/".
QString systemDirectory();

// Free bytes for an unprivileged user on the file system holding path.
std::optional<quint64> freeDiskBytes(const QString& path);

struct MemoryStatus {
  bool valid = false;
  quint64 totalPhys = 0;  // bytes
  quint64 availPhys = 0;  // bytes
  quint64 totalSwap = 0;  // bytes
};
MemoryStatus memoryStatus();
// Parses the text of /proc/meminfo (values in kB).
MemoryStatus parseMemInfo(const QByteArray& text);

struct ScreenInfo {
  bool valid = false;
  int width = 0;
  int height = 0;
  int depth = 0;  // bits per pixel
};
ScreenInfo screenInfo();

// Library files standing in for the Windows ones in the report.
inline constexpr const char* kBrowserLibrary = "libwebkit2gtk-4.1.so.0";       // "mshtml.dll"
inline constexpr const char* kAccessibilityLibrary = "libatspi.so.0";          // "oleacc.dll"
inline constexpr const char* kAccessibilityBridge = "libatk-bridge-2.0.so.0";  // "oleaccrc.dll"

// The version of a shared library file (see above); empty when the file does not exist or
// its name carries no version.
QString libraryVersion(const QString& file);

}  // namespace jex::platform
