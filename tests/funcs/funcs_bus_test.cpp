// Funcs, cGlobal.UiActive and cJexStates as the core's scripts and menus reach them: JexUI and
// the stand-in core's objects on two connections of a private bus; the core calls the Funcs object it was
// handed, as a script would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "../automation/privatebus.h"
#include "core/automation/dbustransport.h"
#include "core/automation_iface/cjexstates.h"
#include "core/automation_iface/funcs.h"
#include "core/global/cglobal.h"
#include "dialogs/common/formservice.h"
#include "dialogs/frmscrinput.h"
#include "dialogs/frmscrmsgbox.h"
#include "corvane/engine/scriptconsole.h"
#include "corvane/engine/states.h"
#include "tests/support/fakecore.h"

namespace jex {
namespace {

using automation::fromObj;
using automation::missing;
using automation::toObj;
namespace bus = automation::dbus;

struct Shown {
  QString form;
  QStringList args;
};

class FuncsOverBus : public ::testing::Test, public fake::CoreFixture {
 protected:
  void SetUp() override {
    auto& pb = testing::PrivateBus::instance();
    if (!pb.ok()) GTEST_SKIP() << "no private bus: " << pb.error().toStdString();
    core.foreground = QStringLiteral("NOTEPAD");
    jexConn = pb.connect(QStringLiteral("jexui"));
    coreConn = pb.connect(QStringLiteral("core"));
    ASSERT_TRUE(bus::publish(QStringLiteral("corvane.application"), published, coreConn));
    Jex() = bus::connect(QStringLiteral("corvane.application"), jexConn);
    recordForms();
    ASSERT_TRUE(ExposeFuncs());
    ASSERT_EQ(core.reports, QStringList{QStringLiteral("EXPOSED: Funcs")});
    core.reports.clear();
  }
  void TearDown() override {
    ReleaseFuncs();
    for (const char* form : {"frmSCRMsgBox", "frmSCRInput", "frmReadMe", "frmTextWiz", "frmVoices"})
      forms::remove(QLatin1String(form));
    resetGlobals();
    if (published) bus::unpublish(QStringLiteral("corvane.application"), coreConn);
    if (jexConn.isConnected()) testing::PrivateBus::disconnect(jexConn);
    if (coreConn.isConnected()) testing::PrivateBus::disconnect(coreConn);
  }

  void recordForms() {
    // The forms Funcs reaches by name, recording each call as the member that made it.
    const auto record = [this](const char* form, std::function<QString(const QString& action)> member) {
      forms::add({.name = QLatin1String(form), .action = [this, member](const QString& action, const QStringList& a) {
                    shown.push_back({member(action), a});
                  }});
    };
    record("frmSCRMsgBox", [](const QString&) { return QStringLiteral("MsgBox"); });
    record("frmSCRInput", [](const QString&) { return QStringLiteral("InputBox"); });
    record("frmReadMe", [](const QString&) { return QStringLiteral("ReadMe"); });
    record("frmVoices", [](const QString& action) {
      return action == QLatin1String("AllSpeeds") ? QStringLiteral("Speed") : QStringLiteral("Volume");
    });
    forms::add({.name = QStringLiteral("frmTextWiz"), .action = [this](const QString&, const QStringList& a) {
                  const auto on = [&](int i, const char* word) { return a.value(i) == u'1' ? QLatin1String(word) : QString(); };
                  shown.push_back({QStringLiteral("Text"), {a.value(0), on(1, "read"), on(2, "close")}});
                }});
  }

  corvane::ScriptHost& script() { return published->proc().scriptHost(); }
  // Funcs as the core's script engine holds it: a proxy across the bus.
  Obj funcs() { return script().exposed(QStringLiteral("Funcs")); }
  QVariant call(const QString& member, QVariantList args) { return funcs().call(member, args); }
  QString console(const QString& line) { return corvane::runScriptCall(script(), line); }
  void setIni(const QString& section, const QString& key, const QString& value) {
    ASSERT_TRUE(core.store.setValue(section, key, value));
    published->braille().load();  // the display's values are live: they take the file's again
  }

