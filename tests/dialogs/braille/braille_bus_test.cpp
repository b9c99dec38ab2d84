// The Braille dialogs in the main window with the built core as its own process on a private
// session bus: a new user's first set-up (a 40-cell display, the German contracted table named
// by the core, contracted Braille, then a text on the display).
#include <gtest/gtest.h>
#include <QAction>
#include <QTest>

#include "app/uiapplication.h"
#include "automation/dbustransport.h"
#include "tests/automation/privatebus.h"
#include "tests/dialogs/braille/braille_support.h"
#include "tests/support/corebus.h"
#include "tests/support/text.h"

namespace jex::test {
namespace {

class BrailleOverBus : public testing::CoreOverBusTest {
 protected:
  void SetUp() override {
    startCore();
    if (!started()) return;
    copyShippedFiles(core->appDir());
    automation::dbus::publish(S("JexUI.UI_Application"), std::make_shared<UI_Application>(), conn);
    gGlobal().AppPath = core->appDir() + u'/';
    gGlobal().ParkMouse = 0;
    frmLocalizer().setLNG(S("1031"));
    frmMDI::setQuitter([] {});
    mdi = std::make_unique<frmMDI>();
    mdi->registerSink();
    mdi->installHook();
    mdi->show();
    mdi->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(mdi.get()));
  }
  void TearDown() override {
    if (mdi) mdi->removeHook();
    mdi.reset();
    resetLocalizer();
    resetGlobals();
    stopCore();
  }
  template <class Form>
  Form* shown(const char* name) {
    Form* f = nullptr;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          f = qobject_cast<Form*>(ChildDialog::find(QString::fromLatin1(name)));
          return f && f->isVisible();
        },
        5000))
        << name << " did not open; the core said: " << core->out();
    return f;
  }
  // The last "BRAILLE: " line of the core after line from.
  QString brailleLine(qsizetype from) const {
    for (qsizetype i = core->lines.size() - 1; i >= from; --i)
      if (core->lines[i].startsWith(S("BRAILLE: "))) return core->lines[i].mid(9);
    return {};
  }
  QString stored() const { return fake::CoreFixture::readFile(core->appDir() + S("/corvane.ini")); }

  std::unique_ptr<frmMDI> mdi;
};

TEST_F(BrailleOverBus, ANewUserSetsUpA40CellDisplayWithGermanContractedBraille) {
  mdi->menuEntry(S("mnuBrailleDevice"))->trigger();
  auto* device = shown<frmDevice>("frmDevice");
  ASSERT_NE(device, nullptr);
  choose(device->cboDevice(), S("Active Braille"));
  EXPECT_TRUE(device->cboOSMode()->isEnabled());
  core->type(S("UI_USEBRLTABLE:de-g2"));  // the table as the core names it
  ASSERT_TRUE(QTest::qWaitFor([&] { return device->cboBrailleTable()->currentText() == S("de-g2"); }, 5000))
      << core->out();
  press(device->cmdOK());
  EXPECT_EQ(Jex().str(S("BrailleInterface.ActiveBrailleDevice")), S("ACTIVEBRAILLE"));
  EXPECT_TRUE(stored().contains(S("ActiveBrailleDevice=ACTIVEBRAILLE")) &&
              stored().contains(S("BrailleTranslationTable=de-g2")))
      << stored().toStdString();

  core->type(S("DLGBRAILLEOPT"));
  auto* presentation = shown<frmBraille>("frmBraille");
  ASSERT_NE(presentation, nullptr);
  choose(presentation->cboGrade2(), S("Kurzschrift"));
  EXPECT_EQ(Jex().i32(S("BrailleInterface.Grade2Stat")), 1);
  press(presentation->cmdOK());
  EXPECT_TRUE(stored().contains(S("Grade2Stat=1"))) << stored().toStdString();

  const qsizetype from = core->lines.size();
  core->type(S(":brl Die Wissenschaft und das Leben"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !brailleLine(from).isEmpty(); }, 5000)) << core->out();
  EXPECT_EQ(brailleLine(from).size(), 40) << "the display's 40 cells";
}

}  // namespace
}  // namespace jex::test
