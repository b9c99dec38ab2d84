#include "ini/cinifil.h"

#include "core/base/log.h"
#include "ini_test_util.h"

#include <chrono>
#include <future>

using jex::Array1;
using jex::Array2;
using jex::cIniFil;
using jex::CiCollection;
using jex::test::IniFolder;

namespace {

const QByteArray kSettings =
    "[General]\r\n"
    "Sentinel=-9898\r\n"
    "Empty=\r\n"
    "Caption=Text|Tip|More\r\n"
    "Plain=NoBar\r\n"
    "; Comment=1\r\n"
    "  Spaced   =   value with blanks  \r\n"
    "bare\r\n"
    "[XGeneral]\r\n"
    "a=1\r\n"
    "[Dups]\r\n"
    "One=1\r\n"
    "Key=first\r\n"
    "KEY=second\r\n"
    "Three=3\r\n";

struct IniFixture : ::testing::Test {
  IniFolder dir;
  QString file = dir.write("settings.ini", kSettings);
  cIniFil ini;
  void SetUp() override { ASSERT_TRUE(ini.Init(file, false)); }
};

}  // namespace

TEST_F(IniFixture, GetLongTreatsTheSentinelAsMissing) {
  EXPECT_EQ(ini.GetLong("General", "Sentinel", 5), 5);
  EXPECT_EQ(ini.GetLong("General", "Missing"), 0);
  EXPECT_EQ(ini.GetLong("general", "CAPTION", 5), 0) << "not a number reads as 0";
  ini.Init(file, true);
  EXPECT_EQ(ini.GetLong("General", "Sentinel", 5), 5);
  EXPECT_EQ(ini.GetStr("General", "Sentinel"), "5") << "written back with write defaults on";
  EXPECT_EQ(ini.GetLong("General", "Other"), 0);
  EXPECT_EQ(ini.GetStr("General", "Other", QString("none")), "none") << "no default, nothing written";
}

TEST_F(IniFixture, GetStrTreatsEmptyAsMissingCutsAt511AndSplitsAtTheFirstBar) {
  EXPECT_EQ(ini.GetStr("General", "Empty", QString("d")), "d");
  EXPECT_EQ(ini.GetStr("General", "Missing"), "");
  EXPECT_EQ(ini.GetStr("General", "Spaced"), "value with blanks");
  ini.Init(file, true);
  EXPECT_EQ(ini.GetStr("General", "Empty", QString("d")), "d");
  EXPECT_EQ(IniFolder::read(file).count("Empty=d\r\n"), 1);
  ini.SettingSave("General", "Long", QString(600, QLatin1Char('x')));
  EXPECT_EQ(ini.GetStr("General", "Long").size(), 511);
  // Captions and tips split at the first bar.
  EXPECT_EQ(ini.GetLeftSide("General", "Caption"), "Text");
  EXPECT_EQ(ini.GetRightSide("General", "Caption"), "Tip|More");
  EXPECT_EQ(ini.GetLeftSide("General", "Plain"), "NoBar");
  EXPECT_EQ(ini.GetRightSide("General", "Plain"), "");
}

TEST_F(IniFixture, SectionReadsDropCommentsAndSplitAtTheFirstEquals) {
  Array1<QString> lines;
  ini.SectionLoad(lines, "General");
  ASSERT_EQ(lines.ubound(), 6);
  EXPECT_EQ(lines(5), "Spaced=value with blanks");
  Array2<QString> split;
  ini.SectionLoad(split, "general");
  ASSERT_EQ(split.ubound(1), 2);
  ASSERT_EQ(split.ubound(2), 6);
  EXPECT_EQ(split(1, 5), "Spaced");
  EXPECT_EQ(split(2, 5), "value with blanks");
  EXPECT_EQ(split(1, 6), "bare");
  EXPECT_EQ(split(2, 6), "");
  EXPECT_FALSE(ini.LoadSectionToString("General").contains("Comment"));
  EXPECT_TRUE(ini.LoadSectionToString("XGeneral") == "a=1\r\n");
  EXPECT_EQ(ini.LoadSectionToString("Missing"), "");
  ini.SectionLoad(lines, "Missing");
  EXPECT_TRUE(lines.isErased());
  ini.SectionLoad(split, "Missing");
  EXPECT_TRUE(split.isErased());
}

TEST_F(IniFixture, CollectionLoadStopsAtADuplicateKeyAndKeepsWhatCameBefore) {
  CiCollection<QString> col;
  col.add("before", "Pre");
  EXPECT_FALSE(ini.LoadSectionToCollection("Dups", col));
  ASSERT_EQ(col.count(), 3);
  EXPECT_EQ(col.item(1), "before");
  EXPECT_EQ(col.item("key"), "first");
  EXPECT_FALSE(col.contains("Three"));
  CiCollection<QString> general;
  EXPECT_TRUE(ini.LoadSectionToCollection("General", general));
  EXPECT_EQ(general.item("spaced"), "value with blanks");
  EXPECT_FALSE(general.contains("; Comment"));
  EXPECT_FALSE(ini.LoadSectionToCollection("Missing", general));
}

