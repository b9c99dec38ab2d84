// The translation editor as a translator works it, by keyboard: opened with DLGRESWIZ on the
// dialog in front, rows, Enter between list and boxes, saving into the language file of the
// program directory (a copy of the shipped one), cancelling, blinking, placement, bad input,
// and a right-to-left language.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>

#include "base/codepages.h"
#include "corvane/engine/appdir.h"
#include "dialogs/boxes/frmmsgex.h"
#include "dialogs/localizer/frmlocalizereditor.h"
#include "global/cglobal.h"
#include "ini/privateprofile.h"
#include "localisation/frmlocalizer.h"
#include "tests/support/accessibility.h"
#include "tests/support/dialogtest.h"
#include "tests/support/text.h"

namespace jex::test {
namespace {

class Editor : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    corvane::copyTreeKeepExisting(S(JEX_SOURCE_DIR "/tests/data/lng/LNG/1037"), appPath() + S("LNG/1037"));
    writeFile(appPath() + S("JEXUI.INI"), "[SERVICE]\r\nWriteLogFile=5\r\nLocalizerEnabled=1\r\n");
    gGlobal().Ini = std::make_shared<cIniFil>();
    ASSERT_TRUE(gGlobal().Ini->Init(appPath() + S("JEXUI.INI"), false));
  }
  void TearDown() override {
    if (editor()) editor()->hide();
    DialogTest::TearDown();
  }

  QString lngFile(const char* lng = "1031") const { return appPath() + S("LNG/") + S(lng) + S("/JEXUIDLG.INI"); }
  QByteArray fileBytes(const char* lng = "1031") const { return readBytes(lngFile(lng)); }
  static QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  // The value under key in section as the file holds it now.
  QString value(const QString& section, const QString& key, const char* lng = "1031") {
    cIniFil ini;
    ini.Init(lngFile(lng), false, codepage::ofCharset(lng == QLatin1String("1037") ? 177 : 0));
    return ini.GetStr(section, key, S("<missing>"));
  }

  LocalizerEditor* editor() const { return qobject_cast<LocalizerEditor*>(forms::instance(S("frmLocalizer"))); }
  // Opens the key echo dialog with the focus on control, then the editor by DLGRESWIZ.
  LocalizerEditor* editKeyecho(const char* control = "chkKeyEcho") {
    ChildDialog* d = open(S("frmKeyecho"));
    if (!d) return nullptr;
    d->findChild<QWidget*>(S(control))->setFocus();
    command("DLGRESWIZ");
    LocalizerEditor* e = editor();
    if (!e || !QTest::qWaitForWindowActive(e)) return nullptr;
    return e;
  }
  QTreeWidgetItem* current() const { return editor()->nl_lvwControls()->currentItem(); }
  QString currentKey() const { return current() ? current()->text(LocalizerEditor::kControl) : QString(); }
  // Moves the list to the row of key with the arrow keys.
  void goTo(const QString& key) {
    QTreeWidget* list = editor()->nl_lvwControls();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Home);
    for (int i = 0; i < list->topLevelItemCount() && currentKey() != key; ++i) QTest::keyClick(list, Qt::Key_Down);
    ASSERT_EQ(currentKey(), key);
  }
  // Types text into the caption box, replacing what it holds (any script: each character is a
  // key event carrying it, as an input method delivers it).
  void typeCaption(const QString& text) {
    goToBox(editor()->nl_Caption());
    for (QChar ch : text) {
      QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
      QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
      QApplication::sendEvent(editor()->nl_Caption(), &press);
      QApplication::sendEvent(editor()->nl_Caption(), &release);
    }
  }
  void goToBox(QLineEdit* box) {
    QTest::keyClick(editor()->nl_lvwControls(), Qt::Key_Return);
    if (box == editor()->nl_Tooltip() && editor()->nl_Caption()->hasFocus())
      QTest::keyClick(editor()->nl_Caption(), Qt::Key_Return);
    ASSERT_TRUE(box->hasFocus());
    ASSERT_EQ(box->selectedText(), box->text()) << "entering a box selects its text";
  }
  void saveByKey() {
    editor()->cmdSave()->setFocus();
    QTest::keyClick(editor()->cmdSave(), Qt::Key_Space);
  }
};

