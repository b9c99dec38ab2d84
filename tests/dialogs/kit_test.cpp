// The dialog kit on a small form of its own, in the main window over the stand-in core's key
// echo, driven by the keyboard: Enter, Escape and the save question, Tab, Help, the showing of
// the core's values, and every way a dialog can be left.
#include <QListWidget>
#include <functional>

#include "tests/app/mainwindow/mainwindow_fixture.h"
#include "tests/support/text.h"
#include "widgets/formservice.h"
#include "widgets/named.h"

namespace jex::test {
namespace {

// A switch and a list of the core's key echo, written into the core as the user changes them
// (unless the values are being shown); OK makes the core store them, No makes it read them again.
class Sample : public ChildDialog {
 public:
  Sample() : ChildDialog(S("frmSample"), S("Beispiel")) {
    chkEcho = named<QCheckBox>(this, "chkEcho", S("&Echo"));
    lstMode = named<QListWidget>(this, "lstMode");
    lstMode->addItems({S("keines"), S("Buchstaben und Wort"), S("wort"), S("buchstaben")});
    lstMode->setAccessibleName(S("Modus"));
    content()->addWidget(chkEcho);
    content()->addWidget(lstMode);
    track(chkEcho);
    track(lstMode);
    hiddenTexts({{"lblAsk2Save", "Beispiel speichern?"}});
    addButtons();
    connect(chkEcho, &QCheckBox::toggled, this, [this](bool on) { write("KeyEcho", on); });
    connect(lstMode, &QListWidget::currentRowChanged, this, [this](int row) { write("CharEcho", row); });
  }
  QCheckBox* chkEcho;
  QListWidget* lstMode;
  int writes = 0;
  std::function<void()> whileSettling;  // runs while the core is asked to store or reload

 protected:
  void showValues() override {
    chkEcho->setChecked(echo().i32(S("KeyEcho")) != 0);
    lstMode->setCurrentRow(echo().i32(S("CharEcho")));
  }
  void store() override {
    if (whileSettling) whileSettling();
    echo().call(S("SaveValues"));
  }
  void revert() override {
    if (whileSettling) whileSettling();
    echo().call(S("LoadValues"));
    loadValues();
  }

 private:
  static Obj echo() { return Jex().obj(S("KeyEcho")); }
  void write(const char* member, int value) {
    if (loading()) return;
    ++writes;
    echo().set(QLatin1String(member), value);
  }
};

class Kit : public MainWindow {
 protected:
  void SetUp() override {
    MainWindow::SetUp();
    sample = std::make_unique<Sample>();
    sample->ChildLoad();
    if (const forms::Form* real = forms::find(S("frmHelp"))) realHelp = *real;
    forms::add({.name = S("frmHelp"), .action = [this](const QString& action, const QStringList& args) {
                  helpAsked << action + u' ' + args.join(u' ');
                }});
    showByKey();
    ASSERT_TRUE(mdi->showChild(*sample));
  }
  void TearDown() override {
    forms::remove(S("frmHelp"));
    if (realHelp) forms::add(*realHelp);  // the program's help window for the tests after these
    sample.reset();
    MainWindow::TearDown();
  }
  int live(const char* member) const { return root.obj(S("KeyEcho")).i32(QLatin1String(member)); }
  QString stored(const char* member) const { return core.store.value(S("KeyEcho"), QLatin1String(member)); }
  // The list moved one entry down by its arrow key: a change the core hears at once.
  void changeMode() {
    sample->lstMode->setFocus();
    key(Qt::Key_Down);
  }

