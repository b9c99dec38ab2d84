// The voices dialog and its speech-set frame over the stand-in core's own speech objects (in
// process), opened by its command in the main window and worked with the keyboard as a blind
// user does.
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTreeWidget>

#include "app/scripting/funcs.h"
#include "corvane/engine/objects.h"
#include "corvane/engine/speechsets.h"
#include "corvane/engine/speechsettings.h"
#include "dialogs/speech/cmyslider.h"
#include "dialogs/speech/frmvoices.h"
#include "dialogs/speech/speechsetframe.h"
#include "dialogs/speech/voicevalues.h"
#include "tests/support/accessibility.h"
#include "tests/support/dialogtest.h"
#include "tests/support/text.h"
#include "users/cuser.h"

namespace jex::test {
namespace {

QStringList items(const QComboBox* c) {
  QStringList l;
  for (int i = 0; i < c->count(); ++i) l << c->itemText(i);
  return l;
}

class VoicesDialog : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    writeFile(appPath() + S("speech/tables/1031/liste.tab"), ".,;\n");  // not numbered: not offered
    dlg = open<frmVoices>("frmVoices");
    ASSERT_TRUE(dlg && dlg->isVisible());
    frame = dlg->speechsetFrame();
    ASSERT_NE(frame, nullptr);
  }
  Obj voices() const { return root.obj(S("SpeechVoices")); }
  Obj entry(int source) const {
    return automation::toObj(root.obj(S("SpeechProfile")).call(S("ItemByIndex"), {source}));
  }
  QString voiceOf(int source) const { return entry(source).str(S("VoiceName")); }
  Obj voice(const QString& name) const { return automation::toObj(voices().call(S("ItemByName"), {name})); }
  // The source chosen in the list with the arrow keys.
  void chooseSource(int source) {
    dlg->cboSource()->setFocus();
    while (dlg->cboSource()->currentIndex() < source) QTest::keyClick(dlg->cboSource(), Qt::Key_Down);
    while (dlg->cboSource()->currentIndex() > source) QTest::keyClick(dlg->cboSource(), Qt::Key_Up);
  }
  // Keys on the voice list, then Tab: the voice is assigned once the focus leaves the list.
  void voiceKey(Qt::Key k, int times = 1) {
    dlg->window()->activateWindow();  // as the window manager does after a question
    (void)QTest::qWaitForWindowActive(dlg->window());
    dlg->cboVoice()->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < times; ++i) QTest::keyClick(dlg->cboVoice(), k);
    QTest::keyClick(dlg->cboVoice(), Qt::Key_Tab);
  }
  int percent(const QString& v, const char* member, double low, double high) const {
    return ValueToPercent(voice(v).i32(QLatin1String(member)) & 0xFFFF, low, high);
  }
  QComboBox* list() const { return frame->cboSpeechSet(); }
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

TEST_F(VoicesDialog, OpensWithAllSourcesAndTheDifferentVoicesOfTheDefaults) {
  EXPECT_EQ(dlg->cboSource()->currentText(), S("alle Sprachquellen"));
  EXPECT_EQ(dlg->cboVoice()->itemData(0).toInt(), frmVoices::kDiffVoices);  // Focus v1, KeyEcho v2
  EXPECT_EQ(dlg->cboVoice()->currentText(), S("unterschiedliche"));
  EXPECT_FALSE(dlg->cboTable()->isEnabled());
  EXPECT_FALSE(dlg->ctlPitch()->Enabled());
  EXPECT_FALSE(dlg->changed());
  // The two voices are listed, and offered for deletion in the main window's menu.
  ASSERT_TRUE(dlg->voiceDelEntry(3) && dlg->voiceDelEntry(4));
  EXPECT_TRUE(dlg->voiceDelEntry(3)->isVisible());
  EXPECT_FALSE(dlg->voiceDelEntry(5)->isVisible());
  EXPECT_EQ(dlg->voiceDelEntry(3)->parent(), mdi->menu(S("mnuVoiceDelete")));
}