// The lines of file outside section (blank lines at its end left out), and the section's.
QList<QByteArray> fileLines(const QByteArray& file, const QByteArray& section, bool inSection) {
  QList<QByteArray> kept;
  bool inside = false;
  for (const QByteArray& line : file.split('\n')) {
    if (line.startsWith('[')) inside = line.startsWith("[" + section + "]");
    if (inside == inSection) kept << line;
  }
  while (!kept.isEmpty() && kept.last().trimmed().isEmpty()) kept.removeLast();
  return kept;
}
// The first line that differs, or "" when none does.
std::string firstDifference(const QList<QByteArray>& a, const QList<QByteArray>& b) {
  for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i)
    if (a.value(i) != b.value(i))
      return "line " + std::to_string(i + 1) + ": " + a.value(i).toStdString() + " / " + b.value(i).toStdString();
  return "";
}

TEST_F(Editor, DlgResWizOpensOnTheDialogInFrontAtItsActiveControl) {
  LocalizerEditor* e = editKeyecho("cboEchoMode");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->editedForm(), ChildDialog::find(S("frmKeyecho")));
  EXPECT_EQ(e->windowTitle(), S("Übersetzung: frmKeyecho Sprache: 1031"));
  EXPECT_EQ(currentKey(), S("cboEchoMode"));
  EXPECT_TRUE(e->nl_lvwControls()->hasFocus());
  EXPECT_TRUE(ChildDialog::find(S("frmKeyecho"))->isVisible()) << "the edited dialog stays open beside the editor";
  EXPECT_TRUE(logged(S("Edit Localizer frmKeyecho file: ")));
}

TEST_F(Editor, TheRightButtonWithShiftAndCtrlOpensItOnTheFormClicked) {
  ChildDialog* d = open(S("frmKeyecho"));
  ASSERT_NE(d, nullptr);
  auto* chk = d->findChild<QCheckBox*>(S("chkFunctionEcho"));
  QTest::mouseClick(chk, Qt::RightButton, Qt::ControlModifier);
  EXPECT_TRUE(!editor() || !editor()->isVisible()) << "Ctrl alone does nothing";
  chk->setFocus();
  QTest::mouseClick(chk, Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier);
  ASSERT_NE(editor(), nullptr);
  EXPECT_TRUE(editor()->isVisible());
  EXPECT_EQ(editor()->editedForm(), d);
  EXPECT_EQ(currentKey(), S("chkFunctionEcho"));
}

TEST_F(Editor, RowsFollowTheTabChainWithItemsAndDefaultTexts) {
  ASSERT_NE(editKeyecho(), nullptr);
  QTreeWidget* list = editor()->nl_lvwControls();
  QMap<QString, QStringList> rows;
  QStringList orders;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* r = list->topLevelItem(i);
    rows.insert(r->text(0), {r->text(1), r->text(2), r->text(3)});
    orders << r->text(3);
  }
  EXPECT_TRUE(list->isColumnHidden(LocalizerEditor::kTabOrder));
  QStringList sorted = orders;
  std::stable_sort(sorted.begin(), sorted.end());
  EXPECT_EQ(orders, sorted) << "rows in tab order";
  EXPECT_EQ(rows.value(S("cboCharEcho")).value(0), S("--- Items: 4"));
  EXPECT_EQ(rows.value(S("cboCharEcho_Item 0")).value(1), S("---"));
  EXPECT_EQ(rows.value(S("cboCharEcho_Item 3")).value(2), rows.value(S("cboCharEcho")).value(2))
      << "an item has its list's tab order";
  EXPECT_EQ(rows.value(S("lblKeyEcho")).value(1), S("---")) << "a label's tip is not edited";
  EXPECT_EQ(rows.value(S("lblKeyEcho")).value(2), S("")) << "Tab does not reach a label";
  EXPECT_EQ(rows.value(S("chkKeyEcho")).value(2).size(), 3);
  EXPECT_FALSE(rows.contains(S("lblTitle")) && rows.value(S("lblTitle")).isEmpty());
  for (const QString& key : rows.keys()) EXPECT_FALSE(key.startsWith(S("nl_"))) << key.toStdString();
}

