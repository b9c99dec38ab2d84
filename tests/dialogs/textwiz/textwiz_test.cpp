// The text window in the main window over the stand-in core and the program's own clipboard
// (offscreen): the clipboard's text, a script's text, the copy request and its time limit,
// reading on the core's announcement, saving; and the clipboard watchers.
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextEdit>

#include "app/scripting/funcs.h"
#include "dialogs/textwiz/frmtextwiz.h"
#include "global/cnotifysink.h"
#include "platform/clipboardviewer.h"
#include "tests/support/dialogtest.h"
#include "tests/support/text.h"
#include "users/cuser.h"

namespace jex::test {
namespace {

class TextWiz : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    clipboard()->clear();
    showByKey();
  }
  void TearDown() override {
    frmTextWiz::setFileChooser({});
    DialogTest::TearDown();
  }
  static QClipboard* clipboard() { return QGuiApplication::clipboard(); }
  frmTextWiz* wiz() const { return qobject_cast<frmTextWiz*>(ChildDialog::find(S("frmTextWiz"))); }
  bool shows() const { return wiz() && wiz()->isVisible(); }
  // The form as the service loads it (hidden), to make a request on.
  frmTextWiz* loaded() { return qobject_cast<frmTextWiz*>(forms::load(S("frmTextWiz"))); }
  QString offer(const char* command) { return core.hub.offerCommand(QString::fromLatin1(command)); }
  int readRequests() const { return int(core.queued.count(S("READEDITCUR"))); }
};

TEST_F(TextWiz, ShowsTheClipboardsTextFocusedAndNothingForAnImage) {
  clipboard()->setText(S("Grüße aus der Zwischenablage\nzweite Zeile"));
  command("EDITCLIPBOARD");
  ASSERT_TRUE(shows());
  EXPECT_EQ(wiz()->text()->toPlainText(), S("Grüße aus der Zwischenablage\nzweite Zeile"));
  EXPECT_EQ(QApplication::focusWidget(), wiz()->text());
  EXPECT_EQ(wiz()->text()->textCursor().position(), 0);
  EXPECT_EQ(wiz()->lblTitle()->text(), S("TextWizard"));

  QImage image(4, 4, QImage::Format_RGB32);
  image.fill(Qt::red);
  clipboard()->setImage(image);
  command("EDITCLIPBOARD");
  EXPECT_TRUE(shows());
  EXPECT_TRUE(wiz()->text()->toPlainText().isEmpty());
  clipboard()->clear();
  command("EDITCLIPBOARD");
  EXPECT_TRUE(wiz()->text()->toPlainText().isEmpty());
}

TEST_F(TextWiz, AChangeNobodyAskedForOrOneTooLateShowsNothing) {
  frmTextWiz* f = loaded();
  ASSERT_NE(f, nullptr);
  clipboard()->setText(S("von einem anderen Programm"));
  ASSERT_TRUE(drained());
  EXPECT_FALSE(shows());

  gGlobal().ClipTimeOut = 20;
  f->noteCopyRequest();
  QTest::qWait(60);
  clipboard()->setText(S("zu spät"));
  ASSERT_TRUE(drained());
  EXPECT_FALSE(shows());
  EXPECT_FALSE(f->copyPending()) << "a late change ends the request";
  EXPECT_TRUE(logged(S("m_ClipViewer_ClipboardChanged, tDiff: ")));

  gGlobal().ClipTimeOut = 300;
  f->noteCopyRequest();
  clipboard()->setText(S("rechtzeitig kopiert"));
  ASSERT_TRUE(drained());
  ASSERT_TRUE(shows());
  EXPECT_EQ(wiz()->text()->toPlainText(), S("rechtzeitig kopiert"));
  EXPECT_TRUE(logged(S("iAdd2MyCmdQ: EDITCLIPBOARD")));
}

TEST_F(TextWiz, ScriptTextIsReadAtOnceWithAutoReadAndClosedWithAutoClose) {
  gGlobal().UserProfile->setAutoRead(0);
  Funcs().ShowText(S("Text vom Skript"), false, false);
  ASSERT_TRUE(shows());
  EXPECT_EQ(wiz()->text()->toPlainText(), S("Text vom Skript"));
  EXPECT_EQ(readRequests(), 0);
  key(Qt::Key_Escape);
  ASSERT_FALSE(shows());

  const int before = readRequests();
  showByKey();
  Funcs().ShowText(S("vorlesen"), true, true);
  ASSERT_TRUE(shows());
  EXPECT_EQ(readRequests(), before + 1) << "AutoRead reads whatever the user's setting";
  emit static_cast<ChildHost*>(mdi.get())->notificationSink()->UILostFocusEvent();
  EXPECT_FALSE(shows()) << "AutoClose closes when JexUI loses the focus";
}