TEST_F(VoicesDialog, ArrowKeysAssignVoicesButMovingThroughSourcesAssignsNothing) {
  const QString info = root.str(S("SpeechProfile.Info"));
  chooseSource(8);
  chooseSource(1);
  EXPECT_EQ(root.str(S("SpeechProfile.Info")), info);
  EXPECT_FALSE(dlg->assignmentChanged());
  EXPECT_EQ(dlg->cboVoice()->currentData().toInt(), 3);  // v1
  voiceKey(Qt::Key_Down);
  EXPECT_EQ(voiceOf(1), S("v2"));
  EXPECT_TRUE(dlg->assignmentChanged());
  EXPECT_EQ(dlg->cboVoice()->count(), 2);  // the focus voice has no "keine" while voices exist
  // "keine" for the key echo stores the no-voice entry.
  chooseSource(6);
  voiceKey(Qt::Key_End);
  EXPECT_EQ(dlg->cboVoice()->currentText(), S("keine"));
  EXPECT_EQ(voiceOf(6), S("--"));
  EXPECT_FALSE(dlg->ctlSpeed()->Enabled());
}

TEST_F(VoicesDialog, TheTableListOffersTheNumberedTablesOfTheVoicesLanguage) {
  chooseSource(5);  // characters at the cursor: "2alle.tab"
  QComboBox* tables = dlg->cboTable();
  ASSERT_TRUE(tables->isEnabled());
  EXPECT_EQ(items(tables), (QStringList{S("keine"), S("einige"), S("alle")}));
  EXPECT_EQ(tables->currentText(), S("alle"));
  tables->setFocus();
  QTest::keyClick(tables, Qt::Key_Up);
  EXPECT_EQ(entry(5).str(S("TableName")), S("1einige.tab"));
  chooseSource(6);  // switching the source changes no table
  EXPECT_EQ(entry(5).str(S("TableName")), S("1einige.tab"));
  EXPECT_EQ(entry(6).str(S("TableName")), S("2alle.tab"));
}

TEST_F(VoicesDialog, NoToTheChangeAllQuestionKeepsTheDifferentVoices) {
  const QString info = root.str(S("SpeechProfile.Info"));
  {
    // Arrowing through the voices asks nothing; leaving the list asks once, for the last.
    AnswerBox no(Qt::Key_N);
    dlg->cboVoice()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(dlg->cboVoice(), Qt::Key_Down);
    QTest::keyClick(dlg->cboVoice(), Qt::Key_Down);
    EXPECT_EQ(no.asked, 0);
    EXPECT_EQ(root.str(S("SpeechProfile.Info")), info);
    QTest::keyClick(dlg->cboVoice(), Qt::Key_Tab);
    EXPECT_EQ(no.asked, 1);
  }
  EXPECT_EQ(dlg->cboVoice()->currentText(), S("unterschiedliche"));
  EXPECT_EQ(root.str(S("SpeechProfile.Info")), info);
  {
    AnswerBox yes(Qt::Key_J);
    voiceKey(Qt::Key_Down);
  }
  for (int s = 1; s <= frmVoices::kSources; ++s) EXPECT_EQ(voiceOf(s), S("v1")) << s;
  EXPECT_NE(dlg->cboVoice()->itemData(0).toInt(), frmVoices::kDiffVoices);
}

