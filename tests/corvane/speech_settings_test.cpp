// The core's voices, modes, speech profile and character tables, as JexUI's voices dialog and
// the scripts reach them through the root object, and the files they are kept in.
#include <QFile>
#include <gtest/gtest.h>

#include "corvane/engine/speechsettings.h"
#include "tests/support/errorof.h"
#include "tests/support/fakecore.h"

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

TEST_F(SpeechSettingsTest, ANewCoreHasTwoVoicesOfItsLanguageForEverySource) {
  ASSERT_EQ(voices().count(), 4);
  EXPECT_EQ(voice(1).str(QStringLiteral("InternalName")), QStringLiteral("--"));
  EXPECT_EQ(voice(2).str(QStringLiteral("InternalName")), QStringLiteral("v0"));
  EXPECT_EQ(voice(3).str(QStringLiteral("SapiMode")), QStringLiteral("eSpeak:German"));
  EXPECT_EQ(voice(4).str(QStringLiteral("SapiMode")), QStringLiteral("eSpeak:German female"));
  EXPECT_EQ(voice(4).str(QStringLiteral("Speaker")), QStringLiteral("f2 F"));
  for (int s = 1; s <= kSpeechSources; ++s) EXPECT_NE(entry(s).str(QStringLiteral("VoiceName")), QStringLiteral("--")) << s;
  EXPECT_EQ(entry(5).str(QStringLiteral("TableName")), QStringLiteral("2alle.tab"));
}

}  // namespace
