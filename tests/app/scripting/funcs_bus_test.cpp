// Funcs, cGlobal.UiActive and cJexStates as the core's scripts and menus reach them: JexUI and
// the stand-in core's objects on two connections of a private bus; the core calls the Funcs
// object it was handed, as a script would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "app/scripting/cjexstates.h"
#include "app/scripting/funcs.h"
#include "automation/dbustransport.h"
#include "base/log.h"
#include "corvane/engine/scriptconsole.h"
#include "corvane/engine/states.h"
#include "dialogs/boxes/frmscrinput.h"
#include "dialogs/boxes/frmscrmsgbox.h"
#include "global/cglobal.h"
#include "tests/automation/privatebus.h"
#include "tests/support/errorof.h"
#include "tests/support/fakecore.h"
#include "tests/support/processes.h"
#include "tests/support/text.h"
#include "widgets/formservice.h"

namespace jex {
namespace {

using automation::fromObj;
using automation::missing;
using automation::toObj;
namespace bus = automation::dbus;

class FuncsOverBus : public ::testing::Test, public fake::CoreFixture {
 protected:
  void SetUp() override {
    auto& pb = testing::PrivateBus::instance();
    if (!pb.ok()) GTEST_SKIP() << "no private bus: " << pb.error().toStdString();
    core.foreground = S("NOTEPAD");
    jexConn = pb.connect(S("jexui"));
    coreConn = pb.connect(S("core"));
    ASSERT_TRUE(bus::publish(S("corvane.application"), published, coreConn));
    Jex() = bus::connect(S("corvane.application"), jexConn);
    recordForms();
    ASSERT_TRUE(ExposeFuncs());
    ASSERT_EQ(core.reports, QStringList{S("EXPOSED: Funcs")});
    core.reports.clear();
  }
  void TearDown() override {
    ReleaseFuncs();
    for (const char* form : {"frmSCRMsgBox", "frmSCRInput", "frmReadMe", "frmTextWiz", "frmVoices"})
      forms::remove(S(form));
    resetGlobals();
    if (published) bus::unpublish(S("corvane.application"), coreConn);
    if (jexConn.isConnected()) testing::PrivateBus::disconnect(jexConn);
    if (coreConn.isConnected()) testing::PrivateBus::disconnect(coreConn);
  }

  // The forms Funcs reaches by name, recording each call as the member that made it, then its arguments.
  void recordForms() {
    for (const auto& [form, member] :
         {std::pair{"frmSCRMsgBox", "MsgBox"}, {"frmSCRInput", "InputBox"}, {"frmReadMe", "ReadMe"}}) {
      forms::add({.name = S(form), .action = [this, m = S(member)](const QString&, const QStringList& a) {
                    shown << QStringList{m} + a;
                  }});
    }
    forms::add({.name = S("frmVoices"), .action = [this](const QString& action, const QStringList& a) {
                  shown << QStringList{action == u"AllSpeeds" ? S("Speed") : S("Volume")} + a;
                }});
    forms::add({.name = S("frmTextWiz"), .action = [this](const QString&, const QStringList& a) {
                  const auto on = [&](int i, const char* word) { return a.value(i) == u'1' ? S(word) : QString(); };
                  shown << QStringList{S("Text"), a.value(0), on(1, "read"), on(2, "close")};
                }});
  }

  corvane::ScriptHost& script() { return published->proc().scriptHost(); }
  // Funcs as the core's script engine holds it: a proxy across the bus.
  Obj funcs() { return script().exposed(S("Funcs")); }
  QVariant call(const QString& member, QVariantList args) { return funcs().call(member, args); }
  QString console(const QString& line) { return corvane::runScriptCall(script(), line); }
  void setIni(const QString& section, const QString& key, const QString& value) {
    ASSERT_TRUE(core.store.setValue(section, key, value));
    published->braille().load();  // the display's values are live: they take the file's again
  }

