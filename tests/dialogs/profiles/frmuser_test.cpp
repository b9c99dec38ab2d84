// frmUser in the main window over the stand-in core, driven by the keyboard: the user operations
// from the main window's user menu with the program's own boxes answered by keys, export and
// import through a file chooser that names a path, the close check, and the values shown.
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>

#include "dialogs/boxes/frminputbox.h"
#include "dialogs/boxes/frmmsgex.h"
#include "dialogs/profiles/frmuser.h"
#include "tests/dialogs/profiles/profiles_support.h"
#include "tests/support/accessibility.h"
#include "tests/support/dialogtest.h"
#include "users/cuser.h"

namespace jex::test {
namespace {

class UserDialog : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    frmUser::setFileChooser([this](QWidget*, bool save, const QString& suggested) {
      chosen << (save ? QStringLiteral("save ") : QStringLiteral("open ")) + suggested;
      return archive;
    });
  }
  void TearDown() override {
    frmUser::setFileChooser({});
    DialogTest::TearDown();
  }
  frmUser* openUser() { return open<frmUser>("frmUser"); }
  // A user menu entry of the main window, chosen while the dialog is the active child.
  void menu(const char* entry) {
    QAction* a = mdi->menuEntry(QLatin1String(entry));
    ASSERT_NE(a, nullptr) << entry;
    a->trigger();
  }
  QString coreUser() const { return Jex().str(QStringLiteral("proc.GetUsers.CurrUser.Name")); }
  QString users() const { return appPath() + QStringLiteral("user/"); }
  QStringList listed(frmUser* f) const {
    QStringList names;
    for (int i = 0; i < f->cboUser()->count(); ++i) names << f->cboUser()->itemText(i);
    return names;
  }

  // The value name of the core's MixedSettings, live and as stored in corvane.ini.
  int state(const char* name) const { return Jex().i32(QStringLiteral("MixedSettings.") + QLatin1String(name)); }
  QString storedState(const char* name) const { return stored(QStringLiteral("MIXED"), QLatin1String(name)); }

  QString archive = appPath() + QStringLiteral("anna.zip");
  QStringList chosen;
};

// Answers each box in turn: types text into an input box (then Enter), or presses a key on a
// question; records what each box said.
struct Answers {
  explicit Answers(QStringList replies)
      : box([this, replies](QWidget* b) {
          const QString reply = replies.value(said.size());
          if (auto* input = dynamic_cast<frmInputBox*>(b)) {
            said << input->nl_Msg()->text() + QStringLiteral(" [") + input->nl_Input()->text() + u']';
            if (reply != u"<default>") {
              input->nl_Input()->selectAll();
              QTest::keyClicks(input->nl_Input(), reply);
            }
            QTest::keyClick(input->nl_Input(), Qt::Key_Return);
          } else if (auto* msg = dynamic_cast<frmMsgEx*>(b)) {
            said << msg->nl_Msg()->text();
            QTest::keyClick(msg->focusWidget() ? msg->focusWidget() : msg, reply == u"yes"  ? Qt::Key_J
                                                                           : reply == u"no" ? Qt::Key_N
                                                                                            : Qt::Key_Return);
          }
        }) {}
  QStringList said;
  AnswerBox box;
};