TEST_F(VoicesDialog, ASliderStepReachesTheCoreAtOnceNoRevertsAndOkSaves) {
  chooseSource(1);
  const qint32 before = voice(S("v1")).i32(S("speed"));
  dlg->ctlSpeed()->TB()->setFocus();
  QTest::keyClick(dlg->ctlSpeed()->TB(), Qt::Key_PageUp);
  const qint32 after = voice(S("v1")).i32(S("speed"));
  EXPECT_EQ(after, PercentToValue(ValueToPercent(before, 100, 500) + 10, 100, 500));
  EXPECT_TRUE(core.reports.filter(S("SAMPLE: v1")).size() >= 1);
  EXPECT_TRUE(dlg->ctlSpeed()->TB()->accessibleDescription().endsWith(S("Wörter pro Minute")));
  {
    AnswerBox no(Qt::Key_N);
    QTest::keyClick(dlg->ctlSpeed()->TB(), Qt::Key_Escape);
    EXPECT_EQ(no.asked, 1);
  }
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_FALSE(dlg->isAncestorOf(QApplication::focusWidget())) << "the focus stays out of the hidden dialog";
  EXPECT_EQ(voice(S("v1")).i32(S("speed")), before);

  command("DLGSPEECH");
  chooseSource(1);
  dlg->ctlVolume()->TB()->setFocus();
  dlg->ctlVolume()->TB()->selectAll();  // as Tab leaves it
  QTest::keyClicks(dlg->ctlVolume()->TB(), S("20"));
  QTest::mouseClick(dlg->cmdOK(), Qt::LeftButton);
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_TRUE(readFile(appPath() + S("speech/voices.ini")).contains(S("Volume=10000")));
}

TEST_F(VoicesDialog, BrowsingTheModesSpeaksEachInItsOwnVoiceButTipsKeepTheirs) {
  dlg->VoiceNew();
  ASSERT_TRUE(dlg->picNew()->isVisible());
  EXPECT_FALSE(dlg->picSettings()->isVisible());
  EXPECT_FALSE(dlg->cmdOK()->isVisible());
  QTreeWidget* tree = dlg->treModes();
  ASSERT_GT(tree->topLevelItemCount(), 10);
  EXPECT_EQ(tree->currentItem()->text(0), S("Deutsch"));  // the interface language, named by lngnames.ini
  for (int i = 0; i < tree->topLevelItemCount(); ++i) {
    QTreeWidgetItem* language = tree->topLevelItem(i);
    bool number = false;
    language->text(0).toInt(&number);
    EXPECT_FALSE(number) << "no name for locale " << language->text(0).toStdString();
    EXPECT_FALSE(language->icon(0).isNull());
    EXPECT_FALSE(language->child(0)->child(0)->icon(0).isNull());
  }
  tree->setFocus();
  QTest::keyClick(tree, Qt::Key_Down);  // the product
  QTest::keyClick(tree, Qt::Key_Right);
  QTest::keyClick(tree, Qt::Key_Down);  // the first mode
  const QString key = tree->currentItem()->data(0, Qt::UserRole).toString();
  ASSERT_TRUE(key.startsWith(S("eSpeak:"))) << key.toStdString();
  EXPECT_EQ(dlg->txtName()->text(), tree->currentItem()->text(0));
  const int index = root.obj(S("SpeechModes")).call(S("ItemByName"), {key}).value<Obj>().i32(S("Index"));

  const auto spoken = [this] {
    auto u = std::make_shared<corvane::Utterance>(S("Test"), 7, S("v2"));
    core.hub.voiceSelect(automation::fromObj(Obj(u)));
    return u->voice();
  };
  EXPECT_EQ(spoken(), S("m%1").arg(index));
  gGlobal().NoVoiceSelect = true;
  EXPECT_EQ(spoken(), S("v2"));
  gGlobal().NoVoiceSelect = false;

  // Enter goes to the name, Enter there adds the voice.
  QTest::keyClick(tree, Qt::Key_Return);
  ASSERT_EQ(QApplication::focusWidget(), dlg->txtName());
  QTest::keyClicks(dlg->txtName(), S("Anna"));
  QTest::keyClick(dlg->txtName(), Qt::Key_Return);
  EXPECT_FALSE(dlg->picNew()->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), dlg->cmdVoiceMenu());
  EXPECT_EQ(voices().count(), 5);
  EXPECT_EQ(voice(S("v3")).str(S("FriendlyName")), S("Anna"));
  EXPECT_EQ(voice(S("v3")).str(S("SapiMode")), key);
  EXPECT_GE(dlg->cboVoice()->findText(S("Anna")), 0);
}

