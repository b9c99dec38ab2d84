// Shared by the box tests: the stand-in core with a CallBack of the test's own in front (it
// records the arguments, answers the first by reference, or fails), an English language file,
// and a driver for modal boxes.
#pragma once

#include "dialogs/boxes/boxform.h"
#include "dialogs/boxes/standardcaptions.h"
#include "global/cglobal.h"
#include "localisation/frmlocalizer.h"
#include "tests/support/fakecore.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace boxes_test {

using jex::Obj;

class BoxTest : public ::testing::Test, public fake::CoreFixture {
 protected:
  void SetUp() override {
    jex::gGlobal().AppTitle = QStringLiteral("Halda 4.10");
    auto proc = std::make_shared<fake::Front>(root.obj(QStringLiteral("proc")));
    proc->method(QStringLiteral("CallBack"), 0, 8, [this](jex::automation::Args& a) {
      calls.append(a.list());
      if (failing) throw jex::Error(jex::err::ServerUnavailable, QStringLiteral("the core vanished"));
      a.set(0, QStringLiteral("changed by the script"));
      return QVariant();
    });
    auto front = std::make_shared<fake::Front>(root);
    front->property(QStringLiteral("proc"), [proc] { return jex::automation::fromObj(Obj(proc)); });
    jex::Jex() = Obj(front);
    writeLanguage(
        "[frmMain]\r\nlblYes=&Yes\r\nlblNo=&No\r\nlblOK=OK\r\nlblCancel=Cancel\r\n"
        "[frmMsgEx]\r\ncmdBtn(0)=Yes\r\ncmdBtn(1)=&No\r\ncmdBtn(2)=cancel\r\ncmdBtn(3)=OK\r\n"
        "chkBox=do not ask this question again\r\n");
  }
  void TearDown() override {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (dynamic_cast<jex::BoxForm*>(w)) delete w;
    jex::resetStandardCaptions();
    jex::resetLocalizer();
  }
  // Writes LNG/1033/JEXUIDLG.INI and loads that language.
  void writeLanguage(const QByteArray& text) {
    QDir().mkpath(dir.filePath(QStringLiteral("LNG/1033")));
    writeFile(dir.filePath(QStringLiteral("LNG/1033/JEXUIDLG.INI")), text);
    jex::frmLocalizer().setLNG(QStringLiteral("1033"));
  }

  QList<QVariantList> calls;  // the arguments of every CallBack, as passed
  bool failing = false;
};

// Runs action on the modal box as soon as its exec() shows it. The action must close it.
class WhenModal {
 public:
  explicit WhenModal(std::function<void(jex::BoxForm*)> action) {
    QObject::connect(&timer_, &QTimer::timeout, [this, action] {
      auto* box = dynamic_cast<jex::BoxForm*>(QApplication::activeModalWidget());
      if (!box || !box->isVisible()) return;
      timer_.stop();
      ran_ = true;
      action(box);
      if (box->isVisible()) {
        ADD_FAILURE() << "the box stayed open";
        box->hide();
      }
    });
    timer_.start(5);
  }
  bool ran() const { return ran_; }

 private:
  QTimer timer_;
  bool ran_ = false;
};

// A key pressed and released on the box's focused control, as a user types it.
inline void type(QWidget* box, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, key, mods);
}

// Lets posted deletions run (the script boxes unload themselves with deleteLater).
inline void processDeletions() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
}

}  // namespace boxes_test
