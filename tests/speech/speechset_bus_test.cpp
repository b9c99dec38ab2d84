// Speech sets as a new user meets them, with the built core as its own process on a private bus:
// the voices saved as set 2 "Büro", a voice changed, set 2 loaded again, and the old voice heard.
#include <QComboBox>
#include <QKeyEvent>
#include <QTest>
#include <gtest/gtest.h>

#include "core/automation/dbustransport.h"
#include "core/global/cglobal.h"
#include "corvane/engine/speechlog.h"
#include "speech/frmvoices.h"
#include "speech/speechsetframe.h"
#include "tests/support/corebus.h"
#include "tests/automation/privatebus.h"
#include "tests/support/fakecore.h"
#include "tests/support/processes.h"

namespace jex::test {
namespace {

QString S(const char* s) { return QString::fromUtf8(s); }

class SpeechSetsOverBus : public testing::CoreOverBusTest {
 protected:
  void SetUp() override {
    startCore();
    if (!started()) return;
    dlg = std::make_unique<frmVoices>();
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
  }
  void TearDown() override {
    dlg.reset();
    resetGlobals();
    stopCore();
  }
  QComboBox* list() const { return dlg->speechsetFrame()->cboSpeechSet(); }
  void type(const QString& text) {
    for (const QChar c : text) {
      QKeyEvent press(QEvent::KeyPress, c.toUpper().unicode(), Qt::NoModifier, QString(c));
      QApplication::sendEvent(list(), &press);
    }
  }
  // The voice the core spoke text with (speech.log), after saying it on its console.
  QString heardWith(const QString& text) {
    core->type(S(":say ") + text);
    QString voice;
    EXPECT_TRUE(QTest::qWaitFor([&] {
      for (const QString& l : testing::fileLines(core->appDir() + S("/speech.log")))
        if (corvane::SpeechLog::Entry e; corvane::SpeechLog::parse(l, &e) && e.text == text) voice = e.voice;
      return !voice.isEmpty();
    }, 10000)) << core->out();
    return voice.section(u' ', 0, 0);
  }
  QString focusVoice() const {
    return automation::toObj(Jex().obj(S("SpeechProfile")).call(S("ItemByIndex"), {1})).str(S("VoiceName"));
  }

  std::unique_ptr<frmVoices> dlg;
};

TEST_F(SpeechSetsOverBus, ASavedSetLoadedAgainBringsTheOldVoiceBack) {
  const QString office = focusVoice();
  ASSERT_FALSE(office.isEmpty());
  EXPECT_EQ(heardWith(S("vorher")), office);
  // Sprachset speichern, as the speech menu calls it on the voices dialog.
  ASSERT_TRUE(QMetaObject::invokeMethod(dlg.get(), "SpeechsetSave"));
  QTest::keyClick(list(), Qt::Key_Down);
  type(S("Büro"));
  QTest::keyClick(list(), Qt::Key_Return);
  // Another voice for the focus.
  dlg->cboSource()->setFocus();
  QTest::keyClick(dlg->cboSource(), Qt::Key_Down);
  dlg->cboVoice()->setFocus();
  QTest::keyClick(dlg->cboVoice(), Qt::Key_Down);
  ASSERT_NE(focusVoice(), office);
  EXPECT_EQ(heardWith(S("anders")), focusVoice());
  // Sprachset laden: set 2.
  ASSERT_TRUE(QMetaObject::invokeMethod(dlg.get(), "SpeechsetLoad"));
  EXPECT_EQ(list()->itemText(0), S("2: Büro"));
  type(S("2"));
  QTest::keyClick(list(), Qt::Key_Return);
  EXPECT_EQ(focusVoice(), office);
  EXPECT_EQ(heardWith(S("nachher")), office);

  // The same from the core's own key: USESPSET2 activates the set and says its name.
  automation::toObj(Jex().obj(S("SpeechProfile")).call(S("ItemByIndex"), {1})).set(S("VoiceName"), S("--"));
  core->type(S("USESPSET2"));
  EXPECT_TRUE(core->waitFor(S("SPEAK: Büro"))) << core->out();
  EXPECT_EQ(focusVoice(), office);
}

}  // namespace
}  // namespace jex::test
