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
#include "tests/support/dialogtest.h"
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

class MainWindow : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    options = std::make_unique<TestDialog>("frmOptions", "Optionen");
    keyecho = std::make_unique<TestDialog>("frmKeyecho", "Tastenecho");
    options->ChildLoad();
    keyecho->ChildLoad();
  }
  void TearDown() override {
    options.reset();
    keyecho.reset();
    MainWindowTest::TearDown();
  }
  // A language file of the test's own, and the welcome text the home child shows.
  void languageFiles() override { writeFile(dir.filePath(S("LNG/1031/JEXINFO.RTF")), "{\\rtf1 Willkommen bei Halda}"); }
  // A dialog's switch changed by the user.
  void change(TestDialog& d) {
    d.chkSetting->setFocus();
    QTest::keyClick(d.chkSetting, Qt::Key_Space);
  }
  // Writes the language file and loads it again.
  void languageFile(const QByteArray& text) {
    writeFile(dir.filePath(S("LNG/1031/JEXUIDLG.INI")), text);
    frmLocalizer().setLNG(S("1031"));
  }
  QLabel* tip() const { return mdi->statusPanel(S("tip")); }

  std::unique_ptr<TestDialog> options, keyecho;
};

}  // namespace jex::test
