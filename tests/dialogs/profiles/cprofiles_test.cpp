// cProfiles over the stand-in core's users: the names refused before any file is touched, the
// operations and what the core hears of them, copies stopped midway by the fault seam or by
// kill -9 of a helper, links left alone, and leftovers removed the next time.
#include <QTemporaryDir>

#include "tests/dialogs/profiles/profiles_support.h"
#include "tests/support/processes.h"
#include "users/cuser.h"

using namespace profiles_test;

namespace {

class ProfilesTest : public ::testing::Test, public ProfilesFixture {};

// Names refused as new users, by every operation that makes one, with nothing on disk changed.
class BadNameTest : public ::testing::TestWithParam<const char*>, public ProfilesFixture {};

QString badName(const char* written) {
  const QString s = QString::fromUtf8(written);
  if (s == u"<300>") return QString(300, u'x');
  if (s == u"<65>") return QString(65, u'x');
  if (s == u"<tab>") return QStringLiteral("a\tb");
  if (s == u"<nl>") return QStringLiteral("a\nb");
  if (s == u"<del>") return QStringLiteral("a") + QChar(0x7f);
  return s;
}

TEST_P(BadNameTest, IsRefusedBeforeAnyFileIsTouched) {
  const QString name = badName(GetParam());
  makeUser(QStringLiteral("Hans"), "Hans");
  const QString archive = appPath() + QStringLiteral("hans.zip");
  ASSERT_EQ(profiles.Export(QStringLiteral("Hans"), archive), Outcome::Done);
  const auto before = snapshot(appPath());
  EXPECT_FALSE(jex::cProfiles::ValidName(name));
  EXPECT_EQ(profiles.Create(name), Outcome::BadName);
  EXPECT_EQ(profiles.Copy(QStringLiteral("Hans"), name), Outcome::BadName);
  EXPECT_EQ(profiles.Rename(QStringLiteral("Hans"), name), Outcome::BadName);
  EXPECT_EQ(profiles.Import(archive, name), Outcome::BadName);
  EXPECT_EQ(snapshot(appPath()), before);
  // Nothing was made beside the user folder either.
  EXPECT_FALSE(QFileInfo::exists(appPath() + QStringLiteral("x")));
}

INSTANTIATE_TEST_SUITE_P(Names, BadNameTest,
                         ::testing::Values("../x", "a/b", "a\\b", " x", "x ", "x.", ".x", ".", "..", "", "CON", "con",
                                           "Con.txt", "NUL", "AUX", "PRN", "COM1", "lpt9", "default", "DEFAULT",
                                           "Default", "<300>", "<65>", "<tab>", "<nl>", "<del>", "a:b", "a*b", "a?b",
                                           "a|b", "a<b", "a\"b"));

TEST(ProfileNames, TheseAreGoodNames) {
  for (const QString& name :
       {QString(64, u'x'), QStringLiteral("Hans Müller"), QStringLiteral("a.b"), QStringLiteral("CONSOLE"),
        QStringLiteral("COM10"), QStringLiteral("Ærø"), QStringLiteral("DEFAULT2"), QStringLiteral("日本語")})
    EXPECT_TRUE(jex::cProfiles::ValidName(name)) << name.toStdString();
}

TEST_F(ProfilesTest, NewUserIsDefaultsCopyAndNamesCompareWithoutCase) {
  ASSERT_EQ(profiles.Create(QStringLiteral("Hans")), Outcome::Done);
  EXPECT_EQ(tree(QStringLiteral("Hans")), tree(QStringLiteral("DEFAULT")));
  EXPECT_EQ(profiles.Names(), (QStringList{QStringLiteral("DEFAULT"), QStringLiteral("Hans")}));
  for (const char* clash : {"hans", "HANS", "Hans"}) {
    EXPECT_EQ(profiles.Create(QLatin1String(clash)), Outcome::Exists) << clash;
    EXPECT_EQ(profiles.Copy(QStringLiteral("DEFAULT"), QLatin1String(clash)), Outcome::Exists) << clash;
  }
  EXPECT_EQ(profiles.Existing(QStringLiteral("hAnS")), u"Hans");
  // The core lists the new user through Users after Reload, with its name.
  const jex::Obj users = jex::Jex().obj(QStringLiteral("proc.Users"));
  users.call(QStringLiteral("Reload"));
  ASSERT_EQ(users.count(), 2);
  EXPECT_EQ(users.itemObj(2).str(QStringLiteral("Name")), u"Hans");
  EXPECT_TRUE(hidden().isEmpty());
}

TEST_F(ProfilesTest, CopyTakesTheUsersOwnFilesAndNeedsAnExistingSource) {
  makeUser(QStringLiteral("Hans"), "Hans");
  ASSERT_EQ(profiles.Copy(QStringLiteral("hans"), QStringLiteral("Grete")), Outcome::Done);
  EXPECT_EQ(tree(QStringLiteral("Grete")), tree(QStringLiteral("Hans")));
  EXPECT_EQ(readFile(users() + QStringLiteral("Grete/keys/WINWORD.KBD")), u"SAYLINE=CAP_Up\r\nHans");
  EXPECT_EQ(profiles.Copy(QStringLiteral("Nobody"), QStringLiteral("Else")), Outcome::Missing);
  EXPECT_FALSE(QFileInfo::exists(users() + QStringLiteral("Else")));
}

TEST_F(ProfilesTest, RenameOfTheCurrentUserLeavesTheCoreOnTheNewName) {
  makeUser(QStringLiteral("Hans"), "Hans");
  const auto hans = tree(QStringLiteral("Hans"));
  jex::Jex().obj(QStringLiteral("proc.GetUsers")).call(QStringLiteral("ChgUser"), {QStringLiteral("hans")});
  const auto current = jex::CreateCurrUser();
  ASSERT_EQ(current->Name(), u"Hans");
  ASSERT_EQ(profiles.Rename(QStringLiteral("Hans"), QStringLiteral("Johann")), Outcome::Done);
  EXPECT_EQ(tree(QStringLiteral("Johann")), hans);
  EXPECT_FALSE(QFileInfo::exists(users() + QStringLiteral("Hans")));
  EXPECT_EQ(coreUser(), u"Johann");
  EXPECT_EQ(current->Name(), u"Johann");
  EXPECT_EQ(current->Path(), users() + QStringLiteral("Johann/"));
  // Only the spelling changes: one rename, the same files.
  ASSERT_EQ(profiles.Rename(QStringLiteral("johann"), QStringLiteral("JOHANN")), Outcome::Done);
  EXPECT_EQ(profiles.Names(), (QStringList{QStringLiteral("DEFAULT"), QStringLiteral("JOHANN")}));
  EXPECT_EQ(coreUser(), u"JOHANN");
  EXPECT_EQ(profiles.Rename(QStringLiteral("DEFAULT"), QStringLiteral("Template")), Outcome::BadName);
  EXPECT_EQ(profiles.Rename(QStringLiteral("Nobody"), QStringLiteral("Else")), Outcome::Missing);
}

TEST_F(ProfilesTest, RenameOntoAnotherUserReplacesItsProfileAndDropsTheSource) {
  makeUser(QStringLiteral("Hans"), "Hans");
  makeUser(QStringLiteral("Grete"), "Grete");
  writeFile(users() + QStringLiteral("Grete/only-grete.txt"), "gone with the old profile");
  const auto hans = tree(QStringLiteral("Hans"));
  jex::Jex().obj(QStringLiteral("proc.GetUsers")).call(QStringLiteral("ChgUser"), {QStringLiteral("Grete")});
  ASSERT_EQ(profiles.Rename(QStringLiteral("Hans"), QStringLiteral("grete")), Outcome::Done);
  EXPECT_EQ(profiles.LastName(), u"Grete");
  EXPECT_EQ(tree(QStringLiteral("Grete")), hans);
  EXPECT_EQ(profiles.Names(), (QStringList{QStringLiteral("DEFAULT"), QStringLiteral("Grete")}));
  EXPECT_EQ(coreUser(), u"Grete");
  EXPECT_TRUE(hidden().isEmpty());
}

TEST_F(ProfilesTest, ResetPutsDefaultsOverTheUsersFilesAndKeepsItsOthers) {
  makeUser(QStringLiteral("Hans"), "edited");
  const auto defaults = tree(QStringLiteral("DEFAULT"));
  ASSERT_EQ(profiles.Reset(QStringLiteral("HANS")), Outcome::Done);
  EXPECT_EQ(readFile(users() + QStringLiteral("Hans/OUTDEF.SPI")),
            readFile(users() + QStringLiteral("DEFAULT/OUTDEF.SPI")));
  EXPECT_EQ(readFile(users() + QStringLiteral("Hans/keys/WINWORD.KBD")), u"SAYLINE=CAP_Up\r\nedited");
  EXPECT_EQ(tree(QStringLiteral("DEFAULT")), defaults);
  EXPECT_EQ(profiles.Reset(QStringLiteral("default")), Outcome::BadName);
  EXPECT_TRUE(hidden().isEmpty());
}

TEST_F(ProfilesTest, ResettingTheCurrentUserHasTheCoreReadItAgain) {
  makeUser(QStringLiteral("Hans"), "edited");
  jex::Jex().obj(QStringLiteral("proc.GetUsers")).call(QStringLiteral("ChgUser"), {QStringLiteral("Hans")});
  const auto current = jex::CreateCurrUser();
  jex::gGlobal().UserProfile->setVerbositySpeech(2);
  core.reports.clear();
  ASSERT_EQ(profiles.Reset(QStringLiteral("Hans")), Outcome::Done);
  EXPECT_TRUE(core.reports.contains(QStringLiteral("USER: Hans @ ") + users() + QStringLiteral("Hans")))
      << core.reports.join(u'\n').toStdString();
  // DEFAULT's USERSET.INI came back: the user's level is the default one again.
  EXPECT_EQ(current->VerbositySpeech(), 1);
  EXPECT_EQ(coreUser(), u"Hans");
}

TEST_F(ProfilesTest, DeleteRemovesTheUserAndMovesTheCoreOffItFirst) {
  makeUser(QStringLiteral("Hans"), "Hans");
  makeUser(QStringLiteral("Grete"), "Grete");
  jex::Jex().obj(QStringLiteral("proc.GetUsers")).call(QStringLiteral("ChgUser"), {QStringLiteral("Hans")});
  ASSERT_EQ(profiles.Delete(QStringLiteral("hans")), Outcome::Done);
  EXPECT_FALSE(QFileInfo::exists(users() + QStringLiteral("Hans")));
  EXPECT_EQ(coreUser(), u"Grete");
  EXPECT_EQ(profiles.Delete(QStringLiteral("Hans")), Outcome::Missing);
  EXPECT_EQ(profiles.Delete(QStringLiteral("DEFAULT")), Outcome::BadName);
  EXPECT_TRUE(QFileInfo::exists(users() + QStringLiteral("DEFAULT/OUTDEF.SPI")));
  EXPECT_TRUE(hidden().isEmpty());
}

TEST_F(ProfilesTest, LinksAreNeitherFollowedNorCopiedNorTheirTargetsRemoved) {
  makeUser(QStringLiteral("Hans"), "Hans");
  QTemporaryDir outside;
  writeFile(outside.filePath(QStringLiteral("secret.txt")), "not the profile's");
  ASSERT_TRUE(QFile::link(outside.filePath(QStringLiteral("secret.txt")), users() + QStringLiteral("Hans/secret.txt")));
  ASSERT_TRUE(QFile::link(outside.path(), users() + QStringLiteral("Hans/elsewhere")));
  ASSERT_EQ(profiles.Copy(QStringLiteral("Hans"), QStringLiteral("Grete")), Outcome::Done);
  EXPECT_FALSE(QFileInfo::exists(users() + QStringLiteral("Grete/secret.txt")));
  EXPECT_FALSE(QFileInfo(users() + QStringLiteral("Grete/elsewhere")).isSymLink());
  const QString archive = appPath() + QStringLiteral("hans.zip");
  ASSERT_EQ(profiles.Export(QStringLiteral("Hans"), archive), Outcome::Done);
  ASSERT_EQ(profiles.Import(archive, QStringLiteral("Imported")), Outcome::Done);
  EXPECT_FALSE(QFileInfo::exists(users() + QStringLiteral("Imported/secret.txt")));
  ASSERT_EQ(profiles.Delete(QStringLiteral("Hans")), Outcome::Done);
  EXPECT_EQ(readFile(outside.filePath(QStringLiteral("secret.txt"))), u"not the profile's");
  // A user folder that is itself a link is no user.
  ASSERT_TRUE(QFile::link(outside.path(), users() + QStringLiteral("Linked")));
  EXPECT_FALSE(profiles.Names().contains(QStringLiteral("Linked")));
  EXPECT_EQ(profiles.Delete(QStringLiteral("Linked")), Outcome::Missing);
  EXPECT_TRUE(QFileInfo::exists(outside.filePath(QStringLiteral("secret.txt"))));
}

// The fault seam stops a copy after n files, as a full disk would: the old state stays whole.
class StoppedCopyTest : public ::testing::TestWithParam<int>, public ProfilesFixture {};

TEST_P(StoppedCopyTest, LeavesEveryProfileWholeAndNoLeftover) {
  makeUser(QStringLiteral("Hans"), "Hans");
  makeUser(QStringLiteral("Grete"), "Grete");
  const auto before = snapshot(users());
  const int stopAt = GetParam();
  profiles.setCopyProgress([stopAt](int files) { return files < stopAt; });
  EXPECT_EQ(profiles.Create(QStringLiteral("Neu")), Outcome::Failed);
  EXPECT_EQ(profiles.Copy(QStringLiteral("Hans"), QStringLiteral("Neu")), Outcome::Failed);
  EXPECT_EQ(profiles.Reset(QStringLiteral("Hans")), Outcome::Failed);
  EXPECT_EQ(profiles.Rename(QStringLiteral("Hans"), QStringLiteral("Grete")), Outcome::Failed);
  EXPECT_TRUE(profiles.Problem().contains(QStringLiteral("stopped")));
  EXPECT_EQ(snapshot(users()), before);
  EXPECT_TRUE(logText().contains(QStringLiteral("!!! ERROR cProfiles.Reset: 75 copy stopped after")));
  profiles.setCopyProgress({});
  EXPECT_EQ(profiles.Create(QStringLiteral("Neu")), Outcome::Done);
}

INSTANTIATE_TEST_SUITE_P(Files, StoppedCopyTest, ::testing::Values(1, 3, 9));

TEST_F(ProfilesTest, HelperKilledMidCopyLosesNothingAndItsLeftoverGoesNextTime) {
  const QString helper = jex::testing::builtProgram(QStringLiteral("jex_profilecopy"));
  if (helper.isEmpty()) GTEST_SKIP() << "jex_profilecopy is not built";
  makeUser(QStringLiteral("Hans"), "Hans");
  for (int i = 0; i < 20; ++i)
    writeFile(users() + QStringLiteral("Hans/keys/APP%1.KBD").arg(i), QByteArray(4096, char('a' + i)));
  const auto before = snapshot(users());
  jex::testing::Child child(QProcessEnvironment::systemEnvironment());
  child.start(helper, {users(), QStringLiteral("Hans"), QStringLiteral("Kopie"), QStringLiteral("7")});
  ASSERT_TRUE(child.waitFor(QStringLiteral("COPIED 7"))) << child.out();
  child.proc.kill();  // SIGKILL
  ASSERT_TRUE(child.waitEnded(5000));
  // The half copy is hidden: no user "Kopie", the core does not list it, Hans is whole.
  ASSERT_EQ(hidden().size(), 1);
  EXPECT_FALSE(profiles.Names().contains(QStringLiteral("Kopie")));
  EXPECT_FALSE(jex::Jex().obj(QStringLiteral("proc.Users")).strings().join(u',').contains(u'.'));
  auto withoutLeftover = snapshot(users());
  std::erase_if(withoutLeftover, [](const std::string& line) { return line.rfind(".jexui-", 0) == 0; });
  EXPECT_EQ(withoutLeftover, before);
  // The next operation removes it first.
  ASSERT_EQ(profiles.Copy(QStringLiteral("Hans"), QStringLiteral("Kopie")), Outcome::Done);
  EXPECT_TRUE(hidden().isEmpty());
  EXPECT_EQ(tree(QStringLiteral("Kopie")), tree(QStringLiteral("Hans")));
  EXPECT_TRUE(logText().contains(QStringLiteral("leftover of an interrupted profile operation removed: .jexui-new-")));
}

TEST_F(ProfilesTest, LeftoversAreRemovedAndNeverListed) {
  QDir().mkpath(users() + QStringLiteral(".jexui-del-1-1/keys"));
  writeFile(users() + QStringLiteral(".jexui-del-1-1/keys/x"), "x");
  writeFile(users() + QStringLiteral(".jexui-new-2-2"), "a file, not a folder");
  EXPECT_EQ(profiles.Names(), QStringList{QStringLiteral("DEFAULT")});
  EXPECT_EQ(jex::Jex().obj(QStringLiteral("proc.Users")).count(), 1);
  profiles.CleanLeftovers();
  EXPECT_TRUE(hidden().isEmpty());
  EXPECT_TRUE(QFileInfo::exists(users() + QStringLiteral(".jexui.lock")));  // the lock file stays
}

}  // namespace
