// cKeyChecker against the stand-in core's binding sets: the merge of the four levels in
// process (read in one call and through CollA/CollB), the reload rule, failures of the core,
// the shipped sets once over a private bus, and TranslateKey with both shipped languages.
#include <QDirIterator>
#include <QRegularExpression>

#include "app/commandfilter.h"
#include "dialogs/keys/ckeychecker.h"
#include "ini/cinifil.h"
#include "localisation/frmlocalizer.h"
#include "tests/support/corebus.h"
#include "tests/support/fakecore.h"
#include "tests/support/processes.h"

namespace {

using jex::cKeyChecker;
using Fetch = cKeyChecker::Fetch;
const QString kData = QStringLiteral(JEX_SOURCE_DIR "/data/");

// Every file below dir with its size and time, to see that nothing else was touched.
QStringList tree(const QString& dir) {
  QStringList out;
  QDirIterator it(dir, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    it.next();
    out << it.filePath() + u' ' + QString::number(it.fileInfo().size());
  }
  out.sort();
  return out;
}

// The stand-in core in this process with binding files written by the test: level 4 and 3 in
// the user's directory, 2 and 1 in the core's.
class KeyCheckerTest : public ::testing::TestWithParam<Fetch>, public fake::CoreFixture {
 protected:
  void write(const QString& dir, const QString& file, const char* text) {
    QDir().mkpath(dir);
    writeFile(dir + file, QByteArray(text));
  }
  void shipped(const char* file, const char* text) { write(appPath() + "keys/", file, text); }
  void user(const char* file, const char* text) { write(userDir() + "keys/", file, text); }
  void writeLevels() {
    user("WINWORD.KBD", "CMDA=CAP_A L0N1\r\n");
    user("WINWORD.BRL", "CMDA=B1\r\n");
    user("DEFAULT.KBD", "CMDB=CAP_A CAP_B\r\nCMDA=CAP_C\r\n");
    shipped("WINWORD.KBD", "CMDA=CAP_C L0N2\r\nCMDD=L0N3\r\n");
    shipped("DEFAULT.KBD", "CMDB=CAP_D|S\r\nCMDC=L0N1 CAP_A\r\nCMDD=L0N4\r\n");
    shipped("DEFAULT.BRL", "CMDA=B1 B2\r\nCMDE=B3\r\n");
  }
  cKeyChecker checker() {
    cKeyChecker k;
    k.setFetch(GetParam());
    k.setTermLookup([](const QString& t) { return u'<' + t + u'>'; });
    return k;
  }
};

TEST_P(KeyCheckerTest, MergesLevelFourDownToOneKeepingEachCodeWithItsHighestBinding) {
  writeLevels();
  cKeyChecker k = checker();
  k.InitForApp("WINWORD", false);
  struct Row {
    const char *function, *cap, *num, *brl;
  };
  for (const Row& r : {Row{"CMDA", "CAP_A_4 CAP_C_3 ", "L0N1_4 L0N2_2 ", "B1_4 B2_1 "},
                       Row{"cmdb", "CAP_B_3 CAP_D|S_1 ", "", ""}, Row{"CMDC", "", "", ""},
                       Row{"CMDD", "", "L0N3_2 L0N4_1 ", ""}, Row{"CMDE", "", "", "B3_1 "}, Row{"NONE", "", "", ""}}) {
    SCOPED_TRACE(r.function);
    EXPECT_EQ(k.GetCAPforFunc(r.function), r.cap);
    EXPECT_EQ(k.GetNUMforFunc(r.function), r.num);
    EXPECT_EQ(k.GetBRLforFunc(r.function), r.brl);
    EXPECT_EQ(k.GetAllKeysForFunc(r.function), QString(r.cap) + r.num + r.brl);
  }
  for (const auto& [code, function] : {std::pair{"CAP_A", "CMDA"},
                                       {"cap_a", "CMDA"},
                                       {"L0N1", "CMDA"},
                                       {"CAP_C", "CMDA"},
                                       {"B1", "CMDA"},
                                       {"CAP_D|S", "CMDB"},
                                       {"L0N9", ""}})
    EXPECT_EQ(k.GetActFuncForKey(code), function) << code;
  EXPECT_EQ(k.GetFirstKeysForFunc("CMDA", true), "CAP_A L0N1 B1");
  EXPECT_EQ(k.GetFirstKeysForFunc("CMDB", false), "<CAP><B>");
  EXPECT_EQ(k.GetFirstKeysForFunc("CMDD", false), "L0N3");
  EXPECT_EQ(k.GetFirstKeysForFunc("CMDE", false), "B3");
  EXPECT_EQ(k.GetFirstKeysForFunc("NONE", false), "");
}

TEST_P(KeyCheckerTest, DefaultLoadsTheGlobalLevelsOnly) {
  writeLevels();
  cKeyChecker k = checker();
  k.InitForApp("DEFAULT", false);
  EXPECT_EQ(k.APPName(), "DEFAULT");
  EXPECT_EQ(k.GetCAPforFunc("CMDA"), "CAP_C_3 ");
  EXPECT_EQ(k.GetNUMforFunc("CMDC"), "L0N1_1 ");
  EXPECT_EQ(k.GetBRLforFunc("CMDA"), "B1_1 B2_1 ");
  EXPECT_EQ(k.GetActFuncForKey("CAP_A"), "CMDB");
  EXPECT_EQ(k.GetNUMforFunc("CMDD"), "L0N4_1 ");
}

TEST_P(KeyCheckerTest, ReloadsWhenTheApplicationChangesOrWhenForcedAndMergesChangesHeldByTheCore) {
  writeLevels();
  cKeyChecker k = checker();
  k.InitForApp("DEFAULT", false);  // a fresh object: the name differs from "", so the core reloads
  EXPECT_TRUE(logText().contains("cKeyChecker.InitForApp DEFAULT ForceReload: False\r\ncKeyChecker.Initialized"));
  shipped("DEFAULT.BRL", "CMDE=B9\r\n");
  k.InitForApp("DEFAULT", false);  // the core keeps the set it read
  EXPECT_EQ(k.GetBRLforFunc("CMDE"), "B3_1 ");
  k.InitForApp("DEFAULT", true);
  EXPECT_EQ(k.GetBRLforFunc("CMDE"), "B9_1 ");
  shipped("DEFAULT.BRL", "CMDE=B8\r\n");
  k.InitForApp("WINWORD", false);  // another application: reloaded whatever force says
  EXPECT_EQ(k.GetBRLforFunc("CMDE"), "B8_1 ");

  // The keys dialog's way: change the user's set in the core, merge again without reload.
  const jex::Obj set = root.obj("proc.User").call("AppKeyBindings", {"WINWORD"}).value<jex::Obj>();
  set.call("ReplaceOneBinding", {"CAP_D|S", "CMDE"});
  set.call("ReplaceOneBinding", {"L0N1", ""});
  k.InitForApp("WINWORD", false);
  EXPECT_EQ(k.GetActFuncForKey("CAP_D|S"), "CMDE");
  EXPECT_EQ(k.GetCAPforFunc("CMDB"), "CAP_B_3 ");
  EXPECT_EQ(k.GetNUMforFunc("CMDA"), "L0N2_2 ");
  EXPECT_EQ(k.GetActFuncForKey("L0N1"), "CMDC");
  k.InitForApp("WINWORD", true);  // unsaved changes are dropped
  EXPECT_EQ(k.GetActFuncForKey("CAP_D|S"), "CMDB");
  set.call("ReplaceOneBinding", {"CAP_D|S", "CMDE"});
  set.call("Save");
  k.InitForApp("WINWORD", true);
  EXPECT_EQ(k.GetCAPforFunc("CMDE"), "CAP_D|S_4 ");
  EXPECT_EQ(readFile(userDir() + "keys/WINWORD.KBD"), "CMDA=CAP_A L0N1\nCMDE=CAP_D|S\n");
}

TEST_P(KeyCheckerTest, AFailingCoreMemberIsLoggedAndTheOtherLevelsStay) {
  writeLevels();
  auto proc = std::make_shared<fake::Front>(root.obj("proc"));
  proc->property("App_Dirs", []() -> QVariant { throw jex::Error(jex::err::UnknownMember, "no App_Dirs"); });
  auto front = std::make_shared<fake::Front>(root);
  front->property("proc", [proc] { return jex::automation::fromObj(jex::Obj(proc)); });
  cKeyChecker k(jex::Obj{front});
  k.setFetch(GetParam());
  k.InitForApp("WINWORD", false);
  EXPECT_EQ(k.GetCAPforFunc("CMDA"), "CAP_A_4 CAP_C_3 ");
  EXPECT_EQ(k.GetNUMforFunc("CMDD"), "");
  EXPECT_TRUE(logText().contains("!!! ERROR  in cKeyChecker.GetActBindings; 438 no App_Dirs"));
  EXPECT_TRUE(logText().contains("cKeyChecker.Initialized"));
}

TEST_P(KeyCheckerTest, BadApplicationNamesAreLoggedTheGlobalLevelsLoadedAndNothingWritten) {
  writeLevels();
  const QStringList before = tree(dir.path());
  for (const char* app : {"", "..", "../WINWORD", "WIN\\WORD", "WIN/WORD", "."}) {
    SCOPED_TRACE(app);
    cKeyChecker k = checker();
    k.InitForApp(app, true);
    EXPECT_EQ(k.GetCAPforFunc("CMDA"), "CAP_C_3 ");
    EXPECT_EQ(k.GetBRLforFunc("CMDE"), "B3_1 ");
  }
  EXPECT_TRUE(logText().contains("not an application name"));
  QStringList after = tree(dir.path());
  after.removeIf([](const QString& f) { return f.contains("jexui.log"); });
  QStringList expected = before;
  expected.removeIf([](const QString& f) { return f.contains("jexui.log"); });
  EXPECT_EQ(after, expected);
}

INSTANTIATE_TEST_SUITE_P(Fetch, KeyCheckerTest, ::testing::Values(Fetch::Auto, Fetch::CollectionsOnly),
                         [](const auto& i) { return i.param == Fetch::Auto ? "OneCall" : "CollAAndCollB"; });

// --- the shipped sets over a private bus ------------------------------------------------------

class KeyCheckerOverBus : public jex::testing::CoreOverBusTest {
 protected:
  void SetUp() override {
    startCoreWithShippedSets();
    if (started()) busRoot = jex::Jex();
  }
  void TearDown() override { stopCore(); }
  void startCoreWithShippedSets() {
    jex::testing::SessionBus& pb = jex::testing::PrivateBus::instance();
    if (!pb.ok() || !jex::testing::BuiltCore::built()) GTEST_SKIP() << "no private bus or no built core";
    core = std::make_unique<jex::testing::BuiltCore>(pb.address());
    for (const char* folder : {"keys", "commands"})
      corvane::copyTreeKeepExisting(kData + folder, core->dataDir() + u'/' + folder);
    ASSERT_TRUE(core->startAndWait()) << core->out();
    conn = pb.connect(QStringLiteral("jexui"));
    jex::Jex() = jex::automation::dbus::connect(QStringLiteral("corvane.application"), conn);
  }
  jex::Obj busRoot;
};

TEST_F(KeyCheckerOverBus, GivesTheMapsOfTheCoreInProcessBothWays) {
  if (!started()) return;
  fake::CoreFixture local;
  corvane::copyTreeKeepExisting(kData + "keys", local.appPath() + "keys");
  for (const char* app : {"WINWORD", "FIREFOX", "DEFAULT"}) {
    SCOPED_TRACE(app);
    cKeyChecker inProcess(local.root), bus(busRoot), busCollections(busRoot);
    busCollections.setFetch(Fetch::CollectionsOnly);
    for (cKeyChecker* k : {&inProcess, &bus, &busCollections}) k->InitForApp(app, false);
    EXPECT_GT(inProcess.keyMap().size(), 50);
    EXPECT_EQ(bus.keyMap(), inProcess.keyMap());
    EXPECT_EQ(busCollections.keyMap(), inProcess.keyMap());
    for (const char* f : {"SAYFONT", "QUICKMEN", "NEXTHEADING", "BRLATTRTOGGLE", "SAYLINE"}) {
      EXPECT_EQ(bus.GetAllKeysForFunc(f), inProcess.GetAllKeysForFunc(f)) << f;
      EXPECT_EQ(busCollections.GetAllKeysForFunc(f), inProcess.GetAllKeysForFunc(f)) << f;
    }
  }
  cKeyChecker word(busRoot);
  word.InitForApp("WINWORD", false);
  EXPECT_EQ(word.GetCAPforFunc("SAYFONT"), "CAP_F_2 SCAP_F_2 ");
  EXPECT_EQ(word.GetBRLforFunc("SAYFONT"), "SP+B1+B2+B4+B8_2 ");
  EXPECT_EQ(word.GetCAPforFunc("QUICKMEN"), "CAP_Apps_2 SCAP_Space_1 ");
  EXPECT_EQ(word.GetActFuncForKey("SP+B1"), "BRLATTRTOGGLE");
}

TEST_F(KeyCheckerOverBus, EveryListedCommandIsJexUisOrRoutedByTheCore) {
  if (!started()) return;
  const QStringList table = busRoot.get("AllCommands.Table").toStringList();
  ASSERT_EQ(table.size() % 4, 0);
  EXPECT_GE(table.size() / 4, 140);
  QStringList typed;
  for (qsizetype i = 0; i < table.size(); i += 4) {
    const QString group = table[i], name = table[i + 2];
    EXPECT_FALSE(table[i + 1].isEmpty() || table[i + 3].isEmpty()) << name.toStdString();
    if (group == "JexUI")
      EXPECT_TRUE(jex::commands::find(name) || jex::commands::groupOf(name) != jex::commands::Group::Own)
          << name.toStdString();
    else if (name != "EXITHALDANOW") typed << name;
  }
  for (const QString& name : typed) core->type(name);
  ASSERT_TRUE(core->waitFor("CMD: " + typed.last() + " ->", 20000)) << core->out();
  for (const QString& name : typed) {
    EXPECT_TRUE(core->has("CMD: " + name + " -> ")) << name.toStdString();
    EXPECT_FALSE(core->has("CMD: " + name + " -> unhandled")) << name.toStdString();
  }
}

// --- key names and their texts ----------------------------------------------------------------

struct Translation {
  const char *lng, *code, *text, *left;
};

class TranslateKeyTest : public ::testing::TestWithParam<Translation> {
 protected:
  void SetUp() override {
    jex::gGlobal().AppPath = kData;
    jex::frmLocalizer().setLNG(GetParam().lng);
  }
  void TearDown() override {
    jex::resetLocalizer();
    jex::resetGlobals();
  }
};

TEST_P(TranslateKeyTest, ReadsAltShiftCapKeyAndShortensTheCode) {
  cKeyChecker k;
  QString code = GetParam().code;
  EXPECT_EQ(k.TranslateKey(code), QString::fromUtf8(GetParam().text));
  EXPECT_EQ(code, GetParam().left);
}

INSTANTIATE_TEST_SUITE_P(Languages, TranslateKeyTest,
                         ::testing::Values(Translation{"1031", "CAP_F4|A|S", "Alt+Umschalt+CAP+F4", "F4"},
                                           Translation{"1033", "CAP_F4|A|S", "Alt+Shift+CAP+F4", "F4"},
                                           Translation{"1031", "SCAP_Up|S", "Umschalt+CAP+Pfeil oben", "Up"},
                                           Translation{"1033", "CAP_PageDown|A", "Alt+CAP+Page down", "PageDown"},
                                           Translation{"1031", "CAP_Backspace", "CAP+Rücktaste", "Backspace"},
                                           Translation{"1033", "CAP_J", "CAP+J", "J"},
                                           Translation{"1031", "L*N5", "L*N5", "L*N5"},
                                           Translation{"1033", "SP+B1+B4", "SP+B1+B4", "SP+B1+B4"},
                                           Translation{"1031", "cap_F4", "cap_F4", "cap_F4"}));

// Every key name of the shipped keyboard sets has a term in both languages; Braille codes are
// told from keyboard codes as the keys dialog tells them (no "CAP", no "L" with "N" two later).
TEST(ShippedBindingSets, KeyNamesHaveTermsAndBrailleCodesLookLikeNoKeyboardCode) {
  jex::cIniFil de, en;
  de.Init(kData + "LNG/1031/JEXUIDLG.INI", false);
  en.Init(kData + "LNG/1033/JEXUIDLG.INI", false);
  const QRegularExpression keypad(QStringLiteral("L.N"));
  int files = 0;
  for (const QString& name : QDir(kData + "keys").entryList(QDir::Files)) {
    ++files;
    const bool braille = name.endsWith(".BRL");
    for (const QString& line : jex::testing::fileLines(kData + "keys/" + name)) {
      if (line.startsWith(u';')) continue;
      for (QString code : line.section(u'=', 1).split(u' ', Qt::SkipEmptyParts)) {
        SCOPED_TRACE((name + ": " + code).toStdString());
        if (braille) {
          EXPECT_FALSE(code.contains("CAP") || code.contains(keypad));
          continue;
        }
        if (!code.contains("CAP_")) {
          EXPECT_TRUE(code.contains(QRegularExpression(QStringLiteral("^L[0-9D/*+E-]N[0-9D/*+E-]$"))));
          continue;
        }
        cKeyChecker k;
        k.setTermLookup([](const QString& t) { return t; });
        k.TranslateKey(code);
        for (jex::cIniFil* ini : {&de, &en}) EXPECT_FALSE(ini->GetStr("CapKeys", code).isEmpty());
      }
    }
  }
  EXPECT_EQ(files, 6);
}

}  // namespace
