// The main window's life: a load that survives a failing step, a core that lost the sink, the
// end of the program while a question is open, and questions that are not asked twice.
#include <QThread>

#include "core/automation/dbustransport.h"
#include "core/corewatch.h"
#include "core/startup.h"
#include "dialogs/frmmsgex.h"
#include "ini/cinifil.h"
#include "tests/mainwindow/mainwindow_fixture.h"

namespace jex::test {
namespace {

// proc with the script host: what Funcs is exposed to is recorded.
struct ScriptProc : FakeProc {
  QStringList exposed;
  std::shared_ptr<automation::Dispatchable> script;
  ScriptProc() {
    struct Host : automation::Dispatchable {
      explicit Host(QStringList* exposed) : Dispatchable(QStringLiteral("iScript")) {
        method(QStringLiteral("ExposeObject"), 2, 2, [exposed](automation::Args& a) {
          *exposed << a.str(0);
          return QVariant();
        });
      }
    };
    script = std::make_shared<Host>(&exposed);
    property(QStringLiteral("iScript"), [this] { return automation::fromObj(Obj(script)); });
  }
};

int boxesAlive() {
  int n = 0;
  for (QWidget* w : QApplication::allWidgets()) n += w->objectName() == QLatin1String("frmMsgEx");
  return n;
}

void answer(Qt::Key key) {
  QWidget* box = QApplication::activeModalWidget();
  if (box && box->isVisible()) QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, key);
}

class Lifecycle : public MainWindow {
 protected:
  bool drained(frmMDI& w) {
    return QTest::qWaitFor([&] { return w.commandQueue().isEmpty() && !w.commandQueue().tmrCMD()->isActive(); }, 5000);
  }
};

// The core lacks proc.MeridanLoaded, the Braille interface and the user object: those steps
// fail, and the core still gets the sink, the notifier and Funcs.
TEST_F(Lifecycle, LoadStepsAfterAFailingOneStillRegisterWithTheCore) {
  auto proc = std::make_shared<ScriptProc>();
  core->proc = proc;
  options.reset();  // a fresh main window, without the dialogs of the fixture's
  keyecho.reset();
  mdi.reset();
  core->sink = Obj();
  core->enabledEvents.clear();
  gGlobal().Ini = std::make_shared<cIniFil>();
  gGlobal().Ini->Init(dir.filePath(QStringLiteral("JEXUI.INI")), true);
  mdi = std::make_unique<frmMDI>();
  mdi->Load();
  mdi->tmrStartUp()->stop();
  EXPECT_FALSE(core->sink.isNothing());
  EXPECT_TRUE(core->enabledEvents.contains(QStringLiteral("HandleCmd")));
  EXPECT_NE(mdi->jexNotifier(), nullptr);
  EXPECT_EQ(proc->exposed, QStringList{QStringLiteral("Funcs")});
  EXPECT_TRUE(logged(QStringLiteral("!!! ERROR frmMDI.CheckMeridan")));
}

TEST_F(Lifecycle, ACoreThatNoLongerHoldsTheSinkGetsItAgain) {
  mdi->watchCore(QDBusConnection(QStringLiteral("no bus")));
  const Obj sink = core->sink;
  mdi->coreWatch()->check();
  EXPECT_EQ(core->sink, sink) << "held: nothing to do";
  core->sink = Obj();  // the core dropped it
  core->enabledEvents.clear();
  mdi->coreWatch()->check();
  EXPECT_FALSE(core->sink.isNothing());
  EXPECT_TRUE(core->enabledEvents.contains(QStringLiteral("HandleCmd")));
  languageFile("[frmOptions]\nchkSetting=Immer\n");
  QVariantList args{QStringLiteral("UI_LNGCHANGE")};  // the dialogs hear the sink they heard before
  core->sink.call(QStringLiteral("HandleCmd"), args);
  EXPECT_EQ(options->chkSetting->text(), QStringLiteral("Immer"));
}

// SIGTERM (or the core leaving) while the exit question is open: the box returns first, and
// the window is freed only after every loop has returned.
TEST_F(Lifecycle, ShutdownDuringTheExitQuestionFreesTheWindowAfterTheBoxReturned) {
  frmMDI* w = mdi.release();  // released by ReleaseMainWindow, with the dialogs it hosts
  options.release();
  keyecho.release();
  bool requested = false, freedInsideALoop = false;
  int fallback = 200;
  QTimer watch;
  watch.setInterval(5);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (QThread::currentThread()->loopLevel() > 0 && !frmMDI::instance()) freedInsideALoop = true;
    if (!requested && QApplication::activeModalWidget()) {
      requested = true;
      Shutdown();
    } else if (requested && --fallback == 0) {
      answer(Qt::Key_N);  // a box that stayed open
    }
  });
  watch.start();
  w->commandQueue().add(QStringLiteral("EXITHALDA"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return requested && boxesAlive() == 0; }, 5000));
  EXPECT_FALSE(freedInsideALoop);
  ASSERT_EQ(frmMDI::instance(), w);
  EXPECT_TRUE(w->isUnloaded());
  EXPECT_EQ(quits, 1);
  EXPECT_FALSE(core->proc->queued.contains(QStringLiteral("EXITHALDANOW")));
  ReleaseMainWindow();
  EXPECT_EQ(frmMDI::instance(), nullptr);
}

