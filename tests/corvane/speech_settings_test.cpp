// The core's voices, modes, speech profile and character tables, as JexUI's voices dialog and
// the scripts reach them through the root object, and the files they are kept in.
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

#include "core/automation/dbustransport.h"
#include "corvane/engine/speechlog.h"
#include "corvane/engine/speechsettings.h"
#include "tests/support/errorof.h"
#include "tests/support/fakecore.h"
#include "tests/support/processes.h"

using namespace corvane;
using jex::testing::errorOf;

namespace {

class SpeechSettingsTest : public ::testing::Test {
 protected:
  SpeechSettingsTest() {
    jex::logfile::setPath(appPath() + QStringLiteral("corvane.log"));
    jex::logfile::setThreshold(5);
  }
  ~SpeechSettingsTest() override {
    jex::logfile::setPath({});
    jex::logfile::setThreshold(0);
  }
  QString appPath() const { return dir.path() + u'/'; }
  QString logText() const { return fake::CoreFixture::readFile(appPath() + QStringLiteral("corvane.log")); }
  jex::Obj voices() const { return root.obj(QStringLiteral("SpeechVoices")); }
  jex::Obj voice(int i) const { return voices().itemObj(i); }
  jex::Obj entry(int source) const {
    QVariantList a{source};
    return jex::automation::toObj(root.call(QStringLiteral("SpeechProfile.ItemByIndex"), a));
  }
  static jex::Obj call(const jex::Obj& o, const QString& member, QVariantList args) {
    return jex::automation::toObj(o.call(member, args));
  }
  void writeVoices(const QByteArray& text) { fake::CoreFixture::writeFile(voicesFile(), text); }
  SpeechSettings& speech() { return std::static_pointer_cast<Root>(root.target())->speech(); }
  QString voicesFile() { return speech().voicesFile(); }
  // A new core on the same directory, as after a restart.
  jex::Obj restarted() { return jex::Obj(std::make_shared<Root>(core)); }
  bool logged(const QString& part) const { return logText().contains(part); }

