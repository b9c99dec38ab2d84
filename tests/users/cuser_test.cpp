// cUser against the stand-in core's user management: loading, the switches written through,
// the verbosity levels, bad user names and directories, and paths as odd as a core may give.
#include "users/cuser.h"
#include "automation/dispatchable.h"
#include "corvane/engine/objects.h"
#include "global/cglobal.h"
#include "ini/cinifil.h"
#include "tests/support/errorof.h"
#include "tests/support/fakecore.h"

using fake::CoreFixture;
using jex::cUser;
using jex::Obj;

namespace {

class UserTest : public ::testing::Test, public CoreFixture {
 protected:
  void SetUp() override { user.InitCurrUser(); }
  QString file(const char* name) const { return readFile(userDir() + QLatin1String(name)); }
  QString defaultFile(const char* name) const {
    return readFile(QStringLiteral(JEX_SOURCE_DIR "/data/user/DEFAULT/") + QLatin1String(name));
  }
  cUser user;
};

TEST_F(UserTest, LoadsTheShippedSettingsReadsNumbersAsNumbersAndDefaultsAMissingFile) {
  EXPECT_EQ(user.Name(), u"DEFAULT");
  EXPECT_EQ(user.Path(), userDir());
  EXPECT_EQ(user.BaseDir(), appPath() + QStringLiteral("user/"));
  writeFile(
      userDir() + QStringLiteral("USERSET.INI"),
      "[UserInterface]\r\nUseSounds=0\r\nSpeakTips=7\r\n[SpeechSet]\r\nActive= 03 \r\n[Verbosity]\r\nBraille=2\r\n");
  user.InitCurrUser();
  EXPECT_EQ(user.UseSounds(), 0);
  EXPECT_EQ(user.SpeakTips(), 7);
  EXPECT_EQ(user.AutoRead(), 1);
  EXPECT_EQ(user.VerbosityBraille(), 2);
  EXPECT_EQ(user.ActiveSpeechSet(), u"3");
  QFile::remove(userDir() + QStringLiteral("USERSET.INI"));
  user.InitCurrUser();
  EXPECT_EQ(user.UseSounds(), 1);
  EXPECT_EQ(user.SpeakTips(), 1);
  EXPECT_EQ(user.VerbosityBraille(), 1);
  EXPECT_EQ(user.ActiveSpeechSet(), u"1");
}

TEST_F(UserTest, SwitchesAreWrittenThroughAtOnce) {
  user.setUseSounds(0);
  user.setAutoRead(0);
  user.setAsk2Save(0);
  user.setSpeakTips(2);
  jex::cIniFil fresh;
  ASSERT_TRUE(fresh.Init(userDir() + QStringLiteral("USERSET.INI"), false));
  for (const auto& [key, value] : {std::pair{"UseSounds", 0}, {"AutoRead", 0}, {"Ask2Save", 0}, {"SpeakTips", 2}})
    EXPECT_EQ(fresh.GetLong(QStringLiteral("UserInterface"), QLatin1String(key)), value) << key;
  // The other sections are left alone, and a second object sees the new values.
  EXPECT_EQ(fresh.GetLong(QStringLiteral("Verbosity"), QStringLiteral("Speech")), 1);
  cUser again;
  again.InitCurrUser();
  EXPECT_EQ(again.Ask2Save(), 0);
  EXPECT_EQ(again.SpeakTips(), 2);
}

TEST_F(UserTest, SpeechVerbosityUpAndBackAgain) {
  const QString level1 = file("OUTDEF.SPI");
  const QString level2 = file("OUTDEF.SP2");
  ASSERT_NE(level1, level2);
  // The user edited the active definition; leaving level 1 keeps the edit in OUTDEF.SP1.
  writeFile(userDir() + QStringLiteral("OUTDEF.SPI"), "edited level 1");
  user.setVerbositySpeech(2);
  EXPECT_EQ(user.VerbositySpeech(), 2);
  EXPECT_EQ(file("OUTDEF.SP1"), u"edited level 1");
  EXPECT_EQ(file("OUTDEF.SPI"), level2);
  jex::cIniFil fresh;
  fresh.Init(userDir() + QStringLiteral("USERSET.INI"), false);
  EXPECT_EQ(fresh.GetLong(QStringLiteral("Verbosity"), QStringLiteral("Speech")), 2);

  user.setVerbositySpeech(1);
  EXPECT_EQ(file("OUTDEF.SPI"), u"edited level 1");
  EXPECT_EQ(file("OUTDEF.SP2"), level2);
  EXPECT_EQ(fresh.GetLong(QStringLiteral("Verbosity"), QStringLiteral("Speech")), 1);
  // Braille is untouched by the speech level.
  EXPECT_EQ(file("OUTDEF.BRI"), defaultFile("OUTDEF.BRI"));
}

TEST_F(UserTest, BrailleVerbosityAndTheSameLevelAgain) {
  const QString level3 = file("OUTDEF.BR3");
  user.setVerbosityBraille(3);
  EXPECT_EQ(file("OUTDEF.BRI"), level3);
  EXPECT_EQ(file("OUTDEF.BR1"), defaultFile("OUTDEF.BRI"));
  writeFile(userDir() + QStringLiteral("OUTDEF.BRI"), "edited level 3");
  user.setVerbosityBraille(3);  // saves and reloads the same copy
  EXPECT_EQ(file("OUTDEF.BRI"), u"edited level 3");
  EXPECT_EQ(file("OUTDEF.BR3"), u"edited level 3");
  EXPECT_EQ(user.VerbosityBraille(), 3);
  EXPECT_EQ(file("OUTDEF.SPI"), defaultFile("OUTDEF.SPI"));
}

TEST_F(UserTest, MissingDefinitionsStopTheChangeWhereItFails) {
  // No stored copy of level 3: the active one is saved and the level written, then it stops.
  QFile::remove(userDir() + QStringLiteral("OUTDEF.SP3"));
  const QString active = file("OUTDEF.SPI");
  user.setVerbositySpeech(3);
  EXPECT_EQ(user.VerbositySpeech(), 3);
  EXPECT_EQ(file("OUTDEF.SPI"), active);
  EXPECT_TRUE(logText().contains(QStringLiteral("!!! ERROR cUser.VerbositySpeech: 53")));
  // No active definition: nothing at all changes.
  QFile::remove(userDir() + QStringLiteral("OUTDEF.BRI"));
  user.setVerbosityBraille(2);
  EXPECT_EQ(user.VerbosityBraille(), 1);
  EXPECT_FALSE(QFile::exists(userDir() + QStringLiteral("OUTDEF.BRI")));
  EXPECT_TRUE(logText().contains(QStringLiteral("!!! ERROR cUser.VerbosityBraille: 53")));
}

TEST_F(UserTest, UnwritableTargetsAndReadOnlyDirectoriesAreLoggedNotFatal) {
  // A directory where the saved copy should go cannot be replaced by anyone (root included).
  QFile::remove(userDir() + QStringLiteral("OUTDEF.SP1"));
  QDir().mkdir(userDir() + QStringLiteral("OUTDEF.SP1"));
  user.setVerbositySpeech(2);
  EXPECT_EQ(user.VerbositySpeech(), 1);
  EXPECT_TRUE(logText().contains(QStringLiteral("!!! ERROR cUser.VerbositySpeech: 75")));

  QFile::setPermissions(userDir(), QFile::ReadOwner | QFile::ExeOwner);
  QFile probe(userDir() + QStringLiteral("probe"));
  const bool enforced = !probe.open(QIODevice::WriteOnly);
  probe.remove();
  if (enforced) {
    user.setUseSounds(0);
    EXPECT_EQ(user.UseSounds(), 0);  // the field changes even when the file cannot
    EXPECT_TRUE(logText().contains(QStringLiteral("!!! ERROR cUser.UseSounds")));
    user.setVerbosityBraille(2);
    EXPECT_TRUE(logText().contains(QStringLiteral("!!! ERROR cUser.VerbosityBraille")));
  }
  QFile::setPermissions(userDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  if (!enforced) GTEST_SKIP() << "running with rights that ignore read-only directories";
}

TEST_F(UserTest, WithoutACoreEverythingStaysQuiet) {
  jex::Jex() = jex::Obj();
  cUser orphan;
  orphan.InitCurrUser();
  EXPECT_TRUE(orphan.Name().isEmpty());
  EXPECT_TRUE(orphan.Path().isEmpty());
  orphan.setAsk2Save(0);
  orphan.setVerbositySpeech(2);
  orphan.ReloadCoreUser();
  EXPECT_EQ(orphan.Ask2Save(), 0);
  EXPECT_TRUE(logText().contains(QStringLiteral("!!! ERROR cUser.InitCurrUser")));
  EXPECT_TRUE(logText().contains(QStringLiteral("!!! ERROR cUser.Ask2Save")));
  EXPECT_FALSE(QFile::exists(QStringLiteral("USERSET.INI")));  // nothing written beside the program
}

TEST_F(UserTest, ReloadSwitchesTheCoreAndCreateMakesTheGlobalUser) {
  user.setName(QStringLiteral("Anna"));
  user.ReloadCoreUser();
  // The core made Anna current, with her directory copied from DEFAULT and kept in corvane.ini.
  EXPECT_EQ(core.store.value(QStringLiteral("Users"), QStringLiteral("Current")), u"Anna");
  EXPECT_TRUE(QFile::exists(userDir(QStringLiteral("Anna")) + QStringLiteral("OUTDEF.SPI")));
  const auto current = jex::CreateCurrUser();
  ASSERT_EQ(jex::gGlobal().UserProfile, current);
  EXPECT_EQ(current->Name(), u"Anna");
  EXPECT_EQ(current->Path(), userDir(QStringLiteral("Anna")));
}

TEST_F(UserTest, CoreInitCreatesFromTheTemplateKeepsExistingAndPersists) {
  const Obj coreUser = jex::Jex().obj(QStringLiteral("proc.User"));
  EXPECT_EQ(coreUser.str(QStringLiteral("Path")), appPath() + QStringLiteral("user/DEFAULT"));
  coreUser.call(QStringLiteral("Init"), {QStringLiteral(" Ben "), appPath() + QStringLiteral("user/")});
  EXPECT_EQ(jex::Jex().str(QStringLiteral("proc.GetUsers.CurrUser.Name")), u"Ben");
  EXPECT_EQ(coreUser.str(QStringLiteral("Path")), appPath() + QStringLiteral("user/Ben"));
  EXPECT_EQ(readFile(userDir(QStringLiteral("Ben")) + QStringLiteral("OUTDEF.SP2")), file("OUTDEF.SP2"));
  EXPECT_TRUE(QFile::exists(userDir(QStringLiteral("Ben")) + QStringLiteral("sounds/MenuOn.wav")));
  // An existing user keeps its own files.
  writeFile(userDir(QStringLiteral("Ben")) + QStringLiteral("OUTDEF.SPI"), "Ben's");
  coreUser.call(QStringLiteral("Init"), {QStringLiteral("DEFAULT"), QString()});
  coreUser.call(QStringLiteral("Init"), {QStringLiteral("Ben"), QString()});
  EXPECT_EQ(readFile(userDir(QStringLiteral("Ben")) + QStringLiteral("OUTDEF.SPI")), u"Ben's");
  const Obj list = jex::Jex().obj(QStringLiteral("proc.GetUsers"));
  EXPECT_EQ(list.count(), 2);
  EXPECT_EQ(list.item(1).toString(), u"Ben");
  // A new core over the same corvane.ini starts with Ben.
  fake::Core again(dir.path());
  EXPECT_EQ(Obj(std::make_shared<corvane::Root>(again)).str(QStringLiteral("proc.GetUsers.CurrUser.Name")), u"Ben");
}

TEST_F(UserTest, BadNamesAreRefusedByTheCoreAndChangeNothing) {
  const Obj coreUser = jex::Jex().obj(QStringLiteral("proc.User"));
  for (const char* bad : {"", "  ", "../evil", "a/b", "a\\b", ".."})
    EXPECT_EQ(jex::testing::errorOf([&] {
                coreUser.call(QStringLiteral("Init"), {QString::fromLatin1(bad), QString()});
              }),
              jex::err::InvalidCall)
        << bad;
  EXPECT_EQ(jex::Jex().str(QStringLiteral("proc.GetUsers.CurrUser.Name")), u"DEFAULT");
  EXPECT_EQ(QDir(appPath() + QStringLiteral("user")).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
            QStringList{QStringLiteral("DEFAULT")});
  // cUser's reload of a user the core refuses is logged, not thrown.
  user.setName(QStringLiteral("a/b"));
  user.ReloadCoreUser();
  EXPECT_TRUE(logText().contains(QStringLiteral("!!! ERROR cUser.ReloadCoreUser: 5 not a user name: a/b")));
}

// A core whose every object is itself and whose user path has blanks or a backslash at the end.
class OddCore : public jex::automation::Dispatchable {
 public:
  explicit OddCore(QString path) : Dispatchable(QStringLiteral("odd")) {
    for (const char* self : {"proc", "User", "GetUsers", "CurrUser"})
      property(QLatin1String(self), [this] { return jex::automation::fromObj(Obj(shared_from_this())); });
    property(QStringLiteral("Path"), [path] { return QVariant(path); });
    property(QStringLiteral("Name"), [] { return QVariant(QStringLiteral("Odd")); });
  }
};

TEST_F(UserTest, ThePathAlwaysGetsOneTrailingSeparator) {
  for (const QString& raw :
       {QStringLiteral("  /srv/users/Odd  "), QStringLiteral("/srv/users/Odd\\ "), QStringLiteral("/srv/users/Odd/")}) {
    jex::Jex() = Obj(std::make_shared<OddCore>(raw));
    user.InitCurrUser();
    EXPECT_EQ(user.Path(), u"/srv/users/Odd/") << raw.toStdString();
    EXPECT_EQ(user.BaseDir(), u"/srv/users/");
    EXPECT_EQ(user.Name(), u"Odd");
  }
}

}  // namespace
