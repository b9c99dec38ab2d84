// The core's general settings as JexUI's options and user dialogs reach them: the users' global
// and per-application values, the installed languages, the two switches of [MIXED], the live
// MixedSettings and the welcome message.
#include <gtest/gtest.h>

#include "automation/automation.h"
#include "corvane/engine/optionobjects.h"
#include "tests/corvane/corvanetest.h"
#include "tests/support/errorof.h"

namespace {

using jex::testing::errorOf;

class OptionObjects : public ::testing::Test, public corvane::testing::RootFixture {
 protected:
  OptionObjects() {
    fake::copyDefaultUser(appPath());
    QDir().mkpath(appPath() + S("user/Anna"));
    settings = root.obj(S("proc.GlobalSettings"));
  }
  // GetValue or ActiveValue: the code returned and the value given back by reference.
  std::pair<int, QString> read(const char* name, const char* user, const char* app = nullptr) {
    QVariantList a =
        app ? QVariantList{S(name), QString(), S(user), S(app)} : QVariantList{S(name), QString(), S(user)};
    const int code = jex::automation::toI32(settings.call(app ? S("ActiveValue") : S("GetValue"), a));
    return {code, jex::automation::toStr(a[1])};
  }
  // Writes a file below the core's directory, making its folders.
  void put(const QString& relative, const QByteArray& data) {
    QDir().mkpath(QFileInfo(appPath() + relative).absolutePath());
    writeFile(appPath() + relative, data);
  }
  QString file(const char* user) const {
    return fake::CoreFixture::readFile(appPath() + S("user/") + S(user) + S("/GLOBALSETTINGS.INI"));
  }
  jex::Obj settings;
};

// Default (1), the user's global value (2), the application's own (8); dropping the own value
// makes the application follow the global one again.
TEST_F(OptionObjects, GlobalSettingsGiveWhereEachValueComesFrom) {
  EXPECT_EQ(read("MSAAMaxLineLen", "Anna"), std::pair(1, S("80")));
  EXPECT_EQ(read("MSAAMaxLineLen", "Anna", "WINWORD"), std::pair(1, S("80")));
  EXPECT_EQ(read("SomethingElse", "Anna"), std::pair(1, S("")));

  settings.call(S("SetValue"), {S("MSAAMaxLineLen"), S("120"), S("Anna")});
  EXPECT_EQ(read("MSAAMaxLineLen", "anna"), std::pair(2, S("120"))) << "user names without regard to case";
  EXPECT_EQ(read("MSAAMaxLineLen", "Anna", "WINWORD"), std::pair(2, S("120")));
  EXPECT_EQ(read("MSAAMaxLineLen", "DEFAULT"), std::pair(1, S("80"))) << "another user keeps the default";

  settings.call(S("SetValue"), {S("MSAAMaxLineLen"), 60, S("Anna"), S("winword")});
  EXPECT_EQ(read("MSAAMaxLineLen", "Anna", "WINWORD"), std::pair(8, S("60")));
  EXPECT_EQ(read("MSAAMaxLineLen", "Anna", "FIREFOX"), std::pair(2, S("120")));
  EXPECT_EQ(read("MSAAMaxLineLen", "Anna"), std::pair(2, S("120")));
  EXPECT_TRUE(file("Anna").contains(S("[WINWORD]"))) << file("Anna").toStdString();

  settings.call(S("SetValue"), {S("MSAAMaxLineLen"), jex::automation::missing(), S("Anna"), S("WINWORD")});
  EXPECT_EQ(read("MSAAMaxLineLen", "Anna", "WINWORD"), std::pair(2, S("120")));
  // The global entry of a list ("DEFAULT") is the user's global value.
  settings.call(S("SetValue"), {S("MSAAPageLines"), S("30"), S("Anna"), S("DEFAULT")});
  EXPECT_EQ(read("MSAAPageLines", "Anna"), std::pair(2, S("30")));
  // An empty user is the current one.
  settings.call(S("SetValue"), {S("MSAAAutoRead"), S("0"), QString()});
  EXPECT_EQ(read("MSAAAutoRead", "DEFAULT"), std::pair(2, S("0")));
}

TEST_F(OptionObjects, GlobalSettingsRefuseWhatWouldLeaveTheUsersFiles) {
  struct Bad {
    QVariantList args;
    const char* why;
  };
  const Bad bad[] = {
      {{S("MSAAPageLines"), S("1"), S("Nobody")}, "a user without a directory"},
      {{S("MSAAPageLines"), S("1"), S("../DEFAULT")}, "a path"},
      {{S("MSAAPageLines"), S("1"), S("..")}, "the parent"},
      {{S("MSAA=PageLines"), S("1"), S("Anna")}, "a name that is no key"},
      {{S("MSAAPageLines"), S("1\n[X]"), S("Anna")}, "a value with a line end"},
      {{S("MSAAPageLines"), S("1"), S("Anna"), S("A]B")}, "an application that is no section"},
  };
  for (const Bad& b : bad) {
    QVariantList a = b.args;
    EXPECT_EQ(errorOf([&] { settings.call(S("SetValue"), a); }), jex::err::InvalidCall) << b.why;
  }
  EXPECT_FALSE(QFile::exists(appPath() + S("user/GLOBALSETTINGS.INI")));
  EXPECT_FALSE(QFile::exists(appPath() + S("GLOBALSETTINGS.INI")));
  EXPECT_EQ(file("Anna"), S(""));
}

TEST_F(OptionObjects, LocaleListsTheLanguageFoldersWithALanguageFile) {
  for (const char* lng : {"1033", "1031", "1037"}) put(S("LNG/") + S(lng) + S("/JEXUIDLG.INI"), "[Global]\r\n");
  QDir().mkpath(appPath() + S("LNG/1036"));  // no language file
  QDir().mkpath(appPath() + S("LNG/Fonts"));
  put(S("LNG/lngnames.ini"),
      "[1031]\r\n1031=Deutsch\r\n1033=Englisch\r\n1037=Hebr\xe4isch\r\n[1033]\r\n1033=English\r\n1037=Hebrew\r\n");
  const jex::Obj locale = root.obj(S("proc.Locale"));
  EXPECT_EQ(locale.obj(S("LngSubDirColl")).strings(), QStringList({S("1031"), S("1033"), S("1037")}));
  EXPECT_EQ(locale.i32(S("LngNamesColl.Count")), 3);
  // Each language by its own name where lngnames.ini has it, else in the core's language.
  EXPECT_EQ(locale.obj(S("LngNamesColl")).strings(), QStringList({S("Deutsch"), S("English"), S("Hebräisch")}));
  core.store.setValue(S("General"), S("DefaultLng"), S("1033"));
  EXPECT_EQ(root.obj(S("proc.Locale.LngNamesColl")).strings(), QStringList({S("Deutsch"), S("English"), S("Hebrew")}));
}

TEST_F(OptionObjects, NavBeepAndBadWinMsgAreSwitchesOfMixed) {
  EXPECT_EQ(root.i32(S("proc.NavBeep")), 0) << "read as its default value";
  EXPECT_EQ(root.i32(S("proc.BadWinMsg.Value")), 1);
  root.set(S("proc.NavBeep.Value"), 1);
  root.set(S("proc.BadWinMsg.Value"), 0);
  EXPECT_EQ(core.store.value(S("MIXED"), S("NavBeep")), S("1"));
  EXPECT_EQ(core.store.value(S("MIXED"), S("BadWinMsg")), S("0"));
  EXPECT_EQ(restarted().i32(S("proc.NavBeep.Value")), 1);
  core.store.setValue(S("MIXED"), S("NavBeep"), S("7"));
  EXPECT_EQ(root.i32(S("proc.NavBeep.Value")), 0) << "a stored value that is no switch";
}

// Live until SaveValues; LoadValues takes the stored ones back; values outside their range are
// refused, READState 3 is kept.
TEST_F(OptionObjects, MixedSettingsAreLiveUntilSaved) {
  const jex::Obj mixed = root.obj(S("MixedSettings"));
  EXPECT_EQ(mixed.i32(S("READState")), 1);
  mixed.set(S("SPCState"), 1);
  mixed.set(S("READState"), 3);
  EXPECT_EQ(mixed.i32(S("READState")), 3);
  EXPECT_EQ(core.store.value(S("MIXED"), S("READState")), S(""));
  mixed.call(S("SaveValues"));
  EXPECT_EQ(core.store.value(S("MIXED"), S("READState")), S("3"));
  EXPECT_EQ(core.store.value(S("MIXED"), S("SPCState")), S("1"));
  mixed.set(S("BRLState"), 1);
  mixed.call(S("LoadValues"));
  EXPECT_EQ(mixed.i32(S("BRLState")), 0);
  for (const auto& bad : {std::pair{"SPCState", 2}, std::pair{"READState", 5}, std::pair{"BRLState", -1}})
    EXPECT_EQ(errorOf([&] { mixed.set(S(bad.first), bad.second); }), jex::err::InvalidCall) << bad.first;
  EXPECT_EQ(restarted().i32(S("MixedSettings.READState")), 3);
}

TEST_F(OptionObjects, TheWelcomeMessageIsSaidUnlessSwitchedOff) {
  EXPECT_EQ(corvane::welcomeText(core, S("1031")), S("")) << "no welcome.txt";
  put(S("LNG/1031/Welcome.TXT"), "Willkommen bei Halda!\r\n\r\nZweite Zeile\r\n");
  EXPECT_EQ(corvane::welcomeText(core, S("1031")), S("Willkommen bei Halda! Zweite Zeile"));
  core.store.setValue(S("MIXED"), S("chkSayWelcome"), S("0"));
  EXPECT_EQ(corvane::welcomeText(core, S("1031")), S(""));
}

}  // namespace
