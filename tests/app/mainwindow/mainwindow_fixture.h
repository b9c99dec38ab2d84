// The main window over the stand-in core, two settings dialogs, a dialog with operations called
// by name, and helpers that drive it with the keyboard as a blind user does.
#pragma once

#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/cmdqueue.h"
#include "app/frmmdi.h"
#include "global/cglobal.h"
#include "global/jexnotifier.h"
#include "localisation/frmlocalizer.h"
#include "tests/support/fakecore.h"
#include "tests/support/text.h"

namespace jex::test {

// A settings dialog with one switch.
class TestDialog : public ChildDialog {
 public:
  TestDialog(const char* name, const char* title) : ChildDialog(S(name), S(title)) {
    chkSetting = new QCheckBox(S("Setting"), this);
    chkSetting->setObjectName(S("chkSetting"));
    content()->addWidget(chkSetting);
    track(chkSetting);
  }
  QCheckBox* chkSetting;
  int stored = 0;

 protected:
  void store() override { ++stored; }
};

// Operations that commands and menu entries call by name, and two lists commands focus.
class OperationsDialog : public TestDialog {
  Q_OBJECT
 public:
  OperationsDialog(const char* name, const char* title) : TestDialog(name, title) {
    for (const char* list : {"lstVSpace", "lstHSpace"}) {
      auto* l = new QListWidget(this);
      l->setObjectName(S(list));
      l->setAccessibleName(S(list));
      content()->addWidget(l);
    }
  }
  Q_INVOKABLE void ShowKeys(const QVariant& kind) { calls << S("ShowKeys ") + kind.toString(); }
  Q_INVOKABLE void SPEEDUP() { calls << S("SPEEDUP"); }
  Q_INVOKABLE void GetValues() { calls << S("GetValues"); }
  Q_INVOKABLE void VoiceDel(const QVariant& index) { calls << S("VoiceDel ") + index.toString(); }
  QStringList calls;
};

// Runs answer on each modal box while it shows (or presses key on it); counts the turns.
class AnswerBox {
 public:
  explicit AnswerBox(std::function<void(QWidget*)> answer) {
    QObject::connect(&timer_, &QTimer::timeout, [this, answer] {
      QWidget* box = QApplication::activeModalWidget();
      if (!box || !box->isVisible()) return;
      ++asked;
      answer(box);
    });
    timer_.start(5);
  }
  explicit AnswerBox(Qt::Key key)
      : AnswerBox([key](QWidget* box) { QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, key); }) {}
  int asked = 0;

 private:
  QTimer timer_;
};

class MainWindow : public ::testing::Test, public fake::CoreFixture {
 protected:
  void SetUp() override {
    gGlobal().AppTitle = S("Halda 4.10");
    gGlobal().ParkMouse = 0;
    QDir().mkpath(dir.filePath(S("LNG/1031")));
    writeFile(dir.filePath(S("LNG/1031/JEXINFO.RTF")), "{\\rtf1 Willkommen bei Halda}");
    frmLocalizer().setLNG(S("1031"));
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
    resetLocalizer();
  }
  bool logged(const QString& text) const { return count(text) > 0; }
  int count(const QString& text) const { return int(logText().count(text)); }
  // The window shown by the screen-reader key while the user works in another program.
  void showByKey() {
    core.foreground = S("WINWORD");
    mdi->TOGGMEN();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(mdi.get()));
    mdi->activateWindow();
    core.foreground = S("JEXUI");
    // The core tells JexUI that it has the focus now, as it does on the task switch.
    if (JexNotifier* n = mdi->jexNotifier()) emit n->UIGotFocusEvent();
  }
  void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : mdi.get(), k, m);
  }
  // A dialog's switch changed by the user.
  void change(TestDialog& d) {
    d.chkSetting->setFocus();
    QTest::keyClick(d.chkSetting, Qt::Key_Space);
  }
  bool drained() {
    return QTest::qWaitFor([&] { return mdi->commandQueue().isEmpty() && !mdi->commandQueue().tmrCMD()->isActive(); },
                           5000);
  }
  // A command from the core, run by JexUI's queue as the filter hands it over.
  void command(const char* name) {
    mdi->commandQueue().add(S(name));
    ASSERT_TRUE(drained());
  }
  // Writes the language file and loads it again.
  void languageFile(const QByteArray& text) {
    writeFile(dir.filePath(S("LNG/1031/JEXUIDLG.INI")), text);
    frmLocalizer().setLNG(S("1031"));
  }
  QLabel* tip() const { return mdi->statusPanel(S("tip")); }

  std::unique_ptr<frmMDI> mdi;
  std::unique_ptr<TestDialog> options, keyecho;
  int quits = 0;
};

}  // namespace jex::test
