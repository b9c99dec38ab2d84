// The main window with a stand-in core object, two settings dialogs and helpers that drive it
// with the keyboard as a blind user does.
#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "core/automation/dispatchable.h"
#include "core/base/log.h"
#include "core/cmdqueue.h"
#include "core/frmmdi.h"
#include "platform/jexnotifier.h"
#include "core/global/cglobal.h"
#include "localisation/frmlocalizer.h"

namespace jex::test {

struct FakeProc : automation::Dispatchable {
  QString foreground = QStringLiteral("WINWORD");
  QStringList queued;   // AddToCMDQueue
  QVariantList spoken;  // SpeechOutVoice arguments
  FakeProc() : Dispatchable(QStringLiteral("proc")) {
    using automation::Args;
    property(QStringLiteral("ForeGroundApp"), [this] { return QVariant(foreground); });
    method(QStringLiteral("AddToCMDQueue"), 1, 1, [this](Args& a) { queued << a.str(0); return QVariant(); });
    method(QStringLiteral("SpeechOutVoice"), 2, 2, [this](Args& a) { spoken << a.str(0) << a.i32(1); return QVariant(); });
    property(QStringLiteral("UseSpeech"), [this] { return QVariant(useSpeech); });
    property(QStringLiteral("UseSpeechAndSayStat"), [this] { return QVariant(useSpeech == 1); },
             [this](const QVariant& on) { useSpeech = automation::toBool(on) ? 1 : 0; });
  }
  int useSpeech = 1;
};

struct FakeSystem : automation::Dispatchable {
  FakeSystem() : Dispatchable(QStringLiteral("System")) {
    property(QStringLiteral("GetRealForegroundWindow"), [] { return QVariant(qint64(4711)); });
  }
};

// The core object as far as the main window uses it: proc, System and the sink's registration.
struct FakeCore : automation::Dispatchable {
  std::shared_ptr<FakeProc> proc = std::make_shared<FakeProc>();
  std::shared_ptr<FakeSystem> system = std::make_shared<FakeSystem>();
  Obj sink;
  QSet<QString> enabledEvents;
  FakeCore() : Dispatchable(QStringLiteral("corvane")) {
    using automation::Args;
    property(QStringLiteral("proc"), [this] { return automation::fromObj(Obj(proc)); });
    property(QStringLiteral("System"), [this] { return automation::fromObj(Obj(system)); });
    method(QStringLiteral("Init_JEX_UI_Notification_Sink"), 1, 1, [this](Args& a) {
      sink = automation::toObj(a.at(0));
      return QVariant();
    });
    method(QStringLiteral("JexNotifier_Install"), 2, 2, [](Args&) { return QVariant(true); });
    method(QStringLiteral("JexNotifier_Remove"), 1, 1, [](Args&) { return QVariant(true); });
    method(QStringLiteral("Clear_JEX_UI_Notification_Sink"), 0, 0, [this](Args&) {
      sink = Obj();
      return QVariant();
    });
    indexed(QStringLiteral("JEX_UI_Notification_Sink_Event_Enable"), 1,
            [this](Args& i) { return QVariant(enabledEvents.contains(i.str(0))); },
            [this](Args& i, const QVariant& on) {
              if (automation::toBool(on)) enabledEvents.insert(i.str(0));
              else enabledEvents.remove(i.str(0));
            });
  }
};

// A settings dialog with one switch.
class TestDialog : public ChildDialog {
 public:
  TestDialog(const char* name, const char* title) : ChildDialog(QString::fromLatin1(name), QString::fromLatin1(title)) {
    chkSetting = new QCheckBox(QStringLiteral("Setting"), this);
    chkSetting->setObjectName(QStringLiteral("chkSetting"));
    content()->addWidget(chkSetting);
    track(chkSetting);
  }
  QCheckBox* chkSetting;
  int stored = 0;

 protected:
  void store() override { ++stored; }
};

// Answers each modal box with key when it shows; counts the boxes.
class AnswerBox {
 public:
  explicit AnswerBox(Qt::Key key) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this, key] {
      QWidget* box = QApplication::activeModalWidget();
      if (!box || !box->isVisible()) return;
      ++asked;
      QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, key);
    });
    timer_.start();
  }
  int asked = 0;

 private:
  QTimer timer_;
};

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    gGlobal().AppPath = dir.path() + u'/';
    gGlobal().AppTitle = QStringLiteral("Halda 4.10");
    gGlobal().ParkMouse = 0;
    Jex() = Obj(core);
    QDir().mkpath(dir.filePath(QStringLiteral("LNG/1031")));
    QFile f(dir.filePath(QStringLiteral("LNG/1031/JEXINFO.RTF")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\\rtf1 Willkommen bei Halda}");
    f.close();
    frmLocalizer().setLNG(QStringLiteral("1031"));
    logfile::setPath(dir.filePath(QStringLiteral("jexui.log")));
    logfile::setThreshold(5);
    frmMDI::setQuitter([this] { ++quits; });
    mdi = std::make_unique<frmMDI>();
    options = std::make_unique<TestDialog>("frmOptions", "Optionen");
    keyecho = std::make_unique<TestDialog>("frmKeyecho", "Tastenecho");
    options->ChildLoad();
    keyecho->ChildLoad();
    mdi->registerSink();
    mdi->installHook();
  }
  void TearDown() override {
    options.reset();
    keyecho.reset();
    mdi.reset();
    frmMDI::setQuitter([] {});
    logfile::setPath({});
    logfile::setThreshold(0);
    resetLocalizer();
    resetGlobals();
  }
  QStringList log() const {
    QFile f(dir.filePath(QStringLiteral("jexui.log")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split(u'\n') : QStringList();
  }
  bool logged(const QString& text) const { return count(text) > 0; }
  int count(const QString& text) const { return int(log().filter(text).size()); }
  // The window shown by the screen-reader key while the user works in another program.
  void showByKey() {
    core->proc->foreground = QStringLiteral("WINWORD");
    mdi->TOGGMEN();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(mdi.get()));
    mdi->activateWindow();
    core->proc->foreground = QStringLiteral("JEXUI");
    // The core tells JexUI that it has the focus now, as it does on the task switch.
    if (platform::JexNotifier* n = mdi->jexNotifier()) emit n->UIGotFocusEvent();
  }
  void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : mdi.get();
    QTest::keyClick(target, k, m);
  }
  // A command from the core, run by JexUI's queue as the filter hands it over.
  void command(const char* name) {
    mdi->commandQueue().add(QString::fromLatin1(name));
    ASSERT_TRUE(QTest::qWaitFor([&] { return mdi->commandQueue().isEmpty() && !mdi->commandQueue().tmrCMD()->isActive(); }, 5000));
  }
  // Writes the language file and loads it again.
  void languageFile(const QByteArray& text) {
    QFile f(dir.filePath(QStringLiteral("LNG/1031/JEXUIDLG.INI")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
    f.close();
    frmLocalizer().setLNG(QStringLiteral("1031"));
  }
  QLabel* tip() const { return mdi->statusPanel(QStringLiteral("tip")); }

  QTemporaryDir dir;
  std::shared_ptr<FakeCore> core = std::make_shared<FakeCore>();
  std::unique_ptr<frmMDI> mdi;
  std::unique_ptr<TestDialog> options, keyecho;
  int quits = 0;
};

}  // namespace jex::test
