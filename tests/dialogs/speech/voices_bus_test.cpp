// The voices dialog on a private session bus with the built core as its own process: what the
// user changes reaches the core's voices at once, OK makes the core store them, a saved speech
// set loaded again brings the old voice back, and a core that goes away while the dialog is open
// leaves a dialog that still closes.
#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <csignal>

#include "base/log.h"
#include "corvane/engine/speechlog.h"
#include "dialogs/speech/cmyslider.h"
#include "dialogs/speech/frmvoices.h"
#include "dialogs/speech/speechsetframe.h"
#include "tests/support/corebus.h"
#include "tests/support/dialogtest.h"
#include "tests/support/fakecore.h"
#include "tests/support/text.h"

namespace jex::test {
namespace {

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
  QString voiceOf(int source) const {
    return automation::toObj(Jex().obj(S("SpeechProfile")).call(S("ItemByIndex"), {source})).str(S("VoiceName"));
  }
  void chooseSource(int source) {
    dlg->cboSource()->setFocus();
    while (dlg->cboSource()->currentIndex() < source) QTest::keyClick(dlg->cboSource(), Qt::Key_Down);
  }
  // A key on the voice list, then Tab: the voice is assigned once the focus leaves the list.
  void voiceKey(Qt::Key k) {
    dlg->window()->activateWindow();  // as the window manager does after a question
    (void)QTest::qWaitForWindowActive(dlg->window());
    dlg->cboVoice()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(dlg->cboVoice(), k);
    QTest::keyClick(dlg->cboVoice(), Qt::Key_Tab);
  }
  QString log() const { return fake::CoreFixture::readFile(core->home() + S("/jexui.log")); }
  QComboBox* sets() const { return dlg->speechsetFrame()->cboSpeechSet(); }
  void typeIntoSets(const QString& text) {  // umlauts too, which QTest cannot spell
    for (const QChar c : text) {
      QKeyEvent press(QEvent::KeyPress, c.toUpper().unicode(), Qt::NoModifier, QString(c));
      QApplication::sendEvent(sets(), &press);
    }
  }
  // The voice the core spoke text with (speech.log), after saying it on its console.
  QString heardWith(const QString& text) {
    core->type(S(":say ") + text);
    QString voice;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          for (const QString& l : testing::fileLines(core->appDir() + S("/speech.log")))
            if (corvane::SpeechLog::Entry e; corvane::SpeechLog::parse(l, &e) && e.text == text) voice = e.voice;
          return !voice.isEmpty();
        },
        10000))
        << core->out();
    return voice.section(u' ', 0, 0);
  }

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
  QTest::mouseClick(dlg->cmdOK(), Qt::LeftButton);
  EXPECT_FALSE(dlg->isVisible());
  const QString stored = fake::CoreFixture::readFile(core->appDir() + S("/speech/voices.ini"));
  EXPECT_TRUE(stored.contains(S("Speed=%1").arg(voice("v1").i32(S("speed"))))) << stored.toStdString();
}

TEST_F(VoicesOverBus, ASavedSpeechSetLoadedAgainBringsTheOldVoiceBack) {
  const QString office = voiceOf(1);
  ASSERT_FALSE(office.isEmpty());
  EXPECT_EQ(heardWith(S("vorher")), office);
  // Sprachset speichern, as the speech menu calls it on the voices dialog.
  ASSERT_TRUE(QMetaObject::invokeMethod(dlg.get(), "SpeechsetSave"));
  QTest::keyClick(sets(), Qt::Key_Down);
  typeIntoSets(S("Büro"));
  QTest::keyClick(sets(), Qt::Key_Return);
  chooseSource(1);  // another voice for the focus
  voiceKey(Qt::Key_Down);
  ASSERT_NE(voiceOf(1), office);
  EXPECT_EQ(heardWith(S("anders")), voiceOf(1));
  // Sprachset laden: set 2.
  ASSERT_TRUE(QMetaObject::invokeMethod(dlg.get(), "SpeechsetLoad"));
  EXPECT_EQ(sets()->itemText(0), S("2: Büro"));
  typeIntoSets(S("2"));
  QTest::keyClick(sets(), Qt::Key_Return);
  EXPECT_EQ(voiceOf(1), office);
  EXPECT_EQ(heardWith(S("nachher")), office);

  // The same from the core's own key: USESPSET2 activates the set and says its name.
  automation::toObj(Jex().obj(S("SpeechProfile")).call(S("ItemByIndex"), {1})).set(S("VoiceName"), S("--"));
  core->type(S("USESPSET2"));
  EXPECT_TRUE(core->waitFor(S("SPEAK: Büro"))) << core->out();
  EXPECT_EQ(voiceOf(1), office);
}

TEST_F(VoicesOverBus, TheCoreGoneWithTheDialogOpenIsLoggedAndCancelStillCloses) {
  chooseSource(1);
  ::kill(pid_t(core->proc.processId()), SIGKILL);
  ASSERT_TRUE(core->waitEnded(5000));
  voiceKey(Qt::Key_Down);
  dlg->ctlSpeed()->TB()->setFocus();
  QTest::keyClick(dlg->ctlSpeed()->TB(), Qt::Key_PageUp);
  EXPECT_TRUE(log().contains(S("!!! ERROR frmVoices.")));
  // The step counts as a change, so the save question comes; No reverts as far as it can.
  AnswerBox no(Qt::Key_N);
  QTest::keyClick(dlg->ctlSpeed()->TB(), Qt::Key_Escape);
  EXPECT_EQ(no.asked, 1);
  EXPECT_FALSE(dlg->isVisible());
}

}  // namespace
}  // namespace jex::test
