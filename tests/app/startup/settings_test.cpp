// Start-up inside the test process: JEXUI.INI, the log threshold, the main window's load and
// unload, the user's first run and every later start, registry and system-parameter entries.
#include <gtest/gtest.h>
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "app/frmmdi.h"
#include "app/startup.h"
#include "app/systemsettings.h"
#include "app/twips.h"
#include "base/log.h"
#include "global/cglobal.h"
#include "platform/registry.h"
#include "platform/sysparams.h"
#include "platform/system.h"
#include "startup_support.h"
#include "widgets/formservice.h"

namespace jex::testing {
namespace {
using platform::SysParams;

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logfile::setPath(world.logFile());
    logfile::setThreshold(0);
    core = std::make_unique<StandInCore>(world.appPath());
    automation::registerClass(S("corvane.application"), [c = core->root] { return c; });
    systemsettings::setRegistryFile(world.dir.path() + S("/registry.json"));
    SysParams::instance().clear();
  }
  void TearDown() override {
    stop();
    automation::unregisterClass(S("corvane.application"));
    systemsettings::setRegistryFile({});
    logfile::setPath({});
    logfile::setThreshold(0);
  }
  // One program run up to the loaded main window.
  void start() {
    Jex() = CreateCoreObject();
    ASSERT_TRUE(Initialise());
    ASSERT_NE(frmMDI::instance(), nullptr);
  }
  void stop() {
    if (frmMDI* f = frmMDI::instance()) {
      f->Unload();
      delete f;
    }
    resetGlobals();
  }
  QString ini(const char* section, const char* key) {
    cIniFil f;
    f.Init(world.iniFile(), false);
    return f.GetStr(QString::fromLatin1(section), QString::fromLatin1(key));
  }
  QString userName() { return systemsettings::winUserName(platform::loginName()); }

  World world;
  std::unique_ptr<StandInCore> core;
};

