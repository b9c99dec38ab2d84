// The core's settings file, its directory on first start, its command line and console lines.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "corvane/engine/appdir.h"
#include "corvane/engine/console.h"
#include "corvane/engine/options.h"
#include "corvane/engine/settingsstore.h"
#include "ini/privateprofile.h"

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
  QString path() const { return dir_.filePath(QStringLiteral("corvane.ini")); }
  QTemporaryDir dir_;
};

// The store is the profile layer's (tested with the INI files); here only what the core relies on.
TEST_F(IniStoreTest, ReadsWithoutRegardToCaseAndWritesIntoTheSectionOrRefuses) {
  writeFile(path(), "; keep me\r\n[General]\r\nDefaultLng = 1031\r\n\r\n[Other]\r\nA=1\r\n");
  IniFileStore ini(path());
  EXPECT_EQ(ini.value(QStringLiteral("general"), QStringLiteral("defaultlng")), QStringLiteral("1031"));
  EXPECT_EQ(ini.value(QStringLiteral("Other"), QStringLiteral("DefaultLng"), QStringLiteral("x")), QStringLiteral("x"))
      << "a key of another section must not be found";
  ASSERT_TRUE(ini.setValue(QStringLiteral("General"), QStringLiteral("UseSpeech"), QStringLiteral("0")));
  ASSERT_TRUE(ini.setValue(QStringLiteral("general"), QStringLiteral("DEFAULTLNG"), QStringLiteral("1033")));
  ASSERT_TRUE(ini.setValue(QStringLiteral("Braille"), QStringLiteral("ActiveBraillePort"), QStringLiteral("USB1")));
  EXPECT_EQ(readAll(path()),
            QByteArray("; keep me\r\n[General]\r\nDefaultLng=1033\r\nUseSpeech=0\r\n\r\n[Other]\r\nA=1\r\n\r\n"
                       "[Braille]\r\nActiveBraillePort=USB1\r\n"));
  EXPECT_FALSE(ini.setValue(QStringLiteral("General"), QStringLiteral("Key"), QStringLiteral("two\nlines")));
  EXPECT_FALSE(IniFileStore(dir_.filePath(QStringLiteral("no/such/dir/corvane.ini")))
                   .setValue(QStringLiteral("General"), QStringLiteral("K"), QStringLiteral("1")));
}

TEST_F(IniStoreTest, KeysWrittenMeanwhileByAnotherWriterAreSeenAndKept) {
  writeFile(path(), "[General]\r\nDefaultLng=1031\r\n");
  IniFileStore ini(path());
  EXPECT_EQ(ini.value(QStringLiteral("General"), QStringLiteral("DefaultLng")), QStringLiteral("1031"));
  // What JexUI or jexui-ini writes goes through the same layer, under its file lock.
  ASSERT_TRUE(jex::ini::WritePrivateProfileString(QStringLiteral("MIXED"), QStringLiteral("chkSayWelcome"),
                                                       QStringLiteral("0"), path()));
  ASSERT_TRUE(jex::ini::WritePrivateProfileString(QStringLiteral("General"), QStringLiteral("DefaultLng"),
                                                       QStringLiteral("1033"), path()));
  EXPECT_EQ(ini.value(QStringLiteral("General"), QStringLiteral("DefaultLng")), QStringLiteral("1033"));
  ASSERT_TRUE(ini.setValue(QStringLiteral("General"), QStringLiteral("UseSpeech"), QStringLiteral("0")));
  EXPECT_EQ(readAll(path()),
            QByteArray("[General]\r\nDefaultLng=1033\r\nUseSpeech=0\r\n\r\n[MIXED]\r\nchkSayWelcome=0\r\n"));
}

class AppDirTest : public ::testing::Test {
 protected:
  QTemporaryDir data_, home_;
};

TEST_F(AppDirTest, FirstStartCopiesTheShippedDataAndWritesDefaults) {
  writeFile(data_.filePath(QStringLiteral("LNG/1031/JEXUIDLG.INI")), "[x]\r\n");
  writeFile(data_.filePath(QStringLiteral("user/DEFAULT/USERSET.INI")), "[y]\r\n");
  const QString app = home_.filePath(QStringLiteral("deep/corvane"));
  const AppDirResult r = prepareAppDir(app, data_.path());
  ASSERT_TRUE(r.ok) << r.error.toStdString();
  EXPECT_EQ(r.appPath, QDir(app).absolutePath() + u'/');
  EXPECT_EQ(r.copiedFiles, 2);
  EXPECT_TRUE(QFile::exists(app + QStringLiteral("/LNG/1031/JEXUIDLG.INI")));
  EXPECT_TRUE(QFile::exists(app + QStringLiteral("/user/DEFAULT/USERSET.INI")));
  IniFileStore ini(app + QStringLiteral("/corvane.ini"));
  EXPECT_EQ(ini.value(QStringLiteral("General"), QStringLiteral("DefaultLng")), QStringLiteral("1031"));
  EXPECT_EQ(ini.value(QStringLiteral("Braille"), QStringLiteral("ActiveBraillePort")), QStringLiteral("COM1"));
}

