// Keys reaching the built core on a private bus: from its console, from the display's keyboard
// (real key presses through XTest on a virtual display) and from the monitor window; captured
// for JexUI while HandleKeyCode/HandleBrlCode are off, else running the command bound for the
// foreground application.
#include <gtest/gtest.h>
#include <xcb/xtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <csignal>

#include "automation/dbustransport.h"
#include "corvane/engine/keyinput.h"
#include "corvane/engine/monitorwindow.h"
#include "tests/corvane/corvanetest.h"
#include "tests/support/errorof.h"
#include "tests/support/processes.h"
#include "tests/support/xserver.h"

using jex::automation::Obj;
namespace bus = jex::automation::dbus;
using jex::testing::BuiltCore;
using jex::testing::SessionBus;
using jex::testing::XServer;

namespace {

const QString kCore = S("corvane.application");

// --- key presses to codes ----------------------------------------------------------------------

struct ChordCase {
  const char* name;
  const char* events;  // "+Key" pressed, "-Key" released
  const char* codes;   // what they give, blank-separated
};

class KeyChordsTest : public ::testing::TestWithParam<ChordCase> {};

TEST_P(KeyChordsTest, GivesTheCodesOfTheBindingFiles) {
  corvane::KeyChords chords;
  QStringList codes;
  for (const QString& e : S(GetParam().events).split(u' ', Qt::SkipEmptyParts))
    codes += e.startsWith(u'+') ? chords.press(e.mid(1)) : chords.release(e.mid(1));
  EXPECT_EQ(codes.join(u' '), S(GetParam().codes));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyChordsTest,
    ::testing::Values(ChordCase{"CapsArrow", "+CapsLock +Up -Up -CapsLock", "CAP_Up"},
                      ChordCase{"AltBeforeShift", "+Shift +Alt +CapsLock +Down -Down", "CAP_Down|A|S"},
                      ChordCase{"ShiftLetGoFirst", "+CapsLock +Shift +P -Shift +P", "CAP_P|S CAP_P"},
                      ChordCase{"NoCapsNoCode", "+Up -Up +Shift +A", ""},
                      ChordCase{"CapsReleased", "+CapsLock -CapsLock +Up", ""},
                      ChordCase{"KeypadAlone", "+KP:5 -KP:5", "L0N5"},
                      ChordCase{"KeypadChord", "+KP:/ +KP:5 -KP:5 -KP:/", "L/N5"},
                      ChordCase{"LayerHeldForTwo", "+KP:* +KP:6 -KP:6 +KP:4 -KP:4 -KP:*", "L*N6 L*N4"},
                      ChordCase{"LayerRepeats", "+KP:0 +KP:0 +KP:0 -KP:0", "L0N0"},
                      ChordCase{"SecondKeyLetGoLast", "+KP:+ +KP:1 -KP:+ -KP:1", "L+N1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KeyboardCodeKind, TellsScreenReaderKeypadAndNoKeyboardCodes) {
  using corvane::KeyboardCode;
  for (const auto& [code, kind] : {std::pair{"CAP_Up|A|S", KeyboardCode::ScreenReader},
                                   {"SCAP_F5", KeyboardCode::ScreenReader},
                                   {"L/N5", KeyboardCode::Keypad},
                                   {"L0NE", KeyboardCode::Keypad},
                                   {"LXN5", KeyboardCode::None},
                                   {"TH4", KeyboardCode::None},
                                   {"CAP_Up CAP_Down", KeyboardCode::None},
                                   {"", KeyboardCode::None}})
    EXPECT_EQ(corvane::keyboardCodeKind(S(code)), kind) << code;
}

// The monitor window's command line: Caps Lock held makes the keys screen-reader combinations,
// which do not reach the line; other keys are typed as ever.
TEST(MonitorWindowKeys, CapsLockCombinationsAreCodesNotText) {
  corvane::MonitorWindow w;
  QSignalSpy codes(&w, &corvane::MonitorWindow::screenReaderKey);
  QLineEdit* line = w.commandLine();
  QTest::keyPress(line, Qt::Key_CapsLock);
  QTest::keyClick(line, Qt::Key_Up, Qt::ShiftModifier | Qt::AltModifier);
  QTest::keyClick(line, Qt::Key_M);
  QTest::keyRelease(line, Qt::Key_CapsLock);
  QTest::keyClick(line, Qt::Key_M);
  ASSERT_EQ(codes.size(), 2);
  EXPECT_EQ(codes[0][0].toString(), S("CAP_Up|A|S"));
  EXPECT_EQ(codes[1][0].toString(), S("CAP_M"));
  EXPECT_EQ(line->text(), S("m"));
}

// --- the built core ----------------------------------------------------------------------------

class KeyCaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!BuiltCore::built()) GTEST_SKIP() << "corvane is not built";
    if (!bus_.ok()) GTEST_SKIP() << "no private session bus: " << bus_.error().toStdString();
    core_ = std::make_unique<BuiltCore>(bus_.address());
    const QString keys = core_->dataDir() + S("/keys/");
    QDir().mkpath(keys);
    fake::CoreFixture::writeFile(keys + S("DEFAULT.KBD"), "SAYLINE=CAP_Up L0N8\nSAYALL=CAP_Down L/N5\n");
    fake::CoreFixture::writeFile(keys + S("WINWORD.KBD"), "SAYWORD=CAP_Up\n");
    fake::CoreFixture::writeFile(keys + S("DEFAULT.BRL"), "BRLSCRE=TH4\nBRLSCLE=TH1\n");
  }
  void TearDown() override {
    if (core_) core_->quit();
  }
  // Starts the core; with a display its keyboard is heard while keys are captured.
  void start(bool display = false) {
    if (display) {
      QProcessEnvironment env = core_->proc.processEnvironment();
      env.insert(S("DISPLAY"), qEnvironmentVariable("DISPLAY"));
      env.insert(S("QT_QPA_PLATFORM"), S("xcb"));
      core_->proc.setProcessEnvironment(env);
    }
    ASSERT_TRUE(core_->startAndWait({"--no-jexui", "--no-monitor", "--no-audio", "--trust-bus", "--no-foreground"}))
        << core_->out();
    conn_ = bus_.connection();
    root_ = bus::connect(kCore, conn_);
  }
  // Types a console line and waits for a line that starts with expected after it.
  bool typed(const QString& line, const QString& expected) {
    const qsizetype from = core_->lines.size();
    core_->type(line);
    return QTest::qWaitFor([&] { return after(from, expected); }, 5000);
  }
  bool after(qsizetype from, const QString& start) const {
    for (qsizetype i = from; i < core_->lines.size(); ++i)
      if (core_->lines[i].startsWith(start)) return true;
    return false;
  }

