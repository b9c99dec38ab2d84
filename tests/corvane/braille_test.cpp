// The core's Braille display: cells compared with liblouis' own translation, the live values
// and their storage, devices, ports and tables, bad input, and the monitor's Braille pane.
#include <QDBusConnection>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <csignal>
#include <liblouis/liblouis.h>
#include <thread>

#include "corvane/engine/braillepane.h"
#include "corvane/engine/console.h"
#include "corvane/engine/monitorwindow.h"
#include "tests/support/accessibility.h"
#include "tests/support/errorof.h"
#include "tests/support/fakecore.h"
#include "core/automation/dbustransport.h"
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
  EXPECT_TRUE(lou_translateString(table, in.data(), &inLen, out.data(), &outLen, nullptr, nullptr, dotsIO | ucBrl)) << table;
  QString s;
  for (int i = 0; i < outLen; ++i) s += QChar(char16_t(kBlank | (out[size_t(i)] & 0xFF)));
  return s;
}
QString pad(const QString& cells, int n) { return cells.left(n) + QString(n - std::min(n, int(cells.size())), QChar(kBlank)); }
QString withDots(QString cells, int at, int dots) {
  cells[at] = QChar(char16_t(cells[at].unicode() | dots));
  return cells;
}
QString sixDots(QString cells) {
  for (QChar& c : cells) c = QChar(char16_t(c.unicode() & ~0xC0));
  return cells;
}

class BrailleCore {
 protected:
  BrailleCore() {
    jex::logfile::setPath(appPath() + QStringLiteral("corvane.log"));
    jex::logfile::setThreshold(5);
  }
  ~BrailleCore() {
    jex::logfile::setPath({});
    jex::logfile::setThreshold(0);
  }
  QString appPath() const { return dir.path() + u'/'; }
  QString logText() const { return fake::CoreFixture::readFile(appPath() + QStringLiteral("corvane.log")); }
  static void writeFile(const QString& path, const QByteArray& data) { fake::CoreFixture::writeFile(path, data); }
  corvane::BrailleState& state() { return root->braille(); }
  QString lastLine() const {
    for (auto it = core.reports.crbegin(); it != core.reports.crend(); ++it)
      if (it->startsWith(u"BRAILLE: ")) return it->mid(9);
    return {};
  }
  QString ini(const QString& key) { return core.store.value(QStringLiteral("Braille"), key); }
  QTemporaryDir dir;
  fake::Core core{dir.path()};
  std::shared_ptr<corvane::Root> root = std::make_shared<corvane::Root>(core);
  Obj rootObj{root};
  Obj brl{rootObj.obj(QStringLiteral("BrailleInterface"))};
};

struct RenderCase {
  const char* name;
  const char* lng;
  std::vector<std::pair<const char*, QVariant>> puts;  // member = value, in this order
  QString text;
  int caret;
  std::function<QString()> expected;  // the line after "BRAILLE: "
};

class BrailleRender : public ::testing::TestWithParam<RenderCase>, public BrailleCore {};

TEST_P(BrailleRender, LineMatchesLiblouis) {
  const RenderCase& c = GetParam();
  if (lou_checkTable("de-g2.ctb") == 0) GTEST_SKIP() << "no liblouis tables";
  core.store.setValue(QStringLiteral("General"), QStringLiteral("DefaultLng"), QLatin1String(c.lng));
  for (const auto& [member, value] : c.puts) {
    if (QLatin1String(member) == u"Device") brl.call(QStringLiteral("SetActiveBrailleDeviceAndPort"), {value, QStringLiteral("COM1")});
    else brl.set(QLatin1String(member), value);
  }
  state().show(c.text, c.caret);
  const QString line = lastLine();
  EXPECT_EQ(line, c.expected()) << c.name;
  // The preview is the same main cells, without status cells.
  EXPECT_EQ(brl.call(QStringLiteral("RenderBraillePreview"), {c.text, c.caret}).toString(), line.section(u' ', -1));
}

const QString kLong = QStringLiteral("0123456789").repeated(6);