TEST_F(VoicesDialog, RefusesATenthVoiceAndDeletingTheFocusVoice) {
  for (int i = 0; i < 7; ++i) voices().call(S("CreateVoice"), {S("eSpeak:German")});
  ASSERT_EQ(voices().count(), 11);
  {
    AnswerBox ok(Qt::Key_Return);
    dlg->VoiceNew();
    EXPECT_EQ(ok.asked, 1);
  }
  EXPECT_FALSE(dlg->picNew()->isVisible());
  {
    AnswerBox ok(Qt::Key_Return);
    dlg->VoiceDel(3);  // v1 speaks the focus
    EXPECT_EQ(ok.asked, 1);
  }
  EXPECT_EQ(voices().count(), 11);
  dlg->VoiceDel(11);  // unused: removed without a question
  EXPECT_EQ(voices().count(), 10);
  EXPECT_FALSE(dlg->voiceDelEntry(11)->isVisible());
}

TEST_F(VoicesDialog, TheMainWindowsDeleteEntriesNameTheVoicesAndDeleteThroughTheDialog) {
  QAction* v2 = mdi->menuEntry(S("mnuVoiceDel(4)"));
  ASSERT_NE(v2, nullptr);
  EXPECT_EQ(v2->text(), voice(S("v2")).str(S("FriendlyName")));
  EXPECT_TRUE(mdi->menu(S("mnuVoices"))->isEnabled());
  {
    AnswerBox yes(Qt::Key_J);  // v2 speaks the key echo: asked first
    v2->trigger();
    EXPECT_EQ(yes.asked, 1);
  }
  EXPECT_EQ(voice(S("v2")), Obj());
  EXPECT_FALSE(v2->isVisible());
  EXPECT_EQ(dlg->cboVoice()->findText(v2->text()), -1);
  mdi->activateWindow();  // back from the box, as the window manager makes it
  ASSERT_TRUE(QTest::qWaitForWindowActive(mdi.get()));
  chooseSource(0);
  QTest::keyClick(dlg->cboSource(), Qt::Key_Escape);
  ASSERT_FALSE(dlg->isVisible());
  EXPECT_FALSE(mdi->menu(S("mnuVoices"))->isEnabled()) << "the voice menu is off while the dialog is closed";
}

TEST_F(VoicesDialog, SpeedAndVolumeCommandsChangeOnlyTheUsedVoices) {
  const QString unused = voices().call(S("CreateVoice"), {S("eSpeak:German")}).toString();
  const qint32 unusedSpeed = voice(unused).i32(S("speed"));
  voice(S("v1")).set(S("speed"), PercentToValue(98, 100, 500));
  voice(S("v2")).set(S("speed"), PercentToValue(3, 100, 500));
  command("SPEEDUP");
  EXPECT_EQ(percent(S("v1"), "speed", 100, 500), 100);
  EXPECT_EQ(percent(S("v2"), "speed", 100, 500), 8);
  voice(S("v2")).set(S("speed"), PercentToValue(3, 100, 500));
  command("SPEEDDN");
  EXPECT_EQ(percent(S("v2"), "speed", 100, 500), 0);
  command("SPEEDMAX");  // the method is SpeedMax
  EXPECT_EQ(voice(S("v1")).i32(S("speed")), 500);
  voice(S("v1")).set(S("volume"), PercentToValue(3, 0, 50000));
  command("VOLUMEDN");
  EXPECT_EQ(percent(S("v1"), "volume", 0, 50000), 1);
  command("VOLUMEMIN");
  EXPECT_EQ(voice(S("v1")).i32(S("volume")), 0);
  dlg->AllSpeeds(S("abc"));
  EXPECT_EQ(voice(S("v1")).i32(S("speed")), 500);
  dlg->AllSpeeds(150);
  EXPECT_EQ(voice(S("v2")).i32(S("speed")), 500);
  Funcs().setAllVoiceVolume(50);  // as the scripts set it
  EXPECT_EQ(voice(S("v2")).i32(S("volume")), 25000);
  EXPECT_EQ(voice(unused).i32(S("speed")), unusedSpeed);
  EXPECT_TRUE(core.spoken.contains(S("Hugo und Erna sörfen im Internet.")));
  command("SPEEDUPNOW");
  EXPECT_TRUE(core.queued.contains(S("SPEEDSETDONE")));
  gGlobal().SpeedMin = gGlobal().SpeedMax = 300;
  command("DLGSPEECH");
  chooseSource(1);
  EXPECT_EQ(dlg->ctlSpeed()->Value(), 0);
}