TEST_F(AppDirTest, LaterStartsNeverOverwriteWhatIsThere) {
  writeFile(data_.filePath(QStringLiteral("JEXUI.INI")), "shipped");
  writeFile(data_.filePath(QStringLiteral("corvane.ini")), "shipped");
  writeFile(data_.filePath(QStringLiteral("LNG/new.ini")), "new");
  const QString app = home_.filePath(QStringLiteral("corvane"));
  writeFile(app + QStringLiteral("/JEXUI.INI"), "changed by the user");
  writeFile(app + QStringLiteral("/corvane.ini"), "[General]\r\nDefaultLng=1033\r\n");
  const AppDirResult r = prepareAppDir(app, data_.path());
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.copiedFiles, 1);
  EXPECT_EQ(readAll(app + QStringLiteral("/JEXUI.INI")), QByteArray("changed by the user"));
  EXPECT_EQ(readAll(app + QStringLiteral("/corvane.ini")), QByteArray("[General]\r\nDefaultLng=1033\r\n"));
  EXPECT_EQ(readAll(app + QStringLiteral("/LNG/new.ini")), QByteArray("new"));
}

TEST_F(AppDirTest, UnusablePathsGiveAReasonInsteadOfACrash) {
  writeFile(home_.filePath(QStringLiteral("afile")), "x");
  const AppDirResult r = prepareAppDir(home_.filePath(QStringLiteral("afile")), data_.path());
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.error.isEmpty());
  const AppDirResult noData = prepareAppDir(home_.filePath(QStringLiteral("ok")), QStringLiteral("/no/such/data"));
  EXPECT_TRUE(noData.ok) << "a missing data folder only means nothing to copy";
}

TEST(OptionsTest, ParsesValuesSwitchesAndRejectsUnknownOnes) {
  Options o = parseOptions({QStringLiteral("--appdir"), QStringLiteral("/tmp/a"), QStringLiteral("--datadir=/d"),
                            QStringLiteral("--no-jexui"), QStringLiteral("--no-monitor")});
  EXPECT_TRUE(o.error.isEmpty());
  EXPECT_EQ(o.appDir, QStringLiteral("/tmp/a"));
  EXPECT_EQ(o.dataDir, QStringLiteral("/d"));
  EXPECT_TRUE(o.noJexUi && o.noMonitor);
  EXPECT_FALSE(o.noAudio);
  EXPECT_FALSE(parseOptions({QStringLiteral("--appdir")}).error.isEmpty());
  EXPECT_FALSE(parseOptions({QStringLiteral("--frobnicate")}).error.isEmpty());
}

TEST(ConsoleLineTest, SplitsConsoleCommandsFromKeyCommands) {
  ConsoleLine key = parseConsoleLine(QStringLiteral("  dlgSpeech \r"));
  EXPECT_EQ(key.kind, ConsoleLine::Key);
  EXPECT_EQ(key.args, QStringList{QStringLiteral("DLGSPEECH")});
  // The text after the first colon is an argument (a file name) and keeps its case.
  ConsoleLine open = parseConsoleLine(QStringLiteral("ui_open:/tmp/Read Me.txt"));
  EXPECT_EQ(open.args, QStringList{QStringLiteral("UI_OPEN:/tmp/Read Me.txt")});

  ConsoleLine sw = parseConsoleLine(QStringLiteral(":switch winword  jexui"));
  EXPECT_EQ(sw.kind, ConsoleLine::Switch);
  EXPECT_EQ(sw.args, (QStringList{QStringLiteral("WINWORD"), QStringLiteral("JEXUI")}));

  ConsoleLine say = parseConsoleLine(QStringLiteral(":say Guten Tag, Welt"));
  EXPECT_EQ(say.kind, ConsoleLine::Say);
  EXPECT_EQ(say.args.value(0), QStringLiteral("Guten Tag, Welt")) << "the text keeps its case";

  EXPECT_EQ(parseConsoleLine(QStringLiteral(":quit")).kind, ConsoleLine::Quit);
  EXPECT_EQ(parseConsoleLine(QStringLiteral(":HELP")).kind, ConsoleLine::Help);
  EXPECT_EQ(parseConsoleLine(QStringLiteral("   ")).kind, ConsoleLine::Empty);
  EXPECT_EQ(parseConsoleLine(QStringLiteral(":switch onlyone")).kind, ConsoleLine::Invalid);
  EXPECT_EQ(parseConsoleLine(QStringLiteral(":bogus")).kind, ConsoleLine::Invalid);
}

}  // namespace