  std::shared_ptr<corvane::Root> published = std::make_shared<corvane::Root>(core);
  QDBusConnection jexConn{QString()}, coreConn{QString()};
  std::vector<Shown> shown;
};

TEST_F(FuncsOverBus, IsExposedToTheCoreAsTheJexUITypeLibrary) {
  ASSERT_FALSE(funcs().isNothing());
  EXPECT_EQ(script().names(), QStringList{QStringLiteral("Funcs")});
  EXPECT_EQ(funcs().target()->className(), QStringLiteral("JexUI.Funcs"));
  // Its members are documented in the member table (GetTypeLibInfoFromO below), which the
  // bus introspection serves (automation tests).
}

// Optional box arguments omitted at the end and in the middle arrive as empty texts; ShowReadMe
// takes the foreground application for an empty name and refuses paths.
TEST_F(FuncsOverBus, MembersReachTheirFormsWithOmittedArgumentsAsEmptyTexts) {
  call(QStringLiteral("InputBox"), {QStringLiteral("Name?")});
  call(QStringLiteral("InputBox"), {QStringLiteral("Name?"), missing(), QStringLiteral("Otto"), 7});
  call(QStringLiteral("MsgBox"), {QStringLiteral("Nur OK")});
  gGlobal().NewTask = QStringLiteral("WINWORD");
  call(QStringLiteral("ShowReadMe"), {});
  call(QStringLiteral("ShowReadMe"), {QString()});
  call(QStringLiteral("ShowReadMe"), {QStringLiteral("tastatur.txt")});
  call(QStringLiteral("ShowReadMe"), {QStringLiteral("../../etc/passwd")});
  call(QStringLiteral("ShowReadMe"), {QStringLiteral("sub\\x.txt")});
  gGlobal().NewTask.clear();
  call(QStringLiteral("ShowReadMe"), {});
  call(QStringLiteral("ShowText"), {QStringLiteral("Zeile 1\r\nZeile 2"), true});
  call(QStringLiteral("ShowText"), {QStringLiteral("x"), false, -1});
  EXPECT_EQ(console(QStringLiteral("AllVoiceSpeed = 250")), QStringLiteral("FUNCS: AllVoiceSpeed = 250"));
  funcs().set(QStringLiteral("AllVoiceVolume"), QStringLiteral("40"));
  const std::vector<std::pair<QString, QStringList>> expected = {
      {"InputBox", {"Name?", "", "", ""}}, {"InputBox", {"Name?", "", "Otto", "7"}}, {"MsgBox", {"Nur OK", "", "", ""}},
      {"ReadMe", {"WINWORD.txt"}}, {"ReadMe", {"WINWORD.txt"}}, {"ReadMe", {"tastatur.txt"}},
      {"Text", {"Zeile 1\r\nZeile 2", "read", ""}}, {"Text", {"x", "", "close"}}, {"Speed", {"250"}}, {"Volume", {"40"}}};
  ASSERT_EQ(shown.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(shown[i].form, expected[i].first) << i;
    EXPECT_EQ(shown[i].args, expected[i].second) << i;
  }
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
  EXPECT_EQ(console(QStringLiteral("MsgBox \"Hallo\" YESNO \"Titel\" cookie1")), QStringLiteral("FUNCS: MsgBox -> <empty>"));
  QPointer<frmSCRMsgBox> box = openForm<frmSCRMsgBox>();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->windowTitle(), QStringLiteral("Titel"));
  EXPECT_TRUE(core.reports.isEmpty());
  QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : box.data(), Qt::Key_Escape);
  QTRY_COMPARE(core.reports.value(0), QStringLiteral("CALLBACK: OnMsgBoxClick application=NOTEPAD Result=no Cookie=cookie1"));

  console(QStringLiteral("InputBox \"Name?\" ~ \"Otto\" c2"));
  QPointer<frmSCRInput> input = openForm<frmSCRInput>();
  ASSERT_NE(input, nullptr);
  EXPECT_EQ(input->txtInput()->text(), QStringLiteral("Otto"));
  QTest::keyClicks(input->txtInput(), QStringLiteral("Maria"));
  QTest::keyClick(input->txtInput(), Qt::Key_Return);
  QTRY_COMPARE(core.reports.value(1), QStringLiteral("CALLBACK: OnInputBox application=NOTEPAD Result=Maria Cookie=c2"));
}

