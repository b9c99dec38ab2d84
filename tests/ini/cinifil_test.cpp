#include "ini/cinifil.h"

#include "base/log.h"
#include "ini_test_util.h"
#include "tests/support/errorof.h"

#include <chrono>
#include <future>

using jex::Array1;
using jex::Array2;
using jex::CiCollection;
using jex::cIniFil;
using jex::test::IniFolder;
using jex::testing::errorOf;

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

QStringList items(const Array1<QString>& a) { return QStringList(a.begin(), a.end()); }

// Each column of a (key, value) array as "key|value".
QStringList pairs(const Array2<QString>& a) {
  QStringList out;
  for (int i = 1; i <= a.ubound(2); ++i) out << a(1, i) + "|" + a(2, i);
  return out;
}

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
  EXPECT_EQ(QStringList({ini.GetLeftSide("General", "Caption"), ini.GetRightSide("General", "Caption"),
                         ini.GetLeftSide("General", "Plain"), ini.GetRightSide("General", "Plain")}),
            QStringList({"Text", "Tip|More", "NoBar", ""}));
}

TEST_F(IniFixture, SectionReadsDropCommentsAndSplitAtTheFirstEquals) {
  Array1<QString> lines;
  ini.SectionLoad(lines, "General");
  EXPECT_EQ(items(lines), QStringList({"Sentinel=-9898", "Empty=", "Caption=Text|Tip|More", "Plain=NoBar",
                                       "Spaced=value with blanks", "bare"}));
  Array2<QString> split;
  ini.SectionLoad(split, "general");
  EXPECT_EQ(split.ubound(1), 2);
  EXPECT_EQ(pairs(split), QStringList({"Sentinel|-9898", "Empty|", "Caption|Text|Tip|More", "Plain|NoBar",
                                       "Spaced|value with blanks", "bare|"}));
  EXPECT_FALSE(ini.LoadSectionToString("General").contains("Comment"));
  EXPECT_TRUE(ini.LoadSectionToString("XGeneral") == "a=1\r\n");
  EXPECT_EQ(ini.LoadSectionToString("Missing"), "");
  ini.SectionLoad(lines, "Missing");
  ini.SectionLoad(split, "Missing");
  EXPECT_TRUE(lines.isErased() && split.isErased());
}

// All sections from one reading give what reading them one by one gives: every header in file
// order (one given twice: the first such section each time), comments left out, split at the
// first "=" with blanks trimmed; also for a file in a code page and for a missing one.
struct AllSectionsCase {
  const char* name;
  QByteArray text;  // empty: no file
  int codePage;
};
class SectionsLoad : public ::testing::TestWithParam<AllSectionsCase> {};

TEST_P(SectionsLoad, GivesWhatEachSectionReadGives) {
  IniFolder dir;
  const QString file = GetParam().text.isEmpty() ? dir.path("missing.ini") : dir.write("all.ini", GetParam().text);
  cIniFil ini;
  ini.Init(file, false, GetParam().codePage);
  Array1<QString> names;
  ini.SectionEnum(names);
  QStringList expected;
  for (const QString& name : names) {
    Array2<QString> split;
    ini.SectionLoad(split, name);
    expected << "[" + name + "]" << pairs(split);
  }
  QStringList all;
  for (const cIniFil::LoadedSection& s : ini.SectionsLoad()) {
    all << "[" + s.name + "]";
    for (const auto& [key, value] : s.entries) all << key + "|" + value;
  }
  EXPECT_EQ(all, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SectionsLoad,
    ::testing::Values(AllSectionsCase{"Settings", kSettings, 0},
                      AllSectionsCase{"SectionTwiceAndLinesBeforeTheFirst",
                                      "loose=line\r\n[A]\r\nx = 1\r\n\r\n[B]\n[a]\r\ny=\"2\"\r\n;c\r\n", 0},
                      AllSectionsCase{"CodePage", "[frmMain]\r\ncmdOK=\xc5\xed\xf4|\xe1\r\n[Empty]\r\n", 1253},
                      AllSectionsCase{"NoFile", "", 0}),
    [](const auto& p) { return std::string(p.param.name); });

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
  EXPECT_EQ(items(names), QStringList({"General", "XGeneral", "Dups"}));
  for (const char* name : {"general", "XGENERAL", "dups"}) EXPECT_TRUE(ini.SectionExists(name)) << name;
  for (const char* name : {"eneral", "Dup"}) EXPECT_FALSE(ini.SectionExists(name)) << name;
  Array1<QString> lines(3);
  lines(1) = "A=1";
  lines(2) = "NoEquals";
  lines(3) = "B = 2";
  ini.SectionWrite("Dups", lines);
  Array2<QString> split;
  ini.SectionLoad(split, "Dups");
  EXPECT_EQ(pairs(split), QStringList({"A|1", "NoEquals|", "B|2"}));
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
  for (int i = 0; i < kLines; ++i)
    text += "Key" + QByteArray::number(i) + " = value number " + QByteArray::number(i) + "\r\n";
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
  EXPECT_EQ(QStringList({col.item("ALPHA"), col.item(3), col.key(2)}), QStringList({"a", "b", QString()}));
  EXPECT_EQ(errorOf([&] { col.add("c", "beta"); }), jex::err::DuplicateKey);
  EXPECT_EQ(errorOf([&] { col.item(0); }), jex::err::SubscriptOutOfRange);
  EXPECT_EQ(errorOf([&] { col.item("Gamma"); }), jex::err::InvalidCall);
  col.remove("alpha");
  EXPECT_EQ(QStringList({col.item("Beta"), col.item(1)}), QStringList({"b", "unkeyed"}));
  col.add("a2", "Alpha");
  EXPECT_EQ(col.item(3), "a2");
}

TEST(Arrays, OneBasedBoundsAndPreservingRedim) {
  Array1<int> a;
  EXPECT_TRUE(a.isErased() && a.ubound() == 0);
  a.redim(3);
  a(3) = 7;
  a.redimPreserve(5);
  EXPECT_EQ(a(3), 7);
  Array2<int> b(2, 4);
  b(1, 2) = 1;
  b(2, 2) = 2;
  b.redimPreserve(2);
  EXPECT_EQ(std::make_pair(b(1, 2), b(2, 2)), std::make_pair(1, 2));
  for (const auto& outside :
       std::initializer_list<std::function<void()>>{[&] { a(0); }, [&] { a(6); }, [&] { b(1, 3); }, [&] { b(3, 1); }})
    EXPECT_EQ(errorOf(outside), jex::err::SubscriptOutOfRange);
}
