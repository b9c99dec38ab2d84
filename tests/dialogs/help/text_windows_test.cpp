// The help, read-me and about windows in the main window over the stand-in core, driven by the
// keyboard: help at the control the user is on, reading on request and on the core's
// announcement, the user's AutoRead, the character echo while the windows show.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTextEdit>

#include "dialogs/about/frmabout.h"
#include "dialogs/help/frmhelp.h"
#include "dialogs/help/frmreadme.h"
#include "dialogs/speech/frmkeyecho.h"
#include "platform/opener.h"
#include "tests/support/accessibility.h"
#include "tests/support/dialogtest.h"
#include "tests/support/text.h"
#include "users/cuser.h"

namespace jex::test {
namespace {

// The help of the key echo dialog with a marker before the text of each of two controls.
constexpr const char* kKeyechoHelp =
    "{\\rtf1\\ansi Tastenecho\\par //[chkKeyEcho]//\\par Schaltet das Echo ein.\\par "
    "//[cboCharEcho]//\\par Was beim Tippen gesprochen wird.\\par}";

class TextWindows : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    echo = root.obj(S("KeyEcho"));
    ASSERT_TRUE(QDir().mkpath(appPath() + S("Help/1031")));
    writeFile(appPath() + S("Help/1031/frmKeyecho.rtf"), kKeyechoHelp);
  }
  frmHelp* help() const { return qobject_cast<frmHelp*>(ChildDialog::find(S("frmHelp"))); }
  bool helpShows() const { return help() && help()->isVisible(); }
  // The help window came up in front (a window of its own is activated by the window system).
  bool helpInFront() const { return helpShows() && QTest::qWaitForWindowActive(help()); }
  // Escape in the help, and the main window in front again.
  void closeHelp() {
    key(Qt::Key_Escape);
    EXPECT_FALSE(helpShows());
    EXPECT_TRUE(QTest::qWaitForWindowActive(mdi.get()));
  }
  // The core offers a command to JexUI; what comes back.
  QString offer(const char* command) { return core.hub.offerCommand(QString::fromLatin1(command)); }
  int readRequests() const { return int(core.queued.count(S("READEDITCUR"))); }
  static int caret(QTextEdit* t) { return t->textCursor().position(); }
  static int at(QTextEdit* t, const char* text) { return int(t->toPlainText().indexOf(S(text))); }
  cUser& user() { return *gGlobal().UserProfile; }

  Obj echo;
};

TEST_F(TextWindows, HilfeOpensAtTheSecondOfTwoMarkedControlsWithBothMarkersGone) {
  auto* f = open<frmKeyecho>("frmKeyecho");
  ASSERT_NE(f, nullptr);
  f->cboCharEcho()->setFocus();
  press(f->cmdHelp(), Qt::Key_Space);
  ASSERT_TRUE(helpInFront());
  QTextEdit* t = help()->text();
  EXPECT_FALSE(t->toPlainText().contains(S("//")));
  EXPECT_FALSE(t->toPlainText().contains(S("[")));
  EXPECT_EQ(caret(t), at(t, "Was beim Tippen"));
  EXPECT_EQ(help()->readingStart(), caret(t));
  EXPECT_EQ(QApplication::focusWidget(), t);
  EXPECT_TRUE(help()->isWindow());
  EXPECT_EQ(help()->windowModality(), Qt::ApplicationModal);

  const int before = readRequests();
  key(Qt::Key_Escape);
  EXPECT_FALSE(helpShows());
  EXPECT_TRUE(f->isVisible()) << "closing the help closed the dialog under it";
  QTest::qWait(20);
  EXPECT_EQ(readRequests(), before) << "the focus stays in JexUI: the reader says it, no field is read";
}

