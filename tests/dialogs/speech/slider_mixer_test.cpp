// The value slider driven by keys in its text box, the percentage mapping, and the mixer on a
// device in memory, by name as scripts create it, and on the system's mixer where there is one.
#include <gtest/gtest.h>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "app/formlist.h"
#include "app/scripting/typelib.h"
#include "dialogs/speech/clsmixer.h"
#include "dialogs/speech/cmyslider.h"
#include "dialogs/speech/voicevalues.h"
#include "tests/dialogs/speech/fakemixer.h"
#include "tests/support/fakecore.h"

namespace jex::test {
namespace {

class SliderTest : public ::testing::Test {
 protected:
  SliderTest() {
    ctl.Init(&tb, &sli, 0, 100);
    tb.show();
  }
  QLineEdit tb;
  QSlider sli;
  cMySlider ctl;
};

struct KeyCase {
  int start;
  Qt::Key key;
  int expected;
};

class SliderKeys : public SliderTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(SliderKeys, KeyMovesTheValueWithinTheRange) {
  ctl.ShowVal(GetParam().start);
  QSignalSpy change(&ctl, &cMySlider::Change);
  QTest::keyClick(&tb, GetParam().key);
  EXPECT_EQ(ctl.Value(), GetParam().expected);
  EXPECT_EQ(tb.text(), QString::number(GetParam().expected));
  EXPECT_EQ(change.count(), GetParam().start == GetParam().expected ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Keys, SliderKeys,
                         ::testing::Values(KeyCase{95, Qt::Key_PageUp, 100}, KeyCase{5, Qt::Key_PageDown, 0},
                                           KeyCase{50, Qt::Key_Up, 51}, KeyCase{0, Qt::Key_Down, 0},
                                           KeyCase{40, Qt::Key_End, 100}, KeyCase{40, Qt::Key_Home, 0}));

TEST_F(SliderTest, TypedNumberAboveTheMaximumBecomesTheMaximumOnRelease) {
  ctl.Clear();
  for (char c : {'2', '5', '0'}) QTest::keyPress(&tb, c);
  EXPECT_EQ(tb.text(), QStringLiteral("250"));
  for (char c : {'2', '5', '0'}) QTest::keyRelease(&tb, c);
  EXPECT_EQ(tb.text(), QStringLiteral("100"));
  EXPECT_EQ(sli.value(), 100);
  EXPECT_EQ(tb.selectedText(), QStringLiteral("100"));  // the next digits start a new number
}

TEST_F(SliderTest, OnlyDigitsAreTyped) {
  ctl.Clear();
  QTest::keyClicks(&tb, QStringLiteral("4a-"));
  EXPECT_EQ(tb.text(), QStringLiteral("4"));
  EXPECT_EQ(sli.value(), 4);
}

TEST_F(SliderTest, ShowValIsSilentAndAUserMoveIsNot) {
  QSignalSpy change(&ctl, &cMySlider::Change);
  ctl.ShowVal(30);
  ctl.ShowVal(130);
  EXPECT_EQ(ctl.Value(), 100);
  EXPECT_EQ(change.count(), 0);
  sli.triggerAction(QAbstractSlider::SliderPageStepSub);
  EXPECT_EQ(change.count(), 1);
}

TEST_F(SliderTest, TheTextBoxSaysWhatTheValueMeans) {
  ctl.setMeaning([](int p) { return QString::number(100 + 4 * p) + QStringLiteral(" Wörter pro Minute"); });
  ctl.ShowVal(55);
  EXPECT_EQ(tb.accessibleDescription(), QStringLiteral("55 %, 320 Wörter pro Minute"));
}

TEST_F(SliderTest, EveryKeyReleaseTellsTheCore) {
  fake::CoreFixture core;
  QStringList lastKeys;
  // The core object seen through a front that records the writes of Lst_Key.
  auto front = std::make_shared<fake::Front>(core.root);
  auto procFront = std::make_shared<fake::Front>(core.root.obj(QStringLiteral("proc")));
  procFront->property(QStringLiteral("Lst_Key"), {}, [&](const QVariant& v) { lastKeys << v.toString(); });
  front->property(QStringLiteral("proc"), [procFront] { return automation::fromObj(Obj(procFront)); });
  Jex() = Obj(front);
  QTest::keyClick(&tb, Qt::Key_Up);
  QTest::keyClick(&tb, '7');
  EXPECT_EQ(lastKeys, (QStringList{QStringLiteral("+Down"), QStringLiteral("+Down")}));
}

struct Rounding {
  double percent, low, high;
  qint32 value;
};
class PercentMapping : public ::testing::TestWithParam<Rounding> {};

TEST_P(PercentMapping, RoundsHalfToEven) {
  EXPECT_EQ(PercentToValue(GetParam().percent, GetParam().low, GetParam().high), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Values, PercentMapping,
                         ::testing::Values(Rounding{50, 0, 5, 2}, Rounding{50, 0, 7, 4}, Rounding{55, 100, 500, 320},
                                           Rounding{150, 0, 50000, 50000}, Rounding{-3, 100, 500, 100}));

TEST(PercentOfValue, RoundsHalfToEvenAndIsZeroForAnEmptyRange) {
  EXPECT_EQ(ValueToPercent(125, 100, 150), 50);
  EXPECT_EQ(ValueToPercent(1, 0, 40), 2);  // 2.5
  EXPECT_EQ(ValueToPercent(3, 0, 40), 8);  // 7.5
  EXPECT_EQ(ValueToPercent(300, 300, 300), 0);
  EXPECT_EQ(volumeLevel(0x7FFFFFFF), 0xFFFF);
}

// ---------------------------------------------------------------- mixer

class MixerTest : public ::testing::Test {
 protected:
  MixerTest() {
    auto device = std::make_unique<FakeMixer>();
    device->lines[platform::MixerLine::Main] = {0, 510, 255, true, false};
    device->lines[platform::MixerLine::Wave] = {-100, 155, 0, false, false};
    device->lines[platform::MixerLine::Aux] = {0, 255, 7, true, true};
    fake_ = device.get();
    mixer_ = std::make_shared<clsMixer>(std::move(device));
  }
  FakeMixer* fake_ = nullptr;
  std::shared_ptr<clsMixer> mixer_;
};

TEST_F(MixerTest, LevelsAreScaledTo255AndClamped) {
  EXPECT_EQ(mixer_->volume(clsMixer::Main), 128);  // 255 / 2 = 127.5, half to even
  mixer_->setVolume(clsMixer::Main, 300);
  EXPECT_EQ(fake_->lines[platform::MixerLine::Main].raw, 510);
  mixer_->setVolume(clsMixer::Wave, QStringLiteral("-5"));
  EXPECT_EQ(fake_->lines[platform::MixerLine::Wave].raw, -100);
  mixer_->setVolume(clsMixer::Main, QStringLiteral("abc"));  // no number: nothing changes
  EXPECT_EQ(fake_->lines[platform::MixerLine::Main].raw, 510);
}

TEST_F(MixerTest, MasksFollowTheControlsFoundAndAuxStandsInForTheLineInput) {
  EXPECT_EQ(mixer_->volumeMask(), 1 | 4 | 8);
  EXPECT_EQ(mixer_->muteMask(), 1 | 8);
  EXPECT_TRUE(mixer_->HasCtrl(0));
  EXPECT_FALSE(mixer_->HasCtrl(2));  // wave has a volume but no mute
  EXPECT_TRUE(mixer_->HasCtrl(3));
  EXPECT_FALSE(mixer_->HasCtrl(1));
  EXPECT_FALSE(mixer_->HasCtrl(40));
  EXPECT_EQ(mixer_->volume(clsMixer::LineIn), 7);
  EXPECT_TRUE(mixer_->mute(clsMixer::LineIn));
}

TEST_F(MixerTest, ScriptsCreateItByNameAndToggleMutes) {
  registerForms();  // the program registers its creatable classes with its forms
  EXPECT_TRUE(typeLibClasses().contains(QStringLiteral("JexUI.clsMixer")));
  platform::setMixerOpener([] {
    auto d = std::make_unique<FakeMixer>();
    d->lines[platform::MixerLine::Main] = {0, 255, 100, true, false};
    return d;
  });
  Obj m = automation::createObject(QStringLiteral("JexUI.clsMixer"));
  platform::setMixerOpener({});
  EXPECT_EQ(m.i32(QStringLiteral("MainVol")), 100);
  m.call(QStringLiteral("MainMuteToggle"));
  EXPECT_TRUE(m.boolean(QStringLiteral("MainMute")));
  m.set(QStringLiteral("MainVol"), 20);
  EXPECT_EQ(m.i32(QStringLiteral("MainVol")), 20);
  EXPECT_FALSE(automation::toBool(m.call(QStringLiteral("HasCtrl"), {1})));
  m.set(QStringLiteral("CdMute"), true);  // no such line: logged, nothing else
  EXPECT_FALSE(m.boolean(QStringLiteral("CdMute")));
  EXPECT_EQ(m.i32(QStringLiteral("MicVol")), 0);
}

TEST_F(MixerTest, WithoutADeviceEverythingReadsZero) {
  clsMixer none(nullptr);
  none.setVolume(clsMixer::Main, 10);
  none.muteToggle(clsMixer::Main);
  EXPECT_EQ(none.volume(clsMixer::Main), 0);
  EXPECT_FALSE(none.mute(clsMixer::Main));
  EXPECT_FALSE(none.HasCtrl(0));
}

// A sound server of the test's own: pulseaudio with a null sink on a private socket. ALSA's
// default device is then the server's (the ALSA pulse plug-in), so the real backend has a main
// volume to set even on a machine without a sound card. Ended by the destructor.
class NullSinkServer {
 public:
  NullSinkServer() {
    if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty()) {
      why = "pulseaudio is not installed";
      return;
    }
    const QString socket = dir.filePath(QStringLiteral("native"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* var : {"HOME", "PULSE_RUNTIME_PATH", "XDG_RUNTIME_DIR"})
      env.insert(QLatin1String(var), dir.path());
    proc.setProcessEnvironment(env);
    proc.setProcessChannelMode(QProcess::MergedChannels);
    proc.start(
        QStringLiteral("pulseaudio"),
        QStringLiteral("-n --daemonize=no --exit-idle-time=-1 --use-pid-file=no -L module-null-sink -L").split(u' ')
            << QStringLiteral("module-native-protocol-unix socket=%1 auth-anonymous=1").arg(socket));
    if (!QTest::qWaitFor([&] { return QFileInfo::exists(socket) || proc.state() == QProcess::NotRunning; }, 5000) ||
        !QFileInfo::exists(socket)) {
      why = "pulseaudio did not start: " + proc.readAll().right(300).toStdString();
      return;
    }
    qputenv("PULSE_SERVER", ("unix:" + socket).toUtf8());
  }
  ~NullSinkServer() {
    qunsetenv("PULSE_SERVER");
    proc.kill();
    proc.waitForFinished(3000);
  }
  std::string why;

 private:
  QTemporaryDir dir;
  QProcess proc;
};

// The system's mixer: ALSA's default device, on a sound server of the test's own when none is
// named already.
TEST(SystemMixer, SetsAndReadsTheMainLevel) {
  std::optional<NullSinkServer> server;
  if (qEnvironmentVariableIsEmpty("PULSE_SERVER")) server.emplace();
  std::unique_ptr<platform::Mixer> device = platform::openSystemMixer();
  if (!device || !device->hasVolume(platform::MixerLine::Main))
    GTEST_SKIP() << "no ALSA mixer with a main volume (no sound card, and no sound server: "
                 << (server ? server->why : std::string("PULSE_SERVER names one")) << ")";
  clsMixer mixer(std::move(device));
  EXPECT_TRUE(mixer.volumeMask() & 1);
  const qint32 before = mixer.volume(clsMixer::Main);
  const qint32 wanted = before == 200 ? 100 : 200;
  mixer.setVolume(clsMixer::Main, wanted);
  EXPECT_NEAR(mixer.volume(clsMixer::Main), wanted, 2);
  if (mixer.HasCtrl(0)) {
    const bool muted = mixer.mute(clsMixer::Main);
    mixer.muteToggle(clsMixer::Main);
    EXPECT_NE(mixer.mute(clsMixer::Main), muted);
    mixer.setMute(clsMixer::Main, muted);
  }
  mixer.setVolume(clsMixer::Main, before);
}

}  // namespace
}  // namespace jex::test
