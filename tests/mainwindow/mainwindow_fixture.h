// The main window over the stand-in core, two settings dialogs, a dialog with operations called
// by name, and helpers that drive it with the keyboard as a blind user does.
#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "core/cmdqueue.h"
#include "core/frmmdi.h"
#include "core/global/cglobal.h"
#include "localisation/frmlocalizer.h"
#include "core/global/jexnotifier.h"
#include "tests/support/fakecore.h"

namespace jex::test {

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

// Operations that commands and menu entries call by name, and two lists commands focus.
class OperationsDialog : public TestDialog {
  Q_OBJECT
 public:
  OperationsDialog(const char* name, const char* title) : TestDialog(name, title) {
    for (const char* list : {"lstVSpace", "lstHSpace"}) {
      auto* l = new QListWidget(this);
      l->setObjectName(QString::fromLatin1(list));
      l->setAccessibleName(QString::fromLatin1(list));
      content()->addWidget(l);
    }
  }
  Q_INVOKABLE void ShowKeys(const QVariant& kind) { calls << QStringLiteral("ShowKeys ") + kind.toString(); }
  Q_INVOKABLE void SPEEDUP() { calls << QStringLiteral("SPEEDUP"); }
  Q_INVOKABLE void GetValues() { calls << QStringLiteral("GetValues"); }
  Q_INVOKABLE void VoiceDel(const QVariant& index) { calls << QStringLiteral("VoiceDel ") + index.toString(); }
  QStringList calls;
};

// Presses key on each modal box when it shows; counts the boxes.
class AnswerBox {
 public:
  explicit AnswerBox(Qt::Key key) {
    QObject::connect(&timer_, &QTimer::timeout, [this, key] {
      QWidget* box = QApplication::activeModalWidget();
      if (!box || !box->isVisible()) return;
      ++asked;
      QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, key);
    });
    timer_.start(5);
  }
  int asked = 0;

 private:
  QTimer timer_;
};

class MainWindow : public ::testing::Test, public fake::CoreFixture {
 protected:
  void SetUp() override {
    gGlobal().AppTitle = QStringLiteral("Halda 4.10");
    gGlobal().ParkMouse = 0;
    QDir().mkpath(dir.filePath(QStringLiteral("LNG/1031")));
    writeFile(dir.filePath(QStringLiteral("LNG/1031/JEXINFO.RTF")), "{\\rtf1 Willkommen bei Halda}");
    frmLocalizer().setLNG(QStringLiteral("1031"));
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
    core.foreground = QStringLiteral("WINWORD");
    mdi->TOGGMEN();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(mdi.get()));
    mdi->activateWindow();
    core.foreground = QStringLiteral("JEXUI");
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
    return QTest::qWaitFor([&] { return mdi->commandQueue().isEmpty() && !mdi->commandQueue().tmrCMD()->isActive(); }, 5000);
  }
  // A command from the core, run by JexUI's queue as the filter hands it over.
  void command(const char* name) {
    mdi->commandQueue().add(QString::fromLatin1(name));
    ASSERT_TRUE(drained());
  }
  // Writes the language file and loads it again.
  void languageFile(const QByteArray& text) {
    writeFile(dir.filePath(QStringLiteral("LNG/1031/JEXUIDLG.INI")), text);
    frmLocalizer().setLNG(QStringLiteral("1031"));
  }
  QLabel* tip() const { return mdi->statusPanel(QStringLiteral("tip")); }

  std::unique_ptr<frmMDI> mdi;
  std::unique_ptr<TestDialog> options, keyecho;
  int quits = 0;
};

}  // namespace jex::test