TEST_F(TextWindows, TheCoresHelpKeyOpensTheHelpOfTheFocusedControlOnlyWhileJexUIIsInFront) {
  auto* f = open<frmKeyecho>("frmKeyecho");
  ASSERT_NE(f, nullptr);
  f->chkKeyEcho()->setFocus();
  core.foreground = S("WINWORD");
  EXPECT_EQ(offer("HELP"), S("HELP")) << "the core's own help runs in another program";
  ASSERT_TRUE(drained());
  EXPECT_FALSE(helpShows());

  core.foreground = S("JEXUI");
  EXPECT_EQ(offer("HELP"), QString());
  ASSERT_TRUE(drained());
  ASSERT_TRUE(helpInFront());
  EXPECT_EQ(caret(help()->text()), at(help()->text(), "Schaltet"));
  // A second help key while the help shows does not open it again at another place.
  help()->text()->moveCursor(QTextCursor::End);
  const int end = caret(help()->text());
  EXPECT_EQ(offer("HELP"), QString());
  ASSERT_TRUE(drained());
  EXPECT_EQ(caret(help()->text()), end);
}

TEST_F(TextWindows, HelpFromTheMenuAndForAControlWithoutMarkerOrWithoutFile) {
  auto* f = open<frmKeyecho>("frmKeyecho");
  ASSERT_NE(f, nullptr);
  f->txtTry()->setFocus();  // no marker: the help opens at its beginning
  mdi->menuEntry(S("mnuHelpDirect"))->trigger();
  ASSERT_TRUE(helpInFront());
  EXPECT_EQ(caret(help()->text()), 0);
  EXPECT_TRUE(help()->text()->toPlainText().startsWith(S("Tastenecho")));
  closeHelp();

  QFile::remove(appPath() + S("Help/1031/frmKeyecho.rtf"));
  press(f->cmdHelp(), Qt::Key_Space);
  ASSERT_TRUE(helpInFront());
  EXPECT_TRUE(help()->text()->toPlainText().isEmpty());
  closeHelp();

  // A binary file with the right name shows whatever text it has, and nothing breaks.
  QByteArray junk("{\\rtf1 ");
  for (int i = 0; i < 4096; ++i) junk.append(char((i * 7919) & 0xff));
  writeFile(appPath() + S("Help/1031/frmKeyecho.rtf"), junk);
  press(f->cmdHelp(), Qt::Key_Space);
  ASSERT_TRUE(helpInFront());
  closeHelp();
}

TEST_F(TextWindows, WithAutoReadZeroTheHelpOpensSilentlyAndTickingTheBoxWritesOneAtOnce) {
  user().setAutoRead(0);
  auto* f = open<frmKeyecho>("frmKeyecho");
  ASSERT_NE(f, nullptr);
  f->cboCharEcho()->setFocus();
  press(f->cmdHelp(), Qt::Key_Space);
  ASSERT_TRUE(helpInFront());
  const int before = readRequests();
  EXPECT_FALSE(help()->chkAutoSpeak()->isChecked());
  EXPECT_EQ(offer("NEWFGWINREAD"), S("NEWFGWINREAD")) << "the core reads the window as any other";
  EXPECT_EQ(readRequests(), before);

  press(help()->chkAutoSpeak(), Qt::Key_Space);
  EXPECT_EQ(user().AutoRead(), 1);
  EXPECT_TRUE(readFile(userDir() + S("USERSET.INI")).contains(S("AutoRead=1")));
  EXPECT_TRUE(helpShows()) << "ticking the box closed the window";

  // Now the help reads itself from the control's part: the core's reading is emptied.
  help()->text()->moveCursor(QTextCursor::End);
  core.reports.clear();
  EXPECT_EQ(offer("NEWFGWINREAD"), QString());
  EXPECT_EQ(readRequests(), before + 1);
  EXPECT_TRUE(core.reports.contains(S("STOP")));
  EXPECT_EQ(caret(help()->text()), help()->readingStart());
}