INSTANTIATE_TEST_SUITE_P(
    Cases, BrailleRender,
    ::testing::Values(
        RenderCase{"stored table", "1031", {}, "Hallo Welt", -1, [] { return pad(louis("de-g1.ctb", "Hallo Welt"), 40); }},
        RenderCase{"German contracted", "1031", {{"Grade2Stat", 1}}, "Der Text ist schön und wichtig", -1,
                   [] { return pad(louis("de-g2.ctb", "Der Text ist schön und wichtig"), 40); }},
        RenderCase{"German basic", "1031", {{"Grade2Stat", 1}, {"Grade2Mode", 1}}, "Straße 12", -1,
                   [] { return pad(louis("de-g0.utb", "Straße 12"), 40); }},
        RenderCase{"French contracted", "1036", {{"Grade2Stat", 1}, {"Grade2Mode", 3}}, "Bonjour tout le monde", -1,
                   [] { return pad(louis("fr-bfu-g2.ctb", "Bonjour tout le monde"), 40); }},
        RenderCase{"English never contracted", "1033", {{"BrailleTranslationTable", "EN-US-G1.u2b"}, {"Grade2Stat", 1}},
                   "Good morning", -1, [] { return pad(louis("en-us-g1.ctb", "Good morning"), 40); }},
        RenderCase{"six dots", "1031", {{"BrailleTranslationTable", "de-de-comp8"}, {"BrailleStyle", 6}}, "Ab{1}", -1,
                   [] { return sixDots(pad(louis("de-de-comp8.ctb", "Ab{1}"), 40)); }},
        RenderCase{"full cursor", "1031", {{"BrailleTranslationTable", "de-de-comp8"}, {"CursorMode", 255}}, "hello", 2,
                   [] { return withDots(pad(louis("de-de-comp8.ctb", "hello"), 40), 2, 0xFF); }},
        RenderCase{"cursor after the text pans", "1031", {{"BrailleTranslationTable", "de-de-comp8"}}, kLong, 50,
                   [] { return withDots(pad(louis("de-de-comp8.ctb", kLong).mid(40), 40), 10, 0xC0); }},
        RenderCase{"blanks hidden", "1031", {{"BrailleTranslationTable", "de-de-comp8"}, {"BrailleLineMode", 0}},
                   "  a   b  ", -1, [] { return pad(louis("de-de-comp8.ctb", "a b"), 40); }},
        RenderCase{"blanks shown", "1031", {{"BrailleTranslationTable", "de-de-comp8"}, {"BrailleLineMode", 0x7700}},
                   "  a   b  ", -1, [] { return pad(louis("de-de-comp8.ctb", "  a   b  "), 40); }},
        RenderCase{"blank lines hidden", "1031", {{"BrailleTranslationTable", "de-de-comp8"}, {"BrailleLineMode", 0x0700}},
                   "\n \nabc\n", -1, [] { return pad(louis("de-de-comp8.ctb", "abc"), 40); }},
        RenderCase{"status cells", "1031",
                   {{"Device", "VIRTUAL80"}, {"BrailleTranslationTable", "de-de-comp8"}, {"CursorMode", 0}}, "hello", 3,
                   [] { return pad(louis("de-de-comp8.ctb", "4"), 4) + u' ' + pad(louis("de-de-comp8.ctb", "hello"), 80); }}),
    [](const auto& info) { return QString::fromLatin1(info.param.name).remove(u' ').toStdString(); });

class BrailleValues : public ::testing::Test, public BrailleCore {};

TEST_F(BrailleValues, OutOfRangePutsRaiseAndChangeNothing) {
  for (const auto& [member, bad] : std::vector<std::pair<const char*, QVariant>>{
           {"BrailleStyle", 7}, {"CursorMode", 17}, {"BrailleOSMode", 11}, {"BrailleStatusMode", 4}, {"Grade2Mode", 0},
           {"AttributeStyle", 3}, {"CurBlinkStat", 2}, {"ActiveBraillePort", "COM12"},
           {"BrailleTranslationTable", "nosuch.u2b"}, {"ActiveBrailleDevice", "NOSUCH"}}) {
    const QVariant before = brl.get(QLatin1String(member));
    EXPECT_NE(errorOf([&] { brl.set(QLatin1String(member), bad); }), 0) << member;
    EXPECT_EQ(brl.get(QLatin1String(member)), before) << member;
  }
  EXPECT_NE(errorOf([&] { brl.call(QStringLiteral("SetActiveBrailleDeviceAndPort"), {QStringLiteral("VIRTUAL80"), QStringLiteral("LPT1")}); }), 0);
  EXPECT_EQ(brl.str(QStringLiteral("ActiveBrailleDevice")), QStringLiteral("VIRTUAL40"));
}

