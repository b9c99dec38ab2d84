#include "corvane/engine/brailleinterface.h"

#include <algorithm>

#include <QFileInfo>

#include "base/error.h"
#include "base/log.h"
#include "corvane/engine/automationnames.h"
#include "corvane/engine/braillerender.h"
#include "corvane/engine/coremodel.h"
#include "corvane/engine/hostplatform.h"
#include "corvane/engine/settingsstore.h"
#include "ini/privateprofile.h"

namespace corvane {

namespace {

const QString kDevice = QStringLiteral("ActiveBrailleDevice");
const QString kPort = QStringLiteral("ActiveBraillePort");
const QString kTable = QStringLiteral("BrailleTranslationTable");

// The numeric values: name, field and the values a caller may set.
struct NumberMember {
  QString name;
  int BrailleValues::*field;
  std::function<bool(int)> accepts;
};

const QList<NumberMember>& numberMembers() {
  static const QList<NumberMember> list = [] {
    const auto range = [](int lo, int hi) { return [lo, hi](int n) { return n >= lo && n <= hi; }; };
    const auto either = [](int a, int b) { return [a, b](int n) { return n == a || n == b; }; };
    return QList<NumberMember>{
        {QStringLiteral("BrailleOSMode"), &BrailleValues::osMode, range(0, 10)},
        {QStringLiteral("BrailleSWMode"), &BrailleValues::swMode, range(0, 10)},
        {QStringLiteral("BrailleStatusMode"), &BrailleValues::statusMode, range(0, 3)},
        {QStringLiteral("BrailleStyle"), &BrailleValues::style, either(6, 8)},
        {QStringLiteral("CursorMode"), &BrailleValues::cursorMode,
         [](int n) { return n == 0 || n == 255 || n == 192; }},
        {QStringLiteral("CurBlinkStat"), &BrailleValues::curBlink, range(0, 1)},
        {QStringLiteral("AttributeState"), &BrailleValues::attributeState, range(0, 1)},
        {QStringLiteral("AttributeStyle"), &BrailleValues::attributeStyle, range(1, 2)},
        {QStringLiteral("Grade2Stat"), &BrailleValues::grade2Stat, range(0, 1)},
        {QStringLiteral("Grade2Mode"), &BrailleValues::grade2Mode, range(1, 3)},
        {QStringLiteral("Grade2Lower"), &BrailleValues::grade2Lower, range(0, 1)},
        {QStringLiteral("BrailleLineMode"), &BrailleValues::lineMode, [](int) { return true; }},
    };
  }();
  return list;
}

const NumberMember& numberMember(const QString& name) {
  for (const NumberMember& m : numberMembers())
    if (m.name.compare(name, Qt::CaseInsensitive) == 0) return m;
  throw jex::Error(jex::err::InvalidCall, QStringLiteral("no Braille value named ") + name);
}

// A device as the automation objects show it.
class DeviceObject : public Dispatchable {
 public:
  explicit DeviceObject(const BrailleDevice& d) : Dispatchable(QStringLiteral("BrailleDevice")), d_(d) {
    property(
        QStringLiteral("DeviceName"), [this] { return QVariant(d_.id); }, {}, QStringLiteral("the device identifier"));
    property(QStringLiteral("MainCells"), [this] { return QVariant(d_.cells); });
    property(QStringLiteral("StatusCells"), [this] { return QVariant(d_.statusCells); });
    property(
        QStringLiteral("HasStatus"), [this] { return QVariant(d_.statusCells); }, {},
        QStringLiteral("greater than 0 when the device has status cells"));
    property(
        QStringLiteral("HasSW"), [this] { return QVariant(d_.routingKeys); }, {}, QStringLiteral("routing keys"));
    property(
        QStringLiteral("HasOS"), [this] { return QVariant(d_.sensors); }, {}, QStringLiteral("sensors"));
    property(QStringLiteral("Maker"), [this] { return QVariant(d_.maker); });
    property(QStringLiteral("Model"), [this] { return QVariant(d_.model); });
    property(
        QStringLiteral("DisplayNames"), [this] { return QVariant(d_.names.join(u'|')); }, {},
        QStringLiteral("suggested display names, \"|\" between them"));
    defaultMember(QStringLiteral("DeviceName"));
  }