TEST_F(TextWindows, EnterAndSpaceReadFromTheCaretAndTypingChangesNothing) {
  auto* f = open<frmKeyecho>("frmKeyecho");
  ASSERT_NE(f, nullptr);
  press(f->cmdHelp(), Qt::Key_Space);
  ASSERT_TRUE(helpInFront());
  QTextEdit* t = help()->text();
  const QString text = t->toPlainText();
  const int before = readRequests();
  QTest::keyClick(t, Qt::Key_Return);
  QTest::keyClick(t, Qt::Key_Space);
  EXPECT_EQ(readRequests(), before + 2);
  EXPECT_TRUE(helpShows()) << "Enter in the text pressed the window's button";
  QTest::keyClicks(t, S("xyz"));
  QTest::keyClick(t, Qt::Key_Delete);
  QTest::keyClick(t, Qt::Key_Backspace);
  EXPECT_EQ(t->toPlainText(), text);
  QTest::keyClick(t, Qt::Key_Down);  // the caret still moves
  EXPECT_GT(caret(t), 0);

  // Enter on the box moves to the text and reads.
  help()->chkAutoSpeak()->setFocus();
  QTest::keyClick(help()->chkAutoSpeak(), Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), t);
  EXPECT_EQ(readRequests(), before + 3);
}

class ReadMe : public TextWindows {
 protected:
  void SetUp() override {
    TextWindows::SetUp();
    writeFile(appPath() + S("Help/1031/NOTEPAD.TXT"), "Editor Hinweise\nErste Zeile\nZweite Zeile\n");
  }
  frmReadMe* read() {
    gGlobal().OldTask = S("NOTEPAD");
    showByKey();
    command("UI_SHOWREADME");
    auto* f = qobject_cast<frmReadMe*>(ChildDialog::find(S("frmReadMe")));
    return f && f->isVisible() ? f : nullptr;
  }
};

TEST_F(ReadMe, TheFirstLineIsTheTitle) {
  frmReadMe* f = read();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->lblTitle()->text(), S("Editor Hinweise"));
  EXPECT_TRUE(f->text()->toPlainText().startsWith(S("Erste Zeile")));
  EXPECT_EQ(QApplication::focusWidget(), f->text());
  EXPECT_EQ(caret(f->text()), 0);
  EXPECT_TRUE(core.reports.contains(S("STOP")));

  // Closed, the main window goes with it (the user came from another program), whose field the
  // core reads.
  core.reports.clear();
  gGlobal().LastForeApp = S("NOTEPAD");  // where the user came from
  key(Qt::Key_Escape);
  EXPECT_FALSE(f->isVisible());
  EXPECT_FALSE(mdi->isVisible());
  EXPECT_TRUE(QTest::qWaitFor([&] { return readRequests() == 1; }, 2000)) << "the field is not read again";
  EXPECT_TRUE(core.reports.contains(S("STOP")));
}

TEST_F(ReadMe, TheAnnouncementIsReadOnlySoonAfterOpening) {
  frmReadMe* f = read();
  ASSERT_NE(f, nullptr);
  QTest::qWait(int(frmReadMe::kReadAfterMs) + 50);
  EXPECT_EQ(offer("NEWFGWINREAD"), S("READEDITCUR"));
  QTest::qWait(int(frmReadMe::kReadBeforeMs));
  EXPECT_EQ(offer("NEWFGWINREAD"), S("NEWFGWINREAD")) << "read again long after the opening";
}

