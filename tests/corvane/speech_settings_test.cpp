// The core's voices, modes, speech profile and character tables, as JexUI's voices dialog and
// the scripts reach them through the root object, and the files they are kept in (the built
// core's speaking with them: corvane_process_test.cpp).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QFile>
#include <QFileInfo>

#include "corvane/engine/speechsettings.h"
#include "tests/corvane/corvanetest.h"
#include "tests/support/errorof.h"

using namespace corvane;
using jex::testing::errorOf;

namespace {

jex::Obj call(const jex::Obj& o, const char* member, QVariantList args) {
  return jex::automation::toObj(o.call(S(member), args));
}
// The speech profile's entry of a source.
jex::Obj entryOf(const jex::Obj& root, int source) { return call(root, "SpeechProfile.ItemByIndex", {source}); }

class SpeechSettingsTest : public ::testing::Test, public corvane::testing::RootFixture {
 protected:
  jex::Obj voices() const { return root.obj(S("SpeechVoices")); }
  jex::Obj voice(int i) const { return voices().itemObj(i); }
  jex::Obj entry(int source) const { return entryOf(root, source); }
  SpeechSettings& speech() { return r().speech(); }
};

TEST_F(SpeechSettingsTest, ModesAreEspeaksLanguageVoicesPlainAndFemaleAndListedInIndexOrder) {
  const jex::Obj modes = root.obj(S("SpeechModes"));
  ASSERT_GT(modes.count(), 100);
  EXPECT_EQ(modes.count() % 2, 0);
  const jex::Obj german = call(modes, "ItemByName", {S("eSpeak:German")});
  ASSERT_FALSE(german.isNothing());
  EXPECT_EQ(german.str(S("LanguageID")), S("1031"));
  EXPECT_EQ(german.str(S("ProductName")), S("eSpeak NG"));
  EXPECT_EQ(german.i32(S("Gender")), 0);
  const jex::Obj female = modes.itemObj(german.i32(S("Index")) + 1);
  EXPECT_EQ(female.str(S("Mode")), S("eSpeak:German female"));
  EXPECT_EQ(female.i32(S("Gender")), 1);
  EXPECT_TRUE(call(modes, "ItemByName", {S("eSpeak:Nowhere")}).isNothing());

  const QVariantList rows = modes.call(S("GetModeList")).toList();
  ASSERT_EQ(rows.size(), modes.count());
  for (int i = 1; i <= modes.count(); ++i) {
    const jex::Obj m = modes.itemObj(i);
    ASSERT_EQ(rows[i - 1].toStringList(),
              (QStringList{m.str(S("Mode")), m.str(S("LanguageID")), m.str(S("ProductName")), m.str(S("Gender"))}))
        << i;
  }
}

TEST_F(SpeechSettingsTest, ANewCoreHasTwoVoicesOfItsLanguageForEverySource) {
  ASSERT_EQ(voices().count(), 4);
  EXPECT_EQ(voice(1).str(S("InternalName")), S("--"));
  EXPECT_EQ(voice(2).str(S("InternalName")), S("v0"));
  EXPECT_EQ(voice(3).str(S("SapiMode")), S("eSpeak:German"));
  EXPECT_EQ(voice(4).str(S("SapiMode")), S("eSpeak:German female"));
  EXPECT_EQ(voice(4).str(S("Speaker")), S("f2 F"));
  for (int s = 1; s <= kSpeechSources; ++s) EXPECT_NE(entry(s).str(S("VoiceName")), S("--")) << s;
  EXPECT_EQ(entry(5).str(S("TableName")), S("2alle.tab"));

  core.store.setValue(ini::General, ini::DefaultLng, S("1033"));
  const jex::Obj english = restarted();
  EXPECT_EQ(english.obj(S("SpeechVoices")).itemObj(4).str(S("SapiMode")), S("eSpeak:English (America) female"));
  EXPECT_EQ(entryOf(english, 5).str(S("TableName")), S("2all.tab"));
}

TEST(LanguageIdTest, TagsTakeTheLocaleNumberOfTheirLongestKnownPrefix) {
  for (const auto& [tag, lcid] : {std::pair{"de", "1031"},
                                  {"en-gb-x-rp", "2057"},
                                  {"en-029", "9225"},
                                  {"EN-US-nyc", "1033"},
                                  {"pt-br", "1046"},
                                  {"eo", "4096"},
                                  {"", "4096"}})
    EXPECT_EQ(lcidOfLanguage(S(tag)), S(lcid)) << tag;
}

TEST_F(SpeechSettingsTest, NineVoicesAtMostAndTheReservedEntriesStay) {
  const jex::Obj v = voices();
  QVariantList female{S("eSpeak:French (France) female")};
  for (int i = 3; i <= kMaxVoices; ++i) EXPECT_EQ(v.call(S("CreateVoice"), female).toString(), S("v%1").arg(i));
  EXPECT_EQ(v.count(), 11);
  EXPECT_EQ(v.call(S("CreateVoice"), female).toString(), QString()) << "a tenth voice";
  EXPECT_EQ(voice(11).str(S("LanguageID")), S("1036"));
  EXPECT_EQ(voice(11).str(S("Speaker")), S("f2 F"));

  for (int bad : {0, 1, 2, 12})
    EXPECT_EQ(errorOf([&] { v.call(S("RemoveByIndex"), {bad}); }), jex::err::InvalidCall) << bad;
  const jex::Obj keyEchoVoice = entry(6).obj(S("Voice"));
  ASSERT_EQ(keyEchoVoice.str(S("InternalName")), S("v2"));
  v.call(S("RemoveByIndex"), {4});
  EXPECT_EQ(entry(6).str(S("VoiceName")), S("--")) << "its sources have no voice now";
  EXPECT_EQ(entry(6).obj(S("Voice")).str(S("FriendlyName")), S("keine"));
  EXPECT_EQ(errorOf([&] { keyEchoVoice.i32(S("speed")); }), jex::err::InvalidCall);
  EXPECT_EQ(v.call(S("CreateVoice"), female).toString(), S("v2")) << "the lowest free name";
}

class VoiceNameTest : public SpeechSettingsTest, public ::testing::WithParamInterface<QString> {};
TEST_P(VoiceNameTest, ReadsBackUnchangedAfterSaving) {
  voice(3).set(S("FriendlyName"), GetParam());
  voices().call(S("SaveVoices"));
  const jex::Obj after = restarted(), again = after.obj(S("SpeechVoices"));
  EXPECT_EQ(again.itemObj(3).str(S("FriendlyName")), GetParam());
  EXPECT_EQ(again.count(), 4);
}
INSTANTIATE_TEST_SUITE_P(Names, VoiceNameTest,
                         ::testing::Values(S("a=b"), S("[v2]"), QString(300, u'x'), S("\"Anna\""), S("  Anna  "),
                                           S(";Anna"), S("Stimme für Tastenecho")));

TEST_F(SpeechSettingsTest, ANameWithALineBreakIsRefusedAndTheFileStaysSound) {
  voice(3).set(S("FriendlyName"), S("Anna"));
  EXPECT_EQ(errorOf([&] { voice(3).set(S("FriendlyName"), S("Anna\n[v1]\nMode=x")); }), jex::err::InvalidCall);
  EXPECT_EQ(voice(3).str(S("FriendlyName")), S("Anna"));
  EXPECT_TRUE(logged(S("!!! ERROR")));
  voices().call(S("SaveVoices"));
  EXPECT_EQ(restarted().obj(S("SpeechVoices")).itemObj(3).str(S("FriendlyName")), S("Anna"));
}

struct BadFile {
  const char* name;
  QByteArray voices;   // written as voices.ini; empty: no file
  QByteArray profile;  // written as profile.ini; empty: left as it is
  int count;           // SpeechVoices.Count after the start
  const char* focus;   // the focus source's voice
  const char* logLine;
};
class BadFileTest : public SpeechSettingsTest, public ::testing::WithParamInterface<BadFile> {};
TEST_P(BadFileTest, GiveTheDefaultsForThatPartAndALogLine) {
  const BadFile& c = GetParam();
  QDir().mkpath(appPath() + S("speech"));
  if (!c.voices.isEmpty()) writeFile(speech().voicesFile(), c.voices);
  if (!c.profile.isEmpty()) writeFile(speech().profileFile(), c.profile);
  const jex::Obj r = restarted();
  EXPECT_EQ(r.obj(S("SpeechVoices")).count(), c.count);
  EXPECT_EQ(entryOf(r, 1).str(S("VoiceName")), S(c.focus));
  EXPECT_TRUE(logged(S(c.logLine))) << logText().toStdString();
}
INSTANTIATE_TEST_SUITE_P(
    Files, BadFileTest,
    ::testing::Values(BadFile{"Missing", {}, {}, 4, "v1", ", default voices"},
                      BadFile{"Junk", QByteArray("\x00\xff\xfe garbage\n=\n[", 16), {}, 4, "v1", "no usable voice"},
                      BadFile{"UninstalledVoice", "[v1]\r\nMode=eSpeak:Nowhere\r\n[v3]\r\nMode=eSpeak:German\r\n",
                              "[Profile]\r\nFocus=v1\r\nNavigation=v3\r\n", 3, "--", "names no installed mode"},
                      BadFile{"JunkProfile", {}, "Focus=v1\n[Other]\nx", 4, "v1", "no usable profile"}),
    [](const auto& info) { return std::string(info.param.name); });

// A number of voices.ini that cannot be read takes that value's default, with a log line that
// names file, section, key and text (a volume of 0 would mute the focus voice); one out of range
// its nearest bound.
struct StoredNumber {
  const char* line;
  int speed, pitch, volume;
  const char* logLine;
};
class StoredNumberTest : public SpeechSettingsTest, public ::testing::WithParamInterface<StoredNumber> {};
TEST_P(StoredNumberTest, TakesTheDefaultOrTheBoundWithALogLine) {
  const StoredNumber& c = GetParam();
  QDir().mkpath(appPath() + S("speech"));
  QByteArray file = "[v1]\r\nMode=eSpeak:German\r\n";
  const QByteArray key = QByteArray(c.line).split('=').first();
  for (const QByteArray& line : {QByteArray("Speed=300"), QByteArray("Pitch=60"), QByteArray("Volume=1000")})
    file += (line.startsWith(key) ? QByteArray(c.line) : line) + "\r\n";
  writeFile(speech().voicesFile(), file);
  root = restarted();  // held: the voice is an object of it
  const jex::Obj v = voice(3);
  EXPECT_EQ(v.i32(S("speed")), c.speed);
  EXPECT_EQ(v.i32(S("Pitch")), c.pitch);
  EXPECT_EQ(v.i32(S("volume")), c.volume);
  EXPECT_TRUE(logged(speech().voicesFile() + S(" [v1] ") + S(c.logLine))) << logText().toStdString();
}
INSTANTIATE_TEST_SUITE_P(
    Texts, StoredNumberTest,
    ::testing::Values(StoredNumber{"Volume=abc", 300, 60, 32768, "Volume=abc is no number; it reads 32768"},
                      StoredNumber{"Volume=99999999999", 300, 60, 32768, "Volume=99999999999 is no number"},
                      StoredNumber{"Volume=", 300, 60, 32768, "Volume= is no number"},
                      StoredNumber{"Pitch=NaN", 300, 50, 1000, "Pitch=NaN is no number; it reads 50"},
                      StoredNumber{"Speed=1e3", 175, 60, 1000, "Speed=1e3 is no number; it reads 175"},
                      StoredNumber{"Speed=2.5", 175, 60, 1000, "Speed=2.5 is no number"},
                      StoredNumber{"Speed=9000", kSpeedMax, 60, 1000, "Speed=9000 clamped to 500"},
                      StoredNumber{"Volume=-1", 300, 60, 0, "Volume=-1 clamped to 0"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

// voices.ini and profile.ini are saved as a pair: whatever a crash in the middle of a save
// leaves, the next start has a profile whose voices the voices file holds (the new pair when
// the save had reached its journal, else the old one), and no file of the save is left over.
struct CutOffSave {
  const char* name;
  bool journal;         // the journal was written
  bool voicesReplaced;  // voices.ini was already replaced by the new one
  bool newPair;         // the start brings the new pair
};
class CutOffSaveTest : public SpeechSettingsTest, public ::testing::WithParamInterface<CutOffSave> {};
TEST_P(CutOffSaveTest, LeavesAConsistentPair) {
  const CutOffSave& c = GetParam();
  const auto bytesOf = [](const QString& f) {
    QFile file(f);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  };
  const QString oldVoice = voices().call(S("CreateVoice"), {S("eSpeak:German")}).toString();
  entry(1).set(S("VoiceName"), oldVoice);
  voices().call(S("SaveVoices"));
  const QByteArray oldVoices = bytesOf(speech().voicesFile()), oldProfile = bytesOf(speech().profileFile());
  const QString newVoice = voices().call(S("CreateVoice"), {S("eSpeak:German female")}).toString();
  entry(1).set(S("VoiceName"), newVoice);
  voices().call(S("SaveVoices"));
  const QByteArray newVoices = bytesOf(speech().voicesFile()), newProfile = bytesOf(speech().profileFile());

  writeFile(speech().voicesFile(), c.voicesReplaced ? newVoices : oldVoices);
  writeFile(speech().profileFile(), oldProfile);
  if (!c.voicesReplaced) writeFile(speech().voicesFile() + S(".new"), newVoices);
  writeFile(speech().profileFile() + S(".new"), newProfile);
  if (c.journal) writeFile(speech().saveJournal(), "voices.ini\r\nprofile.ini\r\n");
  writeFile(speech().voicesFile() + S(".aB3xYz"), "[v1]\r\nMode=eSpeak:Ger");  // a replacement cut off
  writeFile(speech().profileFile() + S(".Qw7Rt2"), "");

  const jex::Obj r = restarted();
  EXPECT_EQ(entryOf(r, 1).str(S("VoiceName")), c.newPair ? newVoice : oldVoice);
  EXPECT_EQ(r.obj(S("SpeechVoices")).count(), c.newPair ? 6 : 5);
  QStringList left = QDir(appPath() + S("speech")).entryList(QDir::Files);
  left.removeIf([](const QString& f) { return f.endsWith(S(".lock")) || f == S("defaults.ini"); });
  EXPECT_EQ(left, (QStringList{S("profile.ini"), S("voices.ini")}));
}
INSTANTIATE_TEST_SUITE_P(Crashes, CutOffSaveTest,
                         ::testing::Values(CutOffSave{"BeforeTheJournal", false, false, false},
                                           CutOffSave{"AfterTheJournal", true, false, true},
                                           CutOffSave{"BetweenTheTwoReplacements", true, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SpeechSettingsTest, ValuesOutOfRangeAreClampedLoggedAndHeardAtOnce) {
  const jex::Obj v = voice(3);
  v.set(S("speed"), 9999);
  EXPECT_EQ(v.i32(S("speed")), kSpeedMax);
  EXPECT_TRUE(logged(S("speed of v1: 9999 is outside")));
  v.set(S("Pitch"), -3);
  EXPECT_EQ(v.i32(S("Pitch")), 0);
  v.set(S("volume"), 70000);
  EXPECT_EQ(v.i32(S("volume")), kVolumeMax);
  EXPECT_EQ(errorOf([&] { v.set(S("speed"), S("abc")); }), jex::err::TypeMismatch);
  EXPECT_EQ(v.i32(S("speed")), kSpeedMax);
  EXPECT_EQ(core.reports, (QStringList{S("SAMPLE: v1: 500"), S("SAMPLE: v1: 0"), S("SAMPLE: v1: 65535")}));
  QVariantList range{7, 7};
  v.call(S("PitchRanges"), range);
  EXPECT_EQ(range, (QVariantList{0, 100}));
}

TEST_F(SpeechSettingsTest, SourcesSpeakWithTheirVoiceAndTableAndJexUiMayPickAnother) {
  SpeechSettings& s = speech();
  voice(4).set(S("speed"), 300);
  const VoiceChoice keyEcho = s.choiceFor(6);
  EXPECT_EQ(keyEcho.espeakVoice, S("gmw/de+f2"));
  EXPECT_EQ(keyEcho.rate, 300);
  EXPECT_TRUE(keyEcho.punctuation.contains(u'.')) << "key echo names every character (2alle)";
  EXPECT_FALSE(s.choiceFor(1).punctuation.contains(u'.')) << "the focus names only some (1einige)";

  entry(1).set(S("VoiceName"), S("--"));
  EXPECT_TRUE(s.choiceFor(1).espeakVoice.isEmpty()) << "no voice: silent";
  EXPECT_EQ(errorOf([&] { entry(1).set(S("VoiceName"), S("v7")); }), jex::err::InvalidCall);

  const jex::Obj female = call(root, "SpeechModes.ItemByName", {S("eSpeak:English (Great Britain) female")});
  female.call(S("PrepareModeVoice"));
  EXPECT_EQ(s.choiceFor(2, S("m%1").arg(female.i32(S("Index")))).espeakVoice, S("gmw/en+f2"));
  EXPECT_EQ(s.choiceFor(2, S("v2")).rate, 300);
  EXPECT_EQ(s.choiceFor(2, S("nobody")).espeakVoice, S("gmw/de")) << "its own voice";
}

// Every utterance asks for its source's characters: the file is read once, again only when its
// size or time changes, and a pipe in its place is never opened.
TEST_F(SpeechSettingsTest, ACharacterTableIsReadOnceAndAgainOnlyWhenItsFileChanges) {
  SpeechSettings& s = speech();
  const QString file = s.tableDirectory() + S("1031/") + s.profile().sources[0].table;
  ASSERT_TRUE(QFileInfo(file).isFile()) << file.toStdString();
  const auto rewrite = [&](const QByteArray& text, bool keepTime) {
    const QDateTime was = QFileInfo(file).lastModified();
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
    f.flush();
    if (keepTime) f.setFileTime(was, QFileDevice::FileModificationTime);
  };
  rewrite("ab\n", false);
  EXPECT_EQ(s.choiceFor(1).punctuation, S("ab"));
  rewrite("xy\n", true);  // same size, same time: the kept characters
  EXPECT_EQ(s.choiceFor(1).punctuation, S("ab"));
  rewrite("# a comment\nx y z x\n", false);
  EXPECT_EQ(s.choiceFor(1).punctuation, S("xyz"));
  QFile::remove(file);
  ASSERT_EQ(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
  EXPECT_EQ(s.choiceFor(1).punctuation, QString());
  QFile::remove(file);
}

TEST_F(SpeechSettingsTest, ActivateAndLoadVoicesTakeBackWhatWasNotSaved) {
  voices().call(S("SaveVoices"));
  voice(3).set(S("speed"), 400);
  entry(2).set(S("VoiceName"), S("v2"));
  entry(2).set(S("TableName"), S("0keine.tab"));
  const QString created = voices().call(S("CreateVoice"), {S("eSpeak:German")}).toString();
  entry(3).set(S("VoiceName"), created);
  EXPECT_TRUE(root.str(S("SpeechProfile.Info")).contains(created));

  root.call(S("SpeechProfile.Activate"));
  voices().call(S("LoadVoices"));
  EXPECT_EQ(voice(3).i32(S("speed")), 175);
  EXPECT_EQ(voices().count(), 4);
  EXPECT_EQ(entry(2).str(S("VoiceName")), S("v1"));
  EXPECT_EQ(entry(2).str(S("TableName")), S("1einige.tab"));
  EXPECT_EQ(root.str(S("SpeechProfile.Info")),
            S("Focus=v1; Navigation=v1; TaskSwitch=v1; Menu=v1; CursorChar=v1; KeyEcho=v2; Messages=v2; Scripts=v1"));
}

TEST_F(SpeechSettingsTest, SavingTheProfileLeavesOtherAssignmentsInItsFileAsTheyAre) {
  ProfileData set;
  set.name = S(" Lesen \"laut\" ");
  set.sources[5].voice = S("v2");
  ASSERT_TRUE(SpeechSettings::writeProfile(set, speech().profileFile(), S("Set1")));
  for (int i = 0; i < 2; ++i) voices().call(S("SaveVoices"));
  const auto back = SpeechSettings::readProfile(speech().profileFile(), S("Set1"));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->name, set.name);
  EXPECT_EQ(back->info(), set.info());
  EXPECT_TRUE(SpeechSettings::readProfile(speech().profileFile(), S("Profile")).has_value());
}

}  // namespace
