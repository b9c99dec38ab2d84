#include "app/systemsettings.h"

#include <QFileInfo>

#include "base/error.h"
#include "base/log.h"
#include "ini/cinifil.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace jex::systemsettings {
namespace {

constexpr quint32 kSpiUpdateFlags = 3;  // write to the user profile and broadcast the change
constexpr int kMaxUserName = 15;        // the name buffer: 14 characters and the terminator

// Leading sign and digits as a number, like a script's Val(); 0 when there are none.
qint64 leadingNumber(const QString& text) {
  const QString t = text.trimmed();
  qsizetype end = (t.startsWith(u'-') || t.startsWith(u'+')) ? 1 : 0;
  while (end < t.size() && t[end].isDigit()) ++end;
  bool ok = false;
  const qint64 v = t.left(end).toLongLong(&ok);
  return ok ? v : 0;
}

std::optional<qint64> strictNumber(const QString& text) {
  bool ok = false;
  const qint64 v = text.trimmed().toLongLong(&ok);
  if (!ok) return std::nullopt;
  return v;
}

void applySection(cIniFil& ini, const QString& section, LogLevel level) {
  if (!ini.SectionExists(section)) return;
  Array2<QString> entries;
  ini.SectionLoad(entries, section);
  for (int i = 1; i <= entries.ubound(2); ++i) ApplySpiEntry(entries(1, i), entries(2, i), level);
}
}  // namespace

void setRegistryFile(const QString& path) { platform::Registry::setMachinePath(path); }
QString registryFile() { return platform::Registry::machinePath(); }

QString winUserName(const QString& loginName) { return loginName.size() >= kMaxUserName ? QString() : loginName; }

QString firstRunRegFile(const QString& appPath) {
  return appPath + QStringLiteral("jex") + platform::systemCode() + QStringLiteral(".reg");
}

void Apply(cIniFil& ini, const QString& appPath) {
  trap("frmMDI.WinUsers", [&] {
    const QString name = winUserName(platform::loginName());
    if (ini.GetStr(QStringLiteral("WinUsers"), name, QString()).trimmed() != QLatin1String("1")) {
      WriteLog(QStringLiteral("WinUser ") + name + QStringLiteral(" 1st RUN !"), kFirstRun);
      FirstRun(ini, appPath);
      ini.SettingSave(QStringLiteral("WinUsers"), name, QStringLiteral("1"));
    } else {
      WriteLog(QStringLiteral("WinUser ") + name + QStringLiteral(" already done."), kDetail);
      EveryStart(ini);
    }
  });
}

void FirstRun(cIniFil& ini, const QString& appPath) {
  trap("FirstRun", [&] {
    const QString file = firstRunRegFile(appPath);
    if (QFileInfo(file).isFile()) {
      platform::Registry reg(registryFile());
      const platform::Registry::ImportResult r = reg.importRegFile(file);
      for (const QString& problem : r.problems)
        WriteErrorLog(QStringLiteral("FirstRun: ") + file + QStringLiteral(": ") + problem);
      WriteLog(file + QStringLiteral(" returned ") + QString::number(r.ok ? 0 : 1), kFirstRun);
    } else {
      WriteLog(file + QStringLiteral(" not found"), kFirstRun);
    }
    applySection(ini, QStringLiteral("SPI_FirstRun"), kFirstRun);
  });
}

void EveryStart(cIniFil& ini) {
  trap("EveryStart", [&] {
    applySection(ini, QStringLiteral("SPI_Always"), kDetail);
    const QString section = QStringLiteral("REG_Always");
    if (!ini.SectionExists(section)) return;
    Array2<QString> entries;
    ini.SectionLoad(entries, section);
    for (int i = 1; i <= entries.ubound(2); ++i) WriteRegEntry(entries(1, i), entries(2, i));
  });
}

std::optional<platform::SysParamCall> parseSpi(const QString& value) {
  const QStringList parts = value.split(u',');
  if (parts.size() != 3) return std::nullopt;
  const auto action = strictNumber(parts[0]);
  const auto uiParam = strictNumber(parts[1]);
  if (!action || !uiParam || *action < 0 || *uiParam < 0 || *action > 0xFFFFFFFFLL || *uiParam > 0xFFFFFFFFLL)
    return std::nullopt;
  platform::SysParamCall c;
  c.action = quint32(*action);
  c.uiParam = quint32(*uiParam);
  c.flags = kSpiUpdateFlags;
  if (parts[2].trimmed().compare(QLatin1String("S_NULL"), Qt::CaseInsensitive) != 0) {
    const auto pv = strictNumber(parts[2]);
    if (!pv) return std::nullopt;
    c.pvParam = *pv;
  }
  return c;
}

bool ApplySpiEntry(const QString& key, const QString& value, LogLevel level) {
  return trapped("ApplySpiEntry", false, [&] {
    const auto call = parseSpi(value);
    if (!call) {
      WriteErrorLog(QStringLiteral("SPI ") + key + QStringLiteral(" = ") + value +
                    QStringLiteral(": not action,uiParam,pvParam - skipped"));
      return false;
    }
    const bool ok = platform::SysParams::instance().call(*call);
    WriteLog(QStringLiteral("SPI ") + key + QStringLiteral(" = ") + value + QStringLiteral(" returns: ") +
                 QString::number(ok ? 1 : 0),
             level);
    return ok;
  });
}

bool WriteRegEntry(const QString& key, const QString& value) {
  return trapped("WriteRegEntry", false, [&] {
    const QString entry = key.trimmed();
    const qsizetype cut = entry.lastIndexOf(u'\\');
    QString root, keyPath;
    const bool split = cut > 0 && platform::Registry::splitRoot(entry.left(cut), root, keyPath);
    const QString name = cut > 0 ? entry.mid(cut + 1) : QString();
    platform::Registry reg(registryFile());
    const bool opened = split && reg.openKey(root, keyPath);
    constexpr int kOk = 0, kNotFound = 2;  // the system's codes for "done" and "no such key"
    WriteLog(QStringLiteral("open key: ") + QString::number(opened ? kOk : kNotFound) + u' ' + entry +
                 QStringLiteral(" = ") + value,
             kDetail);
    if (!opened) return false;
    if (value.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive))
      return reg.setDword(root, keyPath, name, quint32(leadingNumber(value.mid(6))));
    return reg.setString(root, keyPath, name, value);
  });
}

}  // namespace jex::systemsettings
