// Enter on buttons, the speech menu's switch, and help files, documents and links, which open
// through the desktop's opener and only from inside the help folder.
#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QUrl>

#include "dialogs/boxes/frmmsgex.h"
#include "platform/opener.h"
#include "tests/app/mainwindow/mainwindow_fixture.h"

namespace jex::test {
namespace {

class EnterKey : public MainWindow, public ::testing::WithParamInterface<Qt::Key> {};

TEST_P(EnterKey, OpensTheFocusedMenuButtonsMenuAndPressesTheFocusedButtonOfADialogAndOfABox) {
  showByKey();
  key(Qt::Key_E);
  key(GetParam());
  QMenu* extras = mdi->mnuExtras();
  ASSERT_TRUE(QTest::qWaitFor([&] { return extras->isVisible(); }, 1000));
  extras->close();
  auto* apply = new QPushButton(S("Anwenden"), options.get());
  int pressed = 0;
  QObject::connect(apply, &QPushButton::clicked, [&] { ++pressed; });
  ASSERT_TRUE(mdi->showChild(*options));
  apply->setFocus();
  key(GetParam());
  EXPECT_EQ(pressed, 1);
  // In a box the focused button wins over the default one.
  AnswerBox answer([&](QWidget* box) {
    QPushButton* no = dynamic_cast<frmMsgEx&>(*box).button(1);
    no->setFocus();
    QTest::keyClick(no, GetParam());
  });
  EXPECT_EQ(MsgBoxEx(S("Weiter?"), 2), msgbox::No);
}

INSTANTIATE_TEST_SUITE_P(ReturnAndKeypad, EnterKey, ::testing::Values(Qt::Key_Return, Qt::Key_Enter));

TEST_F(MainWindow, SpeechEntryShowsAndSwitchesTheCoresSpeech) {
  QAction* active = mdi->menuEntry(S("mnuSpeechActive"));
  QMenu* speech = mdi->menu(S("mnuSpeech"));
  core.setUseSpeech(false);  // switched off with a key meanwhile
  emit speech->aboutToShow();
  EXPECT_FALSE(active->isChecked());
  active->trigger();
  EXPECT_TRUE(core.useSpeech());
  EXPECT_TRUE(active->isChecked());
  active->trigger();
  EXPECT_FALSE(core.useSpeech());
  EXPECT_EQ(count(S("!!! ERROR")), 0);
}

struct Opened : platform::DesktopOpener {
  bool open(const QUrl& url) override { return urls << url, true; }
  QList<QUrl> urls;
};

class OpeningFiles : public MainWindow {
 protected:
  void SetUp() override {
    MainWindow::SetUp();
    platform::setDesktopOpener(&opened);
    intro = file(S("HELP/1031/Intro.htm"));
    tool = file(S("bin/tool"));
    QFile::setPermissions(tool, QFile::permissions(tool) | QFile::ExeOwner);
  }
  void TearDown() override {
    platform::setDesktopOpener(nullptr);
    MainWindow::TearDown();
  }
  QString file(const QString& relative) {
    const QString path = dir.filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    writeFile(path, "#!/bin/sh\ntouch ran\n");
    return path;
  }
  Opened opened;
  QString intro, tool;
};

TEST_F(OpeningFiles, HelpNamesAndTheManualResolveInTheHelpFolderWithoutRegardToCase) {
  mdi->HandleCmd(S("xUI_HELP:intro.HTM"));
  const QString manual = file(S("HELP/1031/handbuch.html"));
  languageFile("[Global]\r\nHelpFile=Handbuch.html\r\n");
  mdi->menuEntry(S("mnuHelpBook"))->trigger();
  EXPECT_EQ(opened.urls, (QList<QUrl>{QUrl::fromLocalFile(intro), QUrl::fromLocalFile(manual)}));
  EXPECT_EQ(count(S("!!! ERROR")), 0);
}

class RefusedHelpName : public OpeningFiles, public ::testing::WithParamInterface<const char*> {};

TEST_P(RefusedHelpName, OpensNothingAndLogsWhy) {
  file(S("secret.txt"));
  mdi->HandleCmd(S("UI_HELP:") + QString::fromUtf8(GetParam()));
  EXPECT_TRUE(opened.urls.isEmpty());
  EXPECT_EQ(count(S("!!! ERROR")), 1);
}

INSTANTIATE_TEST_SUITE_P(OutsideOrEmpty, RefusedHelpName,
                         ::testing::Values("../../secret.txt", "..\\..\\secret.txt", "..", "/etc/passwd",
                                           "1031/Intro.htm", "C:Intro.htm", "", "missing.htm"));

TEST_F(OpeningFiles, DocumentsAndLinksGoToTheDesktopAndNothingIsRun) {
  for (const QString& name : {tool, S("https://example.org/a?b=1"), S("tool"), QString(), S("javascript:alert(1)")})
    mdi->HandleCmd(S("UI_OPEN:") + name);
  EXPECT_EQ(opened.urls, (QList<QUrl>{QUrl::fromLocalFile(tool), QUrl(S("https://example.org/a?b=1"))}));
  EXPECT_EQ(count(S("!!! ERROR")), 3) << "a relative name, an empty one and a script link";
}

}  // namespace
}  // namespace jex::test
