#include "dialogs/about/sysinforeport.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "base/error.h"
#include "dialogs/about/scriptcheck.h"
#include "global/cglobal.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"
#include "users/cuser.h"

namespace jex {

namespace {

constexpr const char* kLocation = "mMain.GetSysInfo";

// A value of the core object as text; empty when it cannot be read.
QString core(const QString& path) {
  return trapped(kLocation, QString(), [&] { return Jex().str(path); });
}

QString bit(qint32 mode, qint32 mask) { return (mode & mask) ? QStringLiteral("1") : QStringLiteral("0"); }

QString freeSpace(const QString& path) {
  const auto bytes = platform::freeDiskBytes(path);
  return bytes ? formatGrouped(*bytes / 1024) + QStringLiteral(" KB free") : QString();
}

// The program registered for a programmatic identifier: HKCR\<id>\CLSID names the class, whose
// LocalServer32 or InprocServer32 default value is the program's path.
QString registeredProgram(const platform::Registry& reg, const QString& progId) {
  const QString root = QStringLiteral("HKEY_CLASSES_ROOT");
  const QString clsid = reg.value(root, progId + QStringLiteral("\\CLSID"), QString()).toString();
  if (clsid.isEmpty()) return {};
  for (const char* server : {"LocalServer32", "InprocServer32"}) {
    const QString path =
        reg.value(root, QStringLiteral("CLSID\\") + clsid + u'\\' + QString::fromLatin1(server), QString()).toString();
    if (!path.isEmpty()) return path;
  }
  return {};
}

// A service counts as on when its Start value is boot (0), system (1) or automatic (2).
bool serviceOn(const platform::Registry& reg, const QString& service) {
  const QVariant start =
      reg.value(QStringLiteral("HKEY_LOCAL_MACHINE"), QStringLiteral("SYSTEM\\CurrentControlSet\\Services\\") + service,
                QStringLiteral("Start"));
  if (!start.isValid()) return false;
  bool ok = false;
  const uint v = start.toUInt(&ok);
  return ok && v <= 2;
}

QString onOff(bool on) { return on ? QStringLiteral("On") : QStringLiteral("Off"); }

// The first characters of sddp.inf as text (line ends shown as blanks) and their codes.
constexpr int kSddpShown = 16;
QString sddpLine(const QString& systemDir) {
  QFile f(systemDir + QStringLiteral("sddp.inf"));
  if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("SDDP: INF not found");
  const QByteArray head = f.read(kSddpShown);
  QString text = QString::fromLatin1(head);
  for (QChar& c : text)
    if (c.unicode() < 0x20) c = u' ';
  QStringList codes;
  for (char c : head) codes << QString::number(uchar(c), 16).toUpper().rightJustified(2, u'0');
  return QStringLiteral("SDDP: ") + text + QStringLiteral(". ") + codes.join(u' ');
}

QString osLine() {
  const platform::OsVersion v = platform::osVersion();
  if (!v.valid) return {};
  // "NT " names the Windows family; here the kernel's family takes its place.
  return v.family + u' ' + QString::number(v.major) + u'.' + QString::number(v.minor) + QStringLiteral(" Build:") +
         QString::number(v.build) + u' ' + v.extra;
}

QString memoryLine() {
  const platform::MemoryStatus m = platform::memoryStatus();
  if (!m.valid) return QStringLiteral("Memory: ");
  return QStringLiteral("Memory: ") + formatGrouped(m.totalPhys / 1024) + QStringLiteral(" KB / ") +
         formatGrouped(m.availPhys / 1024) + QStringLiteral(" KB / ") + formatGrouped(m.totalSwap / 1024) +
         QStringLiteral(" KB");
}

QString screenLine() {
  const platform::ScreenInfo s = platform::screenInfo();
  if (!s.valid) return QStringLiteral("Screen: ");
  const quint64 colours = s.depth >= 64 ? 0 : (quint64(1) << s.depth);
  return QStringLiteral("Screen: %1 x %2 x %3").arg(s.width).arg(s.height).arg(colours);
}

QString browserLine(const QString& systemDir) {
  const QString lib = systemDir + QString::fromLatin1(platform::kBrowserLibrary);
  if (!QFileInfo::exists(lib)) return QStringLiteral("IE: ") + lib + QStringLiteral(" not found !");
  return QStringLiteral("IE: ") + platform::libraryVersion(lib) + QStringLiteral(" @") + lib;
}

}  // namespace

QString formatGrouped(quint64 value) {
  if (value == 0) return {};
  QString digits = QString::number(value);
  for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, u',');
  return digits;
}

QString GetSysInfo() {
  return trapped(kLocation, QString(), [] {
    return GetSysInfo({gGlobal().AppPath, platform::systemDirectory(), platform::Registry::defaultPath()});
  });
}