TEST_F(BrailleValues, StoredValuesOutOfRangeAreShownAsStored) {
  writeFile(appPath() + QStringLiteral("corvane.ini"),
            "[Braille]\r\nActiveBraillePort=COM12\r\nBrailleStyle=7\r\nCursorMode=17\r\nBrailleLineMode=-1\r\n");
  EXPECT_EQ(brl.str(QStringLiteral("ActiveBraillePort")), QStringLiteral("COM12"));
  EXPECT_EQ(brl.i32(QStringLiteral("BrailleStyle")), 7);
  EXPECT_EQ(brl.i32(QStringLiteral("CursorMode")), 17);
  EXPECT_EQ(brl.i32(QStringLiteral("BrailleLineMode")), -1);
  brl.set(QStringLiteral("BrailleLineMode"), -1 & ~0x100);  // bits outside 0x7700 go through
  EXPECT_EQ(brl.i32(QStringLiteral("BrailleLineMode")), -1 & ~0x100);
  state().show(QStringLiteral("x"), 0);
  EXPECT_EQ(lastLine().size(), 40) << "the display still shows its cells";
}

TEST_F(BrailleValues, ContractedBrailleFollowsTheLanguageAtOnce) {
  if (lou_checkTable("de-g2.ctb") == 0) GTEST_SKIP() << "no liblouis tables";
  brl.set(QStringLiteral("Grade2Stat"), 1);
  state().show(QStringLiteral("Der Text ist schön"), -1);
  EXPECT_EQ(lastLine(), pad(louis("de-g2.ctb", "Der Text ist schön"), 40));
  rootObj.set(QStringLiteral("proc.DefaultLng"), QStringLiteral("1033"));
  EXPECT_EQ(lastLine(), pad(louis("de-g1.ctb", "Der Text ist schön"), 40)) << "the stored table, uncontracted";
}

TEST_F(BrailleValues, SaveStoresTheSectionKeepingOtherKeysAndLoadUndoes) {
  core.store.setValue(QStringLiteral("Braille"), QStringLiteral("BrlKeyStat"), QStringLiteral("1"));
  brl.set(QStringLiteral("CursorMode"), 255);
  brl.set(QStringLiteral("Grade2Lower"), true);
  EXPECT_EQ(ini(QStringLiteral("CursorMode")), QString()) << "a put is live, not stored";
  brl.call(QStringLiteral("SaveValues"));
  EXPECT_EQ(ini(QStringLiteral("CursorMode")), QStringLiteral("255"));
  EXPECT_EQ(ini(QStringLiteral("Grade2Lower")), QStringLiteral("1"));
  EXPECT_EQ(ini(QStringLiteral("ActiveBrailleDevice")), QStringLiteral("VIRTUAL40"));
  EXPECT_EQ(ini(QStringLiteral("BrlKeyStat")), QStringLiteral("1"));
  brl.set(QStringLiteral("CursorMode"), 0);
  brl.call(QStringLiteral("SetActiveBrailleDeviceAndPort"), {QStringLiteral("virtual80"), QStringLiteral("com2")});
  brl.call(QStringLiteral("LoadValues"));
  EXPECT_EQ(brl.i32(QStringLiteral("CursorMode")), 255);
  EXPECT_EQ(brl.str(QStringLiteral("ActiveBrailleDevice")), QStringLiteral("VIRTUAL40"));
  EXPECT_EQ(brl.str(QStringLiteral("ActiveBraillePort")), QStringLiteral("COM1"));
}

TEST_F(BrailleValues, TablesOnePerTitleReadAsPathsWrittenByTitle) {
  const QStringList list = brl.call(QStringLiteral("GetBrailleTableList")).toStringList();
  Obj tables = brl.obj(QStringLiteral("BrailleTranslationTables"));
  ASSERT_EQ(tables.count(), list.size());
  if (list.isEmpty()) GTEST_SKIP() << "no liblouis tables";
  EXPECT_EQ(tables.item(list.size()).toString(), list.last());
  QSet<QString> titles;
  for (const QString& p : list) titles << corvane::BrailleTables::title(p).toLower();
  EXPECT_EQ(titles.size(), list.size());
  brl.set(QStringLiteral("BrailleTranslationTable"), QStringLiteral("DE-G2.u2b"));
  EXPECT_TRUE(list.contains(brl.str(QStringLiteral("BrailleTranslationTable"))));
  EXPECT_TRUE(brl.str(QStringLiteral("BrailleTranslationTable")).endsWith(u"/de-g2.ctb"));
  EXPECT_EQ(rootObj.obj(QStringLiteral("proc.CurrentBRLAI")).str(QStringLiteral("Table")), QStringLiteral("de-g2.ctb"));
  const auto clash = corvane::BrailleTables::fromPaths({"/t/bg.tbl", "/t/bg.utb", "/t/x.ctb", "/t/X.tbl"});
  EXPECT_EQ(clash.paths(), (QStringList{"/t/bg.utb", "/t/x.ctb"}));
}