TEST_F(Editor, EnterGoesFromListToCaptionToTipAndBack) {
  ASSERT_NE(editKeyecho(), nullptr);
  LocalizerEditor* e = editor();
  goTo(S("chkKeyEcho"));
  key(Qt::Key_Return);
  EXPECT_TRUE(e->nl_Caption()->hasFocus());
  key(Qt::Key_Return);
  EXPECT_TRUE(e->nl_Tooltip()->hasFocus());
  key(Qt::Key_Return);
  EXPECT_TRUE(e->nl_lvwControls()->hasFocus());
  // A label: its tip "---" stays disabled, Enter goes from the caption back to the list.
  goTo(S("lblKeyEcho"));
  EXPECT_FALSE(e->nl_Tooltip()->isEnabled());
  key(Qt::Key_Return);
  ASSERT_TRUE(e->nl_Caption()->hasFocus());
  key(Qt::Key_Return);
  EXPECT_TRUE(e->nl_lvwControls()->hasFocus());
  // A list: its caption "--- Items: n" is disabled, Enter goes to the tip.
  goTo(S("cboCharEcho"));
  EXPECT_FALSE(e->nl_Caption()->isEnabled());
  key(Qt::Key_Return);
  EXPECT_TRUE(e->nl_Tooltip()->hasFocus());
  // Ctrl+C on the list copies the key in brackets.
  e->nl_lvwControls()->setFocus();
  key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), S("[cboCharEcho]"));
}

TEST_F(Editor, ASavedCaptionShowsAtOnceAndTheFirstSaveWritesTheWholeSection) {
  // The form has no section yet; everything else of the file must stay as it is.
  ASSERT_TRUE(ini::WritePrivateProfileString(S("frmKeyecho"), QString(), QString(), lngFile(), 1252));
  const QByteArray before = fileBytes();
  ASSERT_NE(editKeyecho(), nullptr);
  const int rows = editor()->nl_lvwControls()->topLevelItemCount();
  goTo(S("chkKeyEcho"));
  typeCaption(S("Echo &an"));
  EXPECT_EQ(current()->text(LocalizerEditor::kCaption), S("Echo &an")) << "the row follows the box at once";
  saveByKey();
  EXPECT_FALSE(editor()->isVisible());
  auto* chk = ChildDialog::find(S("frmKeyecho"))->findChild<QCheckBox*>(S("chkKeyEcho"));
  EXPECT_EQ(chk->text(), S("Echo &an"));
  EXPECT_TRUE(chk->isVisible()) << "saving leaves the control visible";
  QString buffer;
  const quint32 n = ini::GetPrivateProfileSection(S("frmKeyecho"), buffer, 65536, lngFile(), 1252);
  const QStringList lines = buffer.left(n).split(QChar(0), Qt::SkipEmptyParts);
  EXPECT_EQ(lines.size(), rows) << "one entry per row";
  QStringList keys;
  for (const QString& l : lines) keys << l.section(u'=', 0, 0);
  QStringList sortedKeys = keys;
  sortedKeys.sort();
  EXPECT_EQ(keys, sortedKeys) << "new keys follow in key order";
  EXPECT_EQ(value(S("frmKeyecho"), S("chkKeyEcho")), S("Echo &an|"));
  EXPECT_EQ(value(S("frmKeyecho"), S("lblKeyEcho")), S("Buchstabenecho:|---"));
  EXPECT_EQ(value(S("frmKeyecho"), S("cboCharEcho_Item 1")), S("Buchstaben und Wort|---"));
  EXPECT_EQ(firstDifference(fileLines(before, "frmKeyecho", false), fileLines(fileBytes(), "frmKeyecho", false)), "");
}

TEST_F(Editor, AnExistingSectionChangesInPlaceAndEveryOtherLineStays) {
  const QByteArray before = fileBytes();
  ASSERT_NE(editKeyecho(), nullptr);
  goTo(S("chkKeyEcho"));
  typeCaption(S(" Echo "));  // blanks at both ends: written quoted, read back exactly
  saveByKey();
  EXPECT_EQ(value(S("frmKeyecho"), S("chkKeyEcho")), S(" Echo |"));
  EXPECT_EQ(firstDifference(fileLines(before, "frmKeyecho", false), fileLines(fileBytes(), "frmKeyecho", false)), "");
  // Inside the section every key keeps its line (written again as caption|tip), new keys follow.
  const QList<QByteArray> was = fileLines(before, "frmKeyecho", true), is = fileLines(fileBytes(), "frmKeyecho", true);
  ASSERT_GE(is.size(), was.size());
  for (qsizetype i = 0; i < was.size(); ++i) {
    const QByteArray key = was[i].left(was[i].indexOf('=') + 1);
    EXPECT_TRUE(is[i].startsWith(key)) << is[i].toStdString() << " in place of " << was[i].toStdString();
  }
  EXPECT_TRUE(fileBytes().contains("chkKeyEcho=\" Echo |\"\r\n"));
}

