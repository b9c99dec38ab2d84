// The core's binding sets and command list: bad binding files load what is good and log the
// rest, bad application names are refused without touching a file, changes are held until
// saved or reloaded, and the command list comes in the core's language.
#include "corvane/engine/keybindings.h"
#include "tests/corvane/corvanetest.h"

namespace corvane::testing {
namespace {

class BindingSets : public ::testing::Test, public RootFixture {
 protected:
  Obj userSet(const QString& app, const char* member = "AppKeyBindings") {
    return root.obj("proc.User").call(member, {app}).value<Obj>();
  }
  Obj shippedSet(const QString& app, const char* member = "KeyBindings") {
    return root.obj("proc.App_Dirs").call(member, {app}).value<Obj>();
  }
  void ship(const QString& file, const QByteArray& text) {
    QDir().mkpath(appPath() + "keys");
    writeFile(appPath() + "keys/" + file, text);
  }
};

struct BadFile {
  const char* name;
  QByteArray text;
  QStringList bindings;  // what is loaded: code, command ...
  const char* logged;
};

class BadBindingFiles : public BindingSets, public ::testing::WithParamInterface<BadFile> {};

TEST_P(BadBindingFiles, LoadTheGoodLinesAndLogTheRest) {
  ship("DEFAULT.KBD", GetParam().text);
  const Obj set = shippedSet("DEFAULT");
  EXPECT_EQ(set.get("Bindings").toStringList(), GetParam().bindings);
  // CollA and CollB tell the same.
  const Obj a = set.obj("CollA"), b = set.obj("CollB");
  QStringList again;
  for (const QString& item : b.strings())
    for (const QString& code : item.split(u' ')) again << code << a.item(code).toString();
  EXPECT_EQ(again, GetParam().bindings);
  EXPECT_TRUE(logged(GetParam().logged)) << logText().toStdString();
}

QByteArray binary() {
  static const char text[] = "SAYLINE=CAP_Up\r\n\x00\x01\xff\xfe=\x80\x81\r\nX\x00Y=CAP_Q\r\nSAYWORD=CAP_5";
  return QByteArray(text, sizeof text - 1);
}

QByteArray manyLines() {
  QByteArray text;
  for (int i = 0; i < 100000; ++i)
    text += "CMD" + QByteArray::number(i % 500) + "=CAP_K" + QByteArray::number(i) + "\r\n";
  return text + "junk\r\n";
}

INSTANTIATE_TEST_SUITE_P(
    Bad, BadBindingFiles,
    ::testing::Values(
        BadFile{"CodeUnderTwoCommands", "SAYLINE=CAP_Up L0N8\r\nSAYWORD=cap_up CAP_5\r\n",
                words("CAP_Up SAYLINE L0N8 SAYLINE CAP_5 SAYWORD"), "cap_up is bound to SAYLINE already"},
        BadFile{"BlankAndJunkLines",
                "\r\n   \r\n; note\r\nno line\r\n=CAP_A\r\nSAY LINE=CAP_B\r\nSAYLINE=CAP_Up  ??? L0N8\r\n",
                words("CAP_Up SAYLINE L0N8 SAYLINE"), "line 4 is no binding line"},
        BadFile{"BinaryData", binary(), words("CAP_Up SAYLINE CAP_5 SAYWORD"), "line 3 is no binding line"}),
    [](const auto& i) { return std::string(i.param.name); });

TEST_F(BindingSets, AHundredThousandLinesAreAllLoaded) {
  ship("DEFAULT.KBD", manyLines());
  const QStringList all = shippedSet("DEFAULT").get("Bindings").toStringList();
  ASSERT_EQ(all.size(), 200000);
  EXPECT_EQ(all[2], "CAP_K500");
  EXPECT_EQ(all[3], "CMD0");
  EXPECT_EQ(shippedSet("DEFAULT").get("Count").toInt(), 500);
  EXPECT_TRUE(logged("line 100001 is no binding line"));
}

TEST_F(BindingSets, BadApplicationNamesAreRefusedAndNothingIsWritten) {
  for (const char* app : {"", " ", "..", ".", "../DEFAULT", "a/b", "a\\b", "x\ty"}) {
    SCOPED_TRACE(app);
    for (const char* member : {"AppKeyBindings", "AppBrlBindings"})
      EXPECT_THROW(root.obj("proc.User").call(member, {app}), jex::Error);
    EXPECT_THROW(root.obj("proc.App_Dirs").call("KeyBindings", {app}), jex::Error);
    EXPECT_THROW(root.obj("proc.User.AppS").call("ReloadBrlBindings", {app}), jex::Error);
  }
  EXPECT_FALSE(QDir(appPath() + "user").exists());
  EXPECT_THROW(userSet("WINWORD").call("ReplaceOneBinding", {"CAP_A B", "SAYLINE"}), jex::Error);
  EXPECT_THROW(userSet("WINWORD").call("ReplaceOneBinding", {"CAP_A", "SAY LINE"}), jex::Error);
}

TEST_F(BindingSets, ChangesAreHeldPerSetUntilReloadedAndSavedAtomically) {
  ship("WINWORD.KBD", "SAYLINE=CAP_Up\r\n");
  const Obj word = userSet("winword"), wordBrl = userSet("WINWORD", "AppBrlBindings");
  word.call("ReplaceOneBinding", {"CAP_Q", "SAYTIME"});
  word.call("ReplaceOneBinding", {"CAP_R", "SAYTIME"});
  wordBrl.call("ReplaceOneBinding", {"SP+B1", "SAYTIME"});
  EXPECT_EQ(userSet("WINWORD").get("Bindings").toStringList(), words("CAP_Q SAYTIME CAP_R SAYTIME"));
  EXPECT_EQ(shippedSet("WINWORD").get("Bindings").toStringList(), words("CAP_Up SAYLINE"));  // another set
  EXPECT_EQ(userSet("FIREFOX").get("Count").toInt(), 0);
  word.call("ReplaceOneBinding", {"cap_q", ""});
  word.call("Save");
  const QString file = appPath() + "user/DEFAULT/keys/WINWORD.KBD";
  EXPECT_EQ(fake::CoreFixture::readFile(file), "SAYTIME=CAP_R\n");
  EXPECT_EQ(QDir(appPath() + "user/DEFAULT/keys").entryList(QDir::Files), QStringList{"WINWORD.KBD"});
  root.obj("proc.User.AppS").call("ReloadBrlBindings", {"WINWORD"});
  EXPECT_EQ(wordBrl.get("Count").toInt(), 0);  // not saved: gone
  writeFile(file, "SAYDATE=CAP_D\r\n");
  EXPECT_EQ(word.get("Bindings").toStringList(), words("CAP_R SAYTIME"));  // held until reloaded
  root.obj("proc.User.AppS").call("ReloadKeyBindings", {"WINWORD"});
  EXPECT_EQ(word.get("Bindings").toStringList(), words("CAP_D SAYDATE"));
  QStringList apps;
  const Obj c = root.obj("proc.User.AppS.C");
  for (int i = 1; i <= c.count(); ++i) apps << c.itemObj(i).str("Name");
  EXPECT_EQ(apps, words("DEFAULT WINWORD"));
}

TEST_F(BindingSets, CommandListComesInTheCoresLanguage) {
  corvane::copyTreeKeepExisting(QStringLiteral(JEX_SOURCE_DIR "/data/commands"), appPath() + "commands");
  for (const auto& [lng, name, group] : {std::tuple{"1031", "Zeile lesen", "Lesen"}, {"1033", "Say line", "Reading"}}) {
    SCOPED_TRACE(lng);
    root.set("proc.DefaultLng", QString(lng));
    const Obj all = root.obj("AllCommands");
    EXPECT_GE(all.count(), 140);
    const Obj line = all.itemObj("SAYLINE");
    EXPECT_EQ(line.str("Name"), name);
    EXPECT_EQ(line.str("Group"), group);
    EXPECT_FALSE(line.str("Description").isEmpty());
    const QStringList table = all.get("Table").toStringList();
    ASSERT_EQ(table.size(), all.count() * 4);
    EXPECT_TRUE(table.contains("JexUI") && table.contains("0"));
    EXPECT_EQ(table.mid(table.indexOf("SAYLINE") - 2, 4),
              QStringList({group, name, "SAYLINE", line.str("Description")}));
  }
}

}  // namespace
}  // namespace corvane::testing
