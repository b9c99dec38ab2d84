// frmKeyecho in the main window over the stand-in core's key echo, driven by the keyboard, with
// the shipped language files.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "dialogs/speech/frmkeyecho.h"
#include "tests/support/accessibility.h"
#include "tests/support/dialogtest.h"
#include "tests/support/text.h"
#include "widgets/formservice.h"

namespace jex::test {
namespace {

class KeyechoDialog : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    echo = root.obj(S("KeyEcho"));
  }
  frmKeyecho* open() { return DialogTest::open<frmKeyecho>("frmKeyecho"); }
  QString stored(const char* key) const { return DialogTest::stored(S("KeyEcho"), QLatin1String(key)); }
  template <class W>
  static W* child(QWidget* f, const char* name) {
    return f->findChild<W*>(QLatin1String(name));
  }

  Obj echo;
};

TEST_F(KeyechoDialog, ShowsTheCoresValuesAndKeyEchoOffDisablesTheRestButKeepsThem) {
  echo.set(S("KeyEcho"), 0);
  echo.set(S("CharEcho"), 2);
  echo.set(S("CursorEcho"), 0);
  frmKeyecho* f = open();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->hiddenText("lblAsk2Save"), S("wollen Sie die Änderungen am Tastenecho  speichern ?"));
  EXPECT_FALSE(f->chkKeyEcho()->isChecked());
  EXPECT_EQ(f->cboCharEcho()->currentText(), S("wort"));
  for (const char* name :
       {"cboCharEcho", "cboEchoMode", "cboBackSpaceEcho", "chkFunctionEcho", "chkLayer", "lblKeyEcho"})
    EXPECT_FALSE(child<QWidget>(f, name)->isEnabled()) << name;
  EXPECT_FALSE(child<QCheckBox>(f, "chkCursorEcho")->isChecked());
  EXPECT_TRUE(child<QCheckBox>(f, "chkFunctionEcho")->isChecked());

  press(f->chkKeyEcho());
  EXPECT_EQ(echo.i32(S("KeyEcho")), 1);
  EXPECT_TRUE(f->cboCharEcho()->isEnabled());
  press(f->cboCharEcho(), Qt::Key_Down);
  EXPECT_EQ(echo.i32(S("CharEcho")), 3);
  press(child<QCheckBox>(f, "chkShiftKeys"));
  EXPECT_EQ(echo.i32(S("ToggleEcho")), 0);
  EXPECT_EQ(stored("CharEcho"), QString());  // live only until OK

  // A value the core refuses is trapped and logged; the dialog stays.
  f->cboCharEcho()->setCurrentIndex(-1);
  EXPECT_TRUE(logText().contains(S("!!! ERROR frmKeyecho.cboCharEcho_Click")));
  f->cboCharEcho()->setCurrentIndex(3);
  press(f->cmdOK(), Qt::Key_Return);
  EXPECT_FALSE(f->isVisible());
  EXPECT_EQ(stored("CharEcho"), S("3"));
  EXPECT_EQ(stored("ToggleEcho"), S("0"));
}

TEST_F(KeyechoDialog, ABoxToggledTwiceIsNoChangeAndEscCloses) {
  frmKeyecho* f = open();
  ASSERT_NE(f, nullptr);
  AnswerBox box(Qt::Key_N);
  QCheckBox* layer = child<QCheckBox>(f, "chkLayer");
  press(layer);
  press(layer);
  EXPECT_FALSE(f->changed());
  QTest::keyClick(layer, Qt::Key_Escape);
  EXPECT_FALSE(f->isVisible());
  EXPECT_EQ(box.asked, 0);
}

struct Answer {
  Qt::Key key;
  bool closes;
  const char* storedMode;  // corvane.ini's EchoMode afterwards
  int liveMode;
};

class KeyechoQuestion : public KeyechoDialog, public ::testing::WithParamInterface<Answer> {};

TEST_P(KeyechoQuestion, TheSaveQuestionStoresRevertsOrStays) {
  frmKeyecho* f = open();
  ASSERT_NE(f, nullptr);
  press(child<QComboBox>(f, "cboEchoMode"), Qt::Key_Down);
  ASSERT_EQ(echo.i32(S("EchoMode")), 1);
  AnswerBox box(GetParam().key);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_EQ(box.asked, 1);
  EXPECT_EQ(f->isVisible(), !GetParam().closes);
  EXPECT_EQ(stored("EchoMode"), QLatin1String(GetParam().storedMode));
  EXPECT_EQ(echo.i32(S("EchoMode")), GetParam().liveMode);
  if (!GetParam().closes) return;
  f = open();
  EXPECT_EQ(child<QComboBox>(f, "cboEchoMode")->currentIndex(), GetParam().liveMode);
}

INSTANTIATE_TEST_SUITE_P(Answers, KeyechoQuestion,
                         ::testing::Values(Answer{Qt::Key_J, true, "1", 1}, Answer{Qt::Key_N, true, "", 0},
                                           Answer{Qt::Key_Escape, false, "", 1}));

// Text typed or deleted there is the screen reader's to echo (not running here); the field
// hands the core only the keys that leave its text as it was.
TEST_F(KeyechoDialog, TheTryFieldIsEchoedWithTheUnsavedSettings) {
  frmKeyecho* f = open();
  ASSERT_NE(f, nullptr);
  press(f->cboCharEcho(), Qt::Key_Down);  // "wort"
  press(child<QCheckBox>(f, "chkCursorEcho"));
  f->txtTry()->setFocus();
  QTest::keyClicks(f->txtTry(), S("gut "));
  QTest::keyClick(f->txtTry(), Qt::Key_Backspace);
  for (Qt::Key k : {Qt::Key_Left, Qt::Key_F5, Qt::Key_Home, Qt::Key_Backspace}) QTest::keyClick(f->txtTry(), k);
  EXPECT_EQ(core.reports.filter(QRegularExpression(S("^ECHO: "))), QStringList{S("ECHO: F5")});
  EXPECT_EQ(stored("CharEcho"), QString());
  QTest::keyClick(f->txtTry(), Qt::Key_Return);  // tried there, not OK
  AnswerBox no(Qt::Key_N);
  QTest::keyClick(f->txtTry(), Qt::Key_Escape);  // the field leaves Esc to the dialog
  EXPECT_EQ(no.asked, 1);
}

TEST_F(KeyechoDialog, WithTheCoreGoneErrorsAreLoggedAndCancelCloses) {
  frmKeyecho* f = open();
  ASSERT_NE(f, nullptr);
  auto gone = std::make_shared<fake::Front>(root);
  gone->property(S("KeyEcho"), []() -> QVariant { throw Error(err::ServerUnavailable, S("the core has ended")); });
  Jex() = Obj(gone);
  press(child<QCheckBox>(f, "chkCommandEcho"));
  EXPECT_TRUE(logText().contains(S("!!! ERROR frmKeyecho.write")));
  AnswerBox no(Qt::Key_N);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_FALSE(f->isVisible());
  EXPECT_EQ(no.asked, 1);
}

TEST_F(KeyechoDialog, IsAccessible) {
  ChildDialog::setHost(nullptr);  // the dialog alone, without the main window's buttons around it
  std::unique_ptr<QWidget> f = forms::create(S("frmKeyecho"));
  ChildDialog::setHost(mdi.get());
  ASSERT_NE(f, nullptr);
  f->show();
  EXPECT_ACCESSIBLE(f.get());
}

}  // namespace
}  // namespace jex::test