QString GetSysInfo(const SysInfoSources& src) {
  QStringList l;
  trap(kLocation, [&] {
    l << QStringLiteral("JEX: ") + core(QStringLiteral("AppObject.Major")) + u'.' +
             core(QStringLiteral("AppObject.Minor")) + u'.' + core(QStringLiteral("AppObject.Revision"));
    for (const char* component : {"SEDObject", "MOMObject", "System", "BrailleObject"})
      l << core(QString::fromLatin1(component) + QStringLiteral(".ComponentVersions"));
    const auto& user = gGlobal().UserProfile;
    l << QStringLiteral("JexUI: %1.%2.%3").arg(JEX_VERSION_MAJOR).arg(JEX_VERSION_MINOR).arg(JEX_VERSION_REVISION) +
             QStringLiteral(" User: ") + (user ? user->Name() : QString());
    l << QStringLiteral("App: ") + core(QStringLiteral("proc.APPName")) + QStringLiteral(", Lng: ") +
             core(QStringLiteral("proc.DefaultLng"));
    const QString bi = QStringLiteral("BrailleInterface.");
    l << QStringLiteral("Braille: ") + core(bi + QStringLiteral("ActiveBrailleDevice")) + u' ' +
             core(bi + QStringLiteral("ActiveBraillePort")) + QStringLiteral(" SW:") +
             core(bi + QStringLiteral("BrailleSWMode")) + QStringLiteral(" OS: ") +
             core(bi + QStringLiteral("BrailleOSMode"));
    l << QStringLiteral("table: ") + core(bi + QStringLiteral("BrailleTranslationTable"));
    const QString hotkeys =
        trapped(kLocation, QString(), [] { return onOff(Jex().boolean(QStringLiteral("proc.HotkeyState"))); });
    l << QStringLiteral("HotKeys: ") + hotkeys + QStringLiteral(", Grade2: ") + core(bi + QStringLiteral("Grade2Stat"));
    const auto mode = trapped(kLocation, std::optional<qint32>(),
                              [&] { return std::optional<qint32>(Jex().i32(bi + QStringLiteral("BrailleLineMode"))); });
    l << (mode ? QStringLiteral("hSpace: ") + bit(*mode, 0x100) + bit(*mode, 0x200) + bit(*mode, 0x400) +
                     QStringLiteral(", vSpace: ") + bit(*mode, 0x1000) + bit(*mode, 0x2000) + bit(*mode, 0x4000)
               : QStringLiteral("hSpace: , vSpace: "));
    l << QStringLiteral("Echo: ") + core(QStringLiteral("KeyEcho.KeyEcho")) + QStringLiteral(" CharEcho: ") +
             core(QStringLiteral("KeyEcho.CharEcho"));

    const platform::Registry reg(src.registryFile);
    const QString pageCast = registeredProgram(reg, QStringLiteral("webview.viewsource"));
    l << (pageCast.isEmpty() ? QStringLiteral("PageCast: not registered") : QStringLiteral("PageCast @ ") + pageCast);
    const QString monWin = trapped(kLocation, QString(), [] {
      return Jex().boolean(QStringLiteral("proc.IsMonWinVisible")) ? QStringLiteral("1") : QStringLiteral("0");
    });
    l << (serviceOn(reg, QStringLiteral("SSRD"))
              ? QStringLiteral("SSRD On, KbdHK: ") + u' ' + onOff(serviceOn(reg, QStringLiteral("QMTKBDHK")))
              : QStringLiteral("SSRD Off")) +
             QStringLiteral(", MonWin: ") + monWin;
    l << QStringLiteral("Path: ") + src.appPath + QStringLiteral(", ") + freeSpace(src.appPath);
    l << osLine();
    l << QStringLiteral("System: ") + src.systemDir + QStringLiteral(", ") + freeSpace(src.systemDir);
    l << memoryLine();
    l << screenLine();
    l << browserLine(src.systemDir);
    l << QStringLiteral("oleacc: ") +
             platform::libraryVersion(src.systemDir + QString::fromLatin1(platform::kAccessibilityLibrary)) +
             QStringLiteral(", oleaccrc: ") +
             platform::libraryVersion(src.systemDir + QString::fromLatin1(platform::kAccessibilityBridge));
    l << sddpLine(src.systemDir);
    const QStringList changes =
        scriptChanges(src.appPath.isEmpty() ? QString() : src.appPath + QStringLiteral("scripts/"));
    const bool noRef = changes.size() == 1 && changes.first().startsWith(QStringLiteral("no RefDat !"));
    l << QStringLiteral("Script Changes: ") + (noRef ? changes.first() : QString());
    if (!noRef)
      for (const QString& c : changes) l.last() += QStringLiteral("\r\n  ") + c;
  });
  QString report;
  for (const QString& line : l) report += line + QStringLiteral("\r\n");
  return report;
}

}  // namespace jex
