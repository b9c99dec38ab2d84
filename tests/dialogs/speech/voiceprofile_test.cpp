// VoiceProfile against the stand-in core's own speech objects (in process), once as the core is
// (the lists of sources, voices and modes read at once) and once with those lists hidden, as a
// core without them is read object by object: both must see and write the same.
#include <gtest/gtest.h>

#include "corvane/engine/speechsettings.h"
#include "dialogs/speech/voiceprofile.h"
#include "tests/support/fakecore.h"
#include "tests/support/text.h"

namespace jex::test {
namespace {

using Value = VoiceProfile::Value;

// The core's object with a member of its list kind that the core does not know (Error 438).
Obj withoutMember(const Obj& behind, const QString& member, bool method = false) {
  auto front = std::make_shared<fake::Front>(behind);
  const auto unknown = [member]() -> QVariant { throw Error(err::UnknownMember, QStringLiteral("no ") + member); };
  if (method) front->method(member, 0, 0, [unknown](automation::Args&) { return unknown(); });
  else front->property(member, [unknown] { return unknown(); });
  return Obj(front);
}

// Every field of a voice as the core's voice object says it, in the order of the profile's.
QStringList fieldsOf(const Obj& v) {
  QStringList out;
  for (const char* m : {"InternalName", "FriendlyName", "SapiMode", "speed", "Pitch", "volume", "Speaker", "Age",
                        "ProductName", "Dialect", "LanguageID", "CompanyName"})
    out << v.str(QLatin1String(m));
  return out;
}
QStringList fieldsOf(const VoiceProfile::Voice& v) {
  return {v.internalName,
          v.friendlyName,
          v.sapiMode,
          QString::number(v.speed),
          QString::number(v.pitch),
          QString::number(v.volume),
          v.speaker,
          v.age,
          v.productName,
          v.dialect,
          v.languageId,
          v.companyName};
}

class VoiceProfileTest : public ::testing::TestWithParam<bool>, public fake::CoreFixture {
 protected:
  void SetUp() override {
    // A profile that is not the defaults' two voices: a third voice, another table.
    third = voices().call(S("CreateVoice"), {S("eSpeak:German female")}).toString();
    voices().call(S("ItemByName"), {third}).value<Obj>().set(S("speed"), 333);
    speech().profile().sources[2].voice = third;
    speech().profile().sources[4].table = S("1einige.tab");
    if (GetParam()) return;
    auto plain = std::make_shared<fake::Front>(root);
    const Obj profile = withoutMember(root.obj(S("SpeechProfile")), S("SourceList"));
    const Obj voiceList = withoutMember(root.obj(S("SpeechVoices")), S("VoiceList"));
    const Obj modes = withoutMember(root.obj(S("SpeechModes")), S("GetModeList"), true);
    plain->property(S("SpeechProfile"), [profile] { return automation::fromObj(profile); });
    plain->property(S("SpeechVoices"), [voiceList] { return automation::fromObj(voiceList); });
    plain->property(S("SpeechModes"), [modes] { return automation::fromObj(modes); });
    Jex() = Obj(plain);
  }
  corvane::SpeechSettings& speech() { return std::static_pointer_cast<corvane::Root>(root.target())->speech(); }
  Obj voices() const { return root.obj(S("SpeechVoices")); }
  Obj coreVoice(const QString& name) const { return voices().call(S("ItemByName"), {name}).value<Obj>(); }
  // What a second profile reads now: the core's state.
  static VoiceProfile fresh() {
    VoiceProfile p;
    p.read();
    return p;
  }
  static void expectSame(const VoiceProfile& a, const VoiceProfile& b) {
    ASSERT_EQ(a.voiceCount(), b.voiceCount());
    for (int i = 0; i < a.voiceCount(); ++i) EXPECT_EQ(fieldsOf(a.voices()[i]), fieldsOf(b.voices()[i]));
    ASSERT_EQ(a.sourceCount(), b.sourceCount());
    for (int s = 1; s <= a.sourceCount(); ++s) {
      EXPECT_EQ(a.source(s).voiceName, b.source(s).voiceName) << s;
      EXPECT_EQ(a.source(s).tableName, b.source(s).tableName) << s;
    }
  }