TEST_F(TextWiz, TheAnnouncementReadsOnlySoonAfterTheTextWasShown) {
  gGlobal().UserProfile->setAutoRead(1);
  clipboard()->setText(S("etwas"));
  command("EDITCLIPBOARD");
  ASSERT_TRUE(shows());
  EXPECT_EQ(offer("NEWFGWINREAD"), S("NEWFGWINREAD")) << "too soon: the core reads the window";
  QTest::qWait(int(frmTextWiz::kReadAfterMs) + 50);
  const int before = readRequests();
  EXPECT_EQ(offer("NEWFGWINREAD"), QString());
  EXPECT_EQ(readRequests(), before + 1);
  QTest::qWait(int(frmTextWiz::kReadBeforeMs));
  EXPECT_EQ(offer("NEWFGWINREAD"), S("NEWFGWINREAD"));
}

TEST_F(TextWiz, TheTextCanBeEditedWithTheKeyboard) {
  Funcs().ShowText(S("ab"), false, false);
  ASSERT_TRUE(shows());
  QTextEdit* t = wiz()->text();
  QTest::keyClick(t, Qt::Key_End);
  QTest::keyClicks(t, S(" cd"));
  QTest::keyClick(t, Qt::Key_Return);
  QTest::keyClicks(t, S("ef"));
  EXPECT_EQ(t->toPlainText(), S("ab cd\nef"));
  EXPECT_TRUE(shows()) << "Enter in the text pressed a button";
}

class Saving : public TextWiz {
 protected:
  void SetUp() override {
    TextWiz::SetUp();
    Funcs().ShowText(S("Grüße\nZeile 2"), false, false);
    ASSERT_TRUE(shows());
  }
  QPushButton* cmdSave() const { return wiz()->findChild<QPushButton*>(S("cmdSave")); }
};

TEST_F(Saving, WritesTheTextAsUtf8ToTheChosenFile) {
  const QString file = appPath() + S("gespeichert.txt");
  writeFile(file, "alter Inhalt");
  frmTextWiz::setFileChooser([&](QWidget*) { return file; });
  press(cmdSave(), Qt::Key_Space);
  EXPECT_EQ(readFile(file), S("Grüße\nZeile 2"));
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), QByteArray("Gr\xc3\xbc\xc3\x9f"
                                    "e\nZeile 2"));
  EXPECT_TRUE(shows());
}

TEST_F(Saving, ACancelledChoiceWritesNothing) {
  const Files before = files();
  frmTextWiz::setFileChooser([](QWidget*) { return QString(); });
  press(cmdSave(), Qt::Key_Space);
  EXPECT_EQ(changedSince(before), QStringList());
}

// A folder that is not there (a read-only one is written by root all the same): a message, the
// text kept, the window open.
TEST_F(Saving, AFolderThatCannotBeWrittenGivesAMessageAndKeepsTheText) {
  frmTextWiz::setFileChooser([&](QWidget*) { return appPath() + S("no/such/folder/x.txt"); });
  AnswerBox ok(Qt::Key_Return);
  press(cmdSave(), Qt::Key_Space);
  EXPECT_EQ(ok.asked, 1);
  EXPECT_EQ(wiz()->text()->toPlainText(), S("Grüße\nZeile 2"));
  EXPECT_TRUE(shows());
  EXPECT_TRUE(logged(S("!!! ERROR frmTextWiz: cannot save")));
}

TEST(ClipboardViewers, BothHearAChangeAndStoppingOneLeavesTheOther) {
  platform::cClipboardViewer first, second;
  QWidget window;
  first.InitClipboardChangeNotification(&window);
  second.InitClipboardChangeNotification(&window);
  QSignalSpy heardFirst(&first, &platform::cClipboardViewer::ClipboardChanged);
  QSignalSpy heardSecond(&second, &platform::cClipboardViewer::ClipboardChanged);
  QGuiApplication::clipboard()->setText(S("eins"));
  EXPECT_EQ(heardFirst.size(), 1);
  EXPECT_EQ(heardSecond.size(), 1);
  first.StopClipboardChangeNotification();
  EXPECT_FALSE(first.active());
  QGuiApplication::clipboard()->setText(S("zwei"));
  EXPECT_EQ(heardFirst.size(), 1);
  EXPECT_EQ(heardSecond.size(), 2);
  EXPECT_EQ(platform::cClipboardViewer::text(), S("zwei"));
  // The selection of the mouse is no clipboard change.
  if (QGuiApplication::clipboard()->supportsSelection()) {
    QGuiApplication::clipboard()->setText(S("markiert"), QClipboard::Selection);
    EXPECT_EQ(heardSecond.size(), 2);
  }
}

}  // namespace
}  // namespace jex::test