TEST_F(Lifecycle, TheSaveQuestionComesFromTheLanguageFile) {
  languageFile("[frmMain]\nlblAsk2Save=Save the changes?\n[frmOptions]\nlblAsk2Save=Keep the options?\n");
  iNotify(QStringLiteral("UI_LNGCHANGE"));
  QStringList asked;
  QTimer read;
  read.setInterval(5);
  QObject::connect(&read, &QTimer::timeout, [&] {
    if (auto* box = dynamic_cast<frmMsgEx*>(QApplication::activeModalWidget()); box && box->isVisible()) {
      asked << box->nl_Msg()->text();
      answer(Qt::Key_Escape);
    }
  });
  read.start();
  for (TestDialog* d : {keyecho.get(), options.get()}) {
    d->chkSetting->setFocus();
    QTest::keyClick(d->chkSetting, Qt::Key_Space);
    EXPECT_FALSE(d->queryHide());
  }
  EXPECT_EQ(asked, (QStringList{QStringLiteral("Save the changes?"), QStringLiteral("Keep the options?")}));
}

// The same question requested again while it is open (the second command runs inside the
// box's loop) is not stacked on top of it.
struct Repeat {
  const char* command;
  bool changedDialog;  // the save question of an open dialog with a change
  Qt::Key answer;
};

class QuestionAskedOnce : public Lifecycle, public ::testing::WithParamInterface<Repeat> {};

TEST_P(QuestionAskedOnce, WhileItIsOpen) {
  const Repeat r = GetParam();
  if (r.changedDialog) {
    showByKey();
    ASSERT_TRUE(mdi->showChild(*options));
    options->chkSetting->setFocus();
    key(Qt::Key_Space);
  }
  const QString command = QString::fromLatin1(r.command);
  int most = 0;
  bool again = false;
  QTimer watch;
  watch.setInterval(5);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    const int alive = boxesAlive();
    most = std::max(most, alive);
    if (alive && !again) {
      again = true;
      mdi->commandQueue().add(command);
    } else if (again && alive && mdi->commandQueue().isEmpty()) {
      answer(r.answer);
    }
  });
  watch.start();
  mdi->commandQueue().add(command);
  ASSERT_TRUE(QTest::qWaitFor([&] { return again && boxesAlive() == 0 && drained(*mdi); }, 5000));
  EXPECT_EQ(most, 1);
  EXPECT_FALSE(core->proc->queued.contains(QStringLiteral("EXITHALDANOW")));
  if (r.changedDialog) EXPECT_TRUE(options->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Lifecycle, QuestionAskedOnce,
                         ::testing::Values(Repeat{"EXITHALDA", false, Qt::Key_N},
                                           Repeat{"DLGKEYECHO", true, Qt::Key_Escape}),
                         [](const auto& info) { return std::string(info.param.command); });

}  // namespace
}  // namespace jex::test