TEST_F(FuncsOverBus, GetTypeLibInfoFromOListsTheMembersOfAnyObject) {
  // The core hands one of its own objects across; JexUI reads its member table.
  const QString info = automation::toStr(call(QStringLiteral("GetTypeLibInfoFromO"), {fromObj(Obj(published))}));
  EXPECT_TRUE(info.startsWith(QStringLiteral("Class corvane.application\r\n"))) << info.toStdString();
  EXPECT_TRUE(info.contains(QStringLiteral("Property Get SpeechProfiles")));
  const QString own = automation::toStr(call(QStringLiteral("GetTypeLibInfoFromO"), {fromObj(funcs())}));
  EXPECT_TRUE(own.contains(QStringLiteral("Function SetFocusToClass(1 to 3) ' Sets Focus to the Window")));
  EXPECT_TRUE(own.contains(QStringLiteral("Property Let AllVoiceSpeed")));
  EXPECT_EQ(call(QStringLiteral("GetTypeLibInfoFromO"), {QStringLiteral("no object")}).toString(), QString());
  EXPECT_EQ(call(QStringLiteral("GetTypeLibInfoFromO"), {QVariant()}).toString(), QString());
}

TEST_F(FuncsOverBus, BadInputGivesEmptyResultsAndNeverAnError) {
  const QString huge(2 * 1024 * 1024, u'A');
  EXPECT_NO_THROW({
    EXPECT_EQ(call(QStringLiteral("FindClassEx"), {fromObj(Obj(published)), huge, QStringLiteral("x")}).toInt(), 0);
    EXPECT_EQ(call(QStringLiteral("FindClassEx"), {QStringList{"a"}, 1, true}).toInt(), 0);
    EXPECT_EQ(call(QStringLiteral("SetFocusToClass"), {huge, -5, 0x7fffffff}).toInt(), 0);
    EXPECT_EQ(call(QStringLiteral("SetFocusToClass"), {fromObj(Obj(published))}).toInt(), 0);
    call(QStringLiteral("MsgBox"), {huge, QVariantList{1, 2}, huge, fromObj(Obj(published))});
    call(QStringLiteral("ShowText"), {QStringLiteral("t"), QStringLiteral("kein Wahrheitswert")});
    call(QStringLiteral("ShowReadMe"), {QString(300, u'x')});
    funcs().set(QStringLiteral("AllVoiceSpeed"), QStringLiteral("schnell"));
    funcs().set(QStringLiteral("AllVoiceVolume"), 1e20);
  });
  // Only MsgBox got through, with its texts cut and the unusable arguments as empty texts.
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].args[0].size(), Funcs::kMaxText);
  EXPECT_EQ(shown[0].args[2].size(), Funcs::kMaxText);
  EXPECT_EQ(shown[0].args[1], QString());
  EXPECT_EQ(console(QStringLiteral("Nonsense 1")).left(32), QStringLiteral("FUNCS: Nonsense failed: 438 Obje"));
}

TEST_F(FuncsOverBus, FuncsIsReleasedAtShutdownAndAVanishedCoreIsLogged) {
  const std::weak_ptr<Funcs> weak = funcsInstance();
  ReleaseFuncs();
  EXPECT_EQ(funcsInstance(), nullptr);
  EXPECT_FALSE(weak.expired()) << "the core's script engine still holds it";
  bus::unpublish(QStringLiteral("corvane.application"), coreConn);
  published.reset();  // the core and its script engine end
  QTRY_VERIFY(weak.expired());
  testing::PrivateBus::disconnect(coreConn);
  EXPECT_FALSE(ExposeFuncs());
}