  QTemporaryDir dir;
  fake::Core core{dir.path()};
  jex::Obj root{std::make_shared<Root>(core)};
};

TEST_F(SpeechSettingsTest, ModesAreEspeaksLanguageVoicesPlainAndFemale) {
  const jex::Obj modes = root.obj(QStringLiteral("SpeechModes"));
  ASSERT_GT(modes.count(), 100);
  EXPECT_EQ(modes.count() % 2, 0);
  QVariantList name{QStringLiteral("eSpeak:German")};
  const jex::Obj german = jex::automation::toObj(modes.target()->invoke(QStringLiteral("ItemByName"), jex::automation::CallKind::Method, name));
  ASSERT_FALSE(german.isNothing());
  EXPECT_EQ(german.str(QStringLiteral("LanguageID")), QStringLiteral("1031"));
  EXPECT_EQ(german.str(QStringLiteral("ProductName")), QStringLiteral("eSpeak NG"));
  EXPECT_EQ(german.i32(QStringLiteral("Gender")), 0);
  const jex::Obj female = modes.itemObj(german.i32(QStringLiteral("Index")) + 1);
  EXPECT_EQ(female.str(QStringLiteral("Mode")), QStringLiteral("eSpeak:German female"));
  EXPECT_EQ(female.i32(QStringLiteral("Gender")), 1);
  QVariantList unknown{QStringLiteral("eSpeak:Nowhere")};
  EXPECT_TRUE(jex::automation::toObj(modes.target()->invoke(QStringLiteral("ItemByName"), jex::automation::CallKind::Method, unknown)).isNothing());
}

TEST_F(SpeechSettingsTest, ModeListGivesEveryModesFieldsInIndexOrder) {
  const jex::Obj modes = root.obj(QStringLiteral("SpeechModes"));
  const QVariantList rows = modes.call(QStringLiteral("GetModeList")).toList();
  ASSERT_EQ(rows.size(), modes.count());
  for (int i = 1; i <= modes.count(); ++i) {
    const jex::Obj mode = modes.itemObj(i);
    const QStringList expected{mode.str(QStringLiteral("Mode")), mode.str(QStringLiteral("LanguageID")),
                               mode.str(QStringLiteral("ProductName")), mode.str(QStringLiteral("Gender"))};
    ASSERT_EQ(rows[i - 1].toStringList(), expected) << i;
  }
}

TEST_F(SpeechSettingsTest, ANewCoreHasTwoVoicesOfItsLanguageForEverySource) {
  ASSERT_EQ(voices().count(), 4);
  EXPECT_EQ(voice(1).str(QStringLiteral("InternalName")), QStringLiteral("--"));
  EXPECT_EQ(voice(2).str(QStringLiteral("InternalName")), QStringLiteral("v0"));
  EXPECT_EQ(voice(3).str(QStringLiteral("SapiMode")), QStringLiteral("eSpeak:German"));
  EXPECT_EQ(voice(4).str(QStringLiteral("SapiMode")), QStringLiteral("eSpeak:German female"));
  EXPECT_EQ(voice(4).str(QStringLiteral("Speaker")), QStringLiteral("f2 F"));
  for (int s = 1; s <= kSpeechSources; ++s) EXPECT_NE(entry(s).str(QStringLiteral("VoiceName")), QStringLiteral("--")) << s;
  EXPECT_EQ(entry(5).str(QStringLiteral("TableName")), QStringLiteral("2alle.tab"));

  core.store.setValue(ini::General, ini::DefaultLng, QStringLiteral("1033"));
  const jex::Obj english = restarted();
  EXPECT_EQ(english.obj(QStringLiteral("SpeechVoices")).itemObj(4).str(QStringLiteral("SapiMode")),
            QStringLiteral("eSpeak:English (America) female"));
  QVariantList five{5};
  EXPECT_EQ(call(english, QStringLiteral("SpeechProfile.ItemByIndex"), five).str(QStringLiteral("TableName")), QStringLiteral("2all.tab"));
}

struct LanguageCase {
  const char* tag;
  const char* lcid;
};
class LanguageIdTest : public ::testing::TestWithParam<LanguageCase> {};
TEST_P(LanguageIdTest, TagsTakeTheLocaleNumberOfTheirLongestKnownPrefix) {
  EXPECT_EQ(lcidOfLanguage(QString::fromLatin1(GetParam().tag)), QString::fromLatin1(GetParam().lcid));
}
INSTANTIATE_TEST_SUITE_P(Tags, LanguageIdTest,
                         ::testing::Values(LanguageCase{"de", "1031"}, LanguageCase{"en-gb-x-rp", "2057"},
                                           LanguageCase{"en-029", "9225"}, LanguageCase{"EN-US-nyc", "1033"},
                                           LanguageCase{"pt-br", "1046"}, LanguageCase{"eo", "4096"},
                                           LanguageCase{"", "4096"}));

TEST_F(SpeechSettingsTest, NineVoicesAtMostAndTheReservedEntriesStay) {
  const jex::Obj v = voices();
  QVariantList female{QStringLiteral("eSpeak:French (France) female")};
  for (int i = 3; i <= kMaxVoices; ++i) EXPECT_EQ(v.call(QStringLiteral("CreateVoice"), female).toString(), QStringLiteral("v%1").arg(i));
  EXPECT_EQ(v.count(), 11);
  EXPECT_EQ(v.call(QStringLiteral("CreateVoice"), female).toString(), QString()) << "a tenth voice";
  EXPECT_EQ(voice(11).str(QStringLiteral("LanguageID")), QStringLiteral("1036"));
  EXPECT_EQ(voice(11).str(QStringLiteral("Speaker")), QStringLiteral("f2 F"));

  for (int bad : {0, 1, 2, 12}) EXPECT_EQ(errorOf([&] { v.call(QStringLiteral("RemoveByIndex"), {bad}); }), jex::err::InvalidCall) << bad;
  const jex::Obj keyEchoVoice = entry(6).obj(QStringLiteral("Voice"));
  ASSERT_EQ(keyEchoVoice.str(QStringLiteral("InternalName")), QStringLiteral("v2"));
  v.call(QStringLiteral("RemoveByIndex"), {4});
  EXPECT_EQ(entry(6).str(QStringLiteral("VoiceName")), QStringLiteral("--")) << "its sources have no voice now";
  EXPECT_EQ(entry(6).obj(QStringLiteral("Voice")).str(QStringLiteral("FriendlyName")), QStringLiteral("keine"));
  EXPECT_EQ(errorOf([&] { keyEchoVoice.i32(QStringLiteral("speed")); }), jex::err::InvalidCall);
  EXPECT_EQ(v.call(QStringLiteral("CreateVoice"), female).toString(), QStringLiteral("v2")) << "the lowest free name";
}

class VoiceNameTest : public SpeechSettingsTest, public ::testing::WithParamInterface<QString> {};
TEST_P(VoiceNameTest, ReadsBackUnchangedAfterSaving) {
  voice(3).set(QStringLiteral("FriendlyName"), GetParam());
  voices().call(QStringLiteral("SaveVoices"));
  EXPECT_EQ(restarted().obj(QStringLiteral("SpeechVoices")).itemObj(3).str(QStringLiteral("FriendlyName")), GetParam());
  EXPECT_EQ(restarted().obj(QStringLiteral("SpeechVoices")).count(), 4);
}
INSTANTIATE_TEST_SUITE_P(Names, VoiceNameTest,
                         ::testing::Values(QStringLiteral("a=b"), QStringLiteral("[v2]"), QString(300, u'x'),
                                           QStringLiteral("\"Anna\""), QStringLiteral("  Anna  "), QStringLiteral(";Anna"),
                                           QStringLiteral("Stimme für Tastenecho")));

TEST_F(SpeechSettingsTest, ANameWithALineBreakIsRefusedAndTheFileStaysSound) {
  voice(3).set(QStringLiteral("FriendlyName"), QStringLiteral("Anna"));
  EXPECT_EQ(errorOf([&] { voice(3).set(QStringLiteral("FriendlyName"), QStringLiteral("Anna\n[v1]\nMode=x")); }),
            jex::err::InvalidCall);
  EXPECT_EQ(voice(3).str(QStringLiteral("FriendlyName")), QStringLiteral("Anna"));
  EXPECT_TRUE(logged(QStringLiteral("!!! ERROR")));
  voices().call(QStringLiteral("SaveVoices"));
  EXPECT_EQ(restarted().obj(QStringLiteral("SpeechVoices")).itemObj(3).str(QStringLiteral("FriendlyName")), QStringLiteral("Anna"));
}

struct BadFile {
  const char* name;
  QByteArray voices;      // written as voices.ini; empty: no file
  QByteArray profile;     // written as profile.ini; empty: left as it is
  int count;              // SpeechVoices.Count after the start
  const char* focus;      // the focus source's voice
  const char* logLine;
};
class BadFileTest : public SpeechSettingsTest, public ::testing::WithParamInterface<BadFile> {};
TEST_P(BadFileTest, GiveTheDefaultsForThatPartAndALogLine) {
  const BadFile& c = GetParam();
  QDir().mkpath(appPath() + QStringLiteral("speech"));
  if (!c.voices.isEmpty()) writeVoices(c.voices);
  if (!c.profile.isEmpty()) fake::CoreFixture::writeFile(speech().profileFile(), c.profile);
  const jex::Obj r = restarted();
  EXPECT_EQ(r.obj(QStringLiteral("SpeechVoices")).count(), c.count);
  QVariantList one{1};
  EXPECT_EQ(jex::automation::toObj(r.call(QStringLiteral("SpeechProfile.ItemByIndex"), one)).str(QStringLiteral("VoiceName")),
            QString::fromLatin1(c.focus));
  EXPECT_TRUE(logged(QString::fromLatin1(c.logLine))) << logText().toStdString();
}
INSTANTIATE_TEST_SUITE_P(
    Files, BadFileTest,
    ::testing::Values(
        BadFile{"Missing", {}, {}, 4, "v1", ", default voices"},
        BadFile{"Junk", QByteArray("\x00\xff\xfe garbage\n=\n[", 16), {}, 4, "v1", "no usable voice"},
        BadFile{"UninstalledVoice",
                "[v1]\r\nMode=eSpeak:Nowhere\r\n[v3]\r\nMode=eSpeak:German\r\n",
                "[Profile]\r\nFocus=v1\r\nNavigation=v3\r\n", 3, "--", "names no installed mode"},
        BadFile{"JunkProfile", {}, "Focus=v1\n[Other]\nx", 4, "v1", "no usable profile"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SpeechSettingsTest, ValuesOutOfRangeAreClampedLoggedAndHeardAtOnce) {
  const jex::Obj v = voice(3);
  v.set(QStringLiteral("speed"), 9999);
  EXPECT_EQ(v.i32(QStringLiteral("speed")), kSpeedMax);
  EXPECT_TRUE(logged(QStringLiteral("speed of v1: 9999 is outside")));
  v.set(QStringLiteral("Pitch"), -3);
  EXPECT_EQ(v.i32(QStringLiteral("Pitch")), 0);
  v.set(QStringLiteral("volume"), 70000);
  EXPECT_EQ(v.i32(QStringLiteral("volume")), kVolumeMax);
  EXPECT_EQ(errorOf([&] { v.set(QStringLiteral("speed"), QStringLiteral("abc")); }), jex::err::TypeMismatch);
  EXPECT_EQ(v.i32(QStringLiteral("speed")), kSpeedMax);
  EXPECT_EQ(core.reports, (QStringList{QStringLiteral("SAMPLE: v1: 500"), QStringLiteral("SAMPLE: v1: 0"),
                                       QStringLiteral("SAMPLE: v1: 65535")}));
  QVariantList range{7, 7};
  v.call(QStringLiteral("PitchRanges"), range);
  EXPECT_EQ(range, (QVariantList{0, 100}));
}

TEST_F(SpeechSettingsTest, SourcesSpeakWithTheirVoiceAndTableAndJexUiMayPickAnother) {
  SpeechSettings& s = speech();
  voice(4).set(QStringLiteral("speed"), 300);
  const VoiceChoice keyEcho = s.choiceFor(6);
  EXPECT_EQ(keyEcho.espeakVoice, QStringLiteral("gmw/de+f2"));
  EXPECT_EQ(keyEcho.rate, 300);
  EXPECT_TRUE(keyEcho.punctuation.contains(u'.')) << "key echo names every character (2alle)";
  EXPECT_FALSE(s.choiceFor(1).punctuation.contains(u'.')) << "the focus names only some (1einige)";

  entry(1).set(QStringLiteral("VoiceName"), QStringLiteral("--"));
  EXPECT_TRUE(s.choiceFor(1).espeakVoice.isEmpty()) << "no voice: silent";
  EXPECT_EQ(errorOf([&] { entry(1).set(QStringLiteral("VoiceName"), QStringLiteral("v7")); }), jex::err::InvalidCall);

  const jex::Obj female = call(root, QStringLiteral("SpeechModes.ItemByName"), {QStringLiteral("eSpeak:English (Great Britain) female")});
  female.call(QStringLiteral("PrepareModeVoice"));
  const QString byMode = QStringLiteral("m%1").arg(female.i32(QStringLiteral("Index")));
  EXPECT_EQ(s.choiceFor(2, byMode).espeakVoice, QStringLiteral("gmw/en+f2"));
  EXPECT_EQ(s.choiceFor(2, QStringLiteral("v2")).rate, 300);
  EXPECT_EQ(s.choiceFor(2, QStringLiteral("nobody")).espeakVoice, QStringLiteral("gmw/de")) << "its own voice";
}

TEST_F(SpeechSettingsTest, ActivateAndLoadVoicesTakeBackWhatWasNotSaved) {
  voices().call(QStringLiteral("SaveVoices"));
  voice(3).set(QStringLiteral("speed"), 400);
  entry(2).set(QStringLiteral("VoiceName"), QStringLiteral("v2"));
  entry(2).set(QStringLiteral("TableName"), QStringLiteral("0keine.tab"));
  const QString created = voices().call(QStringLiteral("CreateVoice"), {QStringLiteral("eSpeak:German")}).toString();
  entry(3).set(QStringLiteral("VoiceName"), created);
  EXPECT_TRUE(root.str(QStringLiteral("SpeechProfile.Info")).contains(created));

  root.call(QStringLiteral("SpeechProfile.Activate"));
  voices().call(QStringLiteral("LoadVoices"));
  EXPECT_EQ(voice(3).i32(QStringLiteral("speed")), 175);
  EXPECT_EQ(voices().count(), 4);
  EXPECT_EQ(entry(2).str(QStringLiteral("VoiceName")), QStringLiteral("v1"));
  EXPECT_EQ(entry(2).str(QStringLiteral("TableName")), QStringLiteral("1einige.tab"));
  EXPECT_EQ(root.str(QStringLiteral("SpeechProfile.Info")),
            QStringLiteral("Focus=v1; Navigation=v1; TaskSwitch=v1; Menu=v1; CursorChar=v1; KeyEcho=v2; Messages=v2; Scripts=v1"));
}

TEST_F(SpeechSettingsTest, SavingTheProfileLeavesOtherAssignmentsInItsFileAsTheyAre) {
  ProfileData set;
  set.name = QStringLiteral(" Lesen \"laut\" ");
  set.sources[5].voice = QStringLiteral("v2");
  ASSERT_TRUE(SpeechSettings::writeProfile(set, speech().profileFile(), QStringLiteral("Set1")));
  for (int i = 0; i < 2; ++i) voices().call(QStringLiteral("SaveVoices"));
  const auto back = SpeechSettings::readProfile(speech().profileFile(), QStringLiteral("Set1"));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->name, set.name);
  EXPECT_EQ(back->info(), set.info());
  EXPECT_TRUE(SpeechSettings::readProfile(speech().profileFile(), QStringLiteral("Profile")).has_value());
}

// The built core on a private bus, reached as JexUI reaches it.
TEST(SpeechProcessTest, APutReachesTheCoreWhichSaysTheNewValue) {
  if (!jex::testing::BuiltCore::built()) GTEST_SKIP() << "corvane is not built";
  jex::testing::SessionBus bus;
  if (!bus.ok()) GTEST_SKIP() << "no private session bus";
  QDBusConnection conn = bus.connection();
  jex::testing::BuiltCore core(bus.address());
  ASSERT_TRUE(core.startAndWait()) << core.out();
  const jex::Obj root = jex::automation::dbus::connect(QStringLiteral("corvane.application"), conn);
  QVariantList three{3};
  const jex::Obj v1 = jex::automation::toObj(root.call(QStringLiteral("SpeechVoices.ItemByIndex"), three));
  v1.set(QStringLiteral("speed"), 320);
  EXPECT_EQ(v1.i32(QStringLiteral("speed")), 320);
  EXPECT_TRUE(core.waitFor(QStringLiteral("SAMPLE: 320  [v1 gmw/de]"))) << core.out();

  QVariantList one{1};
  jex::automation::toObj(root.call(QStringLiteral("SpeechProfile.ItemByIndex"), one)).set(QStringLiteral("VoiceName"), QStringLiteral("--"));
  root.call(QStringLiteral("proc.SpeechOutVoice"), {QStringLiteral("Hallo"), 1});
  EXPECT_TRUE(core.waitFor(QStringLiteral("SILENT: Hallo"))) << core.out();
  root.call(QStringLiteral("proc.SpeechOutVoice"), {QStringLiteral("Taste"), 6});
  // The speech log tells each utterance's voice.
  QStringList voices;
  EXPECT_TRUE(QTest::qWaitFor([&] {
    voices.clear();
    for (const QString& line : jex::testing::fileLines(core.appDir() + QStringLiteral("/speech.log"))) {
      SpeechLog::Entry e;
      if (SpeechLog::parse(line, &e)) voices << e.voice + u'/' + e.outcome + u'/' + e.text;
    }
    return voices.contains(QStringLiteral("v2 gmw/de+f2/done/Taste"));
  }, 5000)) << voices.join(u'\n').toStdString();
  EXPECT_TRUE(voices.contains(QStringLiteral("--/silent/Hallo")));
}

}  // namespace