  std::shared_ptr<corvane::Root> published = std::make_shared<corvane::Root>(core);
  QDBusConnection jexConn{QString()}, coreConn{QString()};
  QList<QStringList> shown;
};

// Optional box arguments omitted at the end and in the middle arrive as empty texts; ShowReadMe
// takes the foreground application for an empty name and refuses paths.
TEST_F(FuncsOverBus, MembersReachTheirFormsWithOmittedArgumentsAsEmptyTexts) {
  gGlobal().NewTask = S("WINWORD");
  for (const auto& [member, args] :
       std::vector<std::pair<const char*, QVariantList>>{{"InputBox", {S("Name?")}},
                                                         {"InputBox", {S("Name?"), missing(), S("Otto"), 7}},
                                                         {"MsgBox", {S("Nur OK")}},
                                                         {"ShowReadMe", {}},
                                                         {"ShowReadMe", {QString()}},
                                                         {"ShowReadMe", {S("tastatur.txt")}},
                                                         {"ShowReadMe", {S("../../etc/passwd")}},
                                                         {"ShowReadMe", {S("sub\\x.txt")}},
                                                         {"ShowText", {S("Zeile 1\r\nZeile 2"), true}},
                                                         {"ShowText", {S("x"), false, -1}}})
    call(S(member), args);
  gGlobal().NewTask.clear();
  call(S("ShowReadMe"), {});  // no name and no foreground application: nothing
  EXPECT_EQ(console(S("AllVoiceSpeed = 250")), S("FUNCS: AllVoiceSpeed = 250"));
  funcs().set(S("AllVoiceVolume"), S("40"));
  EXPECT_EQ(shown, (QList<QStringList>{{"InputBox", "Name?", "", "", ""},
                                       {"InputBox", "Name?", "", "Otto", "7"},
                                       {"MsgBox", "Nur OK", "", "", ""},
                                       {"ReadMe", "WINWORD.txt"},
                                       {"ReadMe", "WINWORD.txt"},
                                       {"ReadMe", "tastatur.txt"},
                                       {"Text", "Zeile 1\r\nZeile 2", "read", ""},
                                       {"Text", "x", "", "close"},
                                       {"Speed", "250"},
                                       {"Volume", "40"}}));
}

template <class Form>
Form* openForm() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* f = dynamic_cast<Form*>(w); f && f->isVisible()) return f;
  return nullptr;
}

TEST_F(FuncsOverBus, TheScriptBoxesAnswerTheScriptThroughTheCoresCallBack) {
  forms::add(frmSCRMsgBoxForm());
  forms::add(frmSCRInputForm());
  EXPECT_EQ(console(S("MsgBox \"Hallo\" YESNO \"Titel\" cookie1")), S("FUNCS: MsgBox -> <empty>"));
  QPointer<frmSCRMsgBox> box = openForm<frmSCRMsgBox>();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->windowTitle(), S("Titel"));
  EXPECT_TRUE(core.reports.isEmpty());
  QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : box.data(), Qt::Key_Escape);
  QTRY_COMPARE(core.reports.value(0), S("CALLBACK: OnMsgBoxClick application=NOTEPAD Result=no Cookie=cookie1"));

  // What is typed into the box reaches the script, never a log or the core's output.
  QTemporaryDir dir;
  const QString savedLog = logfile::path();
  logfile::setPath(dir.filePath(S("jexui.log")));
  logfile::setThreshold(5);
  console(S("InputBox \"Name?\" ~ \"Otto\" c2"));
  QPointer<frmSCRInput> input = openForm<frmSCRInput>();
  ASSERT_NE(input, nullptr);
  EXPECT_EQ(input->txtInput()->text(), S("Otto"));
  QTest::keyClicks(input->txtInput(), S("Maria"));
  QTest::keyClick(input->txtInput(), Qt::Key_Return);
  QTRY_COMPARE(core.reports.value(1), S("CALLBACK: OnInputBox application=NOTEPAD Result=<5 characters> Cookie=c2"));
  const QString log = testing::fileLines(dir.filePath(S("jexui.log"))).join(u'\n');
  logfile::setPath(savedLog);
  EXPECT_TRUE(log.contains(S("OnInputBox: <5 characters>"))) << log.toStdString();
  EXPECT_FALSE(log.contains(S("Maria"))) << log.toStdString();
}

TEST_F(FuncsOverBus, IsExposedAsTheJexUITypeLibraryAndListsTheMembersOfAnyObject) {
  ASSERT_FALSE(funcs().isNothing());
  EXPECT_EQ(script().names(), QStringList{S("Funcs")});
  EXPECT_EQ(funcs().target()->className(), S("JexUI.Funcs"));
  // The core hands one of its own objects across; JexUI reads its member table.
  const QString info = automation::toStr(call(S("GetTypeLibInfoFromO"), {fromObj(Obj(published))}));
  EXPECT_TRUE(info.startsWith(S("Class corvane.application\r\n"))) << info.toStdString();
  EXPECT_TRUE(info.contains(S("Property Get SpeechProfiles")));
  const QString own = automation::toStr(call(S("GetTypeLibInfoFromO"), {fromObj(funcs())}));
  EXPECT_TRUE(own.contains(S("Function SetFocusToClass(1 to 3) ' Sets Focus to the Window")));
  EXPECT_TRUE(own.contains(S("Property Let AllVoiceSpeed")));
  EXPECT_EQ(call(S("GetTypeLibInfoFromO"), {S("no object")}).toString(), QString());
  EXPECT_EQ(call(S("GetTypeLibInfoFromO"), {QVariant()}).toString(), QString());
}

