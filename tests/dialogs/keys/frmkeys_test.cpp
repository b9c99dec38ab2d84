// The keys dialog in the main window over the stand-in core, driven by keys: which levels a key
// may be deleted on, the favourites kept in UserMenu.ini, the application list applied once when
// it is left, and the save question's three answers.
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTreeWidget>

#include "dialogs/boxes/frmmsgex.h"
#include "dialogs/keys/frmkeys.h"
#include "ini/privateprofile.h"
#include "tests/support/dialogtest.h"

namespace jex::test {
namespace {

std::string str(const QString& s) { return s.toStdString(); }

class KeysDialog : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    QDir().mkpath(appPath() + "commands");
    QFile::copy(QStringLiteral(JEX_SOURCE_DIR "/data/commands/1031.ini"), appPath() + "commands/1031.ini");
    write(appPath() + "keys/", "DEFAULT.KBD", "SAYLINE=CAP_W\r\n");
    write(appPath() + "keys/", "WINWORD.KBD", "SAYWORD=CAP_R\r\n");
    write(userDir() + "keys/", "DEFAULT.KBD", "SAYCHAR=CAP_Q\r\n");
    write(userDir() + "keys/", "WINWORD.KBD", "SAYALL=CAP_E\r\n");
  }
  void write(const QString& dir, const char* file, const char* text) {
    QDir().mkpath(dir);
    writeFile(dir + QLatin1String(file), text);
  }
  frmKeys* openKeys() {
    auto* d = open<frmKeys>("frmKeys");
    if (d) QTest::qWaitFor([d] { return d->treeFilled(); }, 3000);
    return d;
  }
  // Types text into the search field and Enter: the match gets the focus.
  void find(frmKeys* d, const QString& text) {
    d->cboSearch()->setFocus(Qt::TabFocusReason);
    d->cboSearch()->lineEdit()->clear();
    QTest::keyClicks(d->cboSearch()->lineEdit(), text);
    QTest::keyClick(d->cboSearch()->lineEdit(), Qt::Key_Return);
  }
  void chooseApp(frmKeys* d, const QString& app) {
    choose(d->cboTask(), app);
    QTest::keyClick(d->cboTask(), Qt::Key_Tab);
  }
  QString userFile(const char* file) const { return readFile(userDir() + "keys/" + QLatin1String(file)); }
  QStringList favourites() const {
    QString block;
    ini::FlushPrivateProfileCache();
    const quint32 n = ini::GetPrivateProfileSection(QStringLiteral("User"), block, 4096, userDir() + "UserMenu.ini");
    return block.left(n).split(QChar(0), Qt::SkipEmptyParts);
  }
};

// The level a key is bound on decides whether this dialog may delete it.
struct DeleteCase {
  const char* app;  // "" for the global entry
  const char* code;
  bool deletable;
  const char* file;  // the user's file that loses the key
};
class KeyLevels : public KeysDialog, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(KeyLevels, OnlyTheEditedLevelsKeyIsDeleted) {
  const DeleteCase c = GetParam();
  frmKeys* d = openKeys();
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->tabKeys()->currentIndex(), frmKeys::TabKeys);
  if (*c.app) chooseApp(d, QLatin1String(c.app));
  EXPECT_EQ(d->application(), *c.app ? QLatin1String(c.app) : QStringLiteral("DEFAULT"));
  find(d, QLatin1String(c.code));
  ASSERT_EQ(QApplication::focusWidget(), d->treKeys());
  ASSERT_EQ(d->treKeys()->currentItem(), d->keyNode(QLatin1String(c.code)));
  EXPECT_EQ(d->findChild<QPushButton*>("cmdDelete")->isEnabled(), c.deletable);
  const QString before = userFile(c.file);
  key(Qt::Key_Delete);
  EXPECT_EQ(d->dirty(), c.deletable);
  EXPECT_EQ(d->checker().GetActFuncForKey(QLatin1String(c.code)).isEmpty(), c.deletable);
  press(d->cmdOK());
  EXPECT_FALSE(d->isVisible());
  if (c.deletable) {
    EXPECT_FALSE(userFile(c.file).contains(QLatin1String(c.code))) << str(userFile(c.file));
  } else {
    EXPECT_EQ(userFile(c.file), before);
  }
  EXPECT_TRUE(readFile(appPath() + "keys/DEFAULT.KBD").contains("CAP_W")) << "a shipped file was changed";
}

INSTANTIATE_TEST_SUITE_P(Levels, KeyLevels,
                         ::testing::Values(DeleteCase{"", "CAP_Q", true, "DEFAULT.KBD"},
                                           DeleteCase{"", "CAP_W", false, "DEFAULT.KBD"},
                                           DeleteCase{"WINWORD", "CAP_E", true, "WINWORD.KBD"},
                                           DeleteCase{"WINWORD", "CAP_Q", false, "DEFAULT.KBD"},
                                           DeleteCase{"WINWORD", "CAP_R", false, "WINWORD.KBD"}));

