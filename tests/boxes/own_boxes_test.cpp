// The program's own modal boxes, MsgBoxEx and InputBoxEx, driven by keyboard while they run.
#include "boxes_support.h"
#include "core/base/log.h"
#include "dialogs/frminputbox.h"
#include "dialogs/frmmsgex.h"
#include "dialogs/frmscrinput.h"
#include "tests/support/accessibility.h"
#include "users/cuser.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace boxes_test {
namespace {

using jex::MsgBoxEx;
namespace msgbox = jex::msgbox;

class OwnBoxes : public BoxTest {
 protected:
  // MsgBoxEx(message, kind) with keys typed while it shows (each key on the focused control;
  // a key without Qt::KeyboardModifier pairs is typed plainly).
  qint16 ask(int kind, std::initializer_list<std::pair<Qt::Key, Qt::KeyboardModifiers>> keys,
             const QString& message = QStringLiteral("Änderungen speichern?")) {
    WhenModal drive([&](jex::BoxForm* box) {
      for (const auto& [key, mods] : keys) {
        if (!box->isVisible()) break;
        type(box, key, mods);
      }
    });
    const qint16 r = MsgBoxEx(message, kind);
    EXPECT_TRUE(drive.ran()) << "the box was not shown";
    return r;
  }
  static std::pair<Qt::Key, Qt::KeyboardModifiers> k(Qt::Key key, Qt::KeyboardModifiers m = Qt::NoModifier) {
    return {key, m};
  }
};

TEST_F(OwnBoxes, EnterEscapeAndOkOfEachKind) {
  EXPECT_EQ(ask(1, {k(Qt::Key_Return)}), msgbox::Yes);
  EXPECT_EQ(ask(1, {k(Qt::Key_Escape)}), msgbox::Cancel);
  EXPECT_EQ(ask(2, {k(Qt::Key_Return)}), msgbox::Yes);
  EXPECT_EQ(ask(2, {k(Qt::Key_Escape)}), msgbox::No);
  EXPECT_EQ(ask(3, {k(Qt::Key_Return)}), msgbox::OK);
  EXPECT_EQ(ask(3, {k(Qt::Key_Escape)}), msgbox::OK);
  EXPECT_EQ(ask(1, {k(Qt::Key_Tab), k(Qt::Key_Tab), k(Qt::Key_Space)}), msgbox::Cancel);
}

TEST_F(OwnBoxes, KindsShowTheirButtonsAndFocusTheFirst) {
  struct Case {
    int kind;
    QList<int> buttons;
    bool check;
  };
  for (const Case& c : {Case{1, {0, 1, 2}, true}, Case{2, {0, 1}, false}, Case{3, {3}, false}}) {
    jex::frmMsgEx form;
    form.prepare(QStringLiteral("Frage"), c.kind);
    form.show();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(form.button(i)->isVisible(), c.buttons.contains(i)) << c.kind << " " << i;
    EXPECT_EQ(form.chkBox()->isVisible(), c.check);
    EXPECT_TRUE(form.imgExclamation()->isVisible());
    EXPECT_EQ(form.focusWidget(), form.button(c.buttons.first()));
    EXPECT_EQ(form.windowTitle(), "Halda 4.10");
    EXPECT_EQ(form.result(), msgbox::Cancel);
  }
}

// The shipped German captions: "Ja", "Nein", "abbrechen", "OK".
TEST_F(OwnBoxes, AccessLettersPressTheButtonWhoseCaptionStartsWithThem) {
  writeLanguage(QString());
  EXPECT_EQ(ask(2, {k(Qt::Key_J)}), msgbox::Yes);
  EXPECT_EQ(ask(2, {k(Qt::Key_N)}), msgbox::No);
  // Held Shift, and a caption beginning in lower case ("abbrechen"), do not react.
  EXPECT_EQ(ask(1, {k(Qt::Key_J, Qt::ShiftModifier), k(Qt::Key_A), k(Qt::Key_N)}), msgbox::No);
  // A hidden button's letter does nothing: O of OK in a yes/no box.
  EXPECT_EQ(ask(2, {k(Qt::Key_O), k(Qt::Key_Escape)}), msgbox::No);
  EXPECT_EQ(ask(3, {k(Qt::Key_O)}), msgbox::OK);
}

TEST_F(OwnBoxes, AccessLetterAfterAnAmpersand) {
  // The language file of the fixture: "Yes", "&No", "cancel", "OK".
  EXPECT_EQ(ask(2, {k(Qt::Key_N)}), msgbox::No);
  EXPECT_EQ(ask(1, {k(Qt::Key_C), k(Qt::Key_Y)}), msgbox::Yes);
}

TEST_F(OwnBoxes, DoNotAskAgainIsStoredAndThenAnswersNoUnseen) {
  proc().user->path = dir_.path() + QLatin1Char('/');
  auto user = std::make_shared<jex::cUser>();
  user->InitCurrUser();
  jex::gGlobal().UserProfile = user;
  ASSERT_EQ(user->Ask2Save(), 1);

  // Kinds 2 and 3 have no box to tick; kind 1 answered without ticking keeps asking.
  EXPECT_EQ(ask(1, {k(Qt::Key_N)}), msgbox::No);
  EXPECT_EQ(user->Ask2Save(), 1);
  // From "Ja" the chain runs on to "Nein", "abbrechen" and round to the box.
  EXPECT_EQ(ask(1, {k(Qt::Key_Tab), k(Qt::Key_Tab), k(Qt::Key_Tab), k(Qt::Key_Space), k(Qt::Key_Tab),
                    k(Qt::Key_Return)}),
            msgbox::Yes);
  EXPECT_EQ(user->Ask2Save(), 0);
  QFile set(dir_.filePath(QStringLiteral("USERSET.INI")));
  ASSERT_TRUE(set.open(QIODevice::ReadOnly));
  EXPECT_TRUE(set.readAll().contains("Ask2Save=0"));

  {
    WhenModal never([](jex::BoxForm* box) {
      ADD_FAILURE() << "the box was shown";
      box->hide();
    });
    EXPECT_EQ(MsgBoxEx(QStringLiteral("Speichern?"), 1), msgbox::No);
    QTest::qWait(30);
    EXPECT_FALSE(never.ran());
  }
  // The other kinds still ask.
  EXPECT_EQ(ask(2, {k(Qt::Key_Return)}), msgbox::Yes);
}

TEST_F(OwnBoxes, QuittingReturnsTheAnswerButStoresNothing) {
  auto user = std::make_shared<jex::cUser>();
  jex::gGlobal().UserProfile = user;
  WhenModal drive([](jex::BoxForm* box) {
    jex::gGlobal().Quitting = true;
    static_cast<jex::frmMsgEx*>(box)->chkBox()->setChecked(true);
    type(box, Qt::Key_Return);
  });
  EXPECT_EQ(MsgBoxEx(QStringLiteral("Speichern?"), 1), msgbox::Yes);
  EXPECT_EQ(user->Ask2Save(), 1);

  WhenModal typed([](jex::BoxForm* box) {
    QTest::keyClicks(box->focusWidget(), QStringLiteral("Name"));
    type(box, Qt::Key_Return);
  });
  EXPECT_EQ(jex::InputBoxEx(QStringLiteral("Name:")), "");
}

TEST_F(OwnBoxes, InputBoxExReturnsTheTextOrNothing) {
  WhenModal ok([](jex::BoxForm* box) {
    auto* form = static_cast<jex::frmInputBox*>(box);
    EXPECT_EQ(form->focusWidget(), form->nl_Input());
    EXPECT_EQ(form->windowTitle(), "Halda 4.10");
    EXPECT_EQ(form->nl_Msg()->text(), "Neuer Name:");
    QTest::keyClicks(form->nl_Input(), QStringLiteral("Buero 2"));
    type(box, Qt::Key_Return);
  });
  EXPECT_EQ(jex::InputBoxEx(QStringLiteral("Neuer Name:")), "Buero 2");

  WhenModal cancel([](jex::BoxForm* box) {
    QTest::keyClicks(box->focusWidget(), QStringLiteral("verworfen"));
    type(box, Qt::Key_Escape);
  });
  EXPECT_EQ(jex::InputBoxEx(QStringLiteral("Neuer Name:")), "");
}

TEST_F(OwnBoxes, AbsurdPromptsStayWithinTheScreenAndAnswer) {
  const QString huge(100000, QLatin1Char('y'));
  int width = 0, screen = 0;
  WhenModal drive([&](jex::BoxForm* box) {
    width = box->width();
    screen = box->screen()->availableGeometry().width();
    type(box, Qt::Key_Return);
  });
  EXPECT_EQ(MsgBoxEx(huge, 2), msgbox::Yes);
  EXPECT_GT(width, 0);
  EXPECT_LE(width, screen);

  WhenModal input([&](jex::BoxForm* box) {
    width = box->width();
    QTest::keyClicks(box->focusWidget(), QStringLiteral("a"));
    type(box, Qt::Key_Return);
  });
  EXPECT_EQ(jex::InputBoxEx(QStringLiteral("lange Zeile ").repeated(9000)), "a");
  EXPECT_LE(width, screen);
  EXPECT_EQ(ask(3, {k(Qt::Key_Return)}, QString()), msgbox::OK);
}

TEST_F(OwnBoxes, LoadAndUnloadAreLogged) {
  QTemporaryDir logDir;
  const QString log = logDir.filePath(QStringLiteral("jexui.log"));
  jex::logfile::setPath(log);
  jex::logfile::setThreshold(5);
  ask(3, {k(Qt::Key_Return)});
  WhenModal drive([](jex::BoxForm* box) { type(box, Qt::Key_Escape); });
  jex::InputBoxEx(QStringLiteral("x"));
  delete jex::ScriptInputBox(QStringLiteral("y"), {}, {}, {});
  jex::logfile::setThreshold(0);
  jex::logfile::setPath(QString());

  QFile f(log);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  QStringList lines = QString::fromLatin1(f.readAll()).split(QStringLiteral("\r\n"));
  const QStringList expected{"frmMsgEx_Load", "frmMsgEx_UnLoad", "frmMsgEx_Terminate", "frmInputEx_Load",
                             "frmInput2_Load"};
  QStringList seen;
  for (const QString& l : lines)
    if (expected.contains(l)) seen << l;
  EXPECT_EQ(seen, expected);
}

TEST_F(OwnBoxes, ReadWellWithAScreenReader) {
  writeLanguage(QString());
  jex::frmMsgEx form;
  form.prepare(QStringLiteral("Profil wirklich zurücksetzen?"), 1);
  EXPECT_EQ(form.accessibleDescription(), "Profil wirklich zurücksetzen?");
  EXPECT_EQ(form.nl_Msg()->buddy(), form.button(0));
  EXPECT_EQ(QAccessible::queryAccessibleInterface(form.button(0))->text(QAccessible::Name), "Ja");
  EXPECT_ACCESSIBLE(&form);

  jex::frmInputBox input;
  input.setPrompt(QStringLiteral("Name des Profils:"));
  EXPECT_EQ(input.accessibleDescription(), "Name des Profils:");
  EXPECT_EQ(input.nl_Msg()->buddy(), input.nl_Input());
  EXPECT_ACCESSIBLE(&input);
}

TEST_F(OwnBoxes, StandardCaptionsFollowTheLanguage) {
  EXPECT_EQ(jex::StandardCaption(jex::StdCaption::Yes), "&Yes");
  EXPECT_EQ(jex::StandardCaption(jex::StdCaption::Cancel), "Cancel");
  EXPECT_EQ(jex::standardCaptionsForm()->objectName(), "frmMain");
  EXPECT_FALSE(jex::standardCaptionsForm()->isVisible());
  writeLanguage(QStringLiteral("[frmMain]\r\nlblNo=Non\r\n"));
  EXPECT_EQ(jex::StandardCaption(jex::StdCaption::No), "Non");
  EXPECT_EQ(jex::StandardCaption(jex::StdCaption::Yes), "Ja");  // untranslated: the German caption
  EXPECT_EQ(jex::StandardCaption(jex::StdCaption::OK), "OK");
}

}  // namespace
}  // namespace boxes_test
