// Shared by the box tests: an in-process stand-in for the core object (proc.ForeGroundApp,
// proc.CallBack recording its arguments, the current user's directory), a language directory of
// its own, and a driver for modal boxes.
#pragma once

#include "core/automation/dispatchable.h"
#include "core/global/cglobal.h"
#include "dialogs/boxform.h"
#include "dialogs/standardcaptions.h"
#include "localisation/frmlocalizer.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace boxes_test {

using jex::Obj;
using jex::automation::Args;
using jex::automation::Dispatchable;

struct FakeUser : Dispatchable {
  QString path;
  FakeUser() : Dispatchable(QStringLiteral("User")) {
    property(QStringLiteral("Path"), [this] { return QVariant(path); });
    property(QStringLiteral("Name"), [] { return QVariant(QStringLiteral("Standard")); });
    property(QStringLiteral("CurrUser"), [this] { return jex::automation::fromObj(Obj(shared_from_this())); });
    method(QStringLiteral("Init"), 0, 2, [](Args&) { return QVariant(); });
  }
};

struct FakeProc : Dispatchable {
  QString foreground = QStringLiteral("WINWORD");
  QList<QVariantList> calls;  // the arguments of every CallBack, as passed
  bool failing = false;
  std::shared_ptr<FakeUser> user = std::make_shared<FakeUser>();

  FakeProc() : Dispatchable(QStringLiteral("proc")) {
    property(QStringLiteral("ForeGroundApp"), [this] { return QVariant(foreground); });
    property(QStringLiteral("User"), [this] { return jex::automation::fromObj(Obj(user)); });
    property(QStringLiteral("GetUsers"), [this] { return jex::automation::fromObj(Obj(user)); });
    method(QStringLiteral("CallBack"), 0, 8, [this](Args& a) {
      calls.append(a.list());
      if (failing) throw jex::Error(jex::err::ServerUnavailable, QStringLiteral("the core vanished"));
      a.set(0, QStringLiteral("changed by the script"));
      return QVariant();
    });
  }
};

struct FakeCore : Dispatchable {
  std::shared_ptr<FakeProc> proc = std::make_shared<FakeProc>();
  FakeCore() : Dispatchable(QStringLiteral("corvane")) {
    property(QStringLiteral("proc"), [this] { return jex::automation::fromObj(Obj(proc)); });
  }
};

// Every box test: the program title, a fake core, and an English language file of its own.
class BoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    jex::gGlobal().AppPath = dir_.path() + QLatin1Char('/');
    jex::gGlobal().AppTitle = QStringLiteral("Halda 4.10");
    jex::Jex() = Obj(core_);
    writeLanguage(QStringLiteral(
        "[frmMain]\r\nlblYes=&Yes\r\nlblNo=&No\r\nlblOK=OK\r\nlblCancel=Cancel\r\n"
        "[frmMsgEx]\r\ncmdBtn(0)=Yes\r\ncmdBtn(1)=&No\r\ncmdBtn(2)=cancel\r\ncmdBtn(3)=OK\r\n"
        "chkBox=do not ask this question again\r\n"));
  }
  void TearDown() override {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (dynamic_cast<jex::BoxForm*>(w)) delete w;
    jex::resetStandardCaptions();
    jex::resetLocalizer();
    jex::resetGlobals();
  }
  // Writes LNG/1033/JEXUIDLG.INI and loads that language.
  void writeLanguage(const QString& text) {
    QDir().mkpath(dir_.filePath(QStringLiteral("LNG/1033")));
    QFile f(dir_.filePath(QStringLiteral("LNG/1033/JEXUIDLG.INI")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toLatin1());
    f.close();
    jex::frmLocalizer().setLNG(QStringLiteral("1033"));
  }
  FakeProc& proc() { return *core_->proc; }

  QTemporaryDir dir_;
  std::shared_ptr<FakeCore> core_ = std::make_shared<FakeCore>();
};

// Runs action on the modal box as soon as its exec() shows it. The action must close it.
class WhenModal {
 public:
  explicit WhenModal(std::function<void(jex::BoxForm*)> action) {
    timer_.setInterval(5);
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
    timer_.start();
  }
  bool ran() const { return ran_; }

 private:
  QTimer timer_;
  bool ran_ = false;
};

// A key pressed and released on the box's focused control, as a user types it.
inline void type(QWidget* box, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QWidget* target = box->focusWidget() ? box->focusWidget() : box;
  QTest::keyClick(target, key, mods);
}

// Lets posted deletions run (the script boxes unload themselves with deleteLater).
inline void processDeletions() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
}

}  // namespace boxes_test
