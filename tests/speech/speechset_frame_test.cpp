// The speech-set frame of the voices dialog over the stand-in core's own speech sets, worked
// with the keyboard in the main window.
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "core/formlist.h"
#include "corvane/engine/objects.h"
#include "corvane/engine/speechsets.h"
#include "corvane/engine/speechsettings.h"
#include "speech/frmvoices.h"
#include "speech/speechsetframe.h"
#include "tests/mainwindow/mainwindow_fixture.h"
#include "tests/support/accessibility.h"
#include "users/cuser.h"

namespace jex::test {
namespace {

QString S(const char* s) { return QString::fromUtf8(s); }

class SpeechsetFrameTest : public MainWindow {
 protected:
  void SetUp() override {
    MainWindow::SetUp();
    registerForms();
    if (!gGlobal().UserProfile) gGlobal().UserProfile = CreateCurrUser();
    showByKey();
    command("DLGSPEECH");
    dlg = qobject_cast<frmVoices*>(forms::instance(S("frmVoices")));
    ASSERT_TRUE(dlg && dlg->isVisible());
    frame = dlg->speechsetFrame();
    ASSERT_NE(frame, nullptr);
  }
  QComboBox* list() const { return frame->cboSpeechSet(); }
  QStringList entries() const {
    QStringList l;
    for (int i = 0; i < list()->count(); ++i) l << list()->itemText(i);
    return l;
  }
  Obj set(int nr) const { return root.obj(S("SpeechProfiles")).itemObj(nr); }
  corvane::SpeechSettings& speech() { return std::static_pointer_cast<corvane::Root>(root.target())->speech(); }
  void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(list(), k, m); }
  // Typed into the list one character at a time (umlauts too, which QTest cannot spell).
  void type(const QString& text) {
    for (const QChar c : text) {
      QKeyEvent press(QEvent::KeyPress, c.toUpper().unicode(), Qt::NoModifier, QString(c));
      QKeyEvent release(QEvent::KeyRelease, c.toUpper().unicode(), Qt::NoModifier, QString(c));
      QApplication::sendEvent(list(), &press);
      QApplication::sendEvent(list(), &release);
    }
  }
  // Saves the active voices as set nr through the frame, as the user does.
  void saveAs(int nr, const QString& name) {
    dlg->SpeechsetSave();
    while (list()->currentIndex() < nr - 1) key(Qt::Key_Down);
    type(name);
    key(Qt::Key_Return);
  }