  SessionBus bus_;
  std::unique_ptr<BuiltCore> core_;
  QDBusConnection conn_{QString()};
  Obj root_;
};

struct KindCase {
  const char* name;
  const char* verb;    // console command
  const char* handle;  // capture switch
  const char* last;    // where the captured code is
  const char* code;
  const char* command;  // bound to code
};

class KeyCaptureByConsole : public KeyCaptureTest, public ::testing::WithParamInterface<KindCase> {};

TEST_P(KeyCaptureByConsole, RunsTheBoundCommandOrIsCapturedAndCleared) {
  start();
  const KindCase& c = GetParam();
  const QString code = S(c.code), prefix = S(c.verb) == u":key" ? S("KEY: ") : S("BRLKEY: ");
  EXPECT_TRUE(root_.boolean(S(c.handle)));
  ASSERT_TRUE(typed(S(c.verb) + u' ' + code, S("CMD: ") + S(c.command))) << core_->out();
  EXPECT_TRUE(core_->has(prefix + code + S(" -> ") + S(c.command)));
  EXPECT_EQ(root_.str(S(c.last)), QString()) << "a handled key is not reported";

  root_.set(S(c.handle), false);
  const qsizetype from = core_->lines.size();
  ASSERT_TRUE(typed(S(c.verb) + u' ' + code, prefix + code + S(" captured"))) << core_->out();
  EXPECT_EQ(root_.str(S(c.last)), code);
  EXPECT_FALSE(after(from, S("CMD: "))) << "a captured key must not run its command";
  root_.set(S(c.last), QString());
  EXPECT_EQ(root_.str(S(c.last)), QString());

  root_.set(S(c.handle), true);
  EXPECT_TRUE(typed(S(c.verb) + u' ' + code, S("CMD: ") + S(c.command))) << core_->out();
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, KeyCaptureByConsole,
    ::testing::Values(KindCase{"ScreenReaderKey", ":key", "HandleKeyCode", "LastKeyCode", "CAP_Up", "SAYLINE"},
                      KindCase{"KeypadChord", ":key", "HandleKeyCode", "LastKeyCode", "L/N5", "SAYALL"},
                      KindCase{"BrailleKey", ":brlkey", "HandleBrlCode", "LastBrlCode", "TH4", "BRLSCRE"}),
    [](const auto& info) { return std::string(info.param.name); });

// The two kinds are captured apart: a dialog that takes the keyboard leaves the Braille keys.
TEST_F(KeyCaptureTest, EachKindIsCapturedOnItsOwn) {
  start();
  root_.set(S("HandleKeyCode"), false);
  ASSERT_TRUE(typed(S(":brlkey TH1"), S("CMD: BRLSCLE"))) << core_->out();
  ASSERT_TRUE(typed(S(":key CAP_Down"), S("KEY: CAP_Down captured")));
  EXPECT_EQ(root_.str(S("LastBrlCode")), QString());
  EXPECT_EQ(root_.str(S("LastKeyCode")), S("CAP_Down"));
}