TEST_F(Editor, MenuButtonsOfTheMainWindowLoseTheirAccessKeys) {
  showByKey();
  frmLocalizer().EditControls(mdi.get());
  ASSERT_NE(editor(), nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowActive(editor()));
  ASSERT_EQ(editor()->editedForm(), mdi.get());
  goTo(S("cmdMenu(2)"));
  typeCaption(S("&Sprache"));
  saveByKey();
  EXPECT_TRUE(value(S("frmMDI"), S("cmdMenu(2)")).startsWith(S("Sprache|")));
  for (int i = 0; i < 8; ++i)
    EXPECT_FALSE(value(S("frmMDI"), S("cmdMenu(%1)").arg(i)).section(u'|', 0, 0).contains(u'&')) << i;
  EXPECT_EQ(mdi->cmdMenu(2)->text(), S("Sprache")) << "the main window is localised again at once";
}

TEST_F(Editor, CancelEscapeAndTheCloseBoxWriteNothing) {
  const QByteArray before = fileBytes();
  ASSERT_NE(editKeyecho(), nullptr);
  {
    AnswerBox any(Qt::Key_J);
    key(Qt::Key_Escape);
    EXPECT_FALSE(editor()->isVisible());
    EXPECT_EQ(any.asked, 0) << "nothing edited: nothing asked";
  }
  ASSERT_NE(editKeyecho(), nullptr);
  goTo(S("chkKeyEcho"));
  typeCaption(S("weg"));
  {
    AnswerBox no(Qt::Key_N);
    editor()->close();  // the close box asks as Cancel does; No stays
    EXPECT_EQ(no.asked, 1);
    EXPECT_TRUE(editor()->isVisible());
  }
  ASSERT_TRUE(QTest::qWaitForWindowActive(editor())) << "the editor has the focus again after the question";
  AnswerBox yes(Qt::Key_J);
  key(Qt::Key_Escape);
  EXPECT_EQ(yes.asked, 1);
  EXPECT_FALSE(editor()->isVisible());
  EXPECT_EQ(fileBytes(), before);
  EXPECT_EQ(ChildDialog::find(S("frmKeyecho"))->findChild<QCheckBox*>(S("chkKeyEcho"))->text(), S("&Tastenecho aktiv"));
}

TEST_F(Editor, BlinkingKeepsTheLayoutAndEveryWayOutLeavesTheControlVisible) {
  ASSERT_NE(editKeyecho(), nullptr);
  ChildDialog* d = ChildDialog::find(S("frmKeyecho"));
  auto* chk = d->findChild<QCheckBox*>(S("chkKeyEcho"));
  auto* next = d->findChild<QWidget*>(S("lblH1"));
  goTo(S("chkKeyEcho"));
  const QRect place = next->geometry();
  ASSERT_TRUE(QTest::qWaitFor([&] { return chk->isHidden(); }, 2000)) << "the control blinks";
  QApplication::processEvents();
  EXPECT_EQ(next->geometry(), place) << "a hidden control keeps its room";
  const auto visibleAfter = [&](const std::function<void()>& way) {
    goTo(S("chkKeyEcho"));
    if (!QTest::qWaitFor([&] { return chk->isHidden(); }, 2000)) return false;
    way();
    return !chk->isHidden();
  };
  EXPECT_TRUE(visibleAfter([&] { QTest::keyClick(editor()->nl_lvwControls(), Qt::Key_Down); })) << "another row";
  EXPECT_TRUE(visibleAfter([&] { key(Qt::Key_Escape); })) << "cancel";
  ASSERT_NE(editKeyecho(), nullptr);
  EXPECT_TRUE(visibleAfter([&] { d->hide(); })) << "the form hidden";
  EXPECT_EQ(editor()->blinking(), nullptr);
}

TEST_F(Editor, ADeletedFormStopsTheBlinking) {
  auto form = std::make_unique<QWidget>();
  form->setObjectName(S("frmTest"));
  auto* b = new QPushButton(S("&Knopf"), form.get());
  b->setObjectName(S("cmdKnopf"));
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  b->setFocus();
  frmLocalizer().EditControls(form.get());
  ASSERT_EQ(currentKey(), S("cmdKnopf"));
  EXPECT_EQ(editor()->blinking(), b);
  form.reset();
  EXPECT_EQ(editor()->blinking(), nullptr);
  QTest::qWait(LocalizerEditor::kBlinkMs * 2);  // the timer finds nothing to toggle
  EXPECT_FALSE(editor()->tmrBlink().isActive());
}

