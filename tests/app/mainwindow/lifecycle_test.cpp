// The main window's life: a load that survives a failing step, a core that lost the sink, the
// end of the program while a question is open, and questions that are not asked twice.
#include <QThread>

#include "app/corewatch.h"
#include "app/startup.h"
#include "automation/dbustransport.h"
#include "dialogs/boxes/frmmsgex.h"
#include "ini/cinifil.h"
#include "tests/app/mainwindow/mainwindow_fixture.h"

namespace jex::test {
namespace {

int boxesAlive() {
  int n = 0;
  for (QWidget* w : QApplication::allWidgets()) n += w->objectName() == QLatin1String("frmMsgEx");
  return n;
}

void answer(Qt::Key key) {
  QWidget* box = QApplication::activeModalWidget();
  if (box && box->isVisible()) QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, key);
}

using Lifecycle = MainWindow;

// The core's Braille interface fails: that step is logged, and the core still gets the sink,
// the notifier and Funcs.
TEST_F(Lifecycle, LoadStepsAfterAFailingOneStillRegisterWithTheCore) {
  auto failing = std::make_shared<fake::Front>(root);
  failing->property(S("BrailleInterface"), []() -> QVariant { throw Error(err::ServerUnavailable, S("gone")); });
  Jex() = Obj(failing);
  options.reset();  // a fresh main window, without the dialogs of the fixture's
  keyecho.reset();
  mdi.reset();
  core.hub.clearSink();
  gGlobal().Ini = std::make_shared<cIniFil>();
  gGlobal().Ini->Init(dir.filePath(S("JEXUI.INI")), true);
  mdi = std::make_unique<frmMDI>();
  mdi->Load();
  mdi->tmrStartUp()->stop();
  EXPECT_TRUE(core.hub.hasSink());
  EXPECT_TRUE(core.hub.isEnabled(S("HandleCmd")));
  EXPECT_NE(mdi->jexNotifier(), nullptr);
  EXPECT_TRUE(core.reports.contains(S("EXPOSED: Funcs")));
  EXPECT_TRUE(logged(S("!!! ERROR frmMDI.CheckBraillePort")));
}

TEST_F(Lifecycle, ACoreThatNoLongerHoldsTheSinkGetsItAgain) {
  mdi->watchCore(QDBusConnection(S("no bus")));
  core.hub.clearSink();  // the core dropped it
  core.hub.enableEvent(S("HandleCmd"), false);
  mdi->coreWatch()->check();
  EXPECT_TRUE(core.hub.hasSink());
  EXPECT_TRUE(core.hub.isEnabled(S("HandleCmd")));
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
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (QThread::currentThread()->loopLevel() > 0 && !frmMDI::instance()) freedInsideALoop = true;
    if (!requested && QApplication::activeModalWidget()) {
      requested = true;
      Shutdown();
    } else if (requested && --fallback == 0) {
      answer(Qt::Key_N);  // a box that stayed open
    }
  });
  watch.start(5);
  w->commandQueue().add(S("EXITHALDA"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return requested && boxesAlive() == 0; }, 5000));
  EXPECT_FALSE(freedInsideALoop);
  ASSERT_EQ(frmMDI::instance(), w);
  EXPECT_TRUE(w->isUnloaded());
  EXPECT_EQ(quits, 1);
  EXPECT_FALSE(core.queued.contains(S("EXITHALDANOW")));
  ReleaseMainWindow();
  EXPECT_EQ(frmMDI::instance(), nullptr);
}

TEST_F(Lifecycle, TheSaveQuestionComesFromTheLanguageFile) {
  languageFile("[frmMain]\nlblAsk2Save=Save the changes?\n[frmOptions]\nlblAsk2Save=Keep the options?\n");
  iNotify(S("UI_LNGCHANGE"));
  QStringList asked;
  AnswerBox read([&](QWidget* box) {
    if (auto* msg = dynamic_cast<frmMsgEx*>(box)) asked << msg->nl_Msg()->text();
    answer(Qt::Key_Escape);
  });
  for (TestDialog* d : {keyecho.get(), options.get()}) {
    change(*d);
    EXPECT_FALSE(d->queryHide());
  }
  EXPECT_EQ(asked, (QStringList{S("Save the changes?"), S("Keep the options?")}));
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
    change(*options);
  }
  const QString command = QString::fromLatin1(r.command);
  int most = 0;
  bool again = false;
  QTimer watch;
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
  watch.start(5);
  mdi->commandQueue().add(command);
  ASSERT_TRUE(QTest::qWaitFor([&] { return again && boxesAlive() == 0 && drained(); }, 5000));
  EXPECT_EQ(most, 1);
  EXPECT_FALSE(core.queued.contains(S("EXITHALDANOW")));
  if (r.changedDialog) {
    EXPECT_TRUE(options->isVisible());
  }
}

INSTANTIATE_TEST_SUITE_P(Lifecycle, QuestionAskedOnce,
                         ::testing::Values(Repeat{"EXITHALDA", false, Qt::Key_N},
                                           Repeat{"DLGKEYECHO", true, Qt::Key_Escape}),
                         [](const auto& info) { return std::string(info.param.command); });

}  // namespace
}  // namespace jex::test
