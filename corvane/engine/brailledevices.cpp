#include "corvane/engine/brailledevices.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "base/error.h"
#include "base/log.h"
#include "corvane/engine/settingsstore.h"

namespace corvane {

namespace {

const QString kBuiltIn = QStringLiteral(":/corvane/braille/devices.ini");

// The sections of a small INI text in file order, each with its keys (lower case).
QList<std::pair<QString, QHash<QString, QString>>> readSections(const QString& text) {
  QList<std::pair<QString, QHash<QString, QString>>> out;
  for (QString line : text.split(u'\n')) {
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith(u';')) continue;
    if (line.startsWith(u'[') && line.endsWith(u']')) {
      out.append({line.mid(1, line.size() - 2).trimmed(), {}});
      continue;
    }
    const qsizetype eq = line.indexOf(u'=');
    if (eq <= 0 || out.isEmpty()) continue;
    out.last().second.insert(line.left(eq).trimmed().toLower(), line.mid(eq + 1).trimmed());
  }
  return out;
}

QString readText(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll());
}

QList<BrailleDevice> parseDevices(const QString& text, const QString& origin) {
  QList<BrailleDevice> devices;
  static const QRegularExpression idPattern(QStringLiteral("^[A-Z0-9_]+$"));
  for (const auto& [section, keys] : readSections(text)) {
    jex::trap("BrailleDevices.parse", [&] {
      BrailleDevice d;
      d.id = section.toUpper();
      bool okCells = false, okStatus = false;
      d.cells = keys.value(QStringLiteral("cells")).toInt(&okCells);
      d.statusCells = keys.value(QStringLiteral("statuscells"), QStringLiteral("0")).toInt(&okStatus);
      if (!idPattern.match(d.id).hasMatch() || !okCells || !okStatus || d.cells < 0 || d.cells > 160 ||
          d.statusCells < 0 || d.statusCells > 20) {
        jex::WriteErrorLog(QStringLiteral("Braille devices: section [") + section + QStringLiteral("] of ") + origin +
                           QStringLiteral(" left out: bad identifier or cell counts"));
        return;
      }
      for (const BrailleDevice& other : devices)
        if (other.id == d.id) {
          jex::WriteErrorLog(QStringLiteral("Braille devices: [") + section + QStringLiteral("] twice in ") + origin +
                             QStringLiteral("; the first is kept"));
          return;
        }
      d.maker = keys.value(QStringLiteral("maker"));
      d.model = keys.value(QStringLiteral("model"));
      d.routingKeys = keys.value(QStringLiteral("routingkeys")) == u"1";
      d.sensors = keys.value(QStringLiteral("sensors")) == u"1";
      d.isVirtual = keys.value(QStringLiteral("virtual")) == u"1";
      d.names = keys.value(QStringLiteral("names")).split(u'|', Qt::SkipEmptyParts);
      devices.append(d);
    });
  }
  return devices;
}

bool has(const QList<BrailleDevice>& devices, const QString& id) {
  return std::any_of(devices.begin(), devices.end(), [&](const BrailleDevice& d) { return d.id == id; });
}

}  // namespace

QList<BrailleDevice> loadBrailleDevices(const QString& appPath) {
  return jex::trapped("BrailleDevices.load", QList<BrailleDevice>{}, [&] {
    const QString own = appPath + QStringLiteral("braille/devices.ini");
    QList<BrailleDevice> devices;
    if (QFileInfo::exists(own)) {
      devices = parseDevices(readText(own), own);
      if (devices.isEmpty())
        jex::WriteErrorLog(QStringLiteral("Braille devices: no device in ") + own +
                           QStringLiteral("; the built-in list is used"));
    }
    if (devices.isEmpty()) devices = parseDevices(readText(kBuiltIn), kBuiltIn);
    // Without any display and without the default one the core could not start its display.
    if (!has(devices, QStringLiteral("NONE"))) {
      BrailleDevice none;
      none.id = QStringLiteral("NONE");
      none.isVirtual = true;
      devices.prepend(none);
    }
    if (!has(devices, kDefaultBrailleDevice)) {
      BrailleDevice v;
      v.id = kDefaultBrailleDevice;
      v.cells = 40;
      v.routingKeys = true;
      v.isVirtual = true;
      devices.insert(1, v);
    }
    return devices;
  });
}

int braillePortNumber(const QString& port) {
  const QString p = port.trimmed().toUpper();
  if (p.size() != 4 || !p.startsWith(QStringLiteral("COM")) || !p.at(3).isDigit()) return -1;
  return p.at(3).digitValue();
}

QString braillePortNode(const QString& port, const SettingsStore& settings) {
  const int n = braillePortNumber(port);
  if (n <= 0) return {};
  const QString mapped = settings.value(QStringLiteral("Ports"), QStringLiteral("COM%1").arg(n)).trimmed();
  if (!mapped.isEmpty()) return mapped;
  return QStringLiteral("/dev/ttyS%1").arg(n - 1);
}

}  // namespace corvane