TEST_F(ReadMe, CharacterEchoIsOffWhileItShowsAndBackAfterCancel) {
  echo.set(S("CharEcho"), 2);
  frmReadMe* f = read();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(echo.i32(S("CharEcho")), 0);
  // Another activation (the user comes back from another window) keeps the saved value.
  QWidget other;
  other.show();
  other.activateWindow();
  (void)QTest::qWaitForWindowActive(&other);
  mdi->activateWindow();
  (void)QTest::qWaitForWindowActive(mdi.get());
  other.hide();
  EXPECT_EQ(f->savedCharEcho().value_or(-1), 2);
  f->text()->setFocus();
  key(Qt::Key_Escape);
  EXPECT_FALSE(f->isVisible());
  EXPECT_EQ(echo.i32(S("CharEcho")), 2);

  // The help window too.
  auto* k = open<frmKeyecho>("frmKeyecho");
  ASSERT_NE(k, nullptr);
  press(k->cmdHelp(), Qt::Key_Space);
  ASSERT_TRUE(helpInFront());
  EXPECT_EQ(echo.i32(S("CharEcho")), 0);
  press(help()->cmdClose(), Qt::Key_Space);
  EXPECT_FALSE(helpShows());
  EXPECT_EQ(echo.i32(S("CharEcho")), 2);
}

TEST_F(ReadMe, AMissingFileShowsAnEmptyTextNamedByTheFile) {
  gGlobal().OldTask = S("NOSUCHAPP");
  showByKey();
  command("UI_SHOWREADME");
  auto* f = qobject_cast<frmReadMe*>(ChildDialog::find(S("frmReadMe")));
  ASSERT_TRUE(f && f->isVisible());
  EXPECT_TRUE(f->text()->toPlainText().isEmpty());
  EXPECT_EQ(f->lblTitle()->text(), S("NOSUCHAPP"));
}

struct Opened : platform::DesktopOpener {
  bool open(const QUrl& url) override {
    urls << url;
    return true;
  }
  QList<QUrl> urls;
};

TEST_F(TextWindows, AboutShowsTheInformationAndTheSupportMailCarriesTheReport) {
  Opened opened;
  platform::setDesktopOpener(&opened);
  showByKey();
  mdi->menuEntry(S("mnuHelpInfo"))->trigger();
  auto* f = qobject_cast<frmAbout*>(ChildDialog::find(S("frmAbout")));
  ASSERT_TRUE(f && f->isVisible() && QTest::qWaitForWindowActive(f));
  const QString info = f->rtfInfo()->toPlainText();
  EXPECT_TRUE(info.contains(S("Willkommen bei JexUI")));
  EXPECT_TRUE(info.contains(
      QStringLiteral("Version %1.%2.%3").arg(JEX_VERSION_MAJOR).arg(JEX_VERSION_MINOR).arg(JEX_VERSION_REVISION)));
  EXPECT_TRUE(info.contains(S("JexUI: "))) << "the report's first lines";
  EXPECT_EQ(QApplication::focusWidget(), f->rtfInfo());

  press(f->findChild<QPushButton*>(S("cmdSupport")), Qt::Key_Space);
  ASSERT_EQ(opened.urls.size(), 1);
  const QUrl mail = opened.urls.first();
  EXPECT_EQ(mail.scheme(), S("mailto"));
  EXPECT_EQ(mail.path(), S("support@example.org"));
  EXPECT_TRUE(mail.query(QUrl::FullyDecoded).contains(S("JexUI: ")));
  mdi->menuEntry(S("mnuHelpEmail"))->trigger();
  EXPECT_EQ(opened.urls.size(), 2);

  f->rtfInfo()->setFocus();
  key(Qt::Key_Escape);
  EXPECT_FALSE(f->isVisible());
  platform::setDesktopOpener(nullptr);
}

TEST(SupportMail, EncodesWhatTheReportHolds) {
  const QUrl url = frmAbout::supportMailUrl(S("a@b.org"), S("Halda 4.10 & more"), S("line 1\r\nx=1&y=2#z"));
  EXPECT_TRUE(url.isValid());
  const QString q = url.query(QUrl::FullyEncoded);
  EXPECT_FALSE(q.contains(u'#'));
  EXPECT_EQ(q.count(u'&'), 1);
  EXPECT_TRUE(url.toString(QUrl::FullyEncoded).startsWith(S("mailto:a@b.org?subject=")));
}

}  // namespace
}  // namespace jex::test
