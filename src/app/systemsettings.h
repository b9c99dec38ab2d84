// System settings that JexUI applies for the user at start: the first-run registry file and
// the [SPI_FirstRun] entries on a login user's first run, the [SPI_Always] and [REG_Always]
// entries of JEXUI.INI at every later start.
//
// [SPI_...] entries:  name=action,uiParam,pvParam   (decimal numbers; pvParam may be S_NULL)
// [REG_Always] entries: ROOT\key\path\ValueName=value   ("dword:" + decimal gives a number)
// Malformed entries are logged and skipped.
#pragma once

#include <QString>
#include <optional>

#include "base/log.h"
#include "platform/sysparams.h"

namespace jex {

class cIniFil;

namespace systemsettings {

// The registry file that imports, [REG_Always] and the options dialog write to
// (Registry::machinePath()).
void setRegistryFile(const QString& path);  // empty: back to the default
QString registryFile();

// The login name as the settings key: empty when it has 15 or more characters.
QString winUserName(const QString& loginName);

// appPath + "jex" + systemCode() + ".reg"
QString firstRunRegFile(const QString& appPath);

// The whole user switch: [WinUsers] <name> decides between first run and every start.
void Apply(cIniFil& ini, const QString& appPath);
// A user's first run: registry file import, then [SPI_FirstRun].
void FirstRun(cIniFil& ini, const QString& appPath);
// Every later start: [SPI_Always], then [REG_Always].
void EveryStart(cIniFil& ini);

// Parses "action,uiParam,pvParam"; empty when malformed.
std::optional<platform::SysParamCall> parseSpi(const QString& value);
// Applies one entry (logged with key, value and result); false when malformed or refused.
bool ApplySpiEntry(const QString& key, const QString& value, LogLevel level);
// Writes one [REG_Always] entry; false when malformed or not written.
bool WriteRegEntry(const QString& key, const QString& value);

}  // namespace systemsettings
}  // namespace jex
