// The status bar: menu tips while a popup is open, the mouse gestures, the translation editor's
// switch; and the window's fixed size.
#include <QMenu>
#include <QMouseEvent>
#include <QStatusBar>

#include "app/twips.h"
#include "tests/app/mainwindow/mainwindow_fixture.h"

namespace jex::test {
namespace {

class StatusBar : public MainWindow {
 protected:
  void SetUp() override {
    MainWindow::SetUp();
    writeFile(dir.filePath(S("JEXUI.INI")), "[SERVICE]\r\nWriteLogFile=5\r\n");
    gGlobal().Ini = std::make_shared<cIniFil>();
    ASSERT_TRUE(gGlobal().Ini->Init(dir.filePath(S("JEXUI.INI")), false));
  }
  void localizerEnabled(int value) {
    gGlobal().Ini->SettingSave(S("SERVICE"), S("LocalizerEnabled"), QString::number(value));
  }
  // A right-button release on the status bar's tip panel with the keys held.
  void gesture(Qt::KeyboardModifiers held, Qt::MouseButton button = Qt::RightButton) {
    QTest::mouseClick(tip(), button, held);
    QTest::qWait(20);
  }
};

TEST_F(StatusBar, MenuTipShowsWhileAnEntryIsSelectedAndInMenuEndsWithTheMenu) {
  languageFile("[frmMDI]\nmnuExtrasOptions=&Optionen...|Allgemeine Einstellungen von Halda\n");
  frmLocalizer().Localize(mdi.get());
  showByKey();
  key(Qt::Key_S);  // a button with a tip first: the reader shows it
  ASSERT_TRUE(QTest::qWaitFor([&] { return tip()->text() == mdi->cmdMenu(2)->toolTip(); }, 1000));
  key(Qt::Key_E);
  key(Qt::Key_Space);
  QMenu* extras = mdi->mnuExtras();
  ASSERT_TRUE(QTest::qWaitFor([&] { return extras->isVisible(); }, 1000));
  EXPECT_EQ(extras->pos(), mdi->popupPosition(5)) << "Space opens the button's popup beside it";
  EXPECT_GT(mdi->popupPosition(5).x(), mdi->cmdMenu(5)->mapToGlobal(QPoint(mdi->cmdMenu(5)->width(), 0)).x());
  QTest::keyClick(extras, Qt::Key_Down);
  ASSERT_NE(extras->activeAction(), nullptr);
  ASSERT_EQ(extras->activeAction()->objectName(), S("mnuExtrasOptions"));
  EXPECT_TRUE(gGlobal().InMenu);
  EXPECT_EQ(tip()->text(), S("Allgemeine Einstellungen von Halda"));
  EXPECT_TRUE(mdi->tmrTip()->isActive()) << "a menu tip is spoken like any tip";
  // An entry without a tip keeps the last one, and the reader timer leaves it alone.
  QTest::keyClick(extras, Qt::Key_Down);
  QTest::qWait(100);
  EXPECT_EQ(tip()->text(), S("Allgemeine Einstellungen von Halda"));

  QTest::keyClick(extras, Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !extras->isVisible(); }, 1000));
  EXPECT_FALSE(gGlobal().InMenu);
  // The reader follows the focused control again.
  key(Qt::Key_T);
  ASSERT_TRUE(QTest::qWaitFor([&] { return tip()->text() == mdi->cmdMenu(3)->toolTip(); }, 1000));
}

TEST_F(StatusBar, RightButtonGesturesRunTheTranslationEditorAndQuit) {
  localizerEnabled(1);
  showByKey();
  // Neither the left button nor other keys held do anything.
  gesture(Qt::ControlModifier, Qt::LeftButton);
  gesture(Qt::NoModifier);
  gesture(Qt::ControlModifier | Qt::AltModifier);
  gesture(Qt::ShiftModifier);
  EXPECT_FALSE(logged(S("MDI.HandleCMD")));

  gesture(Qt::ControlModifier);
  EXPECT_TRUE(logged(S("MDI.HandleCMD: DLGRESWIZ")));
  EXPECT_TRUE(logged(S("DLGRESWIZ - gLocEnabled")));
  EXPECT_FALSE(gGlobal().Quitting);

  gesture(Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(logged(S("MDI.HandleCMD: QUIT")));
  EXPECT_TRUE(gGlobal().Quitting);
  EXPECT_TRUE(mdi->isUnloaded());
  EXPECT_EQ(quits, 1);
}

TEST_F(StatusBar, TranslationEditorNeedsTheSwitchAndJexUiInFront) {
  showByKey();
  const auto opened = [&](int value, const char* front) {
    if (value >= 0) localizerEnabled(value);  // else: not set, which means 0
    core.foreground = QString::fromLatin1(front);
    command("DLGRESWIZ");
    return count(S("DLGRESWIZ - gLocEnabled"));
  };
  EXPECT_EQ(opened(-1, "JEXUI"), 0);
  EXPECT_EQ(opened(0, "JEXUI"), 0);
  EXPECT_EQ(opened(1, "WINWORD"), 0) << "another program is in front";
  EXPECT_EQ(opened(1, "JEXUI"), 1);
  EXPECT_TRUE(logged(S("Edit Localizer frmMDI file: ")));
  if (QWidget* editor = forms::instance(S("frmLocalizer"))) {
    EXPECT_TRUE(editor->isVisible());
    editor->hide();
  }
}

TEST_F(StatusBar, WindowKeepsItsClientSizeAndLeavesTheMaximisedState) {
  showByKey();
  const QSize normal = mdi->size();
  EXPECT_EQ(mdi->width(), twipsToPixelsX(9840));
  EXPECT_EQ(mdi->centralWidget()->height(), twipsToPixelsY(6000));
  mdi->showMaximized();
  QTest::qWait(20);
  EXPECT_FALSE(mdi->isMaximized());
  EXPECT_EQ(mdi->size(), normal);
  mdi->resize(normal * 2);
  EXPECT_EQ(mdi->size(), normal);
  mdi->showMinimized();
  QTest::qWait(20);
  EXPECT_TRUE(mdi->isMinimized()) << "a minimised window is left alone";
}

}  // namespace
}  // namespace jex::test
