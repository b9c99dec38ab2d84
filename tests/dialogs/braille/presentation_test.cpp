// frmBraille driven by the keyboard over the stand-in core's Braille object.
#include <QLineEdit>

#include "tests/dialogs/braille/braille_support.h"
#include "tests/support/accessibility.h"
#include "tests/support/text.h"

namespace jex::test {
namespace {

using PresentationDialog = BrailleDialogs;

TEST_F(PresentationDialog, EnglishNeverWritesContractedBraille) {
  brl.set(S("Grade2Stat"), 1);
  brl.set(S("Grade2Mode"), 3);
  brl.set(S("Grade2Lower"), 1);
  frmLocalizer().setLNG(S("1033"));
  frmBraille* f = open<frmBraille>("frmBraille");
  ASSERT_NE(f, nullptr);
  EXPECT_FALSE(f->cboGrade2()->isEnabled());
  EXPECT_FALSE(f->chkGrade2Lower()->isEnabled());
  // Every tab stop touched: lists moved, boxes toggled.
  QWidget* first = QApplication::focusWidget();
  ASSERT_NE(first, nullptr);
  QWidget* w = first;
  do {
    if (!qobject_cast<QPushButton*>(w)) QTest::keyClick(w, qobject_cast<QCheckBox*>(w) ? Qt::Key_Space : Qt::Key_Down);
    QTest::keyClick(w, Qt::Key_Tab);
    w = QApplication::focusWidget();
  } while (w && w != first && f->isAncestorOf(w));
  press(f->cmdOK());
  EXPECT_EQ(brl.i32(S("Grade2Stat")), 1);
  EXPECT_EQ(brl.i32(S("Grade2Mode")), 3);
  EXPECT_EQ(brl.i32(S("Grade2Lower")), 1);
  EXPECT_TRUE(calls.contains(S("SaveValues")));
}

TEST_F(PresentationDialog, ValuesOfAnotherVersionShowByTheRulesAndChoosingTheUnderlineWrites192) {
  core.store.setValue(S("Braille"), S("CursorMode"), S("17"));
  core.store.setValue(S("Braille"), S("BrailleStyle"), S("7"));
  core.store.setValue(S("Braille"), S("BrailleLineMode"), S("-1"));
  brl.call(S("LoadValues"));
  frmBraille* f = open<frmBraille>("frmBraille");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->cboCursor()->currentText(), S("Unterstrich"));
  EXPECT_EQ(f->cboDots()->currentIndex(), 0) << "7 dots leave the list as it was";
  for (int j = 0; j < 3; ++j) EXPECT_TRUE(f->chkHSpace(j)->isChecked() && f->chkVSpace(j)->isChecked());
  press(f->cboCursor(), Qt::Key_Up);
  EXPECT_EQ(brl.i32(S("CursorMode")), 255);
  press(f->cboCursor(), Qt::Key_Down);
  EXPECT_EQ(brl.i32(S("CursorMode")), 192);
  press(f->lstVSpace(), Qt::Key_Space);
  EXPECT_EQ(brl.i32(S("BrailleLineMode")), ~0x1000);
}

TEST_F(PresentationDialog, ABlankBoxCheckedAndClearedLeavesNoChangeAndForeignBitsStay) {
  constexpr int kForeign = 0x8001;
  brl.set(S("BrailleLineMode"), kForeign | 0x200);
  showByKey();
  command("HCOMPRESSIONDLG");
  auto* f = qobject_cast<frmBraille*>(ChildDialog::find(S("frmBraille")));
  ASSERT_TRUE(f && f->isVisible());
  QListWidget* list = f->lstHSpace();
  ASSERT_EQ(QApplication::focusWidget(), list);
  EXPECT_EQ(list->item(1)->checkState(), Qt::Checked);
  EXPECT_EQ(list->item(0)->text(), f->chkHSpace(0)->text());
  QTest::keyClick(list, Qt::Key_Space);
  EXPECT_EQ(brl.i32(S("BrailleLineMode")), kForeign | 0x300);
  EXPECT_TRUE(f->changed());
  QTest::keyClick(list, Qt::Key_Space);
  EXPECT_EQ(brl.i32(S("BrailleLineMode")), kForeign | 0x200);
  EXPECT_FALSE(f->changed());
  QTest::keyClick(list, Qt::Key_Down);
  QTest::keyClick(list, Qt::Key_Space);
  EXPECT_EQ(brl.i32(S("BrailleLineMode")), kForeign);
  EXPECT_FALSE(f->chkHSpace(1)->isChecked());
  press(f->cmdOK());
  EXPECT_EQ(core.store.value(S("Braille"), S("BrailleLineMode"), QString()), QString::number(kForeign));
  command("VCOMPRESSIONDLG");  // the blank line command focuses the blank line list
  ASSERT_TRUE(f->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), f->lstVSpace());
}

TEST_F(PresentationDialog, ThePreviewFollowsEveryChange) {
  brl.set(S("BrailleStyle"), 8);
  brl.set(S("CursorMode"), 0);
  frmBraille* f = open<frmBraille>("frmBraille");
  ASSERT_NE(f, nullptr);
  const QString plain = f->preview()->text();
  ASSERT_FALSE(plain.isEmpty());
  EXPECT_NE(plain[0], QChar(0x28FF));
  choose(f->cboCursor(), S("Vollzeichen"));  // the cursor stands on the first cell: all 8 dots
  EXPECT_EQ(f->preview()->text()[0], QChar(0x28FF));
  EXPECT_EQ(f->preview()->text().mid(1), plain.mid(1));
}

TEST_F(PresentationDialog, IsAccessible) {
  brl.set(S("BrailleLineMode"), 0x100);
  auto f = alone<frmBraille>("frmBraille");
  ASSERT_NE(f, nullptr);
  EXPECT_ACCESSIBLE(f.get());
  // The list says its label, its current entry and the entry's state.
  f->lstHSpace()->setCurrentRow(1);
  EXPECT_EQ(f->lstHSpace()->accessibleName(), S("Leerzeichen anzeigen: Leerzeichen in der Zeilenmitte, ausgeblendet"));
}

}  // namespace
}  // namespace jex::test
