// frmDevice driven by the keyboard over the stand-in core's Braille object.
#include "global/cnotifysink.h"
#include "tests/dialogs/braille/braille_support.h"
#include "tests/support/accessibility.h"
#include "tests/support/text.h"

namespace jex::test {
namespace {

using DeviceDialog = BrailleDialogs;

TEST_F(DeviceDialog, ADeviceListedTwiceComesBackUnderTheNameConfirmed) {
  frmDevice* f = open<frmDevice>("frmDevice");
  ASSERT_NE(f, nullptr);
  const QString first = S("Brailliant BI 20X"), second = S("NLS eReader");
  ASSERT_GE(f->cboDevice()->findText(first), 0);
  ASSERT_GE(f->cboDevice()->findText(second), 0);
  EXPECT_EQ(f->deviceOf(first), f->deviceOf(second));
  choose(f->cboDevice(), second);
  press(f->cmdOK());
  EXPECT_FALSE(f->isVisible());
  EXPECT_EQ(calls, (QStringList{S("SetActiveBrailleDeviceAndPort BRAILLIANT20X COM1"), S("SaveValues")}));
  EXPECT_EQ(brl.str(S("ActiveBrailleDevice")), S("BRAILLIANT20X"));
  EXPECT_EQ(devicesEntry(S("Active")), second);
  open<frmDevice>("frmDevice");
  EXPECT_EQ(f->cboDevice()->currentText(), second);
  // Without the confirmed name the device's first name is shown.
  frmLocalizer().DlgIni().SettingSave(S("DEVICES"), S("Active"), S("Orbit Reader 20"));
  press(f->cmdCancel());
  open<frmDevice>("frmDevice");
  EXPECT_EQ(f->cboDevice()->currentText(), first);
}

TEST_F(DeviceDialog, EmptyNamesAreLeftOutAndATakenNameStaysWithItsFirstDevice) {
  frmLocalizer().DlgIni().SettingSave(S("DEVICES"), S("NONE"), S("||ohne Zeile"));
  frmLocalizer().DlgIni().SettingSave(S("DEVICES"), S("VIRTUAL80"), S("Virtuelle Braillezeile 40"));
  frmDevice* f = open<frmDevice>("frmDevice");
  ASSERT_NE(f, nullptr);
  QStringList names;
  for (int i = 0; i < f->cboDevice()->count(); ++i) names << f->cboDevice()->itemText(i);
  EXPECT_FALSE(names.contains(QString()));
  EXPECT_EQ(names.count(S("ohne Zeile")), 1);
  EXPECT_EQ(names.count(S("Virtuelle Braillezeile 40")), 1);
  EXPECT_EQ(f->deviceOf(S("Virtuelle Braillezeile 40")), S("VIRTUAL40"));
  EXPECT_TRUE(logged(S("Virtuelle Braillezeile 40 of VIRTUAL80 is taken by VIRTUAL40")));
}

struct Capabilities {
  const char* device;
  bool routingKeys, sensors, statusCells;
};
class DeviceCapabilities : public DeviceDialog, public ::testing::WithParamInterface<Capabilities> {};

TEST_P(DeviceCapabilities, EnableOnlyTheModesTheDeviceHas) {
  frmDevice* f = open<frmDevice>("frmDevice");
  ASSERT_NE(f, nullptr);
  choose(f->cboDevice(), S(GetParam().device));
  EXPECT_EQ(f->cboSWMode()->isEnabled(), GetParam().routingKeys);
  EXPECT_EQ(f->cboOSMode()->isEnabled(), GetParam().sensors);
  EXPECT_EQ(f->cboStatus()->isEnabled(), GetParam().statusCells);
  EXPECT_TRUE(calls.isEmpty()) << "a device is only chosen, not switched, before OK";
}
INSTANTIATE_TEST_SUITE_P(Devices, DeviceCapabilities,
                         ::testing::Values(Capabilities{"keine Braillezeile", false, false, false},
                                           Capabilities{"Virtuelle Braillezeile 40", true, false, false},
                                           Capabilities{"Virtuelle Braillezeile 80", true, true, true}));

TEST_F(DeviceDialog, AModeActsAtOnceAndOkStoresItWithoutSwitching) {
  frmDevice* f = open<frmDevice>("frmDevice");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->cboOSMode()->count(), f->cboSWMode()->count());
  EXPECT_EQ(f->cboOSMode()->itemText(10), f->cboSWMode()->itemText(10));
  const int mode = brl.i32(S("BrailleSWMode"));
  press(f->cboSWMode(), mode < 10 ? Qt::Key_Down : Qt::Key_Up);
  const int chosen = f->cboSWMode()->currentIndex();
  EXPECT_EQ(brl.i32(S("BrailleSWMode")), chosen);
  EXPECT_EQ(f->GetChangeLevel(), 1);
  press(f->cboSWMode(), Qt::Key_Return);  // Enter in a list is OK
  EXPECT_EQ(calls, QStringList{S("SaveValues")});
  EXPECT_TRUE(core.store.value(S("Braille"), S("BrailleSWMode"), QString()) == QString::number(chosen));
}

TEST_F(DeviceDialog, APortChangeSwitchesDeviceAndPortOnOk) {
  frmDevice* f = open<frmDevice>("frmDevice");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->cboPort()->count(), 9);
  EXPECT_EQ(f->cboPort()->currentText(), S("COM1"));
  press(f->cboPort(), Qt::Key_Down);
  EXPECT_EQ(brl.str(S("ActiveBraillePort")), S("COM1")) << "the port acts only on OK";
  EXPECT_EQ(f->GetChangeLevel(), 2);
  press(f->cmdOK());
  EXPECT_EQ(calls, (QStringList{S("SetActiveBrailleDeviceAndPort VIRTUAL40 COM2"), S("SaveValues")}));
  EXPECT_EQ(brl.str(S("ActiveBraillePort")), S("COM2"));
}

