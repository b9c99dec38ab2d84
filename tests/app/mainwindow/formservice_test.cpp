// The form service: a registered dialog is created on first use and reached by its name from a
// command, a menu entry and Funcs; what a registration names (commands, menu entries, the menu
// button of its family) is all the main window knows of a form.
#include <QAction>
#include <QDirIterator>
#include <QRegularExpression>

#include "app/formlist.h"
#include "app/scripting/funcs.h"
#include "tests/app/mainwindow/mainwindow_fixture.h"
#include "widgets/formservice.h"

namespace jex::test {
namespace {

class ReadMeProbe : public ChildDialog {
  Q_OBJECT
 public:
  ReadMeProbe() : ChildDialog(S("frmReadMe"), S("Liesmich")) {}
  Q_INVOKABLE void Read(const QVariant& file) { read << file.toString(); }
  QStringList read;
};

// For the test's time the form called name is a recorder: each operation that reaches it is
// written to calls as "form.Action args"; the program's registration comes back afterwards.
class StandIn {
 public:
  StandIn(const QString& name, QStringList& calls) : name_(name) {
    if (const forms::Form* f = forms::find(name)) saved_ = *f;
    forms::add({.name = name, .action = [&calls, name](const QString& action, const QStringList& args) {
                  calls << name + u'.' + action + (args.isEmpty() ? QString() : u' ' + args.join(u','));
                }});
  }
  ~StandIn() {
    if (saved_) forms::add(*saved_);
    else forms::remove(name_);
  }

