// The core's settings file, its directory on first start, its command line and console lines.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "corvane/engine/appdir.h"
#include "corvane/engine/callers.h"
#include "corvane/engine/console.h"
#include "corvane/engine/options.h"
#include "corvane/engine/settingsstore.h"
#include "ini/privateprofile.h"
#include "tests/corvane/corvanetest.h"

using namespace corvane;

namespace {

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& data) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(data);
}

class IniStoreTest : public ::testing::Test {
 protected:
  QString path() const { return dir_.filePath(S("corvane.ini")); }
  QTemporaryDir dir_;
};

// The store is the profile layer's (tested with the INI files); here only what the core relies on.
TEST_F(IniStoreTest, ReadsWithoutRegardToCaseAndWritesIntoTheSectionOrRefuses) {
  writeFile(path(), "; keep me\r\n[General]\r\nDefaultLng = 1031\r\n\r\n[Other]\r\nA=1\r\n");
  IniFileStore ini(path());
  EXPECT_EQ(ini.value(S("general"), S("defaultlng")), S("1031"));
  EXPECT_EQ(ini.value(S("Other"), S("DefaultLng"), S("x")), S("x")) << "a key of another section must not be found";
  ASSERT_TRUE(ini.setValue(S("General"), S("UseSpeech"), S("0")));
  ASSERT_TRUE(ini.setValue(S("general"), S("DEFAULTLNG"), S("1033")));
  ASSERT_TRUE(ini.setValue(S("Braille"), S("ActiveBraillePort"), S("USB1")));
  EXPECT_EQ(readAll(path()),
            QByteArray("; keep me\r\n[General]\r\nDefaultLng=1033\r\nUseSpeech=0\r\n\r\n[Other]\r\nA=1\r\n\r\n"
                       "[Braille]\r\nActiveBraillePort=USB1\r\n"));
  EXPECT_FALSE(ini.setValue(S("General"), S("Key"), S("two\nlines")));
  EXPECT_FALSE(IniFileStore(dir_.filePath(S("no/such/dir/corvane.ini"))).setValue(S("General"), S("K"), S("1")));
}

TEST_F(IniStoreTest, KeysWrittenMeanwhileByAnotherWriterAreSeenAndKept) {
  writeFile(path(), "[General]\r\nDefaultLng=1031\r\n");
  IniFileStore ini(path());
  EXPECT_EQ(ini.value(S("General"), S("DefaultLng")), S("1031"));
  // What JexUI or jexui-ini writes goes through the same layer, under its file lock.
  ASSERT_TRUE(jex::ini::WritePrivateProfileString(S("MIXED"), S("chkSayWelcome"), S("0"), path()));
  ASSERT_TRUE(jex::ini::WritePrivateProfileString(S("General"), S("DefaultLng"), S("1033"), path()));
  EXPECT_EQ(ini.value(S("General"), S("DefaultLng")), S("1033"));
  ASSERT_TRUE(ini.setValue(S("General"), S("UseSpeech"), S("0")));
  EXPECT_EQ(readAll(path()),
            QByteArray("[General]\r\nDefaultLng=1033\r\nUseSpeech=0\r\n\r\n[MIXED]\r\nchkSayWelcome=0\r\n"));
}

class AppDirTest : public ::testing::Test {
 protected:
  QTemporaryDir data_, home_;
};

TEST_F(AppDirTest, FirstStartCopiesTheShippedDataAndWritesDefaults) {
  writeFile(data_.filePath(S("LNG/1031/JEXUIDLG.INI")), "[x]\r\n");
  writeFile(data_.filePath(S("user/DEFAULT/USERSET.INI")), "[y]\r\n");
  const QString app = home_.filePath(S("deep/corvane"));
  const AppDirResult r = prepareAppDir(app, data_.path());
  ASSERT_TRUE(r.ok) << r.error.toStdString();
  EXPECT_EQ(r.appPath, QDir(app).absolutePath() + u'/');
  EXPECT_EQ(r.copiedFiles, 2);
  EXPECT_TRUE(QFile::exists(app + S("/LNG/1031/JEXUIDLG.INI")));
  EXPECT_TRUE(QFile::exists(app + S("/user/DEFAULT/USERSET.INI")));
  IniFileStore ini(app + S("/corvane.ini"));
  EXPECT_EQ(ini.value(S("General"), S("DefaultLng")), S("1031"));
  EXPECT_EQ(ini.value(S("Braille"), S("ActiveBraillePort")), S("COM1"));
}