// A translator opens the editor on a question that waits for its answer: the editor takes the
// keys, a saved button caption shows in the box at once, and the box has the focus back on the
// button it had, with which the question is then answered.
TEST_F(Editor, OverAWaitingQuestionItWorksByKeyAndTheFocusGoesBackToTheBox) {
  core.foreground = S("JEXUI");  // the question in front, as the core sees it
  QPointer<QWidget> box, focus;
  QString caption;
  bool asked = false, answered = false;
  QTimer inside;  // runs in the question's own event loop
  inside.setInterval(10);
  QObject::connect(&inside, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (box || !modal || modal->objectName() != S("frmMsgEx") || !QApplication::focusWidget()) return;
    inside.stop();
    asked = true;
    box = modal;
    focus = QApplication::focusWidget();
    // Space on the button the box had the focus on (sent to it, so that a lost focus fails the
    // checks below instead of leaving the question open).
    const auto answer = [&] { QTest::keyClick(focus.data(), Qt::Key_Space); };
    command("DLGRESWIZ");
    if (!editor() || !QTest::qWaitForWindowActive(editor())) {
      ADD_FAILURE() << "the editor did not come up over the question";
      return answer();
    }
    EXPECT_EQ(editor()->editedForm(), box.data());
    EXPECT_EQ(currentKey(), S("cmdBtn(0)")) << "the editor opens at the button the box has the focus on (Ja)";
    typeCaption(S("&Jawohl"));
    key(Qt::Key_Return);  // the button's tip is not edited: back to the list
    EXPECT_TRUE(editor()->nl_lvwControls()->hasFocus());
    saveByKey();
    EXPECT_FALSE(editor()->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return box->isActiveWindow(); }, 2000)) << "the box is not in front again";
    EXPECT_EQ(QApplication::focusWidget(), focus.data()) << "the focus is not back on the box's button";
    if (auto* b = qobject_cast<QPushButton*>(focus.data())) caption = b->text();
    answered = true;
    answer();
  });
  inside.start();
  const qint16 result = MsgBoxEx(S("Datei speichern?"), msgbox::kYesNo);
  ASSERT_TRUE(asked) << "the question did not come up";
  EXPECT_TRUE(answered);
  EXPECT_EQ(result, msgbox::Yes) << "the button the focus came back to answers the question";
  EXPECT_EQ(caption, S("&Jawohl")) << "the saved caption shows at once";
  EXPECT_EQ(value(S("frmMsgEx"), S("cmdBtn(0)")), S("&Jawohl|---"));
}

// The editor, a window of its own, has the margins that the main window's frame gives the
// dialogs inside it: its controls do not touch its edges.
TEST_F(Editor, HasTheMarginsOfTheDialogsInTheMainWindow) {
  ASSERT_NE(editKeyecho(), nullptr);
  const QMargins frame = mdi->centralWidget()->layout()->contentsMargins();
  ASSERT_FALSE(frame.isNull());
  EXPECT_EQ(editor()->layout()->contentsMargins(), frame);
  const QRect list = editor()->nl_lvwControls()->geometry();
  EXPECT_EQ(list.left(), frame.left());
  EXPECT_EQ(editor()->width() - 1 - list.right(), frame.right());
  const QRect save = editor()->cmdSave()->geometry();
  EXPECT_EQ(editor()->height() - 1 - save.bottom(), frame.bottom());
}

TEST_F(Editor, PlacedBesideTheFormInsideTheScreen) {
  ASSERT_NE(editKeyecho(), nullptr);
  const QRect screen = editor()->screen()->availableGeometry();
  const QRect e = editor()->frameGeometry(), f = mdi->frameGeometry();
  EXPECT_TRUE(screen.contains(e)) << "inside the screen";
  if (screen.width() >= f.width() + e.width() + 100) {
    EXPECT_FALSE(e.intersects(f)) << "beside, not over the form";
  }
}

struct BadCase {
  const char* name;
  const char* typed;      // typed into the caption of chkKeyEcho
  const char* message;    // a part of the message
  bool readOnly = false;  // the language file is read-only
};
class EditorBadInput : public Editor, public ::testing::WithParamInterface<BadCase> {};

