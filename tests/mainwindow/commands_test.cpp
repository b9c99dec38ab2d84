// Commands and menu entries that reach dialogs: one path through the child switch, the sink
// every loaded dialog listens to, operations by name, forms that are not there.
#include <QAction>

#include "core/forms/frmmain.h"
#include "core/global/cnotifysink.h"
#include "tests/mainwindow/mainwindow_fixture.h"

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
  std::unique_ptr<OperationsDialog> voices;
};

TEST_F(Commands, EveryLoadedDialogHoldsTheSinkUntilItsUnload) {
  EXPECT_EQ(voices->notifier(), mdi->Notifier());
  EXPECT_EQ(mdi->homeChild()->notifier(), mdi->Notifier()) << "loaded before the sink existed";
  languageFile("[frmVoices]\nchkSetting=Sprechen\n");
  iNotify(QStringLiteral("UI_LNGCHANGE"));
  EXPECT_EQ(voices->chkSetting->text(), QStringLiteral("Sprechen"));

  voices->ChildUnload();
  EXPECT_EQ(voices->notifier(), nullptr);
  languageFile("[frmVoices]\nchkSetting=Stumm\n");
  iNotify(QStringLiteral("UI_LNGCHANGE"));
  EXPECT_EQ(voices->chkSetting->text(), QStringLiteral("Sprechen")) << "an unloaded dialog hears nothing";

  // A dialog going away while others listen: the next command reaches the rest safely.
  keyecho.reset();
  options->ChildLoad();
  languageFile("[frmOptions]\nchkSetting=Immer\n");
  iNotify(QStringLiteral("ui_lngchange"));
  EXPECT_EQ(options->chkSetting->text(), QStringLiteral("Immer")) << "dialogs compare the upper-cased command";
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
  EXPECT_EQ(mdi->windowTitle(), stays ? QStringLiteral("Tastenecho - Halda 4.10") : QStringLiteral("Stimmen - Halda 4.10"));
}

INSTANTIATE_TEST_SUITE_P(EscapeNoYes, ChangedDialog, ::testing::Values(Qt::Key_Escape, Qt::Key_N, Qt::Key_J));

TEST_F(Commands, SameDialogRequestedTwiceOnlySetsTheCaptionAgain) {
  showByKey();
  command("DLGSPEECH");
  ASSERT_TRUE(voices->isVisible());
  mdi->SetMainCaption(QStringLiteral("anders"));
  command("DLGSPEECH");
  EXPECT_TRUE(voices->isVisible());
  EXPECT_EQ(mdi->windowTitle(), QStringLiteral("Stimmen - Halda 4.10"));
  EXPECT_EQ(count(QStringLiteral("Child_Activates: frmVoices")), 1);
  EXPECT_FALSE(logged(QStringLiteral("try hiding")));
}

TEST_F(Commands, OperationsReachTheDialogByNameVisibleOrNotAndCommandsFocusTheirList) {
  showByKey();
  command("SPEEDUP");
  command("USESPSET3");
  EXPECT_EQ(voices->calls, (QStringList{QStringLiteral("SPEEDUP"), QStringLiteral("GetValues")}));
  EXPECT_FALSE(voices->isVisible()) << "the voices dialog need not be shown for its keys";

  OperationsDialog keys("frmKeys", "Tasten");
  keys.ChildLoad();
  command("DLGNUMKEY");
  EXPECT_TRUE(keys.isVisible());
  EXPECT_EQ(keys.calls, QStringList{QStringLiteral("ShowKeys NUM")});
  EXPECT_EQ(mdi->markedButton(), 3);
  // A menu entry naming an operation the dialog lacks: switched to, the operation logged.
  mdi->menuEntry(QStringLiteral("mnuKeysFavorites"))->trigger();
  EXPECT_TRUE(keys.isVisible());
  // The active child's operations with the entry's index.
  command("DLGSPEECH");
  mdi->menuEntry(QStringLiteral("mnuVoiceDel(0)"))->trigger();
  EXPECT_EQ(voices->calls.last(), QStringLiteral("VoiceDel 0"));
  // The compression commands focus their list.
  OperationsDialog braille("frmBraille", "Braille");
  braille.ChildLoad();
  command("HCOMPRESSIONDLG");
  ASSERT_TRUE(braille.isVisible());
  EXPECT_EQ(mdi->focusWidget(), braille.findChild<QListWidget*>(QStringLiteral("lstHSpace")));
  command("VCOMPRESSIONDLG");
  EXPECT_EQ(mdi->focusWidget(), braille.findChild<QListWidget*>(QStringLiteral("lstVSpace")));
}

TEST_F(Commands, FormThatIsNotThereLeavesTheOpenDialogAndARegisteredOneComes) {
  showByKey();
  command("DLGKEYECHO");
  command("SHOWTYPEDOC");
  EXPECT_TRUE(keyecho->isVisible());
  EXPECT_FALSE(logged(QStringLiteral("try hiding"))) << "nothing is asked to hide for a form that cannot come";

  // A form that only registered its actions (shown by its own code) comes after the switch.
  QStringList ran;
  forms::add({.name = QStringLiteral("frmReadMe"), .action = [&](const QString& action, const QStringList& args) {
                 ran << action + u' ' + args.join(u',');
               }});
  gGlobal().OldTask = QStringLiteral("WINWORD");
  command("UI_SHOWREADME");
  forms::remove(QStringLiteral("frmReadMe"));
  EXPECT_EQ(ran, QStringList{QStringLiteral("Read WINWORD")});
  EXPECT_FALSE(keyecho->isVisible());
  EXPECT_TRUE(mdi->isVisible()) << "a form follows: the window stays";
}

}  // namespace
}  // namespace jex::test