TEST_F(StartupTest, MissingEmptyOrBrokenIniStartsWithDefaultsAndWritesThemBack) {
  const QByteArray junk("\x00\x01\xff\xfe[SERVICE\x00\x80 WriteLogFile=\xff\r\n\x1b[[[\r\n=\r\n", 40);
  for (const QByteArray& content : {QByteArray("missing"), QByteArray(), junk}) {
    if (content != "missing") world.writeIni(content);
    start();
    EXPECT_EQ(gGlobal().AppPath, world.appPath());
    EXPECT_EQ(gGlobal().SpeedMax, 500);
    EXPECT_EQ(gGlobal().UseForceForeGround, 1);
    EXPECT_TRUE(frmMDI::instance()->isVisible());
    for (const auto& [section, key, value] : {std::tuple{"SERVICE", "WriteLogFile", "0"},
                                              {"Voices", "VolMax", "50000"},
                                              {"WinPos", "Main_X", "100"},
                                              {"WinPos", "Main_Y", "500"},
                                              {"General", "UseForceForeGround", "1"}})
      EXPECT_EQ(ini(section, key), value) << section << '.' << key;
    EXPECT_EQ(ini("WinUsers", qPrintable(userName())), "1");
    stop();
  }
  // A read-only file is still read.
  world.writeIni("[SERVICE]\r\nFeatures=4\r\n");
  QFile::setPermissions(world.iniFile(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
  start();
  EXPECT_EQ(gGlobal().Features, 4);
  EXPECT_EQ(gGlobal().VolMax, 50000);
}

TEST_F(StartupTest, IniValuesAndTheMissingMarkerAreRead) {
  world.writeIni(
      "[SERVICE]\r\nWriteLogFile=-9898\r\nFeatures=4\r\n[Voices]\r\nSpeedMin=80\r\n"
      "[WinPos]\r\nParkMouse=70000\r\n[General]\r\nTipDelay=9\r\nUpdate= 4 \r\n");
  core->model.path = S("  ") + world.appPath().chopped(1) + S("  ");
  start();
  EXPECT_EQ(gGlobal().AppPath, world.appPath());  // trimmed, one trailing separator
  EXPECT_EQ(gGlobal().WriteLogFile(), 0);
  EXPECT_EQ(gGlobal().Features, 4);
  EXPECT_EQ(gGlobal().SpeedMin, 80);
  EXPECT_EQ(gGlobal().ParkMouse, qint16(70000));  // narrowed to 16 bits
  EXPECT_EQ(gGlobal().TipDelay, 9);
  EXPECT_EQ(ini("General", "Update"), "0") << "the update marker is reset once the profile is activated";
}

TEST_F(StartupTest, LogThresholdDecidesWhichLinesAreWritten) {
  const QString firstRun = S("WinUser ") + userName() + S(" 1st RUN !");
  struct Case {
    int level;
    bool firstRunLine, detail;
  };
  for (const Case c : {Case{0, false, false}, Case{1, true, false}, Case{5, true, true}}) {
    world.writeIni(S("[SERVICE]\r\nWriteLogFile=%1\r\n[SPI_FirstRun]\r\nbad=1,2\r\n").arg(c.level).toUtf8());
    start();
    const QStringList lines = world.logLines();
    EXPECT_EQ(lines.contains(firstRun), c.firstRunLine) << c.level;
    EXPECT_EQ(lines.contains(systemsettings::firstRunRegFile(world.appPath()) + S(" not found")), c.firstRunLine)
        << c.level;
    EXPECT_EQ(lines.contains(S("MDI_load")), c.detail) << c.level;
    // Error lines are written at every level.
    EXPECT_TRUE(lines.contains(S("!!! ERROR SPI bad = 1,2: not action,uiParam,pvParam - skipped")))
        << lines.join(u'\n').toStdString();
    stop();
    QFile::remove(world.iniFile());  // the next case is a first run again
  }
}

TEST_F(StartupTest, FirstRunImportsTheRegistryFileThenLaterStartsApplyTheAlwaysEntries) {
  const QString regFile = systemsettings::firstRunRegFile(world.appPath());
  fake::CoreFixture::writeFile(regFile,
                               "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Halda]\r\n"
                               "\"Voice\"=\"Anna\"\r\n");
  world.writeIni(
      "[SERVICE]\r\nWriteLogFile=5\r\n"
      "[SPI_FirstRun]\r\nkeys=75,1,S_NULL\r\n"
      "[SPI_Always]\r\nmouse=4101,0,1\r\nbroken=x,y,z\r\nbeep=2,1,0\r\n"
      "[REG_Always]\r\nHKEY_CURRENT_USER\\Software\\Halda\\Rate=dword:42\r\n"
      "HKEY_LOCAL_MACHINE\\Software\\Halda\\Name=Test\r\nHKEY_NOWHERE\\X\\Y=1\r\n");
  start();
  QStringList lines = world.logLines();
  EXPECT_TRUE(lines.contains(S("WinUser ") + userName() + S(" 1st RUN !")));
  // User names of fifteen or more characters share the empty key.
  EXPECT_EQ(systemsettings::winUserName(S("abcdefghijklmn")), S("abcdefghijklmn"));
  EXPECT_EQ(systemsettings::winUserName(S("abcdefghijklmno")), QString());
  EXPECT_TRUE(lines.contains(regFile + S(" returned 0")));
  EXPECT_TRUE(lines.contains(S("SPI keys = 75,1,S_NULL returns: 1")));
  ASSERT_EQ(SysParams::instance().recorded().size(), 1);
  const auto first = SysParams::instance().recorded().first();
  EXPECT_EQ(first.action, 75u);
  EXPECT_EQ(first.uiParam, 1u);
  EXPECT_FALSE(first.pvParam.has_value());
  EXPECT_EQ(first.flags, 3u);
  platform::Registry reg(systemsettings::registryFile());
  EXPECT_EQ(reg.value(S("HKEY_CURRENT_USER"), S("Software\\Halda"), S("Voice")).toString(), "Anna");
  // The always-entries wait for the next start.
  EXPECT_FALSE(reg.value(S("HKEY_CURRENT_USER"), S("Software\\Halda"), S("Rate")).isValid());
  stop();

  SysParams::instance().clear();
  start();
  lines = world.logLines();
  EXPECT_TRUE(lines.contains(S("WinUser ") + userName() + S(" already done.")));
  EXPECT_FALSE(lines.contains(regFile + S(" returned 0")));
  const auto calls = SysParams::instance().recorded();
  ASSERT_EQ(calls.size(), 2);  // the broken entry is skipped, the one after it still runs
  EXPECT_EQ(calls[0].action, 4101u);
  EXPECT_EQ(calls[0].pvParam, 1);
  EXPECT_EQ(calls[1].action, 2u);
  EXPECT_TRUE(lines.contains(S("!!! ERROR SPI broken = x,y,z: not action,uiParam,pvParam - skipped")));
  EXPECT_TRUE(lines.contains(S("open key: 0 HKEY_CURRENT_USER\\Software\\Halda\\Rate = dword:42")));
  EXPECT_TRUE(lines.contains(S("open key: 2 HKEY_NOWHERE\\X\\Y = 1")));
  platform::Registry after(systemsettings::registryFile());
  EXPECT_EQ(after.value(S("HKEY_CURRENT_USER"), S("Software\\Halda"), S("Rate")), QVariant(quint32(42)));
  EXPECT_EQ(after.value(S("HKEY_LOCAL_MACHINE"), S("Software\\Halda"), S("Name")).toString(), "Test");
}

// A missing registry file is seen by the log threshold test.
TEST_F(StartupTest, MalformedRegistryFileIsLoggedAndTheRestGoesOn) {
  const QString regFile = systemsettings::firstRunRegFile(world.appPath());
  fake::CoreFixture::writeFile(regFile,
                               QByteArray("\xff\x00garbage\r\n[HKEY_CURRENT_USER\\A]\r\n\"x\"=hex:01\r\n", 36));
  world.writeIni("[SERVICE]\r\nWriteLogFile=1\r\n[SPI_FirstRun]\r\nk=1,2,3\r\n");
  start();
  EXPECT_TRUE(world.logLines().contains(regFile + S(" returned 1"))) << world.logLines().join(u'\n').toStdString();
  EXPECT_EQ(SysParams::instance().recorded().size(), 1);
}

TEST_F(StartupTest, LoadAppliesFeaturesCoreStateTitleAndPosition) {
  world.writeIni("[SERVICE]\r\nFeatures=3\r\n[WinPos]\r\nMain_X=-50\r\nMain_Y=1440\r\n");
  core->model.store.setValue(S("Braille"), S("ActiveBraillePort"), S("COM0"));
  start();
  frmMDI* f = frmMDI::instance();
  EXPECT_FALSE(f->mnuExtrasSep()->isVisible());
  EXPECT_FALSE(f->mnuExtrasObjWiz()->isVisible());
  EXPECT_FALSE(f->cmdMenu(1)->isEnabled());
  EXPECT_FALSE(f->mnuBraille()->isEnabled());
  EXPECT_FALSE(f->cmdMenu(4)->isEnabled());
  EXPECT_TRUE(f->cmdMenu(0)->isEnabled());
  EXPECT_EQ(gGlobal().AppTitle, S("Halda %1.%2").arg(JEX_VERSION_MAJOR).arg(JEX_VERSION_MINOR));
  EXPECT_EQ(f->lblAppTitle()->text(), S("Halda"));
  EXPECT_EQ(f->pos(), QPoint(0, twipsToPixelsY(1440)));
  stop();

  world.writeIni("[SERVICE]\r\nFeatures=4\r\n");
  core->model.store.setValue(S("General"), S("MeridanLoaded"), S("1"));
  core->model.store.setValue(S("Braille"), S("ActiveBraillePort"), S("COM1"));
  core->root->braille().load();  // the core's live values take the stored port again
  start();
  f = frmMDI::instance();
  EXPECT_TRUE(f->mnuExtrasObjWiz()->isVisible());
  EXPECT_TRUE(f->mnuExtrasSep()->isVisible());
  EXPECT_TRUE(f->cmdMenu(1)->isEnabled());
  EXPECT_TRUE(f->cmdMenu(4)->isEnabled());
}

TEST_F(StartupTest, BackgroundLoadingRunsThirteenStepsThenClosingHidesAndUnloadRunsInOrder) {
  world.writeIni("[SERVICE]\r\nWriteLogFile=5\r\n");
  QList<int> ran;
  forms::add({S("frmStep3"),
              [&] {
                ran << 3;
                return std::unique_ptr<QWidget>();
              },
              3});
  forms::add({S("frmStep11"),
              [&]() -> std::unique_ptr<QWidget> {
                ran << 11;
                throw std::runtime_error("dialog broke");
              },
              11});
  start();
  frmMDI* f = frmMDI::instance();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !f->tmrStartUp()->isActive(); }, 5000));
  forms::remove(S("frmStep3"));
  forms::remove(S("frmStep11"));
  EXPECT_EQ(f->startUpStep(), 13);
  EXPECT_EQ(ran, (QList<int>{3, 11}));
  const QStringList lines = world.logLines();
  EXPECT_TRUE(inOrder(lines, {S("start bg-loading ..."), S("StartUp: 0"), S("StartUp: 11"), S("StartUp: 12")}));
  EXPECT_FALSE(lines.contains(S("StartUp: 13")));
  EXPECT_TRUE(lines.contains(S("!!! ERROR frmMDI.tmrStartUp: 5 dialog broke"))) << lines.join(u'\n').toStdString();

  // Closing the window only hides it; the unload runs in order and saves the position.
  EXPECT_FALSE(f->close());
  EXPECT_FALSE(f->isVisible());
  EXPECT_EQ(frmMDI::instance(), f);
  EXPECT_TRUE(world.logLines().contains(S("frmMDI_QueryUnload, Mode: 0")));

  f->show();
  f->move(twipsToPixelsX(3000), 0);
  const qint64 savedX = std::llround(pixelsToTwipsX(f->pos().x()));
  stop();
  EXPECT_TRUE(inOrder(world.logLines(), {S("MDI_Unload"), S("Unhook: True"), S("MDI_Terminate")}));
  EXPECT_FALSE(core->model.hub.hasSink()) << "the sink was taken back";
  EXPECT_EQ(ini("WinPos", "Main_X"), QString::number(savedX));
  EXPECT_EQ(ini("WinPos", "Main_Y"), "500");  // left at 0: not written, the default stays
  EXPECT_TRUE(Jex().isNothing());
  EXPECT_EQ(frmMDI::instance(), nullptr);
}

}  // namespace
}  // namespace jex::testing
