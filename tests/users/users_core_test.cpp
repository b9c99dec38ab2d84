// The stand-in core's user list as the users dialog reads it: Users with Reload and items that
// have a Name, hidden folders left out, and GetUsers.ChgUser.
#include <QDir>
#include <QFileInfo>

#include "automation/dispatchable.h"
#include "tests/support/errorof.h"
#include "tests/support/fakecore.h"

using jex::Obj;

namespace {

class CoreUsersTest : public ::testing::Test, public fake::CoreFixture {
 protected:
  QString users() const { return appPath() + QStringLiteral("user/"); }
  QString coreUser() const { return jex::Jex().str(QStringLiteral("proc.GetUsers.CurrUser.Name")); }
};

TEST_F(CoreUsersTest, ReloadGivesTheUsersAsOfNowWithTheirNames) {
  const Obj list = jex::Jex().obj(QStringLiteral("proc.Users"));
  ASSERT_EQ(list.count(), 1);
  EXPECT_EQ(list.itemObj(1).str(QStringLiteral("Name")), u"DEFAULT");
  EXPECT_EQ(list.itemObj(1).toString(), u"DEFAULT");  // the name is also the item's value
  QDir().mkpath(users() + QStringLiteral("Zoe"));
  QDir().mkpath(users() + QStringLiteral(".jexui-new-1-1"));  // a profile still being copied
  EXPECT_EQ(list.count(), 1);                                 // as of the last Reload
  list.call(QStringLiteral("Reload"));
  ASSERT_EQ(list.count(), 2);
  EXPECT_EQ(list.strings(), (QStringList{QStringLiteral("DEFAULT"), QStringLiteral("Zoe")}));
  EXPECT_EQ(list.itemObj(QStringLiteral("zoe")).str(QStringLiteral("Name")), u"Zoe");
  for (const QVariant& bad : {QVariant(0), QVariant(3), QVariant(QStringLiteral("Nobody"))})
    EXPECT_EQ(jex::testing::errorOf([&] { list.item(bad); }), jex::err::SubscriptOutOfRange)
        << bad.toString().toStdString();
}

TEST_F(CoreUsersTest, ChgUserTakesAnExistingUserWithoutRegardToCase) {
  QDir().mkpath(users() + QStringLiteral("Zoe"));
  const Obj list = jex::Jex().obj(QStringLiteral("proc.GetUsers"));
  list.call(QStringLiteral("ChgUser"), {QStringLiteral("ZOE")});
  EXPECT_EQ(coreUser(), u"Zoe");
  EXPECT_EQ(core.store.value(QStringLiteral("Users"), QStringLiteral("Current")), u"Zoe");
  for (const char* bad : {"Nobody", "", "../user/Zoe", ".jexui-new-1-1"})
    EXPECT_EQ(jex::testing::errorOf([&] { list.call(QStringLiteral("ChgUser"), {QString::fromLatin1(bad)}); }),
              jex::err::InvalidCall)
        << bad;
  EXPECT_EQ(coreUser(), u"Zoe");
  EXPECT_FALSE(QFileInfo::exists(users() + QStringLiteral("Nobody")));
  EXPECT_TRUE(core.reports.contains(QStringLiteral("USER: Zoe @ ") + users() + QStringLiteral("Zoe")));
}

}  // namespace
