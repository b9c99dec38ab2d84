// Keys pressed on the keyboard of the display the keys dialog runs on: the dialog on the
// end-to-end tests' desktop (Xvfb with openbox, a private bus, tests/e2e/desktop.cpp), the built
// core beside it, which hears the display's keyboard through XInput2 while the dialog captures,
// and key presses made by XTest as a keyboard makes them. Looking a key up on treKeys chooses its
// node; assigning on txt_Keys puts the key there and has the core say what it starts now.
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include "automation/dbustransport.h"
#include "dialogs/keys/frmkeys.h"
#include "global/cglobal.h"
#include "tests/e2e/desktop.h"
#include "tests/support/text.h"
#include "tests/support/xserver.h"

namespace jex::test {
namespace {

const bool kCoreWanted = (jex::testing::useCore({}), true);

struct CoreEnd : ::testing::Environment {
  void TearDown() override { jex::testing::coreQuit(); }
};
const auto* const kCoreEnd = ::testing::AddGlobalTestEnvironment(new CoreEnd);

constexpr xcb_keysym_t kCaps = 0xffe5, kF5 = 0xffc2, kKpDivide = 0xffaf, kKp5 = 0xffb5, kKpBegin = 0xff9d;

// A keyboard on the desktop's display: keys pressed and released by keysym through XTest.
class Keyboard {
 public:
  Keyboard() : conn_(xcb_connect(nullptr, nullptr)) {}
  ~Keyboard() { xcb_disconnect(conn_); }
  bool ok() const { return !xcb_connection_has_error(conn_); }
  xcb_keycode_t keycode(xcb_keysym_t sym) const { return jex::testing::keycodeOf(conn_, sym); }
  // "+" presses, "-" releases; false when a keysym has no key.
  bool press(std::initializer_list<std::pair<char, xcb_keysym_t>> events) {
    for (const auto& [how, sym] : events) {
      const xcb_keycode_t code = keycode(sym);
      if (!code) return false;
      xcb_test_fake_input(conn_, how == '+' ? XCB_KEY_PRESS : XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                          0);
    }
    std::free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr));  // handled by the server
    return true;
  }

 private:
  xcb_connection_t* conn_;
};

// The keys the dialog finds: the screen-reader key with F5 and a keypad key, on the global level.
constexpr const char* kDefaultKeys = "SAYLINE=CAP_F5 L/N5\r\nSAYALL=CAP_F6\r\n";

class KeysOnTheDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!jex::testing::desktopError().isEmpty()) GTEST_SKIP() << jex::testing::desktopError().toStdString();
    if (!jex::testing::core().error.isEmpty()) GTEST_SKIP() << jex::testing::core().error.toStdString();
    if (!keyboard_.ok()) GTEST_SKIP() << "no connection to the virtual display";
    const QString app = jex::testing::core().home + S("/app/");
    QDir().mkpath(app + S("keys"));
    QFile f(app + S("keys/DEFAULT.KBD"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(kDefaultKeys);
    f.close();
    Jex() = automation::dbus::connect(S("corvane.application"), QDBusConnection::sessionBus());
    gGlobal().AppPath = app;
    dlg_ = std::make_unique<frmKeys>();
    dlg_->show();
    dlg_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg_.get())) << "the dialog did not come to the front";
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg_->treeFilled(); }, 5000));
  }
  void TearDown() override {
    dlg_.reset();  // capture off: the core acts on its keys again
    resetGlobals();
  }
  // Caps Lock pressed again alone afterwards: its lock is off as before, and no code comes of it.
  void capsF5() {
    ASSERT_TRUE(keyboard_.press({{'+', kCaps}, {'+', kF5}, {'-', kF5}, {'-', kCaps}, {'+', kCaps}, {'-', kCaps}}));
  }
  bool said(const QString& part) const {
    return QTest::qWaitFor(
        [&] {
          for (const QString& l : jex::testing::coreOutput().split(u'\n'))
            if (l.startsWith(S("SPEAK: ")) && l.contains(part)) return true;
          return false;
        },
        5000);
  }

  Keyboard keyboard_;
  std::unique_ptr<frmKeys> dlg_;
};

TEST_F(KeysOnTheDisplay, AKeyPressedOnTreKeysChoosesItsNode) {
  ASSERT_TRUE(QMetaObject::invokeMethod(dlg_.get(), "ShowKeys"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg_->treKeys()->hasFocus(); }, 3000));
  ASSERT_EQ(dlg_->captureMode(), frmKeys::LookUp);
  capsF5();
  EXPECT_TRUE(QTest::qWaitFor([&] { return dlg_->treKeys()->currentItem() == dlg_->keyNode(S("CAP_F5")); }, 5000))
      << "chosen: " << (dlg_->treKeys()->currentItem() ? dlg_->treKeys()->currentItem()->text(0).toStdString() : "")
      << "\n"
      << jex::testing::coreOutput().right(600).toStdString();
  // A keypad chord, the layer key held (the keypad's 5 by its place, Num Lock on or off).
  const xcb_keysym_t five = keyboard_.keycode(kKp5) ? kKp5 : kKpBegin;
  ASSERT_TRUE(keyboard_.press({{'+', kKpDivide}, {'+', five}, {'-', five}, {'-', kKpDivide}}));
  EXPECT_TRUE(QTest::qWaitFor([&] { return dlg_->treKeys()->currentItem() == dlg_->keyNode(S("L/N5")); }, 5000))
      << "chosen: " << (dlg_->treKeys()->currentItem() ? dlg_->treKeys()->currentItem()->text(0).toStdString() : "");
}

TEST_F(KeysOnTheDisplay, AKeyPressedOnTxtKeysIsPutThereAndWhatItStartsNowIsSaid) {
  ASSERT_TRUE(QMetaObject::invokeMethod(dlg_.get(), "ShowCMDs"));
  QTreeWidgetItem* sayAll = dlg_->commandNode(S("SAYALL"));
  ASSERT_NE(sayAll, nullptr) << "the core lists no SAYALL";
  dlg_->treCommands()->setCurrentItem(sayAll);
  dlg_->treCommands()->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(dlg_->treCommands(), Qt::Key_Tab);
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg_->txtKeys()->hasFocus(); }, 3000));
  ASSERT_EQ(dlg_->captureMode(), frmKeys::Assigning);
  capsF5();
  EXPECT_TRUE(QTest::qWaitFor([&] { return dlg_->txtKeys()->text().startsWith(S("CAP_F5 ")); }, 5000))
      << dlg_->txtKeys()->text().toStdString() << "\n"
      << jex::testing::coreOutput().right(600).toStdString();
  EXPECT_TRUE(dlg_->txtKeys()->text().contains(dlg_->hiddenText("s_Assign") + S(" SAYALL")))
      << dlg_->txtKeys()->text().toStdString();
  // CAP_F5 starts another command on the shipped global level: the core says so.
  EXPECT_TRUE(said(dlg_->hiddenText("s_Level(1)"))) << jex::testing::coreOutput().right(600).toStdString();
  EXPECT_EQ(dlg_->checker().GetActFuncForKey(S("CAP_F5")), S("SAYLINE")) << "a key pressed was assigned unasked";
}

}  // namespace
}  // namespace jex::test