TEST_F(BrailleValues, WithoutTablesOrWithABrokenOneNothingChanges) {
  const auto current = [this] { return corvane::BrailleTables::title(brl.str(QStringLiteral("BrailleTranslationTable"))); };
  const QString before = current();
  const QString broken = appPath() + QStringLiteral("broken.ctb");
  writeFile(broken, "this is no table\n");
  for (const QStringList& files : {QStringList{}, QStringList{broken}}) {
    state().setTables(corvane::BrailleTables::fromPaths(files));
    EXPECT_EQ(brl.call(QStringLiteral("GetBrailleTableList")).toStringList(), files);
    EXPECT_EQ(brl.obj(QStringLiteral("BrailleTranslationTables")).count(), files.size());
    EXPECT_NE(errorOf([&] { brl.set(QStringLiteral("BrailleTranslationTable"), QStringLiteral("broken.u2b")); }), 0);
    EXPECT_EQ(current(), before);
  }
  EXPECT_TRUE(logText().contains(QStringLiteral("lists no tables")));
}

TEST_F(BrailleValues, DevicesFromTheDataFileWithTheirKeysAndCells) {
  Obj devices = brl.obj(QStringLiteral("BrailleDevices"));
  ASSERT_GE(devices.count(), 14);
  EXPECT_EQ(devices.itemObj(1).toString(), QStringLiteral("NONE"));
  QHash<QString, Obj> byName;
  for (int i = 1; i <= devices.count(); ++i) byName.insert(devices.itemObj(i).toString(), devices.itemObj(i));
  EXPECT_FALSE(byName[QStringLiteral("ORBIT20")].boolean(QStringLiteral("HasSW")));
  EXPECT_EQ(byName[QStringLiteral("VIRTUAL80")].i32(QStringLiteral("HasStatus")), 4);
  EXPECT_EQ(byName[QStringLiteral("VIRTUAL40")].i32(QStringLiteral("MainCells")), 40);
  EXPECT_TRUE(byName[QStringLiteral("BRAILLIANT20X")].str(QStringLiteral("DisplayNames")).contains(u'|'));
}

TEST_F(BrailleValues, ABadDevicesFileKeepsTheFirstOfTwoAndTheVirtualDisplay) {
  QDir().mkpath(appPath() + QStringLiteral("braille"));
  writeFile(appPath() + QStringLiteral("braille/devices.ini"),
            "[ORBIT20]\nCells=20\n[orbit20]\nCells=40\n[bad id]\nCells=1\n[WIDE]\nCells=x\n");
  Obj devices = brl.obj(QStringLiteral("BrailleDevices"));
  ASSERT_EQ(devices.count(), 3);
  EXPECT_EQ(devices.itemObj(2).toString(), QStringLiteral("VIRTUAL40"));
  EXPECT_EQ(devices.itemObj(3).i32(QStringLiteral("MainCells")), 20);
  EXPECT_EQ(logText().count(QStringLiteral("Braille devices:")), 3);
}

TEST_F(BrailleValues, ARealModelOpensItsPortOrIsNotPresentAndStillShows) {
  core.store.setValue(QStringLiteral("Ports"), QStringLiteral("COM3"), appPath() + QStringLiteral("no/such/node"));
  core.store.setValue(QStringLiteral("Ports"), QStringLiteral("COM4"), QStringLiteral("/dev/null"));
  brl.call(QStringLiteral("SetActiveBrailleDeviceAndPort"), {QStringLiteral("BRAILLIANT20X"), QStringLiteral("COM3")});
  EXPECT_TRUE(core.reports.last().contains(QStringLiteral("not present at ") + appPath() + QStringLiteral("no/such/node")));
  state().show(QStringLiteral("abc"), -1);
  EXPECT_EQ(lastLine().size(), 20);
  const qsizetype reports = core.reports.size();
  brl.set(QStringLiteral("ActiveBraillePort"), QStringLiteral("COM4"));
  EXPECT_EQ(core.reports.size(), reports) << "an openable node is no news";
  EXPECT_EQ(brl.str(QStringLiteral("ActiveBraillePort")), QStringLiteral("COM4"));
}

