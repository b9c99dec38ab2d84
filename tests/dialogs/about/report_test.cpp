// The support report against the stand-in core with known values, the script comparison and
// the interface sounds.
#include "corvane/engine/appdir.h"
#include "dialogs/about/scriptcheck.h"
#include "dialogs/about/sysinforeport.h"
#include "global/cglobal.h"
#include "global/sounds.h"
#include "platform/registry.h"
#include "platform/sound.h"
#include "platform/sysinfo.h"
#include "tests/support/fakecore.h"
#include "users/cuser.h"

using fake::CoreFixture;

namespace {

const QString kShippedScripts = QStringLiteral(JEX_SOURCE_DIR "/data/scripts");

class ReportTest : public ::testing::Test, public CoreFixture {
 protected:
  void SetUp() override {
    for (const auto& [section, key, value] : {std::tuple{"General", "DefaultLng", "1033"},
                                              {"General", "HotkeyState", "0"},
                                              {"Braille", "ActiveBrailleDevice", "Focus40"},
                                              {"Braille", "ActiveBraillePort", "COM2"},
                                              {"Braille", "BrailleSWMode", "3"},
                                              {"Braille", "BrailleOSMode", "1"},
                                              {"Braille", "BrailleTranslationTable", "en-us-g2.ctb"},
                                              {"Braille", "Grade2Stat", "1"},
                                              {"Braille", "BrailleLineMode", "9472"},  // 0x100 | 0x400 | 0x2000
                                              {"KeyEcho", "KeyEcho", "0"},
                                              {"KeyEcho", "CharEcho", "0"}})
      core.store.setValue(QLatin1String(section), QLatin1String(key), QLatin1String(value));
    core.visible = true;
    corvane::copyTreeKeepExisting(kShippedScripts, appPath() + QStringLiteral("scripts"));
    jex::CreateCurrUser();
    sources = {appPath(), dir.path() + QStringLiteral("/sys/"), appPath() + QStringLiteral("registry.json")};
    QDir().mkpath(sources.systemDir);
  }
  QStringList lines() {
    const QString report = jex::GetSysInfo(sources);
    EXPECT_TRUE(report.endsWith(QStringLiteral("\r\n")));
    QStringList l = report.split(QStringLiteral("\r\n"));
    l.removeLast();
    return l;
  }
  jex::SysInfoSources sources;
};

TEST_F(ReportTest, CoreLinesWithTheCoresValuesAndSystemLinesWithTheirFormats) {
  sources.systemDir = jex::platform::systemDirectory();
  const QStringList l = lines();
  ASSERT_EQ(l.size(), 23) << l.join(u'\n').toStdString();
  EXPECT_EQ(l[0],
            QStringLiteral("JEX: %1.%2.%3").arg(JEX_VERSION_MAJOR).arg(JEX_VERSION_MINOR).arg(JEX_VERSION_REVISION));
  EXPECT_TRUE(l[1].startsWith(u"SED ") && l[2].startsWith(u"MOM ") && l[3].startsWith(u"System "))
      << l[1].toStdString();
  EXPECT_TRUE(l[4].contains(u"liblouis"));
  EXPECT_EQ(l[5], QStringLiteral("JexUI: %1.%2.%3 User: DEFAULT")
                      .arg(JEX_VERSION_MAJOR)
                      .arg(JEX_VERSION_MINOR)
                      .arg(JEX_VERSION_REVISION));
  EXPECT_EQ(l.mid(6, 8),
            (QStringList{QStringLiteral("App: Corvane %1.%2, Lng: 1033").arg(JEX_VERSION_MAJOR).arg(JEX_VERSION_MINOR),
                         "Braille: Focus40 COM2 SW:3 OS: 1", "table: en-us-g2.ctb", "HotKeys: Off, Grade2: 1",
                         "hSpace: 101, vSpace: 010", "Echo: 0 CharEcho: 0", "PageCast: not registered",
                         "SSRD Off, MonWin: 1"}));
  const QString kb = QStringLiteral("\\d{1,3}(,\\d{3})* KB");
  const std::pair<int, QString> formats[] = {
      {14, QStringLiteral("Path: ") + QRegularExpression::escape(appPath()) + QStringLiteral(", ") + kb + " free"},
      {15, QStringLiteral("Linux \\d+\\.\\d+ Build:\\d+ .*")},
      {16, QStringLiteral("System: /.*/, ") + kb + " free"},
      {17, QStringLiteral("Memory: ") + kb + " / " + kb + " / (" + kb + "| KB)"},
      {18, QStringLiteral("Screen: \\d+ x \\d+ x \\d+")},
      {19, QStringLiteral("IE: (.* @/.*|/.* not found !)")},
      {20, QStringLiteral("oleacc: .*, oleaccrc: .*")},
      {21, QStringLiteral("SDDP: .*")}};
  for (const auto& [n, pattern] : formats)
    EXPECT_TRUE(QRegularExpression(QRegularExpression::anchoredPattern(pattern)).match(l[n]).hasMatch())
        << l[n].toStdString();
  EXPECT_EQ(l[22], u"Script Changes: ");  // the shipped scripts match their list
}

TEST_F(ReportTest, RegistryServicesAndTheSddpFile) {
  {
    jex::platform::Registry reg(sources.registryFile);
    const QString hkcr = QStringLiteral("HKEY_CLASSES_ROOT"), hklm = QStringLiteral("HKEY_LOCAL_MACHINE");
    reg.setString(hkcr, QStringLiteral("webview.viewsource\\CLSID"), QString(), QStringLiteral("{1234}"));
    reg.setString(hkcr, QStringLiteral("CLSID\\{1234}\\LocalServer32"), QString(),
                  QStringLiteral("/opt/pagecast/pagecast"));
    reg.setDword(hklm, QStringLiteral("SYSTEM\\CurrentControlSet\\Services\\SSRD"), QStringLiteral("Start"), 2);
    reg.setDword(hklm, QStringLiteral("SYSTEM\\CurrentControlSet\\Services\\QMTKBDHK"), QStringLiteral("Start"), 3);
  }
  writeFile(sources.systemDir + QStringLiteral("sddp.inf"), "[Ver]\r\nA\tBCDEFGHIJKLMNOP");
  core.visible = false;
  QStringList l = lines();
  EXPECT_EQ(l[12], u"PageCast @ /opt/pagecast/pagecast");
  EXPECT_EQ(l[13], u"SSRD On, KbdHK:  Off, MonWin: 0");
  EXPECT_EQ(l[21], u"SDDP: [Ver]  A BCDEFGH. 5B 56 65 72 5D 0D 0A 41 09 42 43 44 45 46 47 48");
  jex::platform::Registry(sources.registryFile)
      .setDword(QStringLiteral("HKLM"), QStringLiteral("SYSTEM\\CurrentControlSet\\Services\\QMTKBDHK"),
                QStringLiteral("Start"), 1);
  QFile::remove(sources.systemDir + QStringLiteral("sddp.inf"));
  l = lines();
  EXPECT_EQ(l[13], u"SSRD On, KbdHK:  On, MonWin: 0");
  EXPECT_EQ(l[21], u"SDDP: INF not found");
}

TEST_F(ReportTest, WithoutTheCoreEveryCoreValueIsEmptyButTheReportIsWhole) {
  jex::Jex() = jex::Obj();
  const QStringList l = lines();
  ASSERT_EQ(l.size(), 23);
  for (const auto& [n, text] : {std::pair{0, "JEX: .."},
                                {1, ""},
                                {6, "App: , Lng: "},
                                {7, "Braille:   SW: OS: "},
                                {9, "HotKeys: , Grade2: "},
                                {10, "hSpace: , vSpace: "},
                                {13, "SSRD Off, MonWin: "}})
    EXPECT_EQ(l[n], QLatin1String(text)) << n;
  EXPECT_TRUE(logText().contains(QStringLiteral("!!! ERROR mMain.GetSysInfo")));
}

TEST(ReportFormat, GroupedDigitsAndMemoryText) {
  for (const auto& [n, text] :
       {std::pair{0ULL, ""}, {7ULL, "7"}, {999ULL, "999"}, {1000ULL, "1,000"}, {123456789012ULL, "123,456,789,012"}})
    EXPECT_EQ(jex::formatGrouped(n), QLatin1String(text)) << n;
  const auto m = jex::platform::parseMemInfo(
      "MemTotal:       16318480 kB\nMemFree: 1 kB\nMemAvailable:    9000000 kB\n"
      "SwapTotal:             0 kB\nbroken line\n");
  EXPECT_TRUE(m.valid);
  EXPECT_EQ(m.totalPhys, 16318480ULL * 1024);
  EXPECT_EQ(m.availPhys, 9000000ULL * 1024);
  EXPECT_EQ(m.totalSwap, 0u);
  EXPECT_FALSE(jex::platform::parseMemInfo("MemTotal: x kB\n").valid);
}

TEST_F(ReportTest, ScriptChangesAreListedOneALineOrTheMissingReference) {
  const QString scripts = appPath() + QStringLiteral("scripts/");
  writeFile(scripts + QStringLiteral("keys.vbs"), "' changed\r\n");
  QFile::remove(scripts + QStringLiteral("apps/notepad.vbs"));
  writeFile(scripts + QStringLiteral("apps/calc.vbc"), "compiled");
  writeFile(scripts + QStringLiteral("readme.txt"), "not a script");
  const QString report = jex::GetSysInfo(sources);
  EXPECT_TRUE(
      report.endsWith(QStringLiteral("Script Changes: \r\n  new: apps/calc.vbc\r\n  missing: apps/notepad.vbs\r\n"
                                     "  changed: keys.vbs\r\n")))
      << report.toStdString();
  // Same size, other content.
  QFile f(scripts + QStringLiteral("default.vbs"));
  ASSERT_TRUE(f.open(QIODevice::ReadWrite));
  f.write("X");
  f.close();
  EXPECT_TRUE(jex::scriptChanges(scripts).contains(QStringLiteral("changed: default.vbs")));
  QFile::remove(scripts + jex::kScriptList);
  EXPECT_EQ(jex::scriptChanges(scripts), QStringList{QStringLiteral("no RefDat !")});
  QDir(scripts).removeRecursively();
  EXPECT_TRUE(jex::GetSysInfo(sources).endsWith(QStringLiteral("Script Changes: no RefDat ! nothing !\r\n")));
  EXPECT_EQ(jex::scriptChanges(QString()), QStringList{QStringLiteral("no RefDat ! nothing !")});
}

TEST_F(ReportTest, SoundsFollowTheSwitchAndTheProfileDirectory) {
  using namespace jex::platform;
  const int before = waveRequestCount();
  jex::PlaySound(QStringLiteral("MenuOn"));
  EXPECT_EQ(lastWaveRequest(), userDir() + QStringLiteral("sounds/MenuOn.wav"));
  EXPECT_TRUE(QFile::exists(lastWaveRequest()));
  jex::PlaySound(QStringLiteral("NoSuchSound"));  // requested, silent
  EXPECT_EQ(lastWaveRequest(), userDir() + QStringLiteral("sounds/NoSuchSound.wav"));
  jex::PlaySound(QString());  // ends the playing sound
  EXPECT_EQ(lastWaveRequest(), u"");
  EXPECT_EQ(waveRequestCount(), before + 3);
  EXPECT_EQ(playWave(userDir() + QStringLiteral("sounds/NoSuchSound.wav")), SoundResult::Silent);
  EXPECT_EQ(playWave(QString()), SoundResult::Silent);

  jex::gGlobal().UserProfile->setUseSounds(0);
  const int off = waveRequestCount();
  jex::PlaySound(QStringLiteral("MenuOff"));
  EXPECT_EQ(waveRequestCount(), off);
  jex::gGlobal().UserProfile.reset();
  jex::PlaySound(QStringLiteral("MenuOff"));  // no profile yet: nothing
  EXPECT_EQ(waveRequestCount(), off);
}

}  // namespace