  QString third;
  VoiceProfile profile;
};

TEST_P(VoiceProfileTest, ReadsEverySourceAndVoiceAsTheCoreObjectsSayThem) {
  profile.read();
  ASSERT_EQ(profile.sourceCount(), VoiceProfile::kSources);
  for (int s = 1; s <= VoiceProfile::kSources; ++s) {
    const auto& core = speech().profile().sources[size_t(s - 1)];
    EXPECT_EQ(profile.source(s).voiceName, core.voice) << s;
    EXPECT_EQ(profile.source(s).tableName, core.table) << s;
    EXPECT_FALSE(profile.source(s).internalName.isEmpty()) << s;
  }
  EXPECT_EQ(profile.source(3).voiceName, third);
  EXPECT_EQ(logText().contains(S("read one by one")), !GetParam()) << "the path this case is named after";
  ASSERT_EQ(profile.voiceCount(), voices().count());
  for (const VoiceProfile::Voice& v : profile.voices()) {
    EXPECT_EQ(fieldsOf(v), fieldsOf(voices().itemObj(v.index))) << v.index;
    QVariantList range{0, 0};
    voices().itemObj(v.index).call(S("PitchRanges"), range);
    EXPECT_EQ(profile.pitchRange(v.internalName), std::make_pair(range[0].toInt(), range[1].toInt()));
  }
  EXPECT_EQ(profile.voiceOf(3)->speed, 333);
  EXPECT_EQ(profile.voiceOf(3)->sapiMode, S("eSpeak:German female"));
  // A source without a voice speaks with the no-voice entry; v0 and "--" are never listed.
  speech().profile().sources[7].voice = VoiceProfile::kNoVoice;
  profile.read();
  EXPECT_EQ(profile.voiceOf(8)->internalName, VoiceProfile::kNoVoice);
  EXPECT_EQ(std::count_if(profile.voices().begin(), profile.voices().end(), [](const auto& v) { return v.listed(); }),
            profile.voiceCount() - 2);
}

TEST_P(VoiceProfileTest, WhatItWritesIsWhatTheCoreHoldsAndWhatItShows) {
  profile.read();
  profile.assign(2, S("v2"));
  profile.setTable(5, S("2alle.tab"));
  profile.setValue(S("v2"), Value::Speed, 410);
  profile.setValue(S("v2"), Value::Pitch, 20);
  profile.setValue(third, Value::Volume, 1234);
  profile.rename(third, S("Anna"));
  EXPECT_EQ(speech().profile().sources[1].voice, S("v2"));
  EXPECT_EQ(speech().profile().sources[4].table, S("2alle.tab"));
  EXPECT_EQ(coreVoice(S("v2")).i32(S("speed")), 410);
  EXPECT_EQ(coreVoice(third).str(S("FriendlyName")), S("Anna"));
  EXPECT_EQ(profile.voiceNamed(S("v2"))->value(Value::Pitch), 20);
  expectSame(profile, fresh());

  // Every source's voice gets the value, once for each voice (the core says each value set),
  // then every source the one voice.
  const qsizetype samples = core.reports.filter(S("SAMPLE: ")).size();
  profile.setValueOfAllSources(Value::Speed, 222);
  for (const QString& v : {S("v1"), S("v2"), third}) EXPECT_EQ(coreVoice(v).i32(S("speed")), 222) << v.toStdString();
  EXPECT_EQ(core.reports.filter(S("SAMPLE: ")).size() - samples, 3) << core.reports.join(u'\n').toStdString();
  profile.assignAll(third);
  for (const auto& s : speech().profile().sources) EXPECT_EQ(s.voice, third);
  expectSame(profile, fresh());
}

TEST_P(VoiceProfileTest, ReadingTheVoiceListNamesTheNamelessAfterTheirModeInTheCoreToo) {
  coreVoice(third).set(S("FriendlyName"), QString());
  profile.readVoices(S("keine"));
  EXPECT_EQ(profile.voiceNamed(third)->friendlyName, S("German female"));
  EXPECT_EQ(coreVoice(third).str(S("FriendlyName")), S("German female"));
  EXPECT_EQ(coreVoice(S("--")).str(S("FriendlyName")), S("keine"));
}

TEST_P(VoiceProfileTest, TheCommandsFindOnlyTheUsedVoicesAndADeletionItsUsers) {
  const QString unused = profile.createVoice(S("eSpeak:German"), S("Otto"));
  ASSERT_FALSE(unused.isEmpty());
  EXPECT_EQ(coreVoice(unused).str(S("FriendlyName")), S("Otto"));
  QStringList used;
  for (const VoiceProfile::Voice& v : profile.readUsed()) used << v.internalName;
  EXPECT_TRUE(used.contains(third) && used.contains(S("v1")));
  EXPECT_FALSE(used.contains(unused));
  EXPECT_EQ(profile.readVoiceOf(3).speed, 333);
  EXPECT_EQ(profile.readVoiceCount(), voices().count());

  const auto indexOf = [this](const QString& name) {
    for (int i = 1; i <= voices().count(); ++i)
      if (voices().itemObj(i).str(S("InternalName")) == name) return i;
    return 0;
  };
  const QString sourceName = root.obj(S("SpeechProfile"))
                                 .call(S("ItemByIndex"), {3})
                                 .value<Obj>()
                                 .call(S("LocalizedName"), {S("1031")})
                                 .toString();
  const VoiceProfile::Users thirdUsers = profile.readUsers(indexOf(third), S("1031"));
  EXPECT_EQ(thirdUsers.sources, S(", ") + sourceName);
  EXPECT_FALSE(thirdUsers.focus);
  EXPECT_TRUE(profile.readUsers(indexOf(S("v1")), S("1031")).focus);
  EXPECT_TRUE(profile.readUsers(indexOf(unused), S("1031")).sources.isEmpty());
  profile.removeVoice(indexOf(unused));
  EXPECT_EQ(indexOf(unused), 0);
}

TEST_P(VoiceProfileTest, ListsTheModesAndMakesOneSpeakable) {
  const QList<VoiceProfile::Mode> modes = profile.readModes();
  const Obj core = root.obj(S("SpeechModes"));
  ASSERT_EQ(modes.size(), core.count());
  const Obj first = core.itemObj(1);
  EXPECT_EQ(modes[0].name, first.str(S("Mode")));
  EXPECT_EQ(modes[0].lcid, first.str(S("LanguageID")));
  EXPECT_EQ(modes[0].female, first.i32(S("Gender")) == 1);
  const Obj german = core.call(S("ItemByName"), {S("eSpeak:German")}).value<Obj>();
  EXPECT_EQ(profile.prepareModeVoice(S("eSpeak:German")), S("m%1").arg(german.i32(S("Index"))));
  EXPECT_EQ(profile.prepareModeVoice(S("eSpeak:Klingonisch")), QString());
}

INSTANTIATE_TEST_SUITE_P(Core, VoiceProfileTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "WithLists" : "ObjectByObject"; });

}  // namespace
}  // namespace jex::test