TEST_F(DeviceDialog, APortTheListLacksShowsNoneAndOkStoresNothing) {
  core.store.setValue(S("Braille"), S("ActiveBraillePort"), S("COM12"));
  brl.call(S("LoadValues"));
  calls.clear();
  frmDevice* f = open<frmDevice>("frmDevice");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->cboPort()->currentIndex(), -1);
  press(f->cmdOK());
  EXPECT_TRUE(calls.isEmpty()) << calls.join(u'|').toStdString();
}

TEST_F(DeviceDialog, NoToTheSaveQuestionRestoresTheStoredTable) {
  frmDevice* f = open<frmDevice>("frmDevice");
  ASSERT_NE(f, nullptr);
  ASSERT_GT(f->cboBrailleTable()->count(), 1) << "no Braille tables listed";
  const QString stored = brl.str(S("BrailleTranslationTable"));
  press(f->cboBrailleTable(), f->cboBrailleTable()->currentIndex() > 0 ? Qt::Key_Up : Qt::Key_Down);
  const QString chosen = f->cboBrailleTable()->currentText();
  EXPECT_TRUE(QFileInfo(brl.str(S("BrailleTranslationTable"))).fileName().startsWith(chosen + u'.'))
      << "the table acts at once";
  AnswerBox no(Qt::Key_N);
  press(f->cboBrailleTable(), Qt::Key_Escape);
  EXPECT_EQ(no.asked, 1);
  EXPECT_FALSE(f->isVisible());
  EXPECT_TRUE(calls.contains(S("LoadValues")));
  EXPECT_EQ(brl.str(S("BrailleTranslationTable")), stored);
}

TEST_F(DeviceDialog, TheCoreNamesATableToUse) {
  frmDevice* f = open<frmDevice>("frmDevice");
  ASSERT_NE(f, nullptr);
  for (const char* table : {"de-g2", "nosuch"}) {  // a table the core lacks leaves the one chosen
    QString cmd = S("UI_USEBRLTABLE:") + QLatin1String(table);
    mdi->Notifier()->HandleCmd(cmd);
    EXPECT_EQ(f->cboBrailleTable()->currentText(), S("de-g2"));
    EXPECT_TRUE(brl.str(S("BrailleTranslationTable")).endsWith(S("/de-g2.ctb")));
  }
}

TEST_F(DeviceDialog, WithoutTheCoreCancelStillCloses) {
  frmDevice* f = open<frmDevice>("frmDevice");
  ASSERT_NE(f, nullptr);
  press(f->cboSWMode(), Qt::Key_Down);
  auto gone = std::make_shared<fake::Front>(root);
  gone->property(S("BrailleInterface"),
                 []() -> QVariant { throw Error(err::ServerUnavailable, S("the core has gone")); });
  Jex() = Obj(gone);
  AnswerBox no(Qt::Key_N);
  press(f->cmdCancel());
  EXPECT_FALSE(f->isVisible());
  EXPECT_TRUE(logged(S("the core has gone")));
}

TEST_F(DeviceDialog, IsAccessible) {
  auto f = alone<frmDevice>("frmDevice");
  ASSERT_NE(f, nullptr);
  EXPECT_ACCESSIBLE(f.get());
  EXPECT_GT(f->cboBrailleTable()->count(), 0);
}

}  // namespace
}  // namespace jex::test