TEST_F(BrailleValues, MonitorPaneFollowsTheCommandLineAndBlinks) {
  corvane::MonitorWindow w;
  w.braillePane()->attach(&state());
  w.braillePane()->follow(w.commandLine());
  brl.set(QStringLiteral("CursorMode"), 255);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  EXPECT_ACCESSIBLE(&w);
  QTest::keyClicks(w.commandLine(), QStringLiteral("abc"));
  QLineEdit* pane = w.braillePane()->cells();
  EXPECT_EQ(pane->text(), lastLine());
  EXPECT_EQ(pane->text().at(3), QChar(char16_t(0x28FF))) << "the cursor after the text";
  QTimer* blink = w.braillePane()->findChild<QTimer*>();
  ASSERT_TRUE(blink && blink->isActive());
  QMetaObject::invokeMethod(blink, "timeout");
  EXPECT_EQ(pane->text().at(3), QChar(kBlank));
  brl.set(QStringLiteral("CurBlinkStat"), 0);
  EXPECT_FALSE(blink->isActive());
  EXPECT_EQ(corvane::parseConsoleLine(QStringLiteral(":brl a b")).args, QStringList{QStringLiteral("a b")});
}

TEST(BrailleProcess, BrlPrintsTheCellsOfTheText) {
  jex::testing::SessionBus& bus = jex::testing::SessionBus::shared();
  if (!jex::testing::BuiltCore::built() || !bus.ok()) GTEST_SKIP() << "no built core or no bus";
  jex::testing::BuiltCore core(bus.address());
  ASSERT_TRUE(core.startAndWait()) << core.out();
  core.type(QStringLiteral(":brl Hallo\\nWelt"));
  ASSERT_TRUE(core.waitFor(QStringLiteral("BRAILLE: "))) << core.out();
  EXPECT_TRUE(core.has(QStringLiteral("BRAILLE: ") + pad(louis("de-g1.ctb", "Hallo"), 40))) << core.out();
  core.type(QStringLiteral(":quit"));
  EXPECT_TRUE(core.waitEnded(5000));
}

TEST(BrailleProcess, KilledWhileSavingLeavesTheSettingsWhole) {
  jex::testing::SessionBus& bus = jex::testing::SessionBus::shared();
  if (!jex::testing::BuiltCore::built() || !bus.ok()) GTEST_SKIP() << "no built core or no bus";
  for (const int afterMs : {40, 90, 160}) {
    jex::testing::BuiltCore core(bus.address());
    ASSERT_TRUE(core.startAndWait()) << core.out();
    QDBusConnection conn = bus.connect(QStringLiteral("saver"));
    Obj brl = jex::automation::dbus::connect(QStringLiteral("corvane.application"), conn).obj(QStringLiteral("BrailleInterface"));
    const qint64 pid = core.proc.processId();
    std::thread killer([pid, afterMs] {
      std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
      ::kill(pid_t(pid), SIGKILL);
    });
    // Two consistent states, saved in turn until the core is gone.
    for (int i = 0; i < 2000 && errorOf([&] {
                                  brl.set(QStringLiteral("CursorMode"), i % 2 ? 0 : 255);
                                  brl.set(QStringLiteral("BrailleStyle"), i % 2 ? 8 : 6);
                                  brl.call(QStringLiteral("SaveValues"));
                                }) == 0;
         ++i) {
    }
    killer.join();
    ASSERT_TRUE(core.waitEnded(5000));
    jex::testing::SessionBus::disconnect(conn);
    corvane::IniFileStore ini(core.appDir() + QStringLiteral("/corvane.ini"));
    EXPECT_EQ(ini.value(QStringLiteral("General"), QStringLiteral("DefaultLng")), QStringLiteral("1031")) << afterMs;
    const QString cursor = ini.value(QStringLiteral("Braille"), QStringLiteral("CursorMode"));
    const QString style = ini.value(QStringLiteral("Braille"), QStringLiteral("BrailleStyle"));
    EXPECT_TRUE((cursor == u"255" && style == u"6") || (cursor == u"0" && style == u"8") || cursor.isEmpty())
        << afterMs << " ms: " << cursor.toStdString() << "/" << style.toStdString();
  }
}

}  // namespace