TEST_F(AppDirTest, LaterStartsNeverOverwriteWhatIsThere) {
  writeFile(data_.filePath(S("JEXUI.INI")), "shipped");
  writeFile(data_.filePath(S("corvane.ini")), "shipped");
  writeFile(data_.filePath(S("LNG/new.ini")), "new");
  const QString app = home_.filePath(S("corvane"));
  writeFile(app + S("/JEXUI.INI"), "changed by the user");
  writeFile(app + S("/corvane.ini"), "[General]\r\nDefaultLng=1033\r\n");
  const AppDirResult r = prepareAppDir(app, data_.path());
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.copiedFiles, 1);
  EXPECT_EQ(readAll(app + S("/JEXUI.INI")), QByteArray("changed by the user"));
  EXPECT_EQ(readAll(app + S("/corvane.ini")), QByteArray("[General]\r\nDefaultLng=1033\r\n"));
  EXPECT_EQ(readAll(app + S("/LNG/new.ini")), QByteArray("new"));
}

TEST_F(AppDirTest, UnusablePathsGiveAReasonInsteadOfACrash) {
  writeFile(home_.filePath(S("afile")), "x");
  const AppDirResult r = prepareAppDir(home_.filePath(S("afile")), data_.path());
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.error.isEmpty());
  EXPECT_TRUE(prepareAppDir(home_.filePath(S("ok")), S("/no/such/data")).ok)
      << "a missing data folder only means nothing to copy";
}

TEST(OptionsTest, ParsesValuesSwitchesAndRejectsUnknownOnes) {
  Options o = parseOptions({S("--appdir"), S("/tmp/a"), S("--datadir=/d"), S("--no-jexui"), S("--no-monitor")});
  EXPECT_TRUE(o.error.isEmpty());
  EXPECT_EQ(o.appDir, S("/tmp/a"));
  EXPECT_EQ(o.dataDir, S("/d"));
  EXPECT_TRUE(o.noJexUi && o.noMonitor);
  EXPECT_FALSE(o.noAudio);
  EXPECT_FALSE(o.trustBus) << "the core answers only JexUI unless told otherwise";
  EXPECT_TRUE(parseOptions({S("--trust-bus")}).trustBus);
  EXPECT_EQ(corvane::CallerPolicy::parseNames(S(" org.a.Tool, org.b.Tool;org.c ")),
            (QStringList{S("org.a.Tool"), S("org.b.Tool"), S("org.c")}));
  EXPECT_FALSE(parseOptions({S("--appdir")}).error.isEmpty());
  EXPECT_FALSE(parseOptions({S("--frobnicate")}).error.isEmpty());
}

// A key command is upper-cased, but after its first colon comes an argument (a file name) that
// keeps its case; a console command's text keeps its case.
TEST(ConsoleLineTest, SplitsConsoleCommandsFromKeyCommands) {
  using K = ConsoleLine::Kind;
  const struct {
    const char* line;
    K kind;
    QStringList args;  // not compared when empty
  } cases[] = {{"  dlgSpeech \r", K::Key, {"DLGSPEECH"}},
               {"ui_open:/tmp/Read Me.txt", K::Key, {"UI_OPEN:/tmp/Read Me.txt"}},
               {":switch winword  jexui", K::Switch, {"WINWORD", "JEXUI"}},
               {":say Guten Tag, Welt", K::Say, {"Guten Tag, Welt"}},
               {":type a b{F5}", K::Type, {"a b{F5}"}},
               {":brl a b", K::Braille, {"a b"}},
               {":quit", K::Quit, {}},
               {":HELP", K::Help, {}},
               {"   ", K::Empty, {}},
               {":switch onlyone", K::Invalid, {}},
               {":bogus", K::Invalid, {}}};
  for (const auto& c : cases) {
    const ConsoleLine got = parseConsoleLine(S(c.line));
    EXPECT_EQ(got.kind, c.kind) << c.line;
    if (!c.args.isEmpty()) {
      EXPECT_EQ(got.args, c.args) << c.line;
    }
  }
}

}  // namespace