TEST_F(VoicesDialog, SavingIntoAnEmptySlotStoresTheTypedNameAndTheNextListShowsIt) {
  dlg->SpeechsetSave();
  EXPECT_TRUE(frame->fraSpeechset()->isVisible());
  EXPECT_EQ(items(list()).size(), 9);
  EXPECT_EQ(items(list()).at(3), S("4: <leer>"));
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
  EXPECT_EQ(items(list()).at(3), S("4: Büro"));
}

TEST_F(VoicesDialog, HomeLeftAndBackspaceNeverTouchThePrefix) {
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

TEST_F(VoicesDialog, TheLoadListSkipsEmptySlotsADigitSelectsAndLoadingBringsTheVoicesBack) {
  saveAs(2, S("Büro"));
  const QString office = speech().profile().sources[0].voice;
  saveAs(5, S("Küche"));
  // A voice changed afterwards.
  speech().profile().sources[0].voice = S("--");
  dlg->SpeechsetLoad();
  EXPECT_EQ(items(list()), (QStringList{S("2: Büro"), S("5: Küche")}));
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

TEST_F(VoicesDialog, TabGoesRoundInsideTheFrameAndLeavingItClosesIt) {
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

TEST_F(VoicesDialog, USESPSETFromTheCoreShowsTheActivatedSetInTheOpenDialog) {
  saveAs(3, S("Drei"));
  for (auto& s : speech().profile().sources) s.voice = S("--");
  const auto focusVoiceShown = [this] {
    chooseSource(1);
    return dlg->cboVoice()->currentText();
  };
  dlg->GetValues();
  const QString none = focusVoiceShown();
  std::static_pointer_cast<corvane::Root>(root.target())->speechSets().activate(3);
  command("USESPSET3");
  EXPECT_EQ(dlg->cboSource()->currentIndex(), 0);  // the dialog took the profile again
  EXPECT_NE(focusVoiceShown(), none);
}

TEST_F(VoicesDialog, TheVoiceInformationIsAReadOnlyTextReadLineByLine) {
  chooseSource(1);
  dlg->VoiceInfo();
  auto* info = qobject_cast<QPlainTextEdit*>(QApplication::focusWidget());
  ASSERT_EQ(info, dlg->txtInfo()) << "the information field does not have the focus";
  EXPECT_TRUE(info->isReadOnly());
  const QStringList lines = info->toPlainText().split(u'\n');
  EXPECT_EQ(lines.size(), 6) << info->toPlainText().toStdString();
  // Down goes from fact to fact; the text stays as it is.
  for (int line = 1; line < lines.size(); ++line) {
    QTest::keyClick(info, Qt::Key_Down);
    EXPECT_EQ(info->textCursor().blockNumber(), line);
  }
  QTest::keyClick(info, Qt::Key_X);
  EXPECT_EQ(info->toPlainText().split(u'\n'), lines);
}

TEST_F(VoicesDialog, IsAccessibleWithTheSpeechSetFrameOrTheNewVoicePanelShown) {
  EXPECT_ACCESSIBLE(dlg);
  dlg->SpeechsetSave();
  EXPECT_ACCESSIBLE(dlg);
  QTest::keyClick(list(), Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !frame->isOpen(); }, 2000));
  dlg->VoiceNew();
  EXPECT_ACCESSIBLE(dlg);
}

}  // namespace
}  // namespace jex::test
