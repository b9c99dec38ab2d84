// Commands and menu entries that reach dialogs: one path through the child switch, the sink
// every loaded dialog listens to, operations by name, forms that only registered actions.
#include <QAction>

#include "app/frmmain.h"
#include "global/cnotifysink.h"
#include "tests/app/mainwindow/mainwindow_fixture.h"

namespace jex::test {
namespace {

class Commands : public MainWindow {
 protected:
  void SetUp() override {
    MainWindow::SetUp();
    voices = std::make_unique<OperationsDialog>("frmVoices", "Stimmen");
    voices->ChildLoad();
  }
  void TearDown() override {
    voices.reset();
    MainWindow::TearDown();
  }
  // Held here, not by the shared fixture: other areas include that header without this moc.
  std::unique_ptr<OperationsDialog> voices;
};

TEST_F(Commands, EveryLoadedDialogHoldsTheSinkUntilItsUnload) {
  EXPECT_EQ(voices->sink(), mdi->Notifier());
  EXPECT_EQ(mdi->homeChild()->sink(), mdi->Notifier()) << "loaded before the sink existed";
  languageFile("[frmVoices]\nchkSetting=Sprechen\n");
  iNotify(S("UI_LNGCHANGE"));
  EXPECT_EQ(voices->chkSetting->text(), S("Sprechen"));

  voices->ChildUnload();
  EXPECT_EQ(voices->sink(), nullptr);
  languageFile("[frmVoices]\nchkSetting=Stumm\n");
  iNotify(S("UI_LNGCHANGE"));
  EXPECT_EQ(voices->chkSetting->text(), S("Sprechen")) << "an unloaded dialog hears nothing";

  // A dialog going away while others listen: the next command reaches the rest safely.
  keyecho.reset();
  options->ChildLoad();
  languageFile("[frmOptions]\nchkSetting=Immer\n");
  iNotify(S("ui_lngchange"));
  EXPECT_EQ(options->chkSetting->text(), S("Immer")) << "dialogs compare the upper-cased command";
}

// The key echo dialog has a change when a command asks for the voices dialog: the answer to the
// save question decides. Escape keeps it with the change, No drops the change, Yes stores it.
class ChangedDialog : public Commands, public ::testing::WithParamInterface<Qt::Key> {};

TEST_P(ChangedDialog, TheAnswerDecidesWhetherTheNextOneComes) {
  const Qt::Key answer = GetParam();
  showByKey();
  command("DLGKEYECHO");
  ASSERT_TRUE(keyecho->isVisible());
  change(*keyecho);
  {
    AnswerBox box(answer);
    command("DLGSPEECH");
    EXPECT_EQ(box.asked, 1);
  }
  const bool stays = answer == Qt::Key_Escape;
  EXPECT_EQ(keyecho->isVisible(), stays);
  EXPECT_EQ(voices->isVisible(), !stays);
  EXPECT_EQ(keyecho->chkSetting->isChecked(), answer != Qt::Key_N);
  EXPECT_EQ(keyecho->stored, answer == Qt::Key_J ? 1 : 0);
  EXPECT_EQ(mdi->activeChild() == keyecho.get(), stays);
  EXPECT_EQ(mdi->windowTitle(), stays ? S("Tastenecho - Halda 4.10") : S("Stimmen - Halda 4.10"));
}

INSTANTIATE_TEST_SUITE_P(EscapeNoYes, ChangedDialog, ::testing::Values(Qt::Key_Escape, Qt::Key_N, Qt::Key_J));

TEST_F(Commands, SameDialogRequestedTwiceOnlySetsTheCaptionAgain) {
  showByKey();
  command("DLGSPEECH");
  ASSERT_TRUE(voices->isVisible());
  mdi->SetMainCaption(S("anders"));
  command("DLGSPEECH");
  EXPECT_TRUE(voices->isVisible());
  EXPECT_EQ(mdi->windowTitle(), S("Stimmen - Halda 4.10"));
  EXPECT_EQ(count(S("Child_Activates: frmVoices")), 1);
  EXPECT_FALSE(logged(S("try hiding")));
}

TEST_F(Commands, OperationsReachTheDialogByNameVisibleOrNotAndCommandsFocusTheirList) {
  showByKey();
  command("SPEEDUP");
  command("USESPSET3");
  EXPECT_EQ(voices->calls, (QStringList{S("SPEEDUP"), S("GetValues")}));
  EXPECT_FALSE(voices->isVisible()) << "the voices dialog need not be shown for its keys";

  OperationsDialog keys("frmKeys", "Tasten");
  keys.ChildLoad();
  command("DLGNUMKEY");
  EXPECT_TRUE(keys.isVisible());
  EXPECT_EQ(keys.calls, QStringList{S("ShowKeys NUM")});
  EXPECT_EQ(mdi->markedButton(), 3);
  // A menu entry naming an operation the dialog lacks: switched to, the operation logged.
  mdi->menuEntry(S("mnuKeysFavorites"))->trigger();
  EXPECT_TRUE(keys.isVisible());
  // The active child's operations with the entry's index.
  command("DLGSPEECH");
  mdi->menuEntry(S("mnuVoiceDel(0)"))->trigger();
  EXPECT_EQ(voices->calls.last(), S("VoiceDel 0"));
  // The compression commands focus their list.
  OperationsDialog braille("frmBraille", "Braille");
  braille.ChildLoad();
  command("HCOMPRESSIONDLG");
  ASSERT_TRUE(braille.isVisible());
  EXPECT_EQ(mdi->focusWidget(), braille.findChild<QListWidget*>(S("lstHSpace")));
  command("VCOMPRESSIONDLG");
  EXPECT_EQ(mdi->focusWidget(), braille.findChild<QListWidget*>(S("lstVSpace")));
}

// A form that only registered its actions (shown by its own code) comes after the switch.
TEST_F(Commands, FormWithOnlyActionsComesAfterTheSwitchAndTheWindowStays) {
  showByKey();
  command("DLGKEYECHO");
  QStringList ran;
  forms::add({.name = S("frmReadMe"), .action = [&](const QString& action, const QStringList& args) {
                ran << action + u' ' + args.join(u',');
              }});
  gGlobal().OldTask = S("WINWORD");
  command("UI_SHOWREADME");
  forms::remove(S("frmReadMe"));
  EXPECT_EQ(ran, QStringList{S("Read WINWORD")});
  EXPECT_FALSE(keyecho->isVisible());
  EXPECT_TRUE(mdi->isVisible());
}

}  // namespace
}  // namespace jex::test