 private:
  BrailleDevice d_;
};

int storedNumber(SettingsStore& s, const QString& key, int fallback) {
  const QString text = s.value(ini::Braille, key).trimmed();
  if (text.isEmpty()) return fallback;
  bool ok = false;
  const int n = text.toInt(&ok);
  if (ok) return n;
  jex::WriteErrorLog(QStringLiteral("corvane.ini [Braille] ") + key + u'=' + text +
                     QStringLiteral(" is not a number; ") + QString::number(fallback) + QStringLiteral(" is used"));
  return fallback;
}

}  // namespace

// --- BrailleState ----------------------------------------------------------------------------

BrailleState::BrailleState(CoreModel& model) : model_(model) {}

BrailleState::~BrailleState() { closeDevice(); }

void BrailleState::ensureLoaded() {
  if (!values_) load();
}

const BrailleValues& BrailleState::values() {
  ensureLoaded();
  return *values_;
}

void BrailleState::load() {
  SettingsStore& s = model_.settings();
  BrailleValues v;
  v.device = s.value(ini::Braille, kDevice, v.device).trimmed();
  v.port = s.value(ini::Braille, kPort, v.port).trimmed().toUpper();
  v.table = s.value(ini::Braille, kTable, v.table).trimmed();
  for (const NumberMember& m : numberMembers()) {
    int& field = v.*(m.field);
    field = storedNumber(s, m.name, field);
    if (!m.accepts(field))
      jex::WriteLog(QStringLiteral("corvane.ini [Braille] %1=%2 is out of range; kept as it is").arg(m.name).arg(field),
                    jex::kTraffic);
  }
  if (braillePortNumber(v.port) < 0)
    jex::WriteLog(
        QStringLiteral("corvane.ini [Braille] ActiveBraillePort=") + v.port + QStringLiteral(" is no port COM0..COM9"),
        jex::kTraffic);
  const bool deviceChanged = !values_ || values_->device != v.device || values_->port != v.port;
  values_ = v;
  if (std::none_of(devices().begin(), devices().end(),
                   [&](const BrailleDevice& d) { return d.id.compare(v.device, Qt::CaseInsensitive) == 0; }))
    jex::WriteLog(QStringLiteral("corvane.ini [Braille] ActiveBrailleDevice=") + v.device +
                      QStringLiteral(" is no known device; the display is shown at the size of ") +
                      kDefaultBrailleDevice,
                  jex::kTraffic);
  if (deviceChanged) openDevice();
  changed();
}

void BrailleState::save() {
  const BrailleValues& v = values();
  QList<std::pair<QString, QString>> mine{{kDevice, v.device}, {kPort, v.port}, {kTable, v.table}};
  for (const NumberMember& m : numberMembers()) mine.append({m.name, QString::number(v.*(m.field))});
  auto* file = dynamic_cast<IniFileStore*>(&model_.settings());
  if (!file) {  // another store: key by key
    for (const auto& [key, value] : mine)
      if (!model_.settings().setValue(ini::Braille, key, value))
        throw jex::Error(jex::err::FileError, QStringLiteral("SaveValues: cannot store ") + key);
    return;
  }
  // The whole section in one atomic write, keeping the keys that are not the display's.
  namespace pp = jex::ini;
  QString buffer;
  const quint32 size = pp::GetPrivateProfileSectionSize(ini::Braille, file->path());
  const quint32 count = pp::GetPrivateProfileSection(ini::Braille, buffer, std::max<quint32>(size, 2), file->path());
  QStringList lines = buffer.left(count).split(QChar(u'\0'), Qt::SkipEmptyParts);
  for (const auto& [key, value] : mine) {
    bool replaced = false;
    for (QString& line : lines) {
      if (line.section(u'=', 0, 0).trimmed().compare(key, Qt::CaseInsensitive) != 0) continue;
      line = key + u'=' + value;
      replaced = true;
    }
    if (!replaced) lines << key + u'=' + value;
  }
  QString block;
  for (const QString& line : lines) block += line + QChar(u'\0');
  block += QChar(u'\0');
  if (!pp::WritePrivateProfileSection(ini::Braille, block, file->path()))
    throw jex::Error(jex::err::FileError, QStringLiteral("SaveValues: cannot write ") + file->path());
  jex::WriteLog(QStringLiteral("Braille values saved"), jex::kDetail);
}

void BrailleState::setNumber(const QString& member, int value) {
  const NumberMember& m = numberMember(member);
  if (!m.accepts(value))
    throw jex::Error(jex::err::InvalidCall, QStringLiteral("%1: %2 is out of range").arg(m.name).arg(value));
  ensureLoaded();
  int& field = (*values_).*(m.field);
  if (field == value) return;
  field = value;
  changed();
}

int BrailleState::number(const QString& member) { return values().*(numberMember(member).field); }

const QList<BrailleDevice>& BrailleState::devices() {
  if (!devices_) devices_ = loadBrailleDevices(model_.appPath());
  return *devices_;
}

const BrailleDevice& BrailleState::activeDevice() {
  const QString id = values().device;
  for (const BrailleDevice& d : devices())
    if (d.id.compare(id, Qt::CaseInsensitive) == 0) return d;
  for (const BrailleDevice& d : devices())
    if (d.id == kDefaultBrailleDevice) return d;
  return devices().front();
}

const BrailleTables& BrailleState::tables() {
  if (tables_) return *tables_;
  static const BrailleTables none;
  BrailleTables read = BrailleTables::index();
  if (!BrailleTables::indexed()) return none;  // asked again once the list is read
  tables_ = std::move(read);
  return *tables_;
}

void BrailleState::setTables(BrailleTables tables) { tables_ = std::move(tables); }

QString BrailleState::tablePath() {
  const QString stored = values().table;
  const QString path = tables().pathOf(stored);
  return path.isEmpty() ? stored : path;
}

void BrailleState::setTable(const QString& name) {
  // A line break or other control character in the name or the file's name could not be
  // stored in the settings file: every later save would fail.
  const auto control = [](const QString& text) {
    return std::any_of(text.cbegin(), text.cend(), [](QChar ch) { return ch.category() == QChar::Other_Control; });
  };
  if (control(name))
    throw jex::Error(jex::err::InvalidCall, QStringLiteral("BrailleTranslationTable: a table name holds a control "
                                                           "character"));
  const QString title = BrailleTables::title(name);
  const QString path = tables().pathOf(title);
  if (control(QFileInfo(path).fileName()))
    throw jex::Error(jex::err::InvalidCall, QStringLiteral("BrailleTranslationTable: the file name of ") + title +
                                                QStringLiteral(" holds a control character"));
  if (title.isEmpty() || path.isEmpty())
    throw jex::Error(jex::err::InvalidCall, QStringLiteral("BrailleTranslationTable: no table named ") + name);
  if (!BrailleTables::compiles(path))
    throw jex::Error(jex::err::InvalidCall,
                     QStringLiteral("BrailleTranslationTable: ") + path + QStringLiteral(" does not compile"));
  ensureLoaded();
  values_->table = QFileInfo(path).fileName();
  jex::WriteLog(QStringLiteral("Braille table ") + path, jex::kTraffic);
  changed();
}

QString BrailleState::translationTable() {
  const BrailleValues& v = values();
  if (v.grade2Stat == 1) {
    const QString lng = model_.settings().value(ini::General, ini::DefaultLng, QStringLiteral("1031")).trimmed();
    QString title;
    if (lng == u"1031") {
      title = v.grade2Mode == 1   ? QStringLiteral("de-g0")
              : v.grade2Mode == 2 ? QStringLiteral("de-g1")
                                  : QStringLiteral("de-g2");
    } else if (lng == u"1036") {
      title = v.grade2Mode == 3 ? QStringLiteral("fr-bfu-g2")
              : v.style == 6    ? QStringLiteral("fr-bfu-comp6")
                                : QStringLiteral("fr-bfu-comp8");
    }
    const QString path = title.isEmpty() ? QString() : tables().pathOf(title);
    if (!path.isEmpty()) return path;
  }
  return tablePath();
}

void BrailleState::setDeviceAndPort(const QString& device, const QString& port) {
  const QString id = device.trimmed().toUpper();
  if (std::none_of(devices().begin(), devices().end(), [&](const BrailleDevice& d) { return d.id == id; }))
    throw jex::Error(jex::err::InvalidCall, QStringLiteral("SetActiveBrailleDeviceAndPort: no device ") + device);
  const QString p = port.trimmed().toUpper();
  if (braillePortNumber(p) < 0)
    throw jex::Error(jex::err::InvalidCall, QStringLiteral("SetActiveBrailleDeviceAndPort: no port ") + port +
                                                QStringLiteral(" (COM0 to COM9)"));
  ensureLoaded();
  values_->device = id;
  values_->port = p;
  openDevice();
  changed();
}

void BrailleState::closeDevice() {
  closeDeviceNode(node_);
  node_ = -1;
}

void BrailleState::openDevice() {
  closeDevice();
  const BrailleDevice& d = activeDevice();
  const QString& port = values_->port;
  const QString line = QStringLiteral("DEVICE: ") + values_->device + u' ' + port;
  if (d.isVirtual || braillePortNumber(port) <= 0) {
    jex::WriteLog(line, jex::kTraffic);
    return;
  }
  const QString node = braillePortNode(port, model_.settings());
  QString error;
  node_ = openDeviceNode(node, &error);
  if (node_ < 0) {
    jex::WriteLog(line + QStringLiteral(" not present at ") + node + QStringLiteral(": ") + error, jex::kTraffic);
    model_.report(line + QStringLiteral(" not present at ") + node);
    return;
  }
  jex::WriteLog(line + QStringLiteral(" opened ") + node, jex::kTraffic);
}

BrailleRow BrailleState::row(const QString& text, int caret, bool cursorOn) {
  const BrailleValues& v = values();
  const BrailleDevice& d = activeDevice();
  BrailleLook look;
  look.table = translationTable();
  look.cells = d.cells;
  look.statusCells = d.statusCells;
  look.dots = v.style == 6 ? 6 : 8;
  look.cursorMode = v.cursorMode;
  look.cursorOn = cursorOn;
  look.lineMode = v.lineMode;
  look.lowerCase = v.grade2Stat == 1 && v.grade2Lower == 1;
  look.statusMode = v.statusMode;
  look.pan = pan_;
  return renderBrailleRow(text, caret, look);
}

QString BrailleState::renderMain(const QString& text, int caret, bool cursorOn) {
  return row(text, caret, cursorOn).main;
}

QString BrailleState::render(const QString& text, int caret, bool cursorOn) {
  const BrailleRow r = row(text, caret, cursorOn);
  return r.status.isEmpty() ? r.main : r.status + u' ' + r.main;
}

void BrailleState::show(const QString& text, int caret) {
  text_ = text;
  caret_ = caret;
  pan_ = 0;
  showing_ = true;
  changed();
}

bool BrailleState::scroll(int displays) {
  return jex::trapped("BrailleState.scroll", false, [&] {
    const int before = pan_;
    pan_ += displays;
    pan_ = row(text_, caret_, true).pan;
    if (pan_ == before) return false;
    changed();
    return true;
  });
}

void BrailleState::changed() {
  jex::trap("BrailleState.changed", [&] {
    if (showing_) {
      const QString line = render(text_, caret_);
      if (line != line_) {
        line_ = line;
        model_.report(QStringLiteral("BRAILLE: ") + line_);
      }
    }
    for (const auto& listener : listeners_) listener();
  });
}

// --- BrailleInterface ------------------------------------------------------------------------

BrailleInterface::BrailleInterface(CoreModel& model, std::shared_ptr<BrailleState> state)
    : Dispatchable(QStringLiteral("BrailleInterface")), state_(std::move(state)) {
  (void)model;
  BrailleState& s = *state_;
  property(
      QStringLiteral("BrailleDevices"),
      [this] {
        if (!deviceList_) {
          deviceList_ = std::make_shared<Collection>();
          for (const BrailleDevice& d : state_->devices())
            deviceList_->add(fromObj(Obj(std::make_shared<DeviceObject>(d))));
        }
        return fromObj(Obj(deviceList_));
      },
      {}, QStringLiteral("the Braille displays the core knows"));
  property(
      QStringLiteral("BrailleTranslationTables"),
      [this] {
        const QStringList& paths = state_->tables().paths();
        if (!tableList_ || !tablePaths_.isSharedWith(paths)) {  // made again for another table list
          tableList_ = std::make_shared<Collection>();
          for (const QString& p : paths) tableList_->add(p);
          tablePaths_ = paths;
        }
        return fromObj(Obj(tableList_));
      },
      {}, QStringLiteral("full paths of the translation tables"));
  method(
      QStringLiteral("GetBrailleTableList"), 0, 0, [&s](Args&) { return QVariant(s.tables().paths()); },
      QStringLiteral("the full paths of BrailleTranslationTables as one list, in one call"));
  property(
      QStringLiteral("BrailleTranslationTable"), [&s] { return QVariant(s.tablePath()); },
      [&s](const QVariant& v) { s.setTable(toStr(v)); },
      QStringLiteral("read: full path; write: a table's title, \"de-g2.u2b\""));
  property(QStringLiteral("TablePath"), [&s] { return QVariant(QFileInfo(s.tablePath()).path()); });
  property(
      QStringLiteral("ActiveBrailleDevice"), [&s] { return QVariant(s.values().device); },
      [&s](const QVariant& v) { s.setDeviceAndPort(toStr(v), s.values().port); });
  property(
      QStringLiteral("ActiveBraillePort"), [&s] { return QVariant(s.values().port); },
      [&s](const QVariant& v) { s.setDeviceAndPort(s.values().device, toStr(v)); },
      QStringLiteral("\"COM0\" means no Braille display"));
  method(
      QStringLiteral("SetActiveBrailleDeviceAndPort"), 2, 2,
      [&s](Args& a) {
        s.setDeviceAndPort(a.str(0), a.str(1));
        return QVariant();
      },
      QStringLiteral("switches to another device and port (COM0 to COM9)"));
  procedure(
      QStringLiteral("SaveValues"), [&s] { s.save(); }, QStringLiteral("stores the Braille values in corvane.ini"));
  procedure(
      QStringLiteral("LoadValues"), [&s] { s.load(); }, QStringLiteral("reads the stored Braille values back"));
  for (const NumberMember& m : numberMembers()) {
    const QString name = m.name;
    property(
        name, [&s, name] { return QVariant(s.number(name)); },
        [&s, name](const QVariant& v) {
          // A boolean (a check box's True) counts as 1.
          s.setNumber(name, v.typeId() == QMetaType::Bool ? (v.toBool() ? 1 : 0) : toI32(v));
        });
  }
  method(
      QStringLiteral("RenderBraillePreview"), 1, 2,
      [&s](Args& a) { return QVariant(s.renderMain(a.str(0), a.has(1) ? a.i32(1) : 0)); },
      QStringLiteral("the Unicode Braille of text (cursor at caret, default 0, -1 none) with the live values"));
}

}  // namespace corvane
