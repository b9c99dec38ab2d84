// The stand-in core's user management as cUser reaches it, and paths as odd as a core may give.
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include "core/automation/dispatchable.h"
#include "core/global/cglobal.h"
#include "corvane/engine/objects.h"
#include "tests/support/errorof.h"
#include "tests/support/fakecore.h"
#include "users/cuser.h"

using jex::Obj;
using fake::CoreFixture;

namespace {

class CoreUsersTest : public ::testing::Test, public CoreFixture {};

TEST_F(CoreUsersTest, InitCreatesFromTheTemplateKeepsExistingAndPersists) {
  const Obj user = jex::Jex().obj(QStringLiteral("proc.User"));
  EXPECT_EQ(user.str(QStringLiteral("Path")), appPath() + QStringLiteral("user/DEFAULT"));
  user.call(QStringLiteral("Init"), {QStringLiteral(" Ben "), appPath() + QStringLiteral("user/")});
  EXPECT_EQ(jex::Jex().str(QStringLiteral("proc.GetUsers.CurrUser.Name")), u"Ben");
  EXPECT_EQ(user.str(QStringLiteral("Path")), appPath() + QStringLiteral("user/Ben"));
  EXPECT_EQ(readFile(userDir(QStringLiteral("Ben")) + QStringLiteral("OUTDEF.SP2")),
            readFile(userDir() + QStringLiteral("OUTDEF.SP2")));
  EXPECT_TRUE(QFile::exists(userDir(QStringLiteral("Ben")) + QStringLiteral("sounds/MenuOn.wav")));
  // An existing user keeps its own files.
  writeFile(userDir(QStringLiteral("Ben")) + QStringLiteral("OUTDEF.SPI"), "Ben's");
  user.call(QStringLiteral("Init"), {QStringLiteral("DEFAULT"), QString()});
  user.call(QStringLiteral("Init"), {QStringLiteral("Ben"), QString()});
  EXPECT_EQ(readFile(userDir(QStringLiteral("Ben")) + QStringLiteral("OUTDEF.SPI")), u"Ben's");
  const Obj list = jex::Jex().obj(QStringLiteral("proc.GetUsers"));
  EXPECT_EQ(list.count(), 2);
  EXPECT_EQ(list.item(1).toString(), u"Ben");
  // A new core over the same corvane.ini starts with Ben.
  {
    fake::Core again(dir.path());
    const Obj root(std::make_shared<corvane::Root>(again));
    EXPECT_EQ(root.str(QStringLiteral("proc.GetUsers.CurrUser.Name")), u"Ben");
  }
}

TEST_F(CoreUsersTest, BadNamesAreRefusedAndChangeNothing) {
  const Obj user = jex::Jex().obj(QStringLiteral("proc.User"));
  for (const char* bad : {"", "  ", "../evil", "a/b", "a\\b", ".."})
    EXPECT_EQ(jex::testing::errorOf([&] { user.call(QStringLiteral("Init"), {QString::fromLatin1(bad), QString()}); }),
              jex::err::InvalidCall)
        << bad;
  EXPECT_EQ(jex::Jex().str(QStringLiteral("proc.GetUsers.CurrUser.Name")), u"DEFAULT");
  EXPECT_EQ(QDir(appPath() + QStringLiteral("user")).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
            QStringList{QStringLiteral("DEFAULT")});
  // cUser's reload of a user the core refuses is logged, not thrown.
  jex::cUser u;
  u.InitCurrUser();
  u.setName(QStringLiteral("a/b"));
  u.ReloadCoreUser();
  EXPECT_TRUE(logText().contains(QStringLiteral("!!! ERROR cUser.ReloadCoreUser: 5 not a user name: a/b")));
}

// A core that answers User.Path with blanks and a backslash at the end.
class OddCore : public jex::automation::Dispatchable {
 public:
  explicit OddCore(QString path) : Dispatchable(QStringLiteral("odd")), path_(std::move(path)) {
    property(QStringLiteral("proc"), [this] { return jex::automation::fromObj(Obj(shared_from_this())); });
    property(QStringLiteral("User"), [this] { return jex::automation::fromObj(Obj(shared_from_this())); });
    property(QStringLiteral("GetUsers"), [this] { return jex::automation::fromObj(Obj(shared_from_this())); });
    property(QStringLiteral("CurrUser"), [this] { return jex::automation::fromObj(Obj(shared_from_this())); });
    property(QStringLiteral("Path"), [this] { return QVariant(path_); });
    property(QStringLiteral("Name"), [] { return QVariant(QStringLiteral("Odd")); });
  }

 private:
  QString path_;
};

TEST_F(CoreUsersTest, ThePathAlwaysGetsOneTrailingSeparator) {
  for (const QString& raw : {QStringLiteral("  /srv/users/Odd  "), QStringLiteral("/srv/users/Odd\\ "), QStringLiteral("/srv/users/Odd/")}) {
    jex::Jex() = Obj(std::make_shared<OddCore>(raw));
    jex::cUser u;
    u.InitCurrUser();
    EXPECT_EQ(u.Path(), u"/srv/users/Odd/") << raw.toStdString();
    EXPECT_EQ(u.BaseDir(), u"/srv/users/");
    EXPECT_EQ(u.Name(), u"Odd");
  }
}

}  // namespace