TEST_F(FuncsOverBus, UiActiveOnlyWhileTheCoreNamesJexUI) {
  for (const char* name : {"JEXUI", "jexui", "JexUI"}) {
    core.foreground = QString::fromLatin1(name);
    EXPECT_TRUE(gGlobal().UiActive()) << name;
  }
  for (const char* name : {"", "NOTEPAD", "JEXUI2", " JEXUI", "JEX"}) {
    core.foreground = QString::fromLatin1(name);
    EXPECT_FALSE(gGlobal().UiActive()) << name;
  }
  core.foreground = QStringLiteral("JEXUI");
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
  struct Case { const char* section; const char* key; const char* value; bool (cJexStates::*get)(); bool before; };
  for (const Case& c : {Case{"General", "TooltipsStatus", "0", &cJexStates::Get_TOOLTIPSTOGGLE, true},
                        Case{"Braille", "BrailleStyle", "6", &cJexStates::Get_CHGBRL68, true},
                        Case{"Braille", "AttributeState", "3", &cJexStates::Get_CHGBRLATRBTOGGLE, false},
                        Case{"Braille", "BrlKeyStat", "1", &cJexStates::Get_BRLKEYTOGGLE, false}}) {
    EXPECT_EQ((states.*c.get)(), c.before) << c.key;
    setIni(QLatin1String(c.section), QLatin1String(c.key), QLatin1String(c.value));
    EXPECT_EQ((states.*c.get)(), !c.before) << c.key;
  }
  setIni(QStringLiteral("Braille"), QStringLiteral("Grade2Stat"), QStringLiteral("2"));
  EXPECT_FALSE(states.Get_GRADE2TOGGLE());
  setIni(QStringLiteral("Braille"), QStringLiteral("Grade2Stat"), QStringLiteral("1"));
  EXPECT_TRUE(states.Get_GRADE2TOGGLE());

  // Menus ask by name: "Get_" + command, any case; commands without state answer nothing.
  EXPECT_EQ(states.get(QStringLiteral("Get_BRLKEYTOGGLE")), std::optional<bool>(true));
  EXPECT_EQ(states.get(QStringLiteral("get_chgbrl68")), std::optional<bool>(false));
  EXPECT_EQ(states.stateOf(QStringLiteral("GRADE2TOGGLE")), std::optional<bool>(true));
  EXPECT_EQ(states.stateOf(QStringLiteral("QUIT")), std::nullopt);
  EXPECT_EQ(states.get(QStringLiteral("Get_SpeechSets")), std::nullopt);

  testing::PrivateBus::disconnect(coreConn);
  EXPECT_EQ(states.get(QStringLiteral("Get_BRLKEYTOGGLE")), std::optional<bool>(false));
  EXPECT_TRUE(states.Get_SpeechSets().isEmpty());
}

TEST_F(FuncsOverBus, SpeechSetsListTheProfilesThatHaveAnInfo) {
  cJexStates states;
  EXPECT_TRUE(states.Get_SpeechSets().isEmpty());
  ASSERT_FALSE(states.SpeechProfiles.isNothing());
  EXPECT_EQ(states.SpeechProfiles.count(), 9);
  const Obj profiles = Jex().obj(QStringLiteral("SpeechProfiles"));
  for (int nr : {5, 2}) {
    const Obj p = toObj(profiles.call(QStringLiteral("ItemByIndex"), {nr}));
    p.call(QStringLiteral("GetActValues"));
    p.set(QStringLiteral("Name"), QStringLiteral("Satz %1").arg(nr));
    p.call(QStringLiteral("Save"));
  }
  toObj(profiles.call(QStringLiteral("ItemByIndex"), {7})).set(QStringLiteral("Name"), QStringLiteral("ohne Info"));
  EXPECT_EQ(states.Get_SpeechSets(), (QStringList{"USESPSET2=Satz 2", "USESPSET5=Satz 5"}));
  EXPECT_TRUE(QFile::exists(core.appPath() + QStringLiteral("speechsets/SPSET5.INI")));
  // A profile name with a line break is refused by the core.
  EXPECT_THROW(toObj(profiles.call(QStringLiteral("ItemByIndex"), {1})).set(QStringLiteral("Name"), QStringLiteral("a\nb")),
               Error);
}

}  // namespace
}  // namespace jex
