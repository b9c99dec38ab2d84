// The form service: a registered dialog is created on first use and reached by its name from a
// command, a menu entry and Funcs.
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