TEST_F(UserDialog, NewUserAnnaSwitchExportDeleteAndImportAgain) {
  frmUser* f = openUser();
  ASSERT_NE(f, nullptr);
  EXPECT_ACCESSIBLE(f);
  {
    Answers a({QStringLiteral("Bert")});
    menu("mnuUserNew");
    EXPECT_EQ(a.said, QStringList{QStringLiteral("Name für den neuen Benutzer: []")});
  }
  {
    Answers a({QStringLiteral("Anna")});
    menu("mnuUserNew");
  }
  EXPECT_EQ(listed(f), (QStringList{QStringLiteral("Anna"), QStringLiteral("Bert")}));
  EXPECT_EQ(f->cboUser()->currentText(), u"Anna");
  EXPECT_EQ(f->focusWidget(), f->cboUser());
  EXPECT_EQ(coreUser(), u"Anna");  // the new user is chosen, and so the core's current user
  // The user switches with the arrow keys; the core follows at once.
  press(f->cboUser(), Qt::Key_Down);
  EXPECT_EQ(coreUser(), u"Bert");
  EXPECT_EQ(gGlobal().UserProfile->Name(), u"Bert");
  press(f->cboUser(), Qt::Key_Up);
  EXPECT_EQ(coreUser(), u"Anna");
  fake::CoreFixture::writeFile(users() + QStringLiteral("Anna/mine.txt"), "Anna's own");
  const auto anna = profiles_test::snapshot(users() + QStringLiteral("Anna"));

  menu("mnuUserExport");
  EXPECT_EQ(chosen, QStringList{QStringLiteral("save ") + QDir::homePath() + QStringLiteral("/Anna.zip")});
  ASSERT_TRUE(QFileInfo::exists(archive));
  {
    Answers a({QStringLiteral("yes")});
    menu("mnuUserDelete");
    EXPECT_EQ(
        a.said,
        QStringList{QStringLiteral("Anna wirklich löschen ? Diese Aktion kann nicht rückgängig gemacht werden !")});
  }
  EXPECT_EQ(listed(f), QStringList{QStringLiteral("Bert")});
  EXPECT_EQ(coreUser(), u"Bert");
  EXPECT_FALSE(QFileInfo::exists(users() + QStringLiteral("Anna")));
  {
    Answers a({QStringLiteral("<default>")});
    menu("mnuUserImport");
    EXPECT_EQ(a.said, QStringList{QStringLiteral("Name für den importierten Benutzer: [Anna]")});
  }
  EXPECT_EQ(listed(f), (QStringList{QStringLiteral("Anna"), QStringLiteral("Bert")}));
  EXPECT_EQ(profiles_test::snapshot(users() + QStringLiteral("Anna")), anna);
  // Importing it again under the same name is refused.
  {
    Answers a({QStringLiteral("anna"), QString()});
    menu("mnuUserImport");
    EXPECT_EQ(a.said.value(1), u"dieser Benutzer existiert bereits !");
  }
}

TEST_F(UserDialog, BadNamesShowTheErrorAndTouchNothing) {
  frmUser* f = openUser();
  ASSERT_NE(f, nullptr);
  const auto before = profiles_test::snapshot(users());
  for (const char* bad : {"../x", "a/b", "CON", "default", "x."}) {
    Answers a({QString::fromLatin1(bad), QString()});
    menu("mnuUserNew");
    EXPECT_EQ(a.said.value(1), u"Fehler - Name ungültig oder keine Schreibrechte !") << bad;
  }
  EXPECT_EQ(profiles_test::snapshot(users()), before);
  // A copy that fails midway (a full disk) shows the same error and leaves nothing behind.
  f->profiles().setCopyProgress([](int files) { return files < 3; });
  {
    Answers a({QStringLiteral("Voll"), QString()});
    menu("mnuUserNew");
    EXPECT_EQ(a.said.value(1), u"Fehler - Name ungültig oder keine Schreibrechte !");
  }
  f->profiles().setCopyProgress({});
  EXPECT_EQ(profiles_test::snapshot(users()), before);
  EXPECT_TRUE(listed(f).isEmpty());
  // The last user of the list cannot be deleted.
  {
    Answers a({QStringLiteral("Solo")});
    menu("mnuUserNew");
  }
  Answers a({QString()});
  menu("mnuUserDelete");
  EXPECT_EQ(a.said, QStringList{QStringLiteral("Benutzer kann nicht gelöscht werden ! Solo")});
  EXPECT_TRUE(QFileInfo::exists(users() + QStringLiteral("Solo")));
}

TEST_F(UserDialog, RenameOntoAnExistingUserAndOfTheCurrentUser) {
  frmUser* f = openUser();
  ASSERT_NE(f, nullptr);
  for (const char* name : {"Grete", "Hans"}) {
    Answers a({QString::fromLatin1(name)});
    menu("mnuUserNew");
  }
  fake::CoreFixture::writeFile(users() + QStringLiteral("Hans/hans.txt"), "Hans");
  ASSERT_EQ(f->cboUser()->currentText(), u"Hans");
  {
    Answers a({QStringLiteral("grete")});
    menu("mnuUserRename");
    EXPECT_EQ(a.said, QStringList{QStringLiteral("Hans umbenennen nach: []")});
  }
  EXPECT_EQ(listed(f), QStringList{QStringLiteral("Grete")});
  EXPECT_EQ(fake::CoreFixture::readFile(users() + QStringLiteral("Grete/hans.txt")), u"Hans");
  EXPECT_EQ(coreUser(), u"Grete");
  {
    Answers a({QStringLiteral("Margarete")});
    menu("mnuUserRename");
  }
  EXPECT_EQ(listed(f), QStringList{QStringLiteral("Margarete")});
  EXPECT_EQ(coreUser(), u"Margarete");
  EXPECT_EQ(gGlobal().UserProfile->Path(), users() + QStringLiteral("Margarete/"));
}