// Levels 4 to 1: the user's set of the foreground application, the user's global set, the
// shipped set of the application, the shipped global set.
TEST_F(KeyCaptureTest, AKeyRunsWhatTheMergedLevelsBindForTheForegroundApplication) {
  start();
  ASSERT_TRUE(typed(S(":switch X WINWORD"), S("SWITCH: X/WINWORD")));
  EXPECT_TRUE(typed(S(":key CAP_Up"), S("KEY: CAP_Up -> SAYWORD"))) << "level 2 over level 1";
  EXPECT_TRUE(typed(S(":key L0N8"), S("KEY: L0N8 -> SAYLINE"))) << "the global binding stays for other keys";
  const Obj user = root_.obj(S("proc.User"));
  jex::automation::toObj(user.call(S("AppKeyBindings"), {S("DEFAULT")}))
      .call(S("ReplaceOneBinding"), {S("CAP_Up"), S("SPEECHSTOP")});
  EXPECT_TRUE(typed(S(":key CAP_Up"), S("KEY: CAP_Up -> SPEECHSTOP"))) << "the user's level 3 over level 2";
  jex::automation::toObj(user.call(S("AppKeyBindings"), {S("WINWORD")}))
      .call(S("ReplaceOneBinding"), {S("CAP_Up"), S("SAYCHAR")});
  EXPECT_TRUE(typed(S(":key CAP_Up"), S("KEY: CAP_Up -> SAYCHAR"))) << "level 4 over all";
  ASSERT_TRUE(typed(S(":switch WINWORD FIREFOX"), S("SWITCH: WINWORD/FIREFOX")));
  EXPECT_TRUE(typed(S(":key CAP_Up"), S("KEY: CAP_Up -> SPEECHSTOP"))) << "another application: level 3";
  EXPECT_TRUE(typed(S(":key CAP_F12"), S("KEY: CAP_F12 starts nothing in FIREFOX")));
}

// Codes of no kind and bad values are refused with a line; the core goes on answering.
TEST_F(KeyCaptureTest, BadCodesAreRefusedAndTheCoreStaysResponsive) {
  start();
  root_.set(S("HandleKeyCode"), false);
  root_.set(S("HandleBrlCode"), false);
  for (const auto& [line, answer] : {std::pair{":key TH4", "KEY: TH4 is no keyboard code"},
                                     {":key LXN5", "KEY: LXN5 is no keyboard code"},
                                     {":key CAP_Up;rm", "KEY: CAP_Up;rm is no keyboard code"},
                                     {":brlkey TH4=1", "BRLKEY: TH4=1 is no key code"},
                                     {":key", "usage: :key CODE"},
                                     {":brlkey A B", "usage: :brlkey CODE"}})
    EXPECT_TRUE(typed(S(line), S(answer))) << line << "\n" << core_->out();
  EXPECT_EQ(root_.str(S("LastKeyCode")), QString());
  EXPECT_EQ(root_.str(S("LastBrlCode")), QString());
  EXPECT_NE(jex::testing::errorOf([&] { root_.set(S("LastKeyCode"), QString(10000, u'x')); }), 0);
  EXPECT_NE(jex::testing::errorOf([&] { root_.set(S("LastBrlCode"), S("TH4\nTH1")); }), 0);
  EXPECT_EQ(root_.str(S("LastKeyCode")), QString());
  EXPECT_TRUE(typed(S(":key CAP_Up"), S("KEY: CAP_Up captured")));
}

// JexUI leaving the bus while it captures keys (a crash) gives the keys back to the core.
TEST_F(KeyCaptureTest, JexUiLeavingRestoresKeyHandling) {
  start();
  QDBusConnection jexui = bus_.connect(S("jexui"));
  ASSERT_TRUE(jexui.registerService(S("JexUI.UI_Application")));
  Obj asJexUi = bus::connect(kCore, jexui);
  asJexUi.set(S("HandleKeyCode"), false);
  asJexUi.set(S("HandleBrlCode"), false);
  ASSERT_TRUE(typed(S(":key CAP_Up"), S("KEY: CAP_Up captured")));
  const qsizetype from = core_->lines.size();
  bus::detach(jexui);
  SessionBus::disconnect(jexui);
  ASSERT_TRUE(QTest::qWaitFor([&] { return after(from, S("KEYS: JexUI has left")); }, 5000)) << core_->out();
  EXPECT_TRUE(root_.boolean(S("HandleKeyCode")));
  EXPECT_TRUE(root_.boolean(S("HandleBrlCode")));
  EXPECT_TRUE(typed(S(":key CAP_Up"), S("KEY: CAP_Up -> SAYLINE")));
  EXPECT_TRUE(typed(S(":brlkey TH4"), S("BRLKEY: TH4 -> BRLSCRE")));
}