TEST_P(EditorBadInput, NamesTheProblemWritesNothingAndKeepsTheEdits) {
  const BadCase& c = GetParam();
  if (c.readOnly) QFile(lngFile()).setPermissions(QFile::ReadOwner);
  const QByteArray before = fileBytes();
  ASSERT_NE(editKeyecho(), nullptr);
  goTo(S("chkKeyEcho"));
  typeCaption(QString::fromUtf8(c.typed));
  QString said;
  AnswerBox ok([&](QWidget* box) {
    for (QLabel* l : box->findChildren<QLabel*>())
      if (l->isVisible()) said += l->text();
    QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Return);
  });
  saveByKey();
  EXPECT_TRUE(QTest::qWaitFor([&] { return ok.asked > 0; }, 2000));
  EXPECT_EQ(ok.asked, 1);
  EXPECT_TRUE(said.contains(QString::fromUtf8(c.message))) << said.toStdString();
  EXPECT_TRUE(said.contains(S("chkKeyEcho")) || c.readOnly) << "the row is named";
  EXPECT_EQ(fileBytes(), before);
  EXPECT_TRUE(editor()->isVisible());
  EXPECT_EQ(current()->text(LocalizerEditor::kCaption), QString::fromUtf8(c.typed)) << "the edit is kept";
  QFile(lngFile()).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

INSTANTIATE_TEST_SUITE_P(Rows, EditorBadInput,
                         ::testing::Values(BadCase{"Bar", "an|aus", "Strich"},
                                           BadCase{"OutsideTheCodePage", "Echo \xd7\xa9\xd7\x9c", "1252"},
                                           BadCase{"ReadOnlyFile", "Echo", "read-only", true}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(Editor, PassesTheAccessibilityCheckInGermanAndRightToLeft) {
  ASSERT_NE(editKeyecho(), nullptr);
  EXPECT_FALSE(editor()->nl_lvwControls()->accessibleName().isEmpty()) << "the list is named";
  EXPECT_ACCESSIBLE(editor());
  key(Qt::Key_Escape);
  language("1037");
  ASSERT_NE(editKeyecho(), nullptr);
  EXPECT_EQ(editor()->layoutDirection(), Qt::RightToLeft);
  EXPECT_EQ(editor()->nl_lvwControls()->accessibleName(), QString::fromUtf8("פקדים"));
  EXPECT_ACCESSIBLE(editor());
}

TEST_F(Editor, HebrewTypedIsSavedInTheFilesCodePageAndReadsBackEqual) {
  language("1037");
  QWidget form;
  form.setObjectName(S("frmTest"));
  auto* chk = new QCheckBox(S("Echo"), &form);
  chk->setObjectName(S("chkEcho"));
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  chk->setFocus();
  frmLocalizer().EditControls(&form);
  ASSERT_TRUE(QTest::qWaitForWindowActive(editor()));
  ASSERT_EQ(currentKey(), S("chkEcho"));
  const QString hebrew = QString::fromUtf8("הד מקשים");
  typeCaption(hebrew);
  saveByKey();
  EXPECT_FALSE(editor()->isVisible());
  EXPECT_TRUE(fileBytes("1037").contains("chkEcho=\xe4\xe3 \xee\xf7\xf9\xe9\xed|\r\n")) << "written in code page 1255";
  EXPECT_EQ(value(S("frmTest"), S("chkEcho"), "1037"), hebrew + u'|');
  EXPECT_EQ(value(S("frmTest"), S("cboMode_Item 1"), "1037"), QString::fromUtf8("מהיר")) << "the rest stays";
  EXPECT_EQ(chk->text(), hebrew);
}

// A first save in a language whose code page cannot hold a German built-in text still listed:
// that row is named and nothing is written, until it is translated.
TEST_F(Editor, AGermanTextTheCodePageCannotHoldIsNamed) {
  language("1037");
  const QByteArray before = fileBytes("1037");
  ASSERT_NE(editKeyecho(), nullptr);
  QString said;
  AnswerBox ok([&](QWidget* box) {
    for (QLabel* l : box->findChildren<QLabel*>()) said += l->text();
    QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Return);
  });
  saveByKey();
  EXPECT_TRUE(QTest::qWaitFor([&] { return ok.asked > 0; }, 2000));
  EXPECT_TRUE(said.contains(S("cboBackSpaceEcho_Item 0")) && said.contains(S("1255"))) << said.toStdString();
  EXPECT_EQ(fileBytes("1037"), before);
  EXPECT_TRUE(editor()->isVisible());
}

}  // namespace
}  // namespace jex::test
