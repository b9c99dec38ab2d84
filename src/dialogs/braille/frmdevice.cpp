#include "dialogs/braille/frmdevice.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "base/error.h"
#include "base/log.h"
#include "base/paths.h"
#include "localisation/frmlocalizer.h"
#include "widgets/accessibility.h"
#include "widgets/formservice.h"
#include "widgets/gridrows.h"
#include "widgets/named.h"

namespace jex {
namespace {
const QString kDevices = QStringLiteral("DEVICES");
const QString kActive = QStringLiteral("Active");
const QString kUseTable = QStringLiteral("UI_USEBRLTABLE");
constexpr int kPorts = 9;

QString key(const QString& displayName) { return displayName.toLower(); }

// Selects text exactly (without regard to case); -1 when it is not listed.
void selectText(QComboBox* list, const QString& text) {
  list->setCurrentIndex(list->findText(text, Qt::MatchFixedString));
}
}  // namespace

frmDevice::frmDevice(QWidget* parent)
    : BrailleDialog(QStringLiteral("frmDevice"), QStringLiteral("Braillezeile"), parent) {
  auto* grid = new QGridLayout;
  int row = 0;
  const auto heading = [&](const char* name, const QString& caption) {
    grid->addWidget(named<QLabel>(this, name, caption), row++, 0, 1, 2);
  };
  const auto line = [&](const char* label, const QString& caption, const char* name, const QStringList& items = {}) {
    return labelledCombo(this, grid, row, label, caption, name, items);
  };
  heading("lblH1", QStringLiteral("Hardware"));
  cboDevice_ = line("lblDevice", QStringLiteral("Braille&zeile:"), "cboDevice");
  cboPort_ = line("lblPort", QStringLiteral("&Anschluss:"), "cboPort");
  cboBrailleTable_ = line("lblTable", QStringLiteral("Braille&tabelle:"), "cboBrailleTable");
  heading("lblH2", QStringLiteral("Sonstiges"));
  cboSWMode_ = line("lblSWMode", QStringLiteral("&Routingtasten:"), "cboSWMode",
                    {QStringLiteral("Maus hinführen"), QStringLiteral("Linksklick"), QStringLiteral("Rechtsklick"),
                     QStringLiteral("Multiklick"), QStringLiteral("Y - Koordinate"), QStringLiteral("X - Koordinate"),
                     QStringLiteral("Schriftstil"), QStringLiteral("Schriftart"), QStringLiteral("Schriftgröße"),
                     QStringLiteral("Scriptfunktion"), QStringLiteral("deaktiviert")});
  cboOSMode_ = line("lblOSMode", QStringLiteral("&optische Sensoren:"), "cboOSMode");
  cboStatus_ = line("lblStatMode", QStringLiteral("&Statusmodule:"), "cboStatus",
                    {QStringLiteral("Cursorposition"), QStringLiteral("Schriftstil"), QStringLiteral("Scriptausgabe"),
                     QStringLiteral("Scriptausgabe")});
  grid->setColumnStretch(1, 1);
  content()->addLayout(grid);
  addButtons();
  for (int n = 1; n <= kPorts; ++n) cboPort_->addItem(QStringLiteral("COM") + QString::number(n));
  for (QComboBox* c : {cboDevice_, cboPort_, cboBrailleTable_, cboSWMode_, cboOSMode_, cboStatus_}) track(c);

  connect(cboDevice_, &QComboBox::currentIndexChanged, this, [this] { deviceChosen(); });
  connect(cboBrailleTable_, &QComboBox::currentIndexChanged, this, [this] {
    trap("frmDevice.cboBrailleTable_Click", [this] {
      if (loading() || cboBrailleTable_->currentIndex() < 0) return;
      if (Obj b = braille("frmDevice.cboBrailleTable_Click"))
        b.set(QStringLiteral("BrailleTranslationTable"), cboBrailleTable_->currentText() + QStringLiteral(".u2b"));
    });
  });
  connect(cboSWMode_, &QComboBox::currentIndexChanged, this, [this] { setMode(cboSWMode_, "BrailleSWMode"); });
  connect(cboOSMode_, &QComboBox::currentIndexChanged, this, [this] { setMode(cboOSMode_, "BrailleOSMode"); });
  connect(cboStatus_, &QComboBox::currentIndexChanged, this, [this] { setMode(cboStatus_, "BrailleStatusMode"); });
}

QString frmDevice::deviceOf(const QString& displayName) const { return deviceIds_.value(key(displayName)); }

// The lists that come from the core and the language file, read at the first showing; again at
// an opening while the core gave no devices.
void frmDevice::init() {
  trap("frmDevice.init", [this] {
    const QSignalBlocker quiet(cboDevice_);
    Obj b = braille("frmDevice.init");
    if (b.isNothing()) return;
    deviceIds_.clear();
    deviceIndex_.clear();
    cboDevice_->clear();
    cIniFil& lng = frmLocalizer().DlgIni();
    // Every device's identifier (its default value) in one call.
    const QStringList ids = b.obj(QStringLiteral("BrailleDevices")).strings();
    const int count = int(ids.size());
    for (int i = 1; i <= count; ++i) {
      const QString& id = ids[i - 1];
      deviceIndex_.insert(id.toUpper(), i);
      for (const QString& name : lng.GetStr(kDevices, id, id).split(u'|')) {
        if (name.trimmed().isEmpty()) continue;
        if (deviceIds_.contains(key(name))) {
          WriteLog(QStringLiteral("frmDevice: the name ") + name + QStringLiteral(" of ") + id +
                       QStringLiteral(" is taken by ") + deviceIds_.value(key(name)),
                   kTraffic);
          continue;
        }
        deviceIds_.insert(key(name), id);
        cboDevice_->addItem(name);
      }
    }
    const QSignalBlocker quietTables(cboBrailleTable_);
    cboBrailleTable_->clear();
    // The whole list in one call: a few hundred tables read one by one take long over the bus.
    const QStringList tables = b.call(QStringLiteral("GetBrailleTableList")).toStringList();
    for (const QString& t : tables) cboBrailleTable_->addItem(fileTitle(t));
    WriteLog(QStringLiteral("frmDevice.init: ") + QString::number(count) + QStringLiteral(" devices, ") +
                 QString::number(tables.size()) + QStringLiteral(" tables"),
             kDetail);
    initialised_ = cboDevice_->count() > 0;
  });
}

void frmDevice::showValues() {
  if (!initialised_) init();
  trap("frmDevice.ShowValues", [this] {
    // The sensors offer what the routing keys offer, in the language now shown.
    const QSignalBlocker quiet(cboOSMode_);
    cboOSMode_->clear();
    for (int i = 0; i < cboSWMode_->count(); ++i) cboOSMode_->addItem(cboSWMode_->itemText(i));
  });
  trap("frmDevice.ShowValues", [this] {
    Obj b = braille("frmDevice.ShowValues");
    if (b.isNothing()) return;
    selectText(cboBrailleTable_, fileTitle(b.str(QStringLiteral("BrailleTranslationTable"))));
    selectText(cboPort_, b.str(QStringLiteral("ActiveBraillePort")));
    cboOSMode_->setCurrentIndex(b.i32(QStringLiteral("BrailleOSMode")));
    cboSWMode_->setCurrentIndex(b.i32(QStringLiteral("BrailleSWMode")));
    cboStatus_->setCurrentIndex(b.i32(QStringLiteral("BrailleStatusMode")));
  });
  trap("frmDevice.ShowValues", [this] {
    Obj b = braille("frmDevice.ShowValues");
    if (b.isNothing()) return;
    const QString active = b.str(QStringLiteral("ActiveBrailleDevice"));
    cIniFil& lng = frmLocalizer().DlgIni();
    QString name = lng.GetStr(kDevices, kActive, QString());
    if (name.isEmpty() || deviceOf(name).compare(active, Qt::CaseInsensitive) != 0)
      name = lng.GetStr(kDevices, active, active).section(u'|', 0, 0);
    if (!name.isEmpty()) {
      const QSignalBlocker quiet(cboDevice_);
      selectText(cboDevice_, name);
    }
    deviceChosen();
  });
}

void frmDevice::deviceChosen() {
  trap("frmDevice.cboDevice_Click", [this] {
    const QString id = deviceOf(cboDevice_->currentText());
    WriteLog(QStringLiteral("cboDevice_Click ") + id, kDetail);
    if (id.isEmpty()) return;
    Obj b = braille("frmDevice.cboDevice_Click");
    if (b.isNothing()) return;
    const Obj devices = b.obj(QStringLiteral("BrailleDevices"));
    const auto tryDevice = [&](int i) {
      if (i <= 0) return false;
      const Obj d = devices.itemObj(i);
      if (d.str(QStringLiteral("DeviceName")).compare(id, Qt::CaseInsensitive) != 0) return false;
      const bool os = d.boolean(QStringLiteral("HasOS"));
      const bool sw = d.boolean(QStringLiteral("HasSW"));
      const int status = d.i32(QStringLiteral("HasStatus"));
      WriteLog(QStringLiteral("DEV: %1 nr: %2 cells: %3 status cells: %4 HasStatus: %5 HasSW: %6 HasOS: %7")
                   .arg(id)
                   .arg(i)
                   .arg(d.i32(QStringLiteral("MainCells")))
                   .arg(d.i32(QStringLiteral("StatusCells")))
                   .arg(status)
                   .arg(sw)
                   .arg(os),
               kDetail);
      cboOSMode_->setEnabled(os);
      cboSWMode_->setEnabled(sw);
      cboStatus_->setEnabled(status > 0);
      return true;
    };
    // Where the device was listed, else the whole list (the core's list may have changed).
    if (tryDevice(deviceIndex_.value(id.toUpper(), 0))) return;
    for (int i = 1, count = devices.count(); i <= count; ++i)
      if (tryDevice(i)) return;
    throw Error(err::SubscriptOutOfRange, QStringLiteral("no device ") + id);
  });
}

void frmDevice::setMode(QComboBox* list, const char* member) {
  trap(qPrintable(QStringLiteral("frmDevice.") + list->objectName() + QStringLiteral("_Click")), [&] {
    if (loading() || list->currentIndex() < 0) return;
    if (Obj b = braille("frmDevice.setMode")) b.set(QString::fromLatin1(member), list->currentIndex());
  });
}

int frmDevice::GetChangeLevel() const {
  return trapped("frmDevice.GetChangeLevel", 0, [this] {
    if (changed(cboDevice_) || changed(cboPort_)) return 2;
    return changed(cboSWMode_) || changed(cboOSMode_) || changed(cboStatus_) || changed(cboBrailleTable_) ? 1 : 0;
  });
}

// What OK and the save question's Yes store.
void frmDevice::store() {
  trap("frmDevice.store", [this] {
    const int level = GetChangeLevel();
    if (level == 0) return;
    Obj b = braille("frmDevice.store");
    if (b.isNothing()) return;
    if (level == 2) {
      WriteLog(QStringLiteral("frmDevice_OK_Click / SetDev+Port, SaveValues"), kDetail);
      b.call(QStringLiteral("SetActiveBrailleDeviceAndPort"),
             {deviceOf(cboDevice_->currentText()), cboPort_->currentText()});
      frmLocalizer().DlgIni().SettingSave(kDevices, kActive, cboDevice_->currentText());
    }
    b.call(QStringLiteral("SaveValues"));
  });
}

void frmDevice::useTable(const QString& name) {
  WriteLog(QStringLiteral("UI_USEBRLTABLE:") + name, kTraffic);
  const int at = cboBrailleTable_->findText(name, Qt::MatchFixedString);
  if (at < 0) {
    WriteLog(QStringLiteral("frmDevice: no table ") + name, kTraffic);
    return;
  }
  cboBrailleTable_->setCurrentIndex(at);
}

bool frmDevice::handleCmd(const QString& command) {
  if (BrailleDialog::handleCmd(command)) {
    if (command == QLatin1String("UI_LNGCHANGE")) {
      initialised_ = false;  // the device names and the copied modes follow the language
      if (isVisible()) loadValues();
    }
    return true;
  }
  return trapped("frmDevice.HandleCmd", false, [&] {
    if (command.left(kUseTable.size()) != kUseTable) return false;
    useTable(command.mid(kUseTable.size() + 1));
    return true;
  });
}

JEX_FORM_REGISTRATION(frmDevice, {.create = [] { return std::make_unique<frmDevice>(); },
                                  .preload = 11,
                                  .menuButton = 1,
                                  .menuEntries = {{.name = QStringLiteral("mnuBrailleDevice")}}})

}  // namespace jex
