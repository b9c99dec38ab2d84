// The main window driven as a blind user drives it: TOGGMEN, the button row, the child switch
// with dialogs that hide, refuse or come from another application, the status tip.
#include <QAction>
#include <QCursor>
#include <QPushButton>
#include <QTextBrowser>

#include "app/frmmain.h"
#include "tests/app/mainwindow/mainwindow_fixture.h"
#include "tests/support/accessibility.h"

namespace jex::test {
namespace {

// A name with no form behind it, from a command, a menu entry or a call by name: one log line
// each, the open dialog stays and nothing is asked to hide; menu entries that are core commands
// go to the core.
TEST_F(MainWindow, MissingFormsOnlyLogOnceAndCoreCommandsGoToTheCore) {
  // A form still to come: its routes are known, the form is not there.
  forms::addRoutes({.name = S("frmComing"), .commands = {{.name = S("DLGCOMING")}}});
  showByKey();
  command("DLGKEYECHO");
  command("DLGCOMING");
  EXPECT_TRUE(keyecho->isVisible());
  EXPECT_FALSE(forms::run(S("frmNowhere"), S("Show")));
  for (const char* form : {"frmComing", "frmNowhere"}) EXPECT_EQ(count(S(form) + S(" - not available")), 1) << form;
  forms::remove(S("frmComing"));
  EXPECT_FALSE(logged(S("try hiding"))) << "no child switch for a form that is not there";
  mdi->menuEntry(S("mnuFileEnd"))->trigger();
  mdi->menuEntry(S("mnuVerbosityBraille"))->trigger();
  EXPECT_EQ(core.queued, (QStringList{S("EXITHALDA"), S("DLGBRLOUTDEF")}));
}

TEST_F(MainWindow, ToggMenShowsOnTheButtonRowAndHidesAgainRememberingTheFocus) {
  QCursor::setPos(QPoint(1, 1));
  showByKey();
  EXPECT_EQ(QCursor::pos(), QPoint(1, 1)) << "ParkMouse is off";
  EXPECT_EQ(QApplication::focusWidget(), mdi->cmdMenu(0));
  EXPECT_TRUE(mdi->homeChild()->txtInfo()->toPlainText().contains(S("Willkommen")));
  EXPECT_EQ(gGlobal().LastForeApp, S("WINWORD"));
  EXPECT_EQ(gGlobal().LastForeWnd, 4711);

  // A dialog with the focus on its switch: hiding remembers it, showing gives it back.
  ASSERT_TRUE(mdi->showChild(*options));
  options->chkSetting->setFocus();
  mdi->TOGGMEN();
  EXPECT_FALSE(mdi->isVisible());
  EXPECT_EQ(mdi->lastControl(), options->chkSetting);
  core.foreground = S("WINWORD");
  gGlobal().ParkMouse = 1;
  mdi->TOGGMEN();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(mdi.get()));
  mdi->activateWindow();
  EXPECT_EQ(mdi->focusWidget(), options->chkSetting);
  EXPECT_EQ(QCursor::pos(), mdi->frameGeometry().topLeft() + QPoint(4, 4));
}

TEST_F(MainWindow, ButtonRowLettersSelectButtonsAndTellTheCore) {
  showByKey();
  key(Qt::Key_H);
  EXPECT_EQ(QApplication::focusWidget(), mdi->cmdMenu(6));
  EXPECT_EQ(mdi->markedButton(), 6);
  // "Sprachausgabe" and "schließen" share the letter: the first button wins.
  key(Qt::Key_S);
  EXPECT_EQ(QApplication::focusWidget(), mdi->cmdMenu(2));
  // A disabled button is not focused, but the core still hears the key.
  mdi->cmdMenu(4)->setEnabled(false);
  core.queued.clear();
  key(Qt::Key_M);
  EXPECT_EQ(QApplication::focusWidget(), mdi->cmdMenu(2));
  EXPECT_EQ(core.queued, QStringList{S("GOFOCUS")});
  // With a modifier the letter is no button key.
  key(Qt::Key_D, Qt::ControlModifier);
  EXPECT_EQ(QApplication::focusWidget(), mdi->cmdMenu(2));
}

TEST_F(MainWindow, ChildSwitchShowsOneDialogAtATime) {
  showByKey();
  mdi->openForm(S("frmOptions"));
  EXPECT_TRUE(options->isVisible());
  EXPECT_FALSE(mdi->homeChild()->isVisible());
  EXPECT_EQ(mdi->windowTitle(), S("Optionen - Halda 4.10"));
  EXPECT_EQ(mdi->markedButton(), 5);
  EXPECT_EQ(mdi->activeChild(), options.get());
  mdi->openForm(S("frmKeyecho"));
  EXPECT_FALSE(options->isVisible());
  EXPECT_TRUE(keyecho->isVisible());
  EXPECT_EQ(mdi->markedButton(), 2);
}

TEST_F(MainWindow, ClosingADialogOpenedFromAnotherProgramHidesTheWindow) {
  ASSERT_TRUE(mdi->showChild(*options));
  ASSERT_TRUE(mdi->isVisible());
  options->close();
  EXPECT_FALSE(mdi->isVisible());
  EXPECT_TRUE(mdi->homeChild()->isVisibleTo(mdi->client()));
  // Opened from JexUI itself: the window stays with the button row focused.
  showByKey();
  ASSERT_TRUE(mdi->showChild(*options));
  options->close();
  EXPECT_TRUE(mdi->isVisible());
  EXPECT_EQ(mdi->focusWidget(), mdi->cmdMenu(5));
  EXPECT_EQ(mdi->windowTitle(), S("Hauptmenü - Halda 4.10"));
}

TEST_F(MainWindow, QueryHideReachesOnlyTheActiveDialog) {
  showByKey();
  ASSERT_TRUE(mdi->showChild(*keyecho));
  options->chkSetting->setChecked(true);  // hidden and changed: must not be asked
  AnswerBox none(Qt::Key_Escape);
  iNotify(S("UI_QUERYHIDECHILD"));
  EXPECT_EQ(none.asked, 0);
  EXPECT_FALSE(keyecho->isVisible());
}

TEST_F(MainWindow, StatusTipIsSpokenAfterTheDelay) {
  gGlobal().TipDelay = 2;
  mdi->StatusTip(S("Benutzer wählen"));
  EXPECT_EQ(tip()->text(), S("Benutzer wählen"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !core.spoken.isEmpty(); }, 2000));
  EXPECT_EQ(core.spoken, (QVariantList{S("Benutzer wählen"), 7}));
  EXPECT_FALSE(mdi->tmrTip()->isActive());
  mdi->StatusTip(QString());
  EXPECT_FALSE(mdi->tmrTip()->isActive());
}

TEST_F(MainWindow, IsAccessibleAndEveryButtonCaptionFits) {
  showByKey();
  EXPECT_ACCESSIBLE(mdi.get());
  for (int i = 0; i < frmMDI::kMenuButtons; ++i) {
    QPushButton* b = mdi->cmdMenu(i);
    EXPECT_GE(b->width(), b->fontMetrics().horizontalAdvance(b->text())) << b->text().toStdString();
    EXPECT_LE(b->mapTo(mdi.get(), QPoint(b->width(), 0)).x(), mdi->width());
  }
}

}  // namespace
}  // namespace jex::test