// The console hands one of the core's objects to Funcs by its path; JexUI describes it.
TEST_F(FuncsOverBus, TheConsolePassesCoreObjectsByTheirPath) {
  const QString line = corvane::runScriptCall(script(), S("GetTypeLibInfoFromO @proc"), S("Funcs"), Obj(published));
  EXPECT_TRUE(line.startsWith(S("FUNCS: GetTypeLibInfoFromO -> \""))) << line.toStdString();
  EXPECT_TRUE(line.contains(S("AddToCMDQueue"))) << line.toStdString();
  EXPECT_TRUE(corvane::runScriptCall(script(), S("GetTypeLibInfoFromO @nothing"), S("Funcs"), Obj(published))
                  .startsWith(S("FUNCS: @nothing: 438")));
  EXPECT_EQ(console(S("GetTypeLibInfoFromO @proc")), S("FUNCS: no core object for @proc"));
}

TEST_F(FuncsOverBus, BadInputGivesEmptyResultsAndNeverAnError) {
  const QString huge(2 * 1024 * 1024, u'A');
  EXPECT_NO_THROW({
    EXPECT_EQ(call(S("FindClassEx"), {fromObj(Obj(published)), huge, S("x")}).toInt(), 0);
    EXPECT_EQ(call(S("FindClassEx"), {QStringList{"a"}, 1, true}).toInt(), 0);
    EXPECT_EQ(call(S("SetFocusToClass"), {huge, -5, 0x7fffffff}).toInt(), 0);
    EXPECT_EQ(call(S("SetFocusToClass"), {fromObj(Obj(published))}).toInt(), 0);
    call(S("MsgBox"), {huge, QVariantList{1, 2}, huge, fromObj(Obj(published))});
    call(S("ShowText"), {S("t"), S("kein Wahrheitswert")});
    call(S("ShowReadMe"), {QString(300, u'x')});
    funcs().set(S("AllVoiceSpeed"), S("schnell"));
    funcs().set(S("AllVoiceVolume"), 1e20);
  });
  // Only MsgBox got through, with its texts cut and the unusable arguments as empty texts.
  ASSERT_EQ(shown.size(), 1);
  EXPECT_EQ(shown[0].value(0), S("MsgBox"));
  EXPECT_EQ(shown[0].value(1).size(), Funcs::kMaxText);
  EXPECT_EQ(shown[0].value(3).size(), Funcs::kMaxText);
  EXPECT_EQ(shown[0].value(2), QString());
  EXPECT_EQ(console(S("Nonsense 1")).left(32), S("FUNCS: Nonsense failed: 438 Obje"));
}

TEST_F(FuncsOverBus, FuncsIsReleasedAtShutdownAndAVanishedCoreIsLogged) {
  const std::weak_ptr<Funcs> weak = funcsInstance();
  ReleaseFuncs();
  EXPECT_EQ(funcsInstance(), nullptr);
  EXPECT_FALSE(weak.expired()) << "the core's script engine still holds it";
  bus::unpublish(S("corvane.application"), coreConn);
  published.reset();  // the core and its script engine end
  QTRY_VERIFY(weak.expired());
  testing::PrivateBus::disconnect(coreConn);
  EXPECT_FALSE(ExposeFuncs());
}

TEST_F(FuncsOverBus, UiActiveOnlyWhileTheCoreNamesJexUI) {
  for (const auto& [name, active] : {std::pair{"JEXUI", true},
                                     {"jexui", true},
                                     {"JexUI", true},
                                     {"", false},
                                     {"NOTEPAD", false},
                                     {"JEXUI2", false},
                                     {" JEXUI", false},
                                     {"JEX", false}}) {
    core.foreground = S(name);
    EXPECT_EQ(gGlobal().UiActive(), active) << name;
  }
  core.foreground = S("JEXUI");
  testing::PrivateBus::disconnect(coreConn);
  EXPECT_FALSE(gGlobal().UiActive());
}

