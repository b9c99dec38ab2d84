// frmOptions in the main window over the stand-in core, driven by the keyboard with the shipped
// language files: each setting shown from its source and stored back on OK, the tabs by
// Ctrl+Tab, the logon service in the registry file, the document wizard globally and per
// application, the numbers it refuses, the welcome message and the add-on.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QUrl>

#include "app/frmmdi.h"
#include "automation/automation.h"
#include "dialogs/options/frmoptions.h"
#include "platform/opener.h"
#include "platform/registry.h"
#include "tests/support/accessibility.h"
#include "tests/support/dialogtest.h"
#include "tests/support/text.h"
#include "users/cuser.h"
#include "widgets/accessibility.h"
#include "widgets/formservice.h"

namespace jex::test {
namespace {

namespace services = platform::services;
std::string str(const QString& s) { return s.toStdString(); }
const QString kSsrd = S("SSRD"), kKbd = S("QMTKBDHK");

struct Opened : platform::DesktopOpener {
  bool open(const QUrl& url) override { return urls << url, true; }
  QList<QUrl> urls;
};

class OptionsDialog : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    platform::setDesktopOpener(&opened);
  }
  void TearDown() override {
    platform::setDesktopOpener(nullptr);
    DialogTest::TearDown();
  }
  frmOptions* open() { return DialogTest::open<frmOptions>("frmOptions"); }
  static platform::Registry registry() { return platform::Registry(platform::Registry::machinePath()); }
  // A service as installed with a start type, or installed without one (nullopt).
  static void install(const QString& service, std::optional<quint32> start) {
    platform::Registry reg = registry();
    reg.openKey(S("HKLM"), services::keyPath(service));
    reg.setString(S("HKLM"), services::keyPath(service), S("DisplayName"), service);
    if (start) reg.setDword(S("HKLM"), services::keyPath(service), S("Start"), *start);
  }
  // The user's key bindings for app: the application is one of the user's configured ones.
  void configured(const char* app) {
    QDir().mkpath(userDir() + S("/keys"));
    writeFile(userDir() + S("/keys/") + S(app) + S(".KBD"), "SAYALL=CAP_E\r\n");
  }
  static std::optional<quint32> start(const QString& service) { return services::start(registry(), service); }
  template <class W>
  static W* child(QWidget* f, const char* name) {
    W* w = f->findChild<W*>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  // A GlobalSettings value of the current user: the code ActiveValue returns and the value.
  std::pair<int, QString> active(const char* name, const char* app) {
    QVariantList a{S(name), QString(), gGlobal().UserProfile->Name(), S(app)};
    const int code = automation::toI32(root.obj(S("proc.GlobalSettings")).call(S("ActiveValue"), a));
    return {code, automation::toStr(a[1])};
  }
  void typeInto(QComboBox* c, const char* text) {
    c->setFocus();
    c->lineEdit()->selectAll();
    QTest::keyClick(c->lineEdit(), Qt::Key_Delete);
    QTest::keyClicks(c->lineEdit(), S(text));
  }
  void ok(frmOptions* f) { press(f->cmdOK(), Qt::Key_Return); }

  Opened opened;
};

// One setting of the tab "Allgemein" or "Windowsanmeldung": its source set before the dialog
// opens and read after OK.
struct Binding {
  const char* control;
  std::function<void(OptionsDialog&, bool)> set;
  std::function<bool(OptionsDialog&)> get;
};

TEST_F(OptionsDialog, ShowsEachSettingFromItsSourceAndOkWritesItBack) {
  cUser& user = *gGlobal().UserProfile;
  const auto coreBool = [](const char* path) {
    return Binding{path, [path](OptionsDialog& t, bool on) { t.root.set(S(path), on); },
                   [path](OptionsDialog& t) { return t.root.boolean(S(path)); }};
  };
  const auto userSwitch = [&user](const char* name, void (cUser::*set)(qint16), qint16 (cUser::*get)() const) {
    return Binding{name, [&user, set](OptionsDialog&, bool on) { (user.*set)(on ? 1 : 0); },
                   [&user, get](OptionsDialog&) { return (user.*get)() != 0; }};
  };
  const QList<std::pair<Binding, const char*>> bindings = {
      {coreBool("proc.IsMonWinVisible"), "chkMonVisible"},
      {coreBool("proc.TooltipsStatus"), "chkTooltips"},
      {coreBool("proc.NavBeep.Value"), "chkNavBeep"},
      {coreBool("proc.BadWinMsg.Value"), "chkBadWinMsg"},
      {userSwitch("UseSounds", &cUser::setUseSounds, &cUser::UseSounds), "chkSounds"},
      {userSwitch("SpeakTips", &cUser::setSpeakTips, &cUser::SpeakTips), "chkSpeakTips"},
      {userSwitch("Ask2Save", &cUser::setAsk2Save, &cUser::Ask2Save), "chkAsk2Save"},
      {userSwitch("AutoRead", &cUser::setAutoRead, &cUser::AutoRead), "chkAutoRead"},
      {Binding{"chkSayWelcome",
               [](OptionsDialog& t, bool on) {
                 t.core.store.setValue(S("MIXED"), S("chkSayWelcome"), on ? S("1") : S("0"));
               },
               [](OptionsDialog& t) { return t.core.store.value(S("MIXED"), S("chkSayWelcome")) != u"0"; }},
       "chkStartMsg"},
  };
  for (const bool first : {true, false}) {
    SCOPED_TRACE(first ? "all on, then off" : "all off, then on");
    for (const auto& [b, control] : bindings) b.set(*this, first);
    frmOptions* f = open();
    ASSERT_NE(f, nullptr);
    for (const auto& [b, control] : bindings) {
      auto* box = child<QCheckBox>(f, control);
      EXPECT_EQ(box->isChecked(), first) << control;
      if (!box->isVisible()) f->selectTab(frmOptions::TabStart);
      press(box);
    }
    EXPECT_EQ(f->cmdEditMsg()->isEnabled(), !first) << "follows chkStartMsg";
    ok(f);
    EXPECT_FALSE(f->isVisible());
    for (const auto& [b, control] : bindings) EXPECT_EQ(b.get(*this), !first) << b.control;
  }
  EXPECT_EQ(count(S("!!! ERROR")), 0) << str(logText());
}

// The core gone while OK stores: each of its settings fails on its own and is logged, and the
// settings kept elsewhere (the user's, corvane.ini's) are stored all the same.
TEST_F(OptionsDialog, TheCoreGoneWhileStoringLeavesTheOtherSettingsStored) {
  frmOptions* f = open();
  ASSERT_NE(f, nullptr);
  const bool sounds = gGlobal().UserProfile->UseSounds() != 0;
  press(child<QCheckBox>(f, "chkMonVisible"));
  press(child<QCheckBox>(f, "chkSounds"));
  f->selectTab(frmOptions::TabStart);
  press(child<QCheckBox>(f, "chkStartMsg"));
  f->selectTab(frmOptions::TabDocWiz);
  typeInto(f->cboDWLines(), "30");
  Jex() = Obj();
  ok(f);
  Jex() = root;
  EXPECT_FALSE(f->isVisible());
  EXPECT_EQ(gGlobal().UserProfile->UseSounds() != 0, !sounds);
  EXPECT_EQ(stored(S("MIXED"), S("chkSayWelcome")), S("0"));
  for (const char* step : {"IsMonWinVisible", "NavBeep", "TooltipsStatus", "BadWinMsg", "DocWiz DEFAULT"})
    EXPECT_TRUE(logged(S("!!! ERROR frmOptions.SaveValues.") + S(step))) << step;
  EXPECT_FALSE(root.boolean(S("proc.IsMonWinVisible")));
}

// Ctrl+Tab and Ctrl+Shift+Tab go round the tabs and put the focus on each tab's first control;
// Tab then stays on the controls the tab shows.
TEST_F(OptionsDialog, CtrlTabGoesRoundTheTabsToTheirFirstControls) {
  frmOptions* f = open();
  ASSERT_NE(f, nullptr);
  const char* firsts[] = {"chkMonVisible", "cbo_Task", "cboSSRD"};
  for (int step = 1; step <= 4; ++step) {
    key(Qt::Key_Tab, Qt::ControlModifier);
    const int tab = step % 3;
    ASSERT_EQ(f->tabOptions()->currentIndex(), tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), S(firsts[tab]));
    EXPECT_ACCESSIBLE(f);
    for (int i = 0; i < 12; ++i) {
      key(Qt::Key_Tab);
      QWidget* w = QApplication::focusWidget();
      ASSERT_TRUE(w && w->isVisible() && f->isAncestorOf(w)) << "Tab on tab " << tab << " reached a hidden control";
    }
    f->findChild<QWidget*>(QLatin1String(firsts[tab]))->setFocus();
  }
  key(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(f->tabOptions()->currentIndex(), frmOptions::TabGeneral);
  key(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(f->tabOptions()->currentIndex(), frmOptions::TabStart);
  EXPECT_EQ(QApplication::focusWidget(), f->cboSSRD());
}

struct LogonShown {
  const char* name;
  std::optional<quint32> ssrd;  // nullopt: not installed
  const char* braille;
  const char* speech;
  std::optional<quint32> driver;
  int index;
  bool driverEnabled, driverTicked;
};
void PrintTo(const LogonShown& c, std::ostream* os) { *os << c.name; }

class LogonShownTest : public OptionsDialog, public ::testing::WithParamInterface<LogonShown> {};

TEST_P(LogonShownTest, TheServicesAndTheFlagsChooseTheEntry) {
  const LogonShown& c = GetParam();
  if (c.ssrd) install(kSsrd, *c.ssrd);
  if (c.driver) install(kKbd, *c.driver);
  core.store.setValue(kSsrd, S("SSRDUseBraille"), S(c.braille));
  core.store.setValue(kSsrd, S("SSRDUseSpeech"), S(c.speech));
  frmOptions* f = open();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->cboSSRD()->currentIndex(), c.index);
  EXPECT_EQ(f->chkKbdHK()->isEnabled(), c.driverEnabled);
  EXPECT_EQ(f->chkKbdHK()->isChecked(), c.driverTicked);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogonShownTest,
    ::testing::Values(LogonShown{"FreshMachine", std::nullopt, "1", "1", std::nullopt, 0, false, false},
                      LogonShown{"BothFlags", 2u, "1", "1", 4u, 3, true, false},
                      LogonShown{"LargerFlagsStillBoth", 2u, "5", "7", std::nullopt, 3, true, false},
                      LogonShown{"SpeechOnly", 2u, "0", "1", 1u, 2, true, true},
                      LogonShown{"BrailleWithDriver", 2u, "1", "", 1u, 1, true, true},
                      LogonShown{"ManualStartIsOff", 3u, "1", "1", 1u, 0, false, false}),
    [](const auto& i) { return std::string(i.param.name); });

struct LogonStored {
  const char* name;
  bool ssrdInstalled, driverInstalled;
  int index;
  bool driverTicked;
  std::optional<quint32> ssrd, driver;
  const char* braille;
  const char* speech;
  bool driverMissingLogged = false;
};
void PrintTo(const LogonStored& c, std::ostream* os) { *os << c.name; }

class LogonStoredTest : public OptionsDialog, public ::testing::WithParamInterface<LogonStored> {};

TEST_P(LogonStoredTest, OkSetsTheServicesAndTheFlags) {
  const LogonStored& c = GetParam();
  if (c.ssrdInstalled) install(kSsrd, 3u);
  if (c.driverInstalled) install(kKbd, 4u);
  frmOptions* f = open();
  ASSERT_NE(f, nullptr);
  key(Qt::Key_Tab, Qt::ControlModifier);
  key(Qt::Key_Tab, Qt::ControlModifier);
  ASSERT_EQ(QApplication::focusWidget(), f->cboSSRD());
  for (int i = 0; i < c.index; ++i) key(Qt::Key_Down);
  EXPECT_EQ(f->chkKbdHK()->isEnabled(), c.index > 0);
  if (f->chkKbdHK()->isChecked() != c.driverTicked) press(f->chkKbdHK());
  ok(f);
  EXPECT_EQ(start(kSsrd), c.ssrd);
  EXPECT_EQ(start(kKbd), c.driver);
  EXPECT_EQ(stored(kSsrd, S("SSRDUseBraille")), S(c.braille));
  EXPECT_EQ(stored(kSsrd, S("SSRDUseSpeech")), S(c.speech));
  EXPECT_EQ(logged(S("SYSTEM\\CurrentControlSet\\Services\\QMTKBDHK not found")), c.driverMissingLogged);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogonStoredTest,
    ::testing::Values(LogonStored{"SpeechWithDriver", true, true, 2, true, 2u, 1u, "0", "1"},
                      LogonStored{"BothWithoutDriver", true, true, 3, false, 2u, 4u, "1", "1"},
                      LogonStored{"Off", true, true, 0, false, 3u, 4u, "0", "0"},
                      LogonStored{"DriverNotInstalled", true, false, 1, false, 2u, std::nullopt, "1", "0", true},
                      LogonStored{"ServiceNotInstalled", false, true, 3, false, std::nullopt, 4u, "", ""}),
    [](const auto& i) { return std::string(i.param.name); });

// The global entry stores the user's global values; an application follows them while
// chkDefSetting is ticked, gets its own when a value is changed, and follows again once it is
// ticked again.
TEST_F(OptionsDialog, DocumentWizardGlobalAndPerApplication) {
  configured("WINWORD");
  frmOptions* f = open();
  ASSERT_NE(f, nullptr);
  key(Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(f->cboTask()->currentText(), S("Global"));
  EXPECT_EQ(f->SelectedTask(), S("DEFAULT"));
  EXPECT_FALSE(f->chkDefSetting()->isEnabled());
  EXPECT_EQ(f->cboDWLineLen()->currentText(), S("80"));
  EXPECT_EQ(f->cboDWLines()->currentText(), S("25"));
  typeInto(f->cboDWLineLen(), "120");
  EXPECT_TRUE(f->changed());
  ok(f);
  // The global entry stores its four values.
  EXPECT_EQ(active("MSAAMaxLineLen", "WINWORD"), std::pair(2, S("120")));
  EXPECT_EQ(active("MSAAPageLines", "WINWORD"), std::pair(2, S("25")));

  ASSERT_EQ(open(), f);
  key(Qt::Key_Tab, Qt::ControlModifier);
  choose(f->cboTask(), S("WINWORD"));
  EXPECT_EQ(f->SelectedTask(), S("WINWORD"));
  EXPECT_TRUE(f->chkDefSetting()->isChecked());
  EXPECT_FALSE(f->cboDWLines()->isEnabled());
  EXPECT_EQ(f->cboDWLineLen()->currentText(), S("120")) << "the global value in force";
  EXPECT_FALSE(f->changed()) << "choosing an application changes nothing";
  press(f->chkDefSetting());
  EXPECT_TRUE(f->cboDWLines()->isEnabled());
  typeInto(f->cboDWLines(), "40");
  ok(f);
  EXPECT_EQ(active("MSAAPageLines", "WINWORD"), std::pair(8, S("40")));
  EXPECT_EQ(active("MSAAMaxLineLen", "WINWORD"), std::pair(8, S("120")));
  EXPECT_EQ(active("MSAAPageLines", "FIREFOX"), std::pair(2, S("25")));

  ASSERT_EQ(open(), f);
  key(Qt::Key_Tab, Qt::ControlModifier);
  choose(f->cboTask(), S("WINWORD"));
  EXPECT_FALSE(f->chkDefSetting()->isChecked());
  EXPECT_EQ(f->cboDWLines()->currentText(), S("40"));
  press(f->chkDefSetting());
  ok(f);
  EXPECT_EQ(active("MSAAPageLines", "WINWORD"), std::pair(2, S("25")));
  EXPECT_EQ(active("MSAAMaxLineLen", "WINWORD"), std::pair(2, S("120")));
  EXPECT_EQ(count(S("!!! ERROR")), 0) << str(logText());
}

// A value changed for one application is kept while another is chosen, and both are stored.
TEST_F(OptionsDialog, ChangesOfTwoApplicationsAreBothStored) {
  configured("WINWORD");
  configured("FIREFOX");
  frmOptions* f = open();
  ASSERT_NE(f, nullptr);
  f->selectTab(frmOptions::TabDocWiz);
  choose(f->cboTask(), S("WINWORD"));
  press(f->chkDefSetting());
  typeInto(f->cboDWLines(), "50");
  choose(f->cboTask(), S("FIREFOX"));
  EXPECT_EQ(f->cboDWLines()->currentText(), S("25"));
  EXPECT_TRUE(f->chkDefSetting()->isChecked());
  press(f->chkDefSetting());
  press(child<QCheckBox>(f, "chkDWStart"));
  choose(f->cboTask(), S("WINWORD"));
  EXPECT_EQ(f->cboDWLines()->currentText(), S("50")) << "the change is shown again";
  ok(f);
  EXPECT_EQ(active("MSAAPageLines", "WINWORD"), std::pair(8, S("50")));
  EXPECT_EQ(active("MSAAAutoStart", "FIREFOX"), std::pair(8, S("1")));
}

struct Number {
  const char* lineLen;
  const char* lines;
  bool accepted;
};
void PrintTo(const Number& n, std::ostream* os) { *os << n.lineLen << "/" << n.lines; }

class NumberTest : public OptionsDialog, public ::testing::WithParamInterface<Number> {};

TEST_P(NumberTest, OnlyNumbersInTheirRangePassOk) {
  const Number& n = GetParam();
  frmOptions* f = open();
  ASSERT_NE(f, nullptr);
  f->selectTab(frmOptions::TabDocWiz);
  typeInto(f->cboDWLineLen(), n.lineLen);
  typeInto(f->cboDWLines(), n.lines);
  AnswerBox box(Qt::Key_Return);
  ok(f);
  EXPECT_EQ(box.asked, n.accepted ? 0 : 1);
  EXPECT_EQ(f->isVisible(), !n.accepted);
  QVariantList a{S("MSAAMaxLineLen"), QString(), gGlobal().UserProfile->Name()};
  EXPECT_EQ(automation::toI32(root.obj(S("proc.GlobalSettings")).call(S("GetValue"), a)), n.accepted ? 2 : 1);
  if (n.accepted) return;
  const bool lineLenOk = QString::fromLatin1(n.lineLen).toInt() >= 20 && QString::fromLatin1(n.lineLen).toInt() <= 250;
  EXPECT_EQ(ui::tabStopOf(f->focusWidget()), lineLenOk ? f->cboDWLines() : f->cboDWLineLen());
}

INSTANTIATE_TEST_SUITE_P(Ranges, NumberTest,
                         ::testing::Values(Number{"20", "5", true}, Number{"250", "200", true},
                                           Number{"19", "25", false}, Number{"251", "25", false},
                                           Number{"80", "4", false}, Number{"80", "201", false},
                                           Number{"abc", "25", false}, Number{"80", "", false},
                                           Number{"8O", "25", false}));

TEST_F(OptionsDialog, EditMessageOpensTheLanguagesWelcomeFile) {
  frmOptions* f = open();
  ASSERT_NE(f, nullptr);
  f->selectTab(frmOptions::TabStart);
  ASSERT_TRUE(f->cmdEditMsg()->isEnabled());
  press(f->cmdEditMsg());
  ASSERT_EQ(opened.urls.size(), 1);
  EXPECT_EQ(opened.urls[0].toLocalFile(), QDir::cleanPath(appPath() + S("LNG/1031/welcome.txt")));
  EXPECT_TRUE(f->isVisible());
  press(child<QCheckBox>(f, "chkStartMsg"));
  EXPECT_FALSE(f->cmdEditMsg()->isEnabled());
}

TEST_F(OptionsDialog, PagecasterIsRegisteredFromItsTargetFolderAndUnregistered) {
  const QString progId = S("webview.viewsource");
  const QString key = QLatin1String(platform::pagecaster::kKey);
  frmOptions* f = open();
  ASSERT_NE(f, nullptr);
  auto* box = child<QCheckBox>(f, "chkPagecaster");
  EXPECT_FALSE(box->isChecked());
  press(box);
  ok(f);
  EXPECT_EQ(platform::com::serverPath(registry(), progId), S("")) << "no Target: nothing changes";

  const QString folder = appPath() + S("PageCaster");
  QDir().mkpath(folder);
  writeFile(folder + S("/pagecast.dll"), "MZ");
  registry().setString(S("HKLM"), key, S("Target"), folder);
  ASSERT_EQ(open(), f);
  press(box);
  ok(f);
  EXPECT_EQ(platform::com::serverPath(registry(), progId), folder + S("/pagecast.dll"));
  ASSERT_EQ(open(), f);
  EXPECT_TRUE(box->isChecked());
  press(box);
  ok(f);
  EXPECT_EQ(platform::com::serverPath(registry(), progId), S(""));
}

}  // namespace
}  // namespace jex::test