  std::unique_ptr<Sample> sample;
  QStringList helpAsked;
  std::optional<forms::Form> realHelp;
};

TEST_F(Kit, ShowingTheCoresValuesIsNoChangeAndEveryShowingReadsThemAgain) {
  EXPECT_EQ(QApplication::focusWidget(), sample->chkEcho) << "the first control has the focus";
  EXPECT_EQ(sample->lstMode->currentRow(), live("CharEcho"));
  EXPECT_EQ(sample->writes, 0) << "showing values wrote into the core";
  EXPECT_FALSE(sample->changed());
  root.obj(S("KeyEcho")).set(S("CharEcho"), 2);  // changed behind the closed dialog
  key(Qt::Key_Escape);
  ASSERT_FALSE(sample->isVisible());
  ASSERT_TRUE(mdi->showChild(*sample));
  EXPECT_EQ(sample->lstMode->currentRow(), 2);
  EXPECT_EQ(sample->writes, 0);
  EXPECT_FALSE(sample->changed());
}

TEST_F(Kit, EnterOnAListIsOkAndStoresWithoutAsking) {
  AnswerBox box(Qt::Key_Escape);
  changeMode();
  ASSERT_EQ(sample->writes, 1);
  const int chosen = sample->lstMode->currentRow();
  key(Qt::Key_Return);
  EXPECT_FALSE(sample->isVisible());
  EXPECT_EQ(box.asked, 0);
  EXPECT_EQ(stored("CharEcho"), QString::number(chosen));
  EXPECT_FALSE(sample->changed());
}

struct Answer {
  Qt::Key key;
  bool closes;
  bool stores;
};
class SaveQuestion : public Kit, public ::testing::WithParamInterface<Answer> {};

// Yes stores, No takes the change back in the core, Cancel stays with the change live.
TEST_P(SaveQuestion, EscapeAsksAndTheAnswerDecides) {
  const int before = live("CharEcho");
  changeMode();
  const int chosen = live("CharEcho");
  ASSERT_NE(chosen, before);
  AnswerBox box(GetParam().key);
  key(Qt::Key_Escape);
  EXPECT_EQ(box.asked, 1);
  EXPECT_EQ(sample->isVisible(), !GetParam().closes);
  EXPECT_EQ(stored("CharEcho"), GetParam().stores ? QString::number(chosen) : QString());
  EXPECT_EQ(live("CharEcho"), GetParam().closes && !GetParam().stores ? before : chosen);
  EXPECT_EQ(sample->changed(), !GetParam().closes);
}
// A close that comes in while the answer is carried out (the core is waited for) is the same
// closing: not asked about again.
TEST_P(SaveQuestion, ACloseWhileTheAnswerIsCarriedOutIsNotAskedAgain) {
  if (!GetParam().closes) GTEST_SKIP() << "Cancel carries nothing out";
  changeMode();
  sample->whileSettling = [this] { sample->close(); };
  AnswerBox box(GetParam().key);
  key(Qt::Key_Escape);
  EXPECT_EQ(box.asked, 1);
  EXPECT_FALSE(sample->isVisible());
  EXPECT_FALSE(sample->changed());
}
INSTANTIATE_TEST_SUITE_P(Answers, SaveQuestion,
                         ::testing::Values(Answer{Qt::Key_J, true, true}, Answer{Qt::Key_N, true, false},
                                           Answer{Qt::Key_Escape, false, false}));

// Tab and Shift+Tab go round the dialog, the buttons last; the main window's buttons are never
// reached while the dialog is open.
TEST_F(Kit, TabAndShiftTabGoRoundInsideTheDialog) {
  const QList<QWidget*> ring{sample->chkEcho, sample->lstMode, sample->cmdOK(), sample->cmdCancel(), sample->cmdHelp()};
  for (const bool forward : {true, false}) {
    sample->chkEcho->setFocus();
    QList<QWidget*> visited;
    for (qsizetype i = 0; i <= ring.size(); ++i) {
      visited << QApplication::focusWidget();
      key(Qt::Key_Tab, forward ? Qt::NoModifier : Qt::ShiftModifier);
    }
    QList<QWidget*> expected;
    for (qsizetype i = 0; i <= ring.size(); ++i)
      expected << ring.at(forward ? i % ring.size() : (ring.size() - i) % ring.size());
    EXPECT_EQ(visited, expected) << (forward ? "Tab" : "Shift+Tab");
  }
}

TEST_F(Kit, HelpAsksForTheControlTheUserWasOnAndTheDialogStays) {
  sample->lstMode->setFocus();
  for (int i = 0; i < 3; ++i) key(Qt::Key_Tab);  // OK, Abbrechen, Hilfe
  ASSERT_EQ(QApplication::focusWidget(), sample->cmdHelp());
  key(Qt::Key_Return);
  EXPECT_EQ(helpAsked, QStringList{S("ShowHelp frmSample lstMode")});
  EXPECT_TRUE(sample->isVisible());
}

// Every way out of a dialog with a change asks the save question; Cancel keeps the dialog (and
// the main window with it).
struct Way {
  const char* name;
  void (*leave)(frmMDI& window, Sample& dialog);
};
class WaysOut : public Kit, public ::testing::WithParamInterface<Way> {};

TEST_P(WaysOut, AskTheSaveQuestionAndCancelStays) {
  changeMode();
  AnswerBox cancel(Qt::Key_Escape);
  GetParam().leave(*mdi, *sample);
  EXPECT_EQ(cancel.asked, 1);
  EXPECT_TRUE(sample->isVisible());
  EXPECT_TRUE(mdi->isVisible());
  EXPECT_TRUE(sample->changed());
}
INSTANTIATE_TEST_SUITE_P(
    Kit, WaysOut,
    ::testing::Values(Way{"Escape", [](frmMDI&, Sample& d) { QTest::keyClick(d.lstMode, Qt::Key_Escape); }},
                      Way{"Abbrechen",
                          [](frmMDI&, Sample& d) {
                            d.cmdCancel()->setFocus();
                            QTest::keyClick(d.cmdCancel(), Qt::Key_Space);
                          }},
                      Way{"CloseBox", [](frmMDI&, Sample& d) { d.close(); }},
                      Way{"AnotherDialog", [](frmMDI& w, Sample&) { w.openForm(S("frmOptions")); }},
                      Way{"ToggMen", [](frmMDI& w, Sample&) { w.TOGGMEN(); }},
                      Way{"MainWindowClosed", [](frmMDI& w, Sample&) { w.close(); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace jex::test