TEST_F(FuncsOverBus, JexStatesReadTheCoreAtEachCall) {
  cJexStates states;
  core.visible = true;
  EXPECT_TRUE(states.Get_MONWINTOGGLE());
  core.setUseSpeech(false);
  EXPECT_FALSE(states.Get_SETSPTOGGLE());
  EXPECT_TRUE(states.Get_CHGCURBLKTOGGLE());
  // Each state before and after its corvane.ini value changes.
  struct Case {
    const char* section;
    const char* key;
    const char* value;
    bool (cJexStates::*get)();
    bool before;
  };
  for (const Case& c : {Case{"General", "TooltipsStatus", "0", &cJexStates::Get_TOOLTIPSTOGGLE, true},
                        Case{"Braille", "BrailleStyle", "6", &cJexStates::Get_CHGBRL68, true},
                        Case{"Braille", "AttributeState", "3", &cJexStates::Get_CHGBRLATRBTOGGLE, false},
                        Case{"Braille", "BrlKeyStat", "1", &cJexStates::Get_BRLKEYTOGGLE, false}}) {
    EXPECT_EQ((states.*c.get)(), c.before) << c.key;
    setIni(S(c.section), S(c.key), S(c.value));
    EXPECT_EQ((states.*c.get)(), !c.before) << c.key;
  }
  setIni(S("Braille"), S("Grade2Stat"), S("2"));
  EXPECT_FALSE(states.Get_GRADE2TOGGLE());
  setIni(S("Braille"), S("Grade2Stat"), S("1"));
  EXPECT_TRUE(states.Get_GRADE2TOGGLE());

  // Menus ask by name: "Get_" + command, any case; commands without state answer nothing.
  EXPECT_EQ(states.get(S("Get_BRLKEYTOGGLE")), std::optional<bool>(true));
  EXPECT_EQ(states.get(S("get_chgbrl68")), std::optional<bool>(false));
  EXPECT_EQ(states.stateOf(S("GRADE2TOGGLE")), std::optional<bool>(true));
  EXPECT_EQ(states.stateOf(S("QUIT")), std::nullopt);
  EXPECT_EQ(states.get(S("Get_SpeechSets")), std::nullopt);

  testing::PrivateBus::disconnect(coreConn);
  EXPECT_EQ(states.get(S("Get_BRLKEYTOGGLE")), std::optional<bool>(false));
  EXPECT_TRUE(states.Get_SpeechSets().isEmpty());
}

// All toggles' states in one call are the states the single members give, whatever they are;
// a core that cannot be reached gives every toggle as off, as each member does.
TEST_F(FuncsOverBus, AllStatesInOneCallAreTheSingleMembersStates) {
  cJexStates states;
  const QStringList toggles{S("MONWINTOGGLE"), S("SETSPTOGGLE"),      S("TOOLTIPSTOGGLE"), S("CHGCURBLKTOGGLE"),
                            S("CHGBRL68"),     S("CHGBRLATRBTOGGLE"), S("GRADE2TOGGLE"),   S("BRLKEYTOGGLE")};
  const auto oneByOne = [&] {
    QHash<QString, bool> h;
    for (const QString& t : toggles) h.insert(t, states.stateOf(t).value_or(false));
    return h;
  };
  const std::vector<std::function<void()>> changes{
      [] {},
      [&] { core.visible = !core.visible; },
      [&] { core.setUseSpeech(false); },
      [&] { setIni(S("General"), S("TooltipsStatus"), S("0")); },
      [&] { setIni(S("Braille"), S("BrailleStyle"), S("6")); },
      [&] { setIni(S("Braille"), S("AttributeState"), S("1")); },
      [&] { setIni(S("Braille"), S("Grade2Stat"), S("1")); },
      [&] { setIni(S("Braille"), S("BrlKeyStat"), S("1")); },
      [&] { setIni(S("Braille"), S("CurBlinkStat"), S("0")); },
  };
  for (size_t i = 0; i < changes.size(); ++i) {
    changes[i]();
    const QHash<QString, bool> all = states.all();
    EXPECT_EQ(all.size(), toggles.size()) << "after change " << i;
    EXPECT_EQ(all, oneByOne()) << "after change " << i;
  }
  // The core answers for all of them in one call.
  QStringList told = Jex().get(S("proc.ToggleStates")).toStringList();
  for (QString& t : told) t = t.section(u'=', 0, 0);
  told.sort();
  QStringList sorted = toggles;
  sorted.sort();
  EXPECT_EQ(told, sorted);
  testing::PrivateBus::disconnect(coreConn);
  const QHash<QString, bool> gone = states.all();
  EXPECT_EQ(gone.size(), toggles.size());
  EXPECT_FALSE(gone.values().contains(true));
}

