// The form service: a registered dialog is created on first use and reached by its name from a
// command, a menu entry and Funcs.
#include <QAction>

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

}  // namespace
}  // namespace jex::test

#include "formservice_test.moc"