TEST_F(UserDialog, SettingsGoIntoTheCoreAtOnceAndOkStoresThem) {
  const int speechLong = state("SPCState"), brailleLong = state("BRLState");
  frmUser* f = openUser();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->chkSpeechLong()->isChecked(), speechLong != 0);
  EXPECT_EQ(f->chkBrailleLong()->isChecked(), brailleLong != 0);
  press(f->chkSpeechLong());
  EXPECT_EQ(state("SPCState"), speechLong ? 0 : 1);
  press(f->chkBrailleLong());
  EXPECT_EQ(state("BRLState"), brailleLong ? 0 : 1);
  choose(f->cboNewWindow(), QStringLiteral("Fenster lesen"));
  EXPECT_EQ(state("READState"), 4);
  choose(f->cboNewWindow(), QStringLiteral("nichts vorlesen"));
  EXPECT_EQ(state("READState"), 0);
  choose(f->cboSpeechDef(), QStringLiteral("maximal"));
  EXPECT_EQ(gGlobal().UserProfile->VerbositySpeech(), 3);
  EXPECT_EQ(fake::CoreFixture::readFile(users() + QStringLiteral("DEFAULT/OUTDEF.SPI")),
            fake::CoreFixture::readFile(users() + QStringLiteral("DEFAULT/OUTDEF.SP3")));
  press(f->cmdOK());
  EXPECT_FALSE(f->isVisible());
  EXPECT_EQ(storedState("SPCState"), QString::number(speechLong ? 0 : 1));
  EXPECT_EQ(storedState("READState"), u"0");
  // Shown again as stored.
  f = openUser();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->chkSpeechLong()->isChecked(), speechLong == 0);
  EXPECT_EQ(f->cboNewWindow()->currentText(), u"nichts vorlesen");
  EXPECT_EQ(f->cboSpeechDef()->currentText(), u"maximal");
}

TEST_F(UserDialog, NoTakesTheChangesBackAndAsk2SaveZeroDropsThemUnasked) {
  const int speechLong = state("SPCState"), brailleLong = state("BRLState");
  frmUser* f = openUser();
  ASSERT_NE(f, nullptr);
  press(f->chkSpeechLong());
  choose(f->cboSpeechDef(), QStringLiteral("maximal"));
  {
    Answers a({QStringLiteral("no")});
    press(f->chkSpeechLong(), Qt::Key_Escape);
    EXPECT_EQ(a.said,
              QStringList{QStringLiteral("wollen Sie die Änderungen an den Benutzereinstellungen speichern ?")});
  }
  EXPECT_FALSE(f->isVisible());
  EXPECT_EQ(state("SPCState"), speechLong);
  EXPECT_EQ(gGlobal().UserProfile->VerbositySpeech(), 1);
  EXPECT_EQ(fake::CoreFixture::readFile(users() + QStringLiteral("DEFAULT/OUTDEF.SPI")),
            fake::CoreFixture::readFile(users() + QStringLiteral("DEFAULT/OUTDEF.SP1")));
  // Without the question: the answer is No, unasked.
  gGlobal().UserProfile->setAsk2Save(0);
  f = openUser();
  ASSERT_NE(f, nullptr);
  press(f->chkBrailleLong());
  Answers none({});
  press(f->chkBrailleLong(), Qt::Key_Escape);
  EXPECT_TRUE(none.said.isEmpty());
  EXPECT_FALSE(f->isVisible());
  EXPECT_EQ(state("BRLState"), brailleLong);
}

TEST_F(UserDialog, ReadStateThreeShowsNoSelectionAndTheMenuKeyOpensTheUserMenu) {
  Jex().set(QStringLiteral("MixedSettings.READState"), 3);
  frmUser* f = openUser();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->cboNewWindow()->currentIndex(), -1);
  EXPECT_TRUE(logged(QStringLiteral("unknown Readstate 3")));
  press(f->cboUser(), Qt::Key_Menu);
  QWidget* popup = QApplication::activePopupWidget();
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->objectName(), u"mnuUser");
  QTest::keyClick(popup, Qt::Key_Escape);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  EXPECT_TRUE(f->isVisible());
}

}  // namespace
}  // namespace jex::test