TEST_F(FuncsOverBus, SpeechSetsListTheProfilesThatHaveAnInfo) {
  cJexStates states;
  EXPECT_TRUE(states.Get_SpeechSets().isEmpty());
  ASSERT_FALSE(states.SpeechProfiles.isNothing());
  EXPECT_EQ(states.SpeechProfiles.count(), 9);
  const Obj profiles = Jex().obj(S("SpeechProfiles"));
  for (int nr : {5, 2}) {
    const Obj p = toObj(profiles.call(S("ItemByIndex"), {nr}));
    p.call(S("GetActValues"));
    p.set(S("Name"), S("Satz %1").arg(nr));
    p.call(S("Save"));
  }
  toObj(profiles.call(S("ItemByIndex"), {7})).set(S("Name"), S("ohne Info"));
  EXPECT_EQ(states.Get_SpeechSets(), (QStringList{"USESPSET2=Satz 2", "USESPSET5=Satz 5"}));
  EXPECT_TRUE(QFile::exists(core.appPath() + S("speechsets/SPSET5.INI")));
  // A profile name with a line break is refused by the core.
  EXPECT_THROW(toObj(profiles.call(S("ItemByIndex"), {1})).set(S("Name"), S("a\nb")), Error);
}

// The quick menu's view of an application's script: the core fills a collection JexUI hands it
// over the bus and describes each function by the comment line above it.
TEST_F(FuncsOverBus, AppScriptsFillJexUIsCollectionAndDescribeEachFunction) {
  corvane::copyTreeKeepExisting(S(JEX_SOURCE_DIR "/data/scripts"), appPath() + S("scripts"));
  writeFile(appPath() + S("scripts/apps/Calc.vbs"),
            "Rem Adds two numbers.\r\nPublic Function Add(a, b)\r\nEnd Function\r\n"
            "\r\nSub Clear()\r\nEnd Sub\r\n' Not a procedure: Sub Nothing()\r\n");
  const Obj scripts = Jex().obj(S("App_Scripts"));
  struct Case {
    const char* app;
    QStringList added;
    QStringList descriptions;
  };
  for (const Case& c : {Case{"NOTEPAD",
                             {S("NOTEPAD:Sub.OnCursorMove"), S("NOTEPAD:Sub.SayFileName"), S("NOTEPAD:Sub.ReadAll"),
                              S("NOTEPAD:Sub.KeyCmdNextLine")},
                             {S("Reads the line of the cursor after it moved."),
                              S("Says the name of the file being edited."), S("Reads the whole text from the top."),
                              S("Moves to the next line and reads it (a key command, not for menus).")}},
                        Case{"winword",
                             {S("WINWORD:Sub.OnStatusChange"), S("WINWORD:Sub.SayPage"), S("WINWORD:Sub.ReadHeading")},
                             {S("Says the page when it changed."), S("Says the number of the current page."),
                              S("Reads the heading above the cursor.")}},
                        Case{"CALC", {S("CALC:Sub.Add"), S("CALC:Sub.Clear")}, {S("Adds two numbers."), QString()}},
                        Case{"EXCEL", {}, {}}}) {
    auto col = std::make_shared<automation::Collection>();
    scripts.call(S("AddAppFunctionsToCol"), {S(c.app), fromObj(Obj(col))});
    QStringList added;
    for (const QVariant& v : col->items()) added << v.toString();
    EXPECT_EQ(added, c.added) << c.app;
    const Obj script = toObj(scripts.call(S("GetScript"), {S(c.app)}));
    QStringList descriptions;
    for (const QString& item : added)
      descriptions << automation::toStr(script.call(S("GetFunctionLong"), {item.section(S(":Sub."), 1)}));
    EXPECT_EQ(descriptions, c.descriptions) << c.app;
  }
  EXPECT_EQ(testing::errorOf([&] {
              toObj(scripts.call(S("GetScript"), {S("NOTEPAD")})).call(S("GetFunctionLong"), {S("LineText")});
            }),
            err::InvalidCall);  // private

  // Names that would lead out of the scripts directory are refused and logged.
  for (const char* bad : {"", "..", "APPS/../../X", "A\\B"}) {
    auto col = std::make_shared<automation::Collection>();
    EXPECT_EQ(testing::errorOf([&] {
                scripts.call(S("AddAppFunctionsToCol"), {S(bad), fromObj(Obj(col))});
              }),
              err::InvalidCall)
        << bad;
    EXPECT_EQ(testing::errorOf([&] { scripts.call(S("GetScript"), {S(bad)}); }), err::InvalidCall) << bad;
    EXPECT_EQ(col->size(), 0);
  }
  EXPECT_EQ(logText().count(S("App_Scripts: application name")), 8);
}

}  // namespace
}  // namespace jex