// What the dialog shows and says lands on the monitor's Braille pane and in the speech; the
// scroll keys move the pane along a line longer than the display and back.
TEST_F(KeyCaptureTest, SpeechOutBrailleOutAndScrolling) {
  start();
  root_.call(S("proc.SpeechOut"), {S("CAP_F12 nicht belegt")});
  EXPECT_TRUE(core_->waitFor(S("SPEAK: CAP_F12 nicht belegt"))) << core_->out();
  const QString text = S("Eine Zeile, die länger ist als die vierzig Zellen der Braillezeile, so lang");
  qsizetype from = core_->lines.size();
  root_.call(S("proc.BrailleOut"), {text});
  ASSERT_TRUE(QTest::qWaitFor([&] { return after(from, S("BRAILLE: ")); }, 5000));
  const QString first = core_->lines.mid(from).filter(S("BRAILLE: ")).first();  // other lines may come between
  ASSERT_TRUE(typed(S(":brlkey TH1"), S("CMD: BRLSCLE -> Braille at the left end")));
  ASSERT_TRUE(typed(S(":brlkey TH4"), S("CMD: BRLSCRE -> Braille scrolled right"))) << core_->out();
  EXPECT_TRUE(core_->lines.filter(S("BRAILLE: ")).last() != first);
  ASSERT_TRUE(typed(S(":brlkey TH4"), S("CMD: BRLSCRE -> Braille at the right end")));
  ASSERT_TRUE(typed(S(":brlkey TH1"), S("CMD: BRLSCLE -> Braille scrolled left")));
  EXPECT_EQ(core_->lines.filter(S("BRAILLE: ")).last(), first);
}

// --- the display's keyboard ------------------------------------------------------------------

class KeyboardCaptureTest : public KeyCaptureTest {
 protected:
  void SetUp() override {
    if (!x().ok()) GTEST_SKIP() << "no virtual display: " << x().error().toStdString();
    KeyCaptureTest::SetUp();
  }
  static XServer& x() { return XServer::instance(); }
  static xcb_keycode_t keycode(xcb_keysym_t sym) { return jex::testing::keycodeOf(x().conn(), sym); }
  // Presses (+) and releases (-) keys by keysym, as a keyboard would.
  void keys(std::initializer_list<std::pair<char, xcb_keysym_t>> events) {
    for (const auto& [how, sym] : events) {
      const xcb_keycode_t code = keycode(sym);
      ASSERT_NE(code, 0) << "no key for keysym " << sym;
      xcb_test_fake_input(x().conn(), how == '+' ? XCB_KEY_PRESS : XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0,
                          0, 0);
    }
    x().sync();
  }
};

constexpr xcb_keysym_t kCaps = 0xffe5, kUp = 0xff52, kShift = 0xffe1, kKpDivide = 0xffaf, kKp5 = 0xffb5,
                       kKpBegin = 0xff9d;

TEST_F(KeyboardCaptureTest, KeysPressedOnTheDisplayAreCapturedOnlyWhileCaptureIsOn) {
  start(true);
  root_.set(S("HandleKeyCode"), false);
  keys({{'+', kCaps}, {'+', kShift}, {'+', kUp}, {'-', kUp}, {'-', kShift}, {'-', kCaps}});
  ASSERT_TRUE(core_->waitFor(S("KEY: CAP_Up|S captured"))) << core_->out();
  EXPECT_EQ(root_.str(S("LastKeyCode")), S("CAP_Up|S"));
  root_.set(S("LastKeyCode"), QString());
  // The keypad with Num Lock on or off: its keys by their place.
  for (const xcb_keysym_t five : {kKp5, kKpBegin}) {
    if (!keycode(five)) continue;
    keys({{'+', kKpDivide}, {'+', five}, {'-', five}, {'-', kKpDivide}});
    EXPECT_TRUE(QTest::qWaitFor([&] { return root_.str(S("LastKeyCode")) == u"L/N5"; }, 5000)) << core_->out();
    root_.set(S("LastKeyCode"), QString());
  }

  root_.set(S("HandleKeyCode"), true);
  const qsizetype from = core_->lines.size();
  keys({{'+', kCaps}, {'+', kUp}, {'-', kUp}, {'-', kCaps}});
  // The core's own console line after the keys: once it is answered, the keys were read too.
  ASSERT_TRUE(typed(S(":key CAP_Down"), S("KEY: CAP_Down -> SAYALL")));
  EXPECT_FALSE(after(from, S("KEY: CAP_Up"))) << "with capture off the display's keys are the applications'";
}

}  // namespace