TEST_F(KeysDialog, TheApplicationIsAppliedOnceWhenTheListIsLeft) {
  frmKeys* d = openKeys();
  ASSERT_NE(d, nullptr);
  const int loads = count(QStringLiteral("cKeyChecker.InitForApp"));
  d->cboTask()->setFocus(Qt::TabFocusReason);
  choose(d->cboTask(), QStringLiteral("WINWORD"));
  QTest::keyClick(d->cboTask(), Qt::Key_Up);
  QTest::keyClick(d->cboTask(), Qt::Key_Down);
  EXPECT_EQ(count(QStringLiteral("cKeyChecker.InitForApp")), loads) << "arrowing reloaded the bindings";
  EXPECT_EQ(d->application(), QStringLiteral("DEFAULT"));
  QTest::keyClick(d->cboTask(), Qt::Key_Tab);
  EXPECT_EQ(count(QStringLiteral("cKeyChecker.InitForApp")), loads + 1);
  EXPECT_EQ(d->application(), QStringLiteral("WINWORD"));
  EXPECT_EQ(d->checker().GetActFuncForKey(QStringLiteral("CAP_E")), QStringLiteral("SAYALL"));
  d->cboTask()->setFocus(Qt::TabFocusReason);
  QTest::keyClick(d->cboTask(), Qt::Key_Tab);
  EXPECT_EQ(count(QStringLiteral("cKeyChecker.InitForApp")), loads + 1) << "leaving unchanged reloaded";
}

TEST_F(KeysDialog, FavouritesAreAddedRenamedMovedDeletedSavedAndReadBack) {
  write(userDir(), "UserMenu.ini", "[User]\r\nSAYLINE=Zeile\r\nSAYWORD=Wort\r\nnoequals\r\n");
  frmKeys* d = openKeys();
  ASSERT_NE(d, nullptr);
  key(Qt::Key_Tab, Qt::ControlModifier);
  key(Qt::Key_Tab, Qt::ControlModifier);
  ASSERT_EQ(d->tabKeys()->currentIndex(), frmKeys::TabFavourites);
  ASSERT_EQ(QApplication::focusWidget(), d->lvwQMenu());
  ASSERT_EQ(d->lvwQMenu()->topLevelItemCount(), 2);
  // Rename the first: the button, the new name, Enter back to the list.
  press(d->findChild<QPushButton*>("cmdFavRename"));
  ASSERT_EQ(QApplication::focusWidget(), d->txtFavName());
  QTest::keyClick(d->txtFavName(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(d->txtFavName(), QStringLiteral("Eine Zeile"));
  QTest::keyClick(d->txtFavName(), Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), d->lvwQMenu());
  EXPECT_TRUE(d->isVisible()) << "Enter in the name closed the dialog";
  key(Qt::Key_Down, Qt::ControlModifier);  // the renamed row goes below "Wort"
  // Add one from the commands: Ctrl+Shift+Tab to Befehle, found by its name.
  key(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_EQ(d->tabKeys()->currentIndex(), frmKeys::TabCommands);
  find(d, QStringLiteral("SAYLASTMESSAGE"));
  ASSERT_EQ(QApplication::focusWidget(), d->treCommands());
  press(d->findChild<QPushButton*>("cmdAddFav"));
  ASSERT_EQ(d->tabKeys()->currentIndex(), frmKeys::TabFavourites);
  ASSERT_EQ(d->lvwQMenu()->topLevelItemCount(), 3);
  // Delete "Wort", now the first row.
  d->lvwQMenu()->setCurrentItem(d->lvwQMenu()->topLevelItem(0));
  key(Qt::Key_Delete);
  press(d->cmdOK());
  ASSERT_FALSE(d->isVisible());
  const QStringList lines = favourites();
  ASSERT_EQ(lines.size(), 2) << str(lines.join(u';'));
  EXPECT_EQ(lines.at(0), QStringLiteral("SAYLINE=Eine Zeile"));
  EXPECT_TRUE(lines.at(1).startsWith(QStringLiteral("SAYLASTMESSAGE="))) << str(lines.at(1));
  ASSERT_EQ(open<frmKeys>("frmKeys"), d);
  ASSERT_EQ(d->lvwQMenu()->topLevelItemCount(), 2);
  EXPECT_EQ(d->lvwQMenu()->topLevelItem(0)->text(0), QStringLiteral("Eine Zeile"));
}

// The save question on leaving with a deleted key: Yes stores and closes, No takes the change
// back and closes, Cancel stays.
struct Answer {
  Qt::Key key;
  bool closes;
  bool stored;
};
class SaveQuestion : public KeysDialog, public ::testing::WithParamInterface<Answer> {};

TEST_P(SaveQuestion, EachAnswerDoesWhatItSays) {
  const Answer a = GetParam();
  frmKeys* d = openKeys();
  ASSERT_NE(d, nullptr);
  find(d, QStringLiteral("CAP_Q"));
  key(Qt::Key_Delete);
  ASSERT_TRUE(d->dirty());
  AnswerBox box(a.key);
  key(Qt::Key_Escape);
  EXPECT_EQ(box.asked, 1);
  EXPECT_EQ(d->isVisible(), !a.closes);
  EXPECT_EQ(userFile("DEFAULT.KBD").contains("CAP_Q"), !a.stored);
  if (!a.closes) {
    AnswerBox no(Qt::Key_N);
    key(Qt::Key_Escape);
    return;
  }
  ASSERT_EQ(open<frmKeys>("frmKeys"), d);
  EXPECT_EQ(d->checker().GetActFuncForKey(QStringLiteral("CAP_Q")).isEmpty(), a.stored);
  EXPECT_FALSE(d->dirty());
}

INSTANTIATE_TEST_SUITE_P(Answers, SaveQuestion,
                         ::testing::Values(Answer{Qt::Key_J, true, true}, Answer{Qt::Key_N, true, false},
                                           Answer{Qt::Key_Escape, false, false}));

}  // namespace
}  // namespace jex::test