TEST_F(IniFixture, SectionNamesExistOnlyAsWholeNamesWritesReplaceAndDeleteRemoves) {
  Array1<QString> names;
  ini.SectionEnum(names);
  ASSERT_EQ(names.ubound(), 3);
  EXPECT_EQ(names(1), "General");
  EXPECT_EQ(names(3), "Dups");
  EXPECT_TRUE(ini.SectionExists("general"));
  EXPECT_TRUE(ini.SectionExists("XGENERAL"));
  EXPECT_TRUE(ini.SectionExists("dups"));
  EXPECT_FALSE(ini.SectionExists("eneral"));
  EXPECT_FALSE(ini.SectionExists("Dup"));
  Array1<QString> lines(3);
  lines(1) = "A=1";
  lines(2) = "NoEquals";
  lines(3) = "B = 2";
  ini.SectionWrite("Dups", lines);
  Array2<QString> split;
  ini.SectionLoad(split, "Dups");
  ASSERT_EQ(split.ubound(2), 3);
  EXPECT_EQ(split(1, 2), "NoEquals");
  EXPECT_EQ(split(2, 3), "2");
  EXPECT_TRUE(ini.SectionDelete("xgeneral"));
  EXPECT_FALSE(ini.SectionExists("XGeneral"));
  EXPECT_EQ(ini.GetStr("General", "Plain"), "NoBar");
}

TEST(IniFil, MissingFileReadsDefaultsAndIsCreatedByTheFirstWrite) {
  IniFolder dir;
  const QString file = dir.path("none.ini");
  cIniFil ini;
  EXPECT_FALSE(ini.Init(file, true));
  EXPECT_EQ(ini.FileName(), file);
  Array1<QString> names(2);
  ini.SectionEnum(names);
  EXPECT_EQ(names.ubound(), 2) << "left untouched";
  EXPECT_FALSE(ini.SectionExists("A"));
  EXPECT_EQ(ini.GetLong("A", "k"), 0);
  EXPECT_FALSE(QFile::exists(file)) << "reads without a default write nothing";
  ini.SettingSave("A", "k", "v");
  EXPECT_EQ(ini.GetStr("A", "k"), "v");
}

// Hundreds of buffer steps: a freshly written file (never cached) read whole in each step
// would take minutes, hence the generous watchdog.
TEST(IniFil, ListsLongerThanTheBufferGrowIt) {
  IniFolder dir;
  constexpr int kLines = 80000;
  QByteArray text = "[Big]\r\n";
  for (int i = 0; i < kLines; ++i) text += "Key" + QByteArray::number(i) + " = value number " + QByteArray::number(i) + "\r\n";
  for (int i = 0; i < 700; ++i) text += "[Section with a long name " + QByteArray::number(i) + "]\r\n";
  cIniFil ini;
  ini.Init(dir.write("big.ini", text), false);
  auto load = std::async(std::launch::async, [&] {
    Array2<QString> split;
    ini.SectionLoad(split, "Big");
    return split;
  });
  ASSERT_EQ(load.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  const Array2<QString> split = load.get();
  ASSERT_EQ(split.ubound(2), kLines);
  EXPECT_EQ(split(1, 1), "Key0");
  EXPECT_EQ(split(2, kLines), "value number 79999");
  EXPECT_EQ(ini.LoadSectionToString("Big").count(QLatin1Char('\n')), kLines);
  Array1<QString> names;
  ini.SectionEnum(names);
  ASSERT_EQ(names.ubound(), 701);
  EXPECT_EQ(names(701), "Section with a long name 699");
  EXPECT_TRUE(ini.SectionExists("section with a long name 699"));
}

TEST(IniFil, CodePageOptionReadsLanguageFiles) {
  IniFolder dir;
  cIniFil ini;
  ini.Init(dir.write("lng.ini", "[frmMain]\r\ncmdOK=\xc5\xed\xf4\xdc\xee\xe5\xe9|\xe1\r\n"), false, 1253);
  EXPECT_EQ(ini.GetLeftSide("frmMain", "cmdOK"), QString::fromUtf8("Εντάξει"));
  EXPECT_EQ(ini.GetRightSide("frmMain", "cmdOK"), QString::fromUtf8("α"));
}

TEST(CiCollection, KeysIgnoreCaseAndIndexesStartAtOne) {
  CiCollection<QString> col;
  col.add("a", "Alpha");
  col.add("unkeyed");
  col.add("b", "Beta");
  EXPECT_EQ(col.count(), 3);
  EXPECT_EQ(col.item("ALPHA"), "a");
  EXPECT_EQ(col.item(3), "b");
  EXPECT_EQ(col.key(2), QString());
  try {
    col.add("c", "beta");
    FAIL() << "a duplicate key must throw";
  } catch (const jex::Error& e) {
    EXPECT_EQ(e.number(), 457);
    EXPECT_EQ(e.description(), "This key is already associated with an element of this collection");
  }
  EXPECT_THROW(col.item(0), jex::Error);
  EXPECT_THROW(col.item("Gamma"), jex::Error);
  col.remove("alpha");
  EXPECT_EQ(col.item("Beta"), "b");
  EXPECT_EQ(col.item(1), "unkeyed");
  col.add("a2", "Alpha");
  EXPECT_EQ(col.item(3), "a2");
}

TEST(Arrays, OneBasedBoundsAndPreservingRedim) {
  Array1<int> a;
  EXPECT_TRUE(a.isErased());
  EXPECT_EQ(a.ubound(), 0);
  a.redim(3);
  a(3) = 7;
  a.redimPreserve(5);
  EXPECT_EQ(a(3), 7);
  EXPECT_THROW(a(0), jex::Error);
  EXPECT_THROW(a(6), jex::Error);
  Array2<int> b(2, 4);
  b(1, 2) = 1;
  b(2, 2) = 2;
  b.redimPreserve(2);
  EXPECT_EQ(b(1, 2), 1);
  EXPECT_EQ(b(2, 2), 2);
  EXPECT_THROW(b(1, 3), jex::Error);
  EXPECT_THROW(b(3, 1), jex::Error);
}
