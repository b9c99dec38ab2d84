// The Braille displays the core knows and the ports they are connected to.
//
// Devices come from the data file braille/devices.ini (AppPath's copy, else the one built into
// the core); the file's section order is the list order. Ports are "COM1" to "COM9", "COM0"
// meaning no display: COMn is the serial node /dev/ttyS(n-1) unless corvane.ini [Ports] maps it
// elsewhere (COM3=/dev/ttyUSB0, COM4=/dev/rfcomm0).
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace corvane {

class SettingsStore;

struct BrailleDevice {
  QString id;  // "VIRTUAL40"; upper case
  QString maker;
  QString model;
  int cells = 0;
  int statusCells = 0;
  bool routingKeys = false;
  bool sensors = false;
  bool isVirtual = false;  // nothing to open
  QStringList names;       // display names for the language files
};

inline const QString kDefaultBrailleDevice = QStringLiteral("VIRTUAL40");
inline const QString kDefaultBraillePort = QStringLiteral("COM1");
inline const QString kNoBraillePort = QStringLiteral("COM0");

// The devices of AppPath + "braille/devices.ini", or of the built-in file when that is missing
// or holds none. Sections with unusable values are left out with a log line; NONE and the
// default device are always there.
QList<BrailleDevice> loadBrailleDevices(const QString& appPath);

// The port number 0 to 9 of "COM0".."COM9" (any case), or -1 for anything else.
int braillePortNumber(const QString& port);

// The device node of a port: [Ports] COMn of corvane.ini, else /dev/ttyS(n-1); "" for COM0 or
// a name that is no port.
QString braillePortNode(const QString& port, const SettingsStore& settings);

}  // namespace corvane