  frmVoices* dlg = nullptr;
  SpeechsetFrame* frame = nullptr;
};

TEST_F(SpeechsetFrameTest, SavingIntoAnEmptySlotStoresTheTypedNameAndTheNextListShowsIt) {
  dlg->SpeechsetSave();
  EXPECT_TRUE(frame->fraSpeechset()->isVisible());
  EXPECT_EQ(entries().size(), 9);
  EXPECT_EQ(entries().at(3), S("4: <leer>"));
  EXPECT_TRUE(frame->cmdSaveSet()->isDefault());
  EXPECT_FALSE(dlg->cmdOK()->isDefault());
  EXPECT_FALSE(frame->cmdLoadSet()->isVisible());
  saveAs(4, S("Büro"));
  EXPECT_EQ(set(4).str(S("Name")), S("Büro"));
  EXPECT_FALSE(set(4).str(S("Info")).isEmpty());
  EXPECT_EQ(QApplication::focusWidget(), dlg->cboSource());
  EXPECT_EQ(gGlobal().UserProfile->ActiveSpeechSet(), S("4"));
  EXPECT_TRUE(readFile(gGlobal().UserProfile->Path() + S("USERSET.INI")).contains(S("Active=4")));
  dlg->SpeechsetSave();
  EXPECT_EQ(entries().at(3), S("4: Büro"));
}

TEST_F(SpeechsetFrameTest, HomeLeftAndBackspaceNeverTouchThePrefix) {
  dlg->SpeechsetSave();
  QLineEdit* e = list()->lineEdit();
  key(Qt::Key_Down);
  type(S("ab"));
  EXPECT_EQ(list()->currentText(), S("2: ab"));
  for (int i = 0; i < 4; ++i) key(Qt::Key_Backspace);
  EXPECT_EQ(list()->currentText(), S("2: "));
  key(Qt::Key_Left);
  EXPECT_EQ(e->cursorPosition(), 3);
  type(S("xyz"));
  key(Qt::Key_Home);
  EXPECT_EQ(e->cursorPosition(), 3);
  key(Qt::Key_Backspace);
  key(Qt::Key_Left);
  EXPECT_EQ(e->cursorPosition(), 3);
  key(Qt::Key_End);
  key(Qt::Key_Home, Qt::ShiftModifier);
  EXPECT_EQ(e->selectedText(), S("xyz"));
  key(Qt::Key_Backspace);
  EXPECT_EQ(list()->currentText(), S("2: "));
  key(Qt::Key_Return);  // an empty name keeps the frame open
  EXPECT_TRUE(frame->isOpen());
  EXPECT_TRUE(set(2).str(S("Info")).isEmpty());
}

TEST_F(SpeechsetFrameTest, TheLoadListSkipsEmptySlotsADigitSelectsAndLoadingBringsTheVoicesBack) {
  saveAs(2, S("Büro"));
  const QString office = speech().profile().sources[0].voice;
  saveAs(5, S("Küche"));
  // A voice changed afterwards.
  speech().profile().sources[0].voice = S("--");
  dlg->SpeechsetLoad();
  EXPECT_EQ(entries(), (QStringList{S("2: Büro"), S("5: Küche")}));
  EXPECT_TRUE(frame->cmdLoadSet()->isDefault());
  type(S("5"));
  EXPECT_EQ(list()->currentText(), S("5: Küche"));
  type(S("0x9"));  // no set 0 or 9, no typing
  EXPECT_EQ(list()->currentText(), S("5: Küche"));
  type(S("2"));
  key(Qt::Key_Return);
  EXPECT_EQ(speech().profile().sources[0].voice, office);
  EXPECT_EQ(speech().profile().name, S("Büro"));
  EXPECT_EQ(gGlobal().UserProfile->ActiveSpeechSet(), S("2"));
  EXPECT_EQ(QApplication::focusWidget(), dlg->cboSource());
}

TEST_F(SpeechsetFrameTest, TabGoesRoundInsideTheFrameAndLeavingItClosesIt) {
  dlg->SpeechsetSave();
  for (int i = 0; i < 3; ++i) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), list());  // the list, Save, Cancel, and round
  QTest::qWait(120);
  EXPECT_TRUE(frame->isOpen());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !frame->isOpen(); }, 2000));
  EXPECT_TRUE(dlg->cmdOK()->isDefault());
  EXPECT_FALSE(frame->cmdSaveSet()->isDefault());
  // Esc in the frame is its Abbrechen: the frame closes, the dialog stays.
  dlg->SpeechsetLoad();
  QTest::keyClick(list(), Qt::Key_Escape);
  EXPECT_EQ(QApplication::focusWidget(), dlg->cmdVoiceMenu());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !frame->isOpen(); }, 2000));
  EXPECT_TRUE(dlg->isVisible());
}

TEST_F(SpeechsetFrameTest, USESPSETFromTheCoreShowsTheActivatedSetInTheOpenDialog) {
  saveAs(3, S("Drei"));
  for (auto& s : speech().profile().sources) s.voice = S("--");
  const auto focusVoiceShown = [this] {
    dlg->cboSource()->setFocus();
    QTest::keyClick(dlg->cboSource(), Qt::Key_Home);
    QTest::keyClick(dlg->cboSource(), Qt::Key_Down);
    return dlg->cboVoice()->currentText();
  };
  dlg->GetValues();
  const QString none = focusVoiceShown();
  std::static_pointer_cast<corvane::Root>(root.target())->speechSets().activate(3);
  command("USESPSET3");
  EXPECT_EQ(dlg->cboSource()->currentIndex(), 0);  // the dialog took the profile again
  EXPECT_NE(focusVoiceShown(), none);
}

TEST_F(SpeechsetFrameTest, TheDialogWithTheFrameOpenIsAccessible) {
  dlg->SpeechsetSave();
  EXPECT_ACCESSIBLE(dlg);
}

}  // namespace
}  // namespace jex::test