 private:
  QString name_;
  std::optional<forms::Form> saved_;
};

class FormService : public MainWindow {
 protected:
  void TearDown() override {
    forms::remove(S("frmReadMe"));
    MainWindow::TearDown();
  }
  ReadMeProbe* probe() const { return qobject_cast<ReadMeProbe*>(forms::instance(S("frmReadMe"))); }
};

TEST_F(FormService, RegisteredDialogOpensByCommandMenuAndFuncs) {
  int created = 0;
  forms::add({.name = S("frmReadMe"), .create = [&] {
                ++created;
                return std::unique_ptr<QWidget>(new ReadMeProbe);
              }});
  showByKey();
  command("DLGKEYECHO");
  gGlobal().OldTask = S("WINWORD");
  command("UI_SHOWREADME");
  ASSERT_NE(probe(), nullptr);
  EXPECT_TRUE(probe()->isVisible());
  EXPECT_FALSE(keyecho->isVisible()) << "through the child switch";
  EXPECT_EQ(probe()->parentWidget(), mdi->client()) << "the dialog joined the frame";

  mdi->menuEntry(S("mnuHelpKeys"))->trigger();
  Funcs().ShowReadMe(S("tastatur.txt"));
  EXPECT_EQ(probe()->read, (QStringList{"WINWORD", "h4keys.rtf", "tastatur.txt"}));
  EXPECT_EQ(created, 1) << "created once, then reached by its name";
}

// Every command and menu entry that leads to a form, with what reaches the form and whether the
// child switch runs first (the open dialog hides) or the form is used as it is.
struct Route {
  const char* from;     // a command from the core, or a menu entry ("mnu...")
  const char* reaches;  // "form.Action args"
  bool shown;
};
const Route kRoutes[] = {
    {"DLGSPEECH", "frmVoices.Show", true},
    {"DLGKEYECHO", "frmKeyecho.Show", true},
    {"DLGBRAILLEOPT", "frmBraille.Show", true},
    {"VCOMPRESSIONDLG", "frmBraille.Show lstVSpace", true},
    {"HCOMPRESSIONDLG", "frmBraille.Show lstHSpace", true},
    {"DLGNUMKEY", "frmKeys.ShowKeys NUM", true},
    {"DLGBRAILLEKEY", "frmKeys.ShowKeys BRL", true},
    {"SHOWTYPEDOC", "frmObjWiz.Show", true},
    {"SHOWTASKLIST", "frmTasks.ShowTasks", true},
    {"UI_SHOWREADME", "frmReadMe.Read LASTAPP", true},
    {"QUICKMEN", "frmQMenu.ShowQuickMenu NOTEPAD,0", false},
    {"DLGTYPELIB", "frmQMenu.ShowQuickMenu NOTEPAD,2", false},
    {"EDITCLIPBOARD", "frmTextWiz.GetClip", false},
    {"SELCUTEDIT", "frmTextWiz.EditClip", false},
    {"mnuFileUserSettings", "frmUser.Show", true},
    {"mnuBrailleDevice", "frmDevice.Show", true},
    {"mnuSpeechKeyecho", "frmKeyecho.Show", true},
    {"mnuKeysKeys", "frmKeys.ShowKeys", true},
    {"mnuKeysCommands", "frmKeys.ShowCMDs", true},
    {"mnuKeysFavorites", "frmKeys.ShowFav", true},
    {"mnuExtrasOptions", "frmOptions.Show", true},
    {"mnuExtrasObjWiz", "frmObjWiz.Show", true},
    {"mnuHelpKeys", "frmReadMe.Read h4keys.rtf", true},
    {"mnuReadme", "frmReadMe.Read readme.rtf", true},
    {"mnuHelpApps", "frmReadMe.Read LASTAPP.rtf", true},
    {"mnuHelpDirect", "frmHelp.DirectHelp", false},
    {"mnuHelpEmail", "frmAbout.SupportMail", false},
    {"mnuHelpInfo", "frmAbout.ShowModal", false},
};

const std::pair<const char*, int> kButtons[] = {
    {"frmUser", 0},    {"frmBraille", 1}, {"frmDevice", 1}, {"frmVoices", 2}, {"frmKeyecho", 2}, {"frmKeys", 3},
    {"frmMeridan", 4}, {"frmOptions", 5}, {"frmObjWiz", 5}, {"frmTasks", 5},  {"frmReadMe", 6},  {"frmHelp", 0}};

template <class Param>
class Routed : public MainWindow, public ::testing::WithParamInterface<Param> {
 protected:
  void SetUp() override {
    MainWindow::SetUp();
    keyecho.reset();  // the shared dialogs would take the place of frmKeyecho's and frmOptions' stand-ins
    options.reset();
  }
};

using Routes = Routed<Route>;

TEST_P(Routes, ReachTheirFormThroughTheChildSwitchOrAsItIs) {
  const Route& route = GetParam();
  QStringList calls;
  StandIn form(S(route.reaches).section(u'.', 0, 0), calls);
  TestDialog open("frmOpen", "Offen");
  open.ChildLoad();
  showByKey();
  ASSERT_TRUE(mdi->showChild(open));
  gGlobal().OldTask = S("LASTAPP");
  core.foreground = S("notepad");
  if (QAction* entry = mdi->menuEntry(S(route.from))) entry->trigger();
  else command(route.from);
  EXPECT_EQ(calls, QStringList{S(route.reaches)});
  EXPECT_EQ(open.isVisible(), !route.shown);
}

INSTANTIATE_TEST_SUITE_P(CommandsAndMenuEntries, Routes, ::testing::ValuesIn(kRoutes),
                         [](const auto& info) { return std::string(info.param.from); });

// The button of the family of the dialog that shows is marked; a form that names none has 0.
using Buttons = Routed<int>;

TEST_P(Buttons, MarkTheFamilyOfTheDialogThatShows) {
  const auto [name, button] = kButtons[GetParam()];
  TestDialog dialog(name, "Dialog");
  dialog.ChildLoad();
  showByKey();
  mdi->ColorButtons(7);
  ASSERT_TRUE(mdi->openForm(S(name)));
  EXPECT_EQ(mdi->markedButton(), button);
}

INSTANTIATE_TEST_SUITE_P(OfEachFamily, Buttons, ::testing::Range(0, int(std::size(kButtons))),
                         [](const auto& info) { return std::string(kButtons[info.param].first); });

TEST(FormList, EveryRegistrationInTheSourcesIsInTheProgram) {
  registerForms();
  const QRegularExpression registration(S(R"(^JEX_FORM_REGISTRATION\(\s*(\w+))"), QRegularExpression::MultilineOption);
  int found = 0;
  for (QDirIterator it(S(JEX_SOURCE_DIR "/src"), {S("*.cpp")}, QDir::Files, QDirIterator::Subdirectories);
       it.hasNext();) {
    QFile file(it.next());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    for (const auto& m : registration.globalMatch(QString::fromUtf8(file.readAll()))) {
      ++found;
      EXPECT_NE(forms::find(m.captured(1)), nullptr)
          << m.captured(1).toStdString() << " in " << file.fileName().toStdString();
    }
  }
  EXPECT_GE(found, 11);
}

}  // namespace
}  // namespace jex::test

#include "formservice_test.moc"
