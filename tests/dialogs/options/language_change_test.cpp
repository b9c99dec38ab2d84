// The interface language chosen in frmOptions, in the main window over the stand-in core with
// the shipped language files: a language of the same writing direction re-captions every loaded
// form at once, one of the other direction has the core bring JexUI up again and JexUI quit.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QTabBar>

#include "app/frmmdi.h"
#include "dialogs/options/frmoptions.h"
#include "dialogs/speech/frmkeyecho.h"
#include "localisation/frmlocalizer.h"
#include "tests/support/dialogtest.h"
#include "tests/support/text.h"

namespace jex::test {
namespace {

class LanguageChange : public DialogTest {
 protected:
  frmOptions* open() { return DialogTest::open<frmOptions>("frmOptions"); }
  void ok(frmOptions* f) { press(f->cmdOK(), Qt::Key_Return); }
};

// The same direction: every loaded form speaks the new language at once, the core too.
TEST_F(LanguageChange, ALanguageOfTheSameDirectionRecaptionsEveryLoadedForm) {
  auto* echo = DialogTest::open<frmKeyecho>("frmKeyecho");
  ASSERT_NE(echo, nullptr);
  EXPECT_EQ(echo->chkKeyEcho()->text(), S("&Tastenecho aktiv"));
  frmOptions* f = open();
  ASSERT_NE(f, nullptr);
  choose(f->cboLanguage(), S("English"));
  ok(f);
  EXPECT_EQ(frmLocalizer().LNG(), S("1033"));
  EXPECT_EQ(stored(S("General"), S("DefaultLng")), S("1033"));
  EXPECT_EQ(echo->chkKeyEcho()->text(), S("&Key echo on"));
  EXPECT_EQ(f->lblTitle()->text(), S("Options"));
  EXPECT_EQ(f->tabOptions()->tabText(0), S("&General"));
  EXPECT_EQ(mdi->menuEntry(S("mnuExtrasOptions"))->text().isEmpty(), false);
  EXPECT_NE(mdi->menuEntry(S("mnuExtrasOptions"))->text(), S("&Optionen..."));
  ASSERT_TRUE(drained());
  EXPECT_EQ(quits, 0);
  EXPECT_FALSE(core.queued.contains(S("UI_RELOAD")));
}

// The other direction: the core is asked to bring JexUI up again, and JexUI quits.
TEST_F(LanguageChange, ALanguageOfTheOtherDirectionReloadsThroughTheCore) {
  corvane::copyTreeKeepExisting(S(JEX_SOURCE_DIR "/tests/data/lng/LNG/1037"), appPath() + S("LNG/1037"));
  frmOptions* f = open();
  ASSERT_NE(f, nullptr);
  const int hebrew = f->cboLanguage()->findData(1037);
  ASSERT_GE(hebrew, 0);
  choose(f->cboLanguage(), f->cboLanguage()->itemText(hebrew));
  ok(f);
  ASSERT_TRUE(QTest::qWaitFor([&] { return quits == 1; }, 5000));
  QStringList expected(10, S("DELAYPROCESSING"));
  expected << S("UI_RELOAD");
  EXPECT_EQ(core.queued.mid(core.queued.size() - 11), expected);
  EXPECT_EQ(stored(S("General"), S("DefaultLng")), S("1037"));
  EXPECT_EQ(frmLocalizer().LNG(), S("1031")) << "this program is not localised any more, it ends";
  EXPECT_TRUE(logged(S("QUIT")));
}

}  // namespace
}  // namespace jex::test
