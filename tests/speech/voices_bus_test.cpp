// The voices dialog on a private session bus with the built core as its own process: what the
// user changes reaches the core's voices at once, OK makes the core store them, and a core that
// goes away while the dialog is open leaves a dialog that still closes.
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QApplication>
#include <csignal>
#include <gtest/gtest.h>

#include "core/automation/dbustransport.h"
#include "core/base/log.h"
#include "core/global/cglobal.h"
#include "localisation/frmlocalizer.h"
#include "speech/cmyslider.h"
#include "speech/frmvoices.h"
#include "tests/support/corebus.h"
#include "tests/automation/privatebus.h"
#include "tests/support/fakecore.h"

namespace jex::test {
namespace {

QString S(const char* s) { return QString::fromUtf8(s); }

class VoicesOverBus : public testing::CoreOverBusTest {
 protected:
  void SetUp() override {
    startCore();
    if (!started()) return;
    gGlobal().AppPath = core->appDir() + u'/';
    logfile::setPath(core->home() + S("/jexui.log"));
    logfile::setThreshold(5);
    dlg = std::make_unique<frmVoices>();
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
  }
  void TearDown() override {
    dlg.reset();
    logfile::setPath({});
    resetGlobals();
    stopCore();
  }
  Obj voice(const char* name) const {
    return automation::toObj(Jex().obj(S("SpeechVoices")).call(S("ItemByName"), {QString::fromLatin1(name)}));
  }
  void chooseSource(int source) {
    dlg->cboSource()->setFocus();
    while (dlg->cboSource()->currentIndex() < source) QTest::keyClick(dlg->cboSource(), Qt::Key_Down);
  }
  QString log() const { return fake::CoreFixture::readFile(core->home() + S("/jexui.log")); }

  std::unique_ptr<frmVoices> dlg;
};

TEST_F(VoicesOverBus, AStepIsHeardAtOnceAndOkStoresTheVoicesInTheCore) {
  chooseSource(1);
  ASSERT_EQ(dlg->cboVoice()->currentData().toInt(), 3) << log().toStdString();
  const qint32 before = voice("v1").i32(S("speed"));
  dlg->ctlSpeed()->TB()->setFocus();
  QTest::keyClick(dlg->ctlSpeed()->TB(), Qt::Key_Up);
  EXPECT_GT(voice("v1").i32(S("speed")), before);
  EXPECT_TRUE(core->waitFor(S("SAMPLE: "))) << core->out();
  EXPECT_EQ(Jex().str(S("proc.Lst_Key")), S("+Down"));
  // "keine" for the key echo.
  chooseSource(6);
  dlg->cboVoice()->setFocus();
  QTest::keyClick(dlg->cboVoice(), Qt::Key_End);
  EXPECT_EQ(Jex().obj(S("SpeechProfile")).call(S("ItemByIndex"), {6}).value<Obj>().str(S("VoiceName")), S("--"));
  QTest::mouseClick(dlg->cmdOK(), Qt::LeftButton);
  EXPECT_FALSE(dlg->isVisible());
  const QString stored = fake::CoreFixture::readFile(core->appDir() + S("/speech/voices.ini"));
  EXPECT_TRUE(stored.contains(S("Speed=%1").arg(voice("v1").i32(S("speed"))))) << stored.toStdString();
}

TEST_F(VoicesOverBus, TheCoreGoneWithTheDialogOpenIsLoggedAndCancelStillCloses) {
  chooseSource(1);
  ::kill(pid_t(core->proc.processId()), SIGKILL);
  ASSERT_TRUE(core->waitEnded(5000));
  dlg->cboVoice()->setFocus();
  QTest::keyClick(dlg->cboVoice(), Qt::Key_Down);
  dlg->ctlSpeed()->TB()->setFocus();
  QTest::keyClick(dlg->ctlSpeed()->TB(), Qt::Key_PageUp);
  EXPECT_TRUE(log().contains(S("!!! ERROR frmVoices.")));
  // The step counts as a change, so the save question comes; No reverts as far as it can.
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [] {
    if (QWidget* box = QApplication::activeModalWidget()) QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_N);
  });
  answer.start(20);
  QTest::keyClick(dlg->ctlSpeed()->TB(), Qt::Key_Escape);
  EXPECT_FALSE(dlg->isVisible());
}

}  // namespace
}  // namespace jex::test
