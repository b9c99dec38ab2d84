// The core's nine speech sets: saved from the active assignment, activated again (a voice gone
// since made again from its mode), and what an unusable set or number does.
#include <QFile>
#include <gtest/gtest.h>

#include "corvane/engine/speechsets.h"
#include "corvane/engine/speechsettings.h"
#include "tests/support/fakecore.h"

using namespace corvane;

namespace {

class SpeechSetsTest : public ::testing::Test {
 protected:
  SpeechSetsTest() {
    jex::logfile::setPath(dir.filePath(QStringLiteral("corvane.log")));
    jex::logfile::setThreshold(3);
  }
  ~SpeechSetsTest() override {
    jex::logfile::setPath({});
    jex::logfile::setThreshold(0);
  }
  bool logged(const QString& part) const {
    return fake::CoreFixture::readFile(dir.filePath(QStringLiteral("corvane.log"))).contains(part);
  }
  Root& r() { return *std::static_pointer_cast<Root>(root.target()); }
  SpeechSettings& speech() { return r().speech(); }
  jex::Obj set(int nr) { return root.obj(QStringLiteral("SpeechProfiles")).itemObj(nr); }
  void saveAs(int nr, const QString& name) {
    const jex::Obj s = set(nr);
    s.call(QStringLiteral("GetActValues"));
    s.set(QStringLiteral("Name"), name);
    s.call(QStringLiteral("Save"));
  }
  QString focusVoice() { return speech().profile().sources[0].voice; }

  QTemporaryDir dir;
  fake::Core core{dir.path()};
  jex::Obj root{std::make_shared<Root>(core)};
};

TEST_F(SpeechSetsTest, ASavedSetComesBackWithItsVoiceEvenWhenTheVoiceWasDeleted) {
  ASSERT_EQ(root.obj(QStringLiteral("SpeechProfiles")).count(), 9);
  EXPECT_EQ(set(2).str(QStringLiteral("Info")), QString());
  const QString v = focusVoice();
  ASSERT_NE(v, QStringLiteral("--"));
  const QString mode = speech().voice(v)->mode;
  speech().voice(v)->speed = 300;
  const QString name = QStringLiteral("Büro [laut] = 1 ") + QString(280, u'x');
  saveAs(2, name);
  EXPECT_EQ(set(2).str(QStringLiteral("Name")), name);
  EXPECT_TRUE(set(2).str(QStringLiteral("Info")).contains(v));
  EXPECT_EQ(set(2).i32(QStringLiteral("nr")), 2);

  // The voice is changed, then deleted, and the sources are given others.
  for (auto& s : speech().profile().sources) s.voice = QStringLiteral("--");
  for (int i = int(speech().voices().size()); i > 2; --i) speech().removeVoice(i);
  ASSERT_EQ(speech().voice(v), nullptr);

  // After a restart the set is read from its file and activated.
  root = jex::Obj(std::make_shared<Root>(core));
  EXPECT_EQ(set(2).str(QStringLiteral("Name")), name);
  set(2).call(QStringLiteral("Activate"));
  const VoiceData* made = speech().voice(focusVoice());
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->mode, mode);
  EXPECT_EQ(made->speed, 300);
  EXPECT_EQ(speech().profile().name, name);
  EXPECT_EQ(root.str(QStringLiteral("SpeechProfile.Name")), name);
}

TEST_F(SpeechSetsTest, EmptyBrokenAndOutOfRangeSetsChangeNothing) {
  const QString before = speech().profile().info();
  QDir().mkpath(dir.filePath(QStringLiteral("speechsets")));
  fake::CoreFixture::writeFile(r().speechSets().file(3), "[Profile\r\nName=kaputt\r\n");
  root = jex::Obj(std::make_shared<Root>(core));
  EXPECT_EQ(set(3).str(QStringLiteral("Info")), QString());
  EXPECT_TRUE(logged(QStringLiteral("speech set 3:")));
  for (int nr : {3, 4, 0, 10}) EXPECT_FALSE(r().speechSets().activate(nr)) << nr;
  EXPECT_TRUE(logged(QStringLiteral("speech set 4 is empty")));
  EXPECT_TRUE(logged(QStringLiteral("invalid SpeechSet NR: 10")));
  EXPECT_EQ(speech().profile().info(), before);
  EXPECT_THROW(set(1).set(QStringLiteral("Name"), QStringLiteral("a\nb")), jex::Error);
}

}  // namespace
