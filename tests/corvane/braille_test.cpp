// The core's Braille display: cells compared with liblouis' own translation, the live values
// and their storage, devices, ports and tables, bad input, and the monitor's Braille pane.
#include <gtest/gtest.h>
#include <liblouis/liblouis.h>
#include <sys/stat.h>
#include <QDBusConnection>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <thread>

#include "automation/dbustransport.h"
#include "corvane/engine/braillepane.h"
#include "corvane/engine/brailletables.h"
#include "corvane/engine/monitorwindow.h"
#include "tests/corvane/corvanetest.h"
#include "tests/support/accessibility.h"
#include "tests/support/errorof.h"
#include "tests/support/processes.h"

using jex::automation::Obj;
using jex::testing::errorOf;

namespace {

constexpr char16_t kBlank = 0x2800;

// liblouis' translation of text as Unicode Braille, found by liblouis itself from the file name.
QString louis(const char* table, const QString& text) {
  const QList<uint> ucs = text.toUcs4();
  std::vector<widechar> in(ucs.begin(), ucs.end());
  std::vector<widechar> out(in.size() * 8 + 64);
  int inLen = int(in.size()), outLen = int(out.size());
  EXPECT_TRUE(lou_translateString(table, in.data(), &inLen, out.data(), &outLen, nullptr, nullptr, dotsIO | ucBrl))
      << table;
  QString s;
  for (int i = 0; i < outLen; ++i) s += QChar(char16_t(kBlank | (out[size_t(i)] & 0xFF)));
  return s;
}
QString pad(const QString& cells, int n) {
  return cells.left(n) + QString(n - std::min(n, int(cells.size())), QChar(kBlank));
}
// A 40-cell line of liblouis' translation.
QString line(const char* table, const QString& text) { return pad(louis(table, text), 40); }
QString withDots(QString cells, int at, int dots) {
  cells[at] = QChar(char16_t(cells[at].unicode() | dots));
  return cells;
}
QString sixDots(QString cells) {
  for (QChar& c : cells) c = QChar(char16_t(c.unicode() & ~0xC0));
  return cells;
}

class BrailleCore : public corvane::testing::RootFixture {
 protected:
  corvane::BrailleState& state() { return r().braille(); }
  QString lastLine() const {
    for (auto it = core.reports.crbegin(); it != core.reports.crend(); ++it)
      if (it->startsWith(u"BRAILLE: ")) return it->mid(9);
    return {};
  }
  QString ini(const char* key) { return core.store.value(S("Braille"), S(key)); }
  Obj brl{root.obj(S("BrailleInterface"))};
};

struct RenderCase {
  const char* name;
  std::vector<std::pair<const char*, QVariant>> puts;  // member = value, in this order; the language is German
  QString text;
  int caret;
  std::function<QString()> expected;  // the line after "BRAILLE: "
};

class BrailleRender : public ::testing::TestWithParam<RenderCase>, public BrailleCore {};

TEST_P(BrailleRender, LineMatchesLiblouis) {
  const RenderCase& c = GetParam();
  if (lou_checkTable("de-g2.ctb") == 0) GTEST_SKIP() << "no liblouis tables";
  for (const auto& [member, value] : c.puts) {
    if (S(member) == u"Device") brl.call(S("SetActiveBrailleDeviceAndPort"), {value, S("COM1")});
    else if (S(member) == u"Language") core.store.setValue(S("General"), S("DefaultLng"), value.toString());
    else brl.set(S(member), value);
  }
  state().show(c.text, c.caret);
  const QString shown = lastLine();
  EXPECT_EQ(shown, c.expected()) << c.name;
  // The preview is the same main cells, without status cells.
  EXPECT_EQ(brl.call(S("RenderBraillePreview"), {c.text, c.caret}).toString(), shown.section(u' ', -1));
}

const QString kLong = S("0123456789").repeated(6);
const std::pair<const char*, QVariant> kComp8{"BrailleTranslationTable", "de-de-comp8"};
constexpr const char* kC8 = "de-de-comp8.ctb";

INSTANTIATE_TEST_SUITE_P(
    Cases, BrailleRender,
    ::testing::Values(
        RenderCase{"stored table", {}, "Hallo Welt", -1, [] { return line("de-g1.ctb", "Hallo Welt"); }},
        RenderCase{"German contracted",
                   {{"Grade2Stat", 1}},
                   "Der Text ist schön und wichtig",
                   -1,
                   [] { return line("de-g2.ctb", "Der Text ist schön und wichtig"); }},
        RenderCase{"German basic",
                   {{"Grade2Stat", 1}, {"Grade2Mode", 1}},
                   "Straße 12",
                   -1,
                   [] { return line("de-g0.utb", "Straße 12"); }},
        RenderCase{"French contracted",
                   {{"Language", "1036"}, {"Grade2Stat", 1}, {"Grade2Mode", 3}},
                   "Bonjour tout le monde",
                   -1,
                   [] { return line("fr-bfu-g2.ctb", "Bonjour tout le monde"); }},
        RenderCase{"English never contracted",
                   {{"Language", "1033"}, {"BrailleTranslationTable", "EN-US-G1.u2b"}, {"Grade2Stat", 1}},
                   "Good morning",
                   -1,
                   [] { return line("en-us-g1.ctb", "Good morning"); }},
        RenderCase{"six dots", {kComp8, {"BrailleStyle", 6}}, "Ab{1}", -1, [] { return sixDots(line(kC8, "Ab{1}")); }},
        RenderCase{"full cursor",
                   {kComp8, {"CursorMode", 255}},
                   "hello",
                   2,
                   [] { return withDots(line(kC8, "hello"), 2, 0xFF); }},
        RenderCase{"cursor after the text pans",
                   {kComp8},
                   kLong,
                   50,
                   [] { return withDots(pad(louis(kC8, kLong).mid(40), 40), 10, 0xC0); }},
        RenderCase{"blanks hidden", {kComp8, {"BrailleLineMode", 0}}, "  a   b  ", -1, [] { return line(kC8, "a b"); }},
        RenderCase{"blanks shown",
                   {kComp8, {"BrailleLineMode", 0x7700}},
                   "  a   b  ",
                   -1,
                   [] { return line(kC8, "  a   b  "); }},
        RenderCase{"blank lines hidden",
                   {kComp8, {"BrailleLineMode", 0x0700}},
                   "\n \nabc\n",
                   -1,
                   [] { return line(kC8, "abc"); }},
        RenderCase{"status cells",
                   {{"Device", "VIRTUAL80"}, kComp8, {"CursorMode", 0}},
                   "hello",
                   3,
                   [] { return pad(louis(kC8, "4"), 4) + u' ' + pad(louis(kC8, "hello"), 80); }}),
    [](const auto& info) { return S(info.param.name).remove(u' ').toStdString(); });

class BrailleValues : public ::testing::Test, public BrailleCore {};

TEST_F(BrailleValues, OutOfRangePutsRaiseAndChangeNothing) {
  for (const auto& [member, bad] :
       std::vector<std::pair<const char*, QVariant>>{{"BrailleStyle", 7},
                                                     {"CursorMode", 17},
                                                     {"BrailleOSMode", 11},
                                                     {"BrailleStatusMode", 4},
                                                     {"Grade2Mode", 0},
                                                     {"AttributeStyle", 3},
                                                     {"CurBlinkStat", 2},
                                                     {"ActiveBraillePort", "COM12"},
                                                     {"BrailleTranslationTable", "nosuch.u2b"},
                                                     {"ActiveBrailleDevice", "NOSUCH"}}) {
    const QVariant before = brl.get(S(member));
    EXPECT_NE(errorOf([&] { brl.set(S(member), bad); }), 0) << member;
    EXPECT_EQ(brl.get(S(member)), before) << member;
  }
  EXPECT_NE(errorOf([&] { brl.call(S("SetActiveBrailleDeviceAndPort"), {S("VIRTUAL80"), S("LPT1")}); }), 0);
  EXPECT_EQ(brl.str(S("ActiveBrailleDevice")), S("VIRTUAL40"));
}

TEST_F(BrailleValues, StoredValuesOutOfRangeAreShownAsStored) {
  writeFile(appPath() + S("corvane.ini"),
            "[Braille]\r\nActiveBraillePort=COM12\r\nBrailleStyle=7\r\nCursorMode=17\r\nBrailleLineMode=-1\r\n");
  EXPECT_EQ(brl.str(S("ActiveBraillePort")), S("COM12"));
  EXPECT_EQ(brl.i32(S("BrailleStyle")), 7);
  EXPECT_EQ(brl.i32(S("CursorMode")), 17);
  EXPECT_EQ(brl.i32(S("BrailleLineMode")), -1);
  brl.set(S("BrailleLineMode"), -1 & ~0x100);  // bits outside 0x7700 go through
  EXPECT_EQ(brl.i32(S("BrailleLineMode")), -1 & ~0x100);
  state().show(S("x"), 0);
  EXPECT_EQ(lastLine().size(), 40) << "the display still shows its cells";
}

TEST_F(BrailleValues, ContractedBrailleFollowsTheLanguageAtOnce) {
  if (lou_checkTable("de-g2.ctb") == 0) GTEST_SKIP() << "no liblouis tables";
  brl.set(S("Grade2Stat"), 1);
  state().show(S("Der Text ist schön"), -1);
  EXPECT_EQ(lastLine(), line("de-g2.ctb", S("Der Text ist schön")));
  root.set(S("proc.DefaultLng"), S("1033"));
  EXPECT_EQ(lastLine(), line("de-g1.ctb", S("Der Text ist schön"))) << "the stored table, uncontracted";
}

TEST_F(BrailleValues, SaveStoresTheSectionKeepingOtherKeysAndLoadUndoes) {
  core.store.setValue(S("Braille"), S("BrlKeyStat"), S("1"));
  brl.set(S("CursorMode"), 255);
  brl.set(S("Grade2Lower"), true);
  EXPECT_EQ(ini("CursorMode"), QString()) << "a put is live, not stored";
  brl.call(S("SaveValues"));
  EXPECT_EQ(ini("CursorMode"), S("255"));
  EXPECT_EQ(ini("Grade2Lower"), S("1"));
  EXPECT_EQ(ini("ActiveBrailleDevice"), S("VIRTUAL40"));
  EXPECT_EQ(ini("BrlKeyStat"), S("1"));
  brl.set(S("CursorMode"), 0);
  brl.call(S("SetActiveBrailleDeviceAndPort"), {S("virtual80"), S("com2")});
  brl.call(S("LoadValues"));
  EXPECT_EQ(brl.i32(S("CursorMode")), 255);
  EXPECT_EQ(brl.str(S("ActiveBrailleDevice")), S("VIRTUAL40"));
  EXPECT_EQ(brl.str(S("ActiveBraillePort")), S("COM1"));
}

TEST_F(BrailleValues, TablesOnePerTitleReadAsPathsWrittenByTitle) {
  const QStringList list = brl.call(S("GetBrailleTableList")).toStringList();
  Obj tables = brl.obj(S("BrailleTranslationTables"));
  ASSERT_EQ(tables.count(), list.size());
  if (list.isEmpty()) GTEST_SKIP() << "no liblouis tables";
  EXPECT_EQ(tables.item(list.size()).toString(), list.last());
  QSet<QString> titles;
  for (const QString& p : list) titles << corvane::BrailleTables::title(p).toLower();
  EXPECT_EQ(titles.size(), list.size());
  brl.set(S("BrailleTranslationTable"), S("DE-G2.u2b"));
  EXPECT_TRUE(list.contains(brl.str(S("BrailleTranslationTable"))));
  EXPECT_TRUE(brl.str(S("BrailleTranslationTable")).endsWith(u"/de-g2.ctb"));
  EXPECT_EQ(root.obj(S("proc.CurrentBRLAI")).str(S("Table")), S("de-g2.ctb"));
  const auto clash = corvane::BrailleTables::fromPaths({"/t/bg.tbl", "/t/bg.utb", "/t/x.ctb", "/t/X.tbl"});
  EXPECT_EQ(clash.paths(), (QStringList{"/t/bg.utb", "/t/x.ctb"}));
}

TEST_F(BrailleValues, WithoutTablesOrWithABrokenOneNothingChanges) {
  const auto current = [this] { return corvane::BrailleTables::title(brl.str(S("BrailleTranslationTable"))); };
  const QString before = current();
  const QString broken = appPath() + S("broken.ctb");
  writeFile(broken, "this is no table\n");
  for (const QStringList& files : {QStringList{}, QStringList{broken}}) {
    state().setTables(corvane::BrailleTables::fromPaths(files));
    EXPECT_EQ(brl.call(S("GetBrailleTableList")).toStringList(), files);
    EXPECT_EQ(brl.obj(S("BrailleTranslationTables")).count(), files.size());
    EXPECT_NE(errorOf([&] { brl.set(S("BrailleTranslationTable"), S("broken.u2b")); }), 0);
    EXPECT_EQ(current(), before);
  }
  EXPECT_TRUE(logged(S("lists no tables")));
}

// A table whose name holds a line break or another control character is refused when chosen;
// the stored table stays and the settings can still be saved.
TEST_F(BrailleValues, ATableNameWithAControlCharacterIsRefused) {
  const auto current = [this] { return brl.str(S("BrailleTranslationTable")); };
  QStringList files;
  for (const char* name : {"zeilen\numbruch.ctb", "tab\tulator.ctb", "glocke\a.ctb"}) {
    files << appPath() + S(name);
    writeFile(files.last(), "space \\s 0\nlowercase a 1\n");
  }
  writeFile(appPath() + S("schlicht.ctb"), "space \\s 0\nlowercase a 1\n");
  state().setTables(corvane::BrailleTables::fromPaths(files + QStringList{appPath() + S("schlicht.ctb")}));
  const QString before = current();
  for (const QString& file : files) {
    EXPECT_EQ(errorOf([&] { brl.set(S("BrailleTranslationTable"), corvane::BrailleTables::title(file)); }),
              jex::err::InvalidCall)
        << file.toStdString();
    EXPECT_EQ(current(), before);
  }
  EXPECT_EQ(errorOf([&] { brl.set(S("BrailleTranslationTable"), S("schlicht\n")); }), jex::err::InvalidCall);
  brl.set(S("BrailleTranslationTable"), S("schlicht"));
  EXPECT_EQ(current(), appPath() + S("schlicht.ctb"));
}

TEST_F(BrailleValues, DevicesFromTheDataFileWithTheirKeysAndCells) {
  Obj devices = brl.obj(S("BrailleDevices"));
  ASSERT_GE(devices.count(), 14);
  EXPECT_EQ(devices.itemObj(1).toString(), S("NONE"));
  QHash<QString, Obj> byName;
  for (int i = 1; i <= devices.count(); ++i) byName.insert(devices.itemObj(i).toString(), devices.itemObj(i));
  EXPECT_FALSE(byName[S("ORBIT20")].boolean(S("HasSW")));
  EXPECT_EQ(byName[S("VIRTUAL80")].i32(S("HasStatus")), 4);
  EXPECT_EQ(byName[S("VIRTUAL40")].i32(S("MainCells")), 40);
  EXPECT_TRUE(byName[S("BRAILLIANT20X")].str(S("DisplayNames")).contains(u'|'));
}

TEST_F(BrailleValues, ABadDevicesFileKeepsTheFirstOfTwoAndTheVirtualDisplay) {
  QDir().mkpath(appPath() + S("braille"));
  writeFile(appPath() + S("braille/devices.ini"),
            "[ORBIT20]\nCells=20\n[orbit20]\nCells=40\n[bad id]\nCells=1\n[WIDE]\nCells=x\n");
  Obj devices = brl.obj(S("BrailleDevices"));
  ASSERT_EQ(devices.count(), 3);
  EXPECT_EQ(devices.itemObj(2).toString(), S("VIRTUAL40"));
  EXPECT_EQ(devices.itemObj(3).i32(S("MainCells")), 20);
  EXPECT_EQ(logText().count(S("Braille devices:")), 3);
}

TEST_F(BrailleValues, ARealModelOpensItsPortOrIsNotPresentAndStillShows) {
  core.store.setValue(S("Ports"), S("COM3"), appPath() + S("no/such/node"));
  core.store.setValue(S("Ports"), S("COM4"), S("/dev/null"));
  brl.call(S("SetActiveBrailleDeviceAndPort"), {S("BRAILLIANT20X"), S("COM3")});
  EXPECT_TRUE(core.reports.last().contains(S("not present at ") + appPath() + S("no/such/node")));
  state().show(S("abc"), -1);
  EXPECT_EQ(lastLine().size(), 20);
  const qsizetype reports = core.reports.size();
  brl.set(S("ActiveBraillePort"), S("COM4"));
  EXPECT_EQ(core.reports.size(), reports) << "an openable node is no news";
  EXPECT_EQ(brl.str(S("ActiveBraillePort")), S("COM4"));
}

TEST_F(BrailleValues, MonitorPaneFollowsTheCommandLineAndBlinks) {
  corvane::MonitorWindow w;
  w.braillePane()->attach(&state());
  w.braillePane()->follow(w.commandLine());
  brl.set(S("CursorMode"), 255);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  EXPECT_ACCESSIBLE(&w);
  QTest::keyClicks(w.commandLine(), S("abc"));
  QLineEdit* pane = w.braillePane()->cells();
  EXPECT_EQ(pane->text(), lastLine());
  EXPECT_EQ(pane->text().at(3), QChar(char16_t(0x28FF))) << "the cursor after the text";
  QTimer* blink = w.braillePane()->findChild<QTimer*>();
  ASSERT_TRUE(blink && blink->isActive());
  QMetaObject::invokeMethod(blink, "timeout");
  EXPECT_EQ(pane->text().at(3), QChar(kBlank));
  brl.set(S("CurBlinkStat"), 0);
  EXPECT_FALSE(blink->isActive());
}

// The built core: ":brl" prints the cells, and a core killed while it saves leaves the settings whole.
TEST(BrailleProcess, BrlPrintsTheCellsAndAKillWhileSavingLeavesTheSettingsWhole) {
  jex::testing::SessionBus& bus = jex::testing::SessionBus::shared();
  if (!jex::testing::BuiltCore::built() || !bus.ok()) GTEST_SKIP() << "no built core or no bus";
  for (const int afterMs : {40, 90, 160}) {
    jex::testing::BuiltCore core(bus.address());
    ASSERT_TRUE(core.startAndWait()) << core.out();
    if (afterMs == 40) {
      core.type(S(":brl Hallo\\nWelt"));
      ASSERT_TRUE(core.waitFor(S("BRAILLE: "))) << core.out();
      EXPECT_TRUE(core.has(S("BRAILLE: ") + line("de-g1.ctb", S("Hallo")))) << core.out();
    }
    QDBusConnection conn = bus.connect(S("saver"));
    Obj brl = jex::automation::dbus::connect(S("corvane.application"), conn).obj(S("BrailleInterface"));
    const qint64 pid = core.proc.processId();
    std::thread killer([pid, afterMs] {
      std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
      ::kill(pid_t(pid), SIGKILL);
    });
    // Two consistent states, saved in turn until the core is gone.
    for (int i = 0; i < 2000 && errorOf([&] {
                                  brl.set(S("CursorMode"), i % 2 ? 0 : 255);
                                  brl.set(S("BrailleStyle"), i % 2 ? 8 : 6);
                                  brl.call(S("SaveValues"));
                                }) == 0;
         ++i) {
    }
    killer.join();
    ASSERT_TRUE(core.waitEnded(5000));
    jex::testing::SessionBus::disconnect(conn);
    corvane::IniFileStore ini(core.appDir() + S("/corvane.ini"));
    EXPECT_EQ(ini.value(S("General"), S("DefaultLng")), S("1031")) << afterMs;
    const QString cursor = ini.value(S("Braille"), S("CursorMode"));
    const QString style = ini.value(S("Braille"), S("BrailleStyle"));
    EXPECT_TRUE((cursor == u"255" && style == u"6") || (cursor == u"0" && style == u"8") || cursor.isEmpty())
        << afterMs << " ms: " << cursor.toStdString() << "/" << style.toStdString();
  }
}

// A pipe or a device named like a table in liblouis's table path: only regular files are offered,
// liblouis never opens the pipe, and the core starts and lists its tables as before.
TEST(BrailleProcess, APipeNamedLikeATableIsNeverOfferedNorOpened) {
  jex::testing::SessionBus& bus = jex::testing::SessionBus::shared();
  if (!jex::testing::BuiltCore::built() || !bus.ok()) GTEST_SKIP() << "no built core or no bus";
  if (lou_checkTable("de-g2.ctb") == 0) GTEST_SKIP() << "no liblouis tables";
  QTemporaryDir dir;
  ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath(S("aaa-pipe.ctb"))).constData(), 0600), 0);
  ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath(S("de-g2.utb"))).constData(), 0600), 0);
  fake::CoreFixture::writeFile(dir.filePath(S("include.cti")), "# not a table of its own\n");
  EXPECT_EQ(corvane::BrailleTables::tableFiles({dir.path()}), QStringList{});
  EXPECT_TRUE(corvane::BrailleTables::tableFiles({dir.path(), S("/dev")}).filter(S("/dev/")).isEmpty());

  jex::testing::BuiltCore core(bus.address());
  QProcessEnvironment env = core.proc.processEnvironment();
  env.insert(S("LOUIS_TABLEPATH"), dir.path());
  core.proc.setProcessEnvironment(env);
  ASSERT_TRUE(core.startAndWait()) << core.out();
  QDBusConnection conn = bus.connect(S("tables"));
  Obj brl = jex::automation::dbus::connect(S("corvane.application"), conn).obj(S("BrailleInterface"));
  const QStringList list = brl.call(S("GetBrailleTableList")).toStringList();
  EXPECT_GT(list.size(), 10);
  EXPECT_TRUE(list.filter(dir.path()).isEmpty()) << list.filter(dir.path()).join(u' ').toStdString();
  brl.set(S("BrailleTranslationTable"), S("de-g2"));
  EXPECT_TRUE(brl.str(S("BrailleTranslationTable")).endsWith(S("/de-g2.ctb")));
  jex::testing::SessionBus::disconnect(conn);
}

}  // namespace
