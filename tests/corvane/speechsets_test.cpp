// The core's nine speech sets: saved from the active assignment, activated again (a voice gone
// since made again from its mode), and what an unusable set or number does.
#include <gtest/gtest.h>

#include "corvane/engine/speechsets.h"
#include "corvane/engine/speechsettings.h"
#include "tests/corvane/corvanetest.h"

using namespace corvane;

namespace {

class SpeechSetsTest : public ::testing::Test, public corvane::testing::RootFixture {
 protected:
  SpeechSettings& speech() { return r().speech(); }
  jex::Obj set(int nr) { return root.obj(S("SpeechProfiles")).itemObj(nr); }
  QString focusVoice() { return speech().profile().sources[0].voice; }
};

TEST_F(SpeechSetsTest, ASavedSetComesBackWithItsVoiceEvenWhenTheVoiceWasDeleted) {
  ASSERT_EQ(root.obj(S("SpeechProfiles")).count(), 9);
  EXPECT_EQ(set(2).str(S("Info")), QString());
  const QString v = focusVoice();
  ASSERT_NE(v, S("--"));
  const QString mode = speech().voice(v)->mode;
  speech().voice(v)->speed = 300;
  const QString name = S("Büro [laut] = 1 ") + QString(280, u'x');
  set(2).call(S("GetActValues"));
  set(2).set(S("Name"), name);
  set(2).call(S("Save"));
  EXPECT_EQ(set(2).str(S("Name")), name);
  EXPECT_TRUE(set(2).str(S("Info")).contains(v));
  EXPECT_EQ(set(2).i32(S("nr")), 2);

  // The voice is changed, then deleted, and the sources are given others.
  for (auto& s : speech().profile().sources) s.voice = S("--");
  for (int i = int(speech().voices().size()); i > 2; --i) speech().removeVoice(i);
  ASSERT_EQ(speech().voice(v), nullptr);

  // After a restart the set is read from its file and activated.
  root = restarted();
  EXPECT_EQ(set(2).str(S("Name")), name);
  set(2).call(S("Activate"));
  const VoiceData* made = speech().voice(focusVoice());
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->mode, mode);
  EXPECT_EQ(made->speed, 300);
  EXPECT_EQ(speech().profile().name, name);
  EXPECT_EQ(root.str(S("SpeechProfile.Name")), name);
}

TEST_F(SpeechSetsTest, AnUnreadableNumberOfASetsVoiceTakesItsDefault) {
  QDir().mkpath(appPath() + S("speechsets"));
  writeFile(r().speechSets().file(5),
            "[Profile]\r\nName=Laut\r\nFocus=v7\r\n[Voice.v7]\r\nMode=eSpeak:German\r\n"
            "Speed=fast\r\nPitch=1e3\r\nVolume=99999999999\r\n");
  root = restarted();
  ASSERT_TRUE(r().speechSets().activate(5));
  const VoiceData* v = speech().voice(focusVoice());
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->speed, 175);
  EXPECT_EQ(v->pitch, 50);
  EXPECT_EQ(v->volume, 32768);
  EXPECT_TRUE(logged(r().speechSets().file(5) + S(" [Voice.v7] Volume=99999999999 is no number; it reads 32768")));
}

TEST_F(SpeechSetsTest, EmptyBrokenAndOutOfRangeSetsChangeNothing) {
  const QString before = speech().profile().info();
  QDir().mkpath(appPath() + S("speechsets"));
  writeFile(r().speechSets().file(3), "[Profile\r\nName=kaputt\r\n");
  root = restarted();
  EXPECT_EQ(set(3).str(S("Info")), QString());
  EXPECT_TRUE(logged(S("speech set 3:")));
  for (int nr : {3, 4, 0, 10}) EXPECT_FALSE(r().speechSets().activate(nr)) << nr;
  EXPECT_TRUE(logged(S("speech set 4 is empty")));
  EXPECT_TRUE(logged(S("invalid SpeechSet NR: 10")));
  EXPECT_EQ(speech().profile().info(), before);
  EXPECT_THROW(set(1).set(S("Name"), S("a\nb")), jex::Error);
}

}  // namespace
