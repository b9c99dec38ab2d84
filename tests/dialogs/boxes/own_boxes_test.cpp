// The program's own modal boxes, MsgBoxEx and InputBoxEx, driven by keyboard while they run.
#include "boxes_support.h"
#include "dialogs/boxes/frminputbox.h"
#include "dialogs/boxes/frmmsgex.h"
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
  // MsgBoxEx(message, kind) with keys typed on the focused control while it shows.
  qint16 ask(int kind, const std::vector<QKeyCombination>& keys,
             const QString& message = QStringLiteral("Speichern?")) {
    WhenModal drive([&](jex::BoxForm* box) {
      for (QKeyCombination k : keys)
        if (box->isVisible()) type(box, k.key(), k.keyboardModifiers());
    });
    const qint16 r = MsgBoxEx(message, kind);
    EXPECT_TRUE(drive.ran()) << "the box was not shown";
    return r;
  }
};

// Keys typed in a box of each kind, and the answer. German: the shipped captions "Ja", "Nein",
// "abbrechen", "OK"; else the fixture's "Yes", "&No", "cancel", "OK".
TEST_F(OwnBoxes, KeysAnswerEachKind) {
  struct Typed {
    bool german;
    int kind;
    std::vector<QKeyCombination> keys;
    qint16 answer;
  };
  const Typed cases[] = {
      {false, 1, {Qt::Key_Return}, msgbox::Yes},
      {false, 1, {Qt::Key_Escape}, msgbox::Cancel},
      {false, 2, {Qt::Key_Return}, msgbox::Yes},
      {false, 2, {Qt::Key_Escape}, msgbox::No},
      {false, 3, {Qt::Key_Return}, msgbox::OK},
      {false, 3, {Qt::Key_Escape}, msgbox::OK},
      {false, 1, {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Space}, msgbox::Cancel},
      // Access letters: after an ampersand, else the caption's first letter when it is a capital.
      {false, 2, {Qt::Key_N}, msgbox::No},
      {false, 1, {Qt::Key_C, Qt::Key_Y}, msgbox::Yes},
      {true, 2, {Qt::Key_J}, msgbox::Yes},
      {true, 2, {Qt::Key_N}, msgbox::No},
      // Held Shift, and a caption beginning in lower case ("abbrechen"), do not react.
      {true, 1, {Qt::ShiftModifier | Qt::Key_J, Qt::Key_A, Qt::Key_N}, msgbox::No},
      // A hidden button's letter does nothing: O of OK in a yes/no box.
      {true, 2, {Qt::Key_O, Qt::Key_Escape}, msgbox::No},
      {true, 3, {Qt::Key_O}, msgbox::OK},
  };
  for (const Typed& c : cases) {
    if (c.german) writeLanguage({});
    EXPECT_EQ(ask(c.kind, c.keys, QStringLiteral("Änderungen speichern?")), c.answer)
        << "kind " << c.kind << ", first key " << c.keys.front().toCombined() << (c.german ? " (German)" : "");
  }
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

TEST_F(OwnBoxes, DoNotAskAgainIsStoredAndThenAnswersNoUnseen) {
  auto user = std::make_shared<jex::cUser>();
  user->InitCurrUser();
  jex::gGlobal().UserProfile = user;
  ASSERT_EQ(user->Ask2Save(), 1);

  // Kinds 2 and 3 have no box to tick; kind 1 answered without ticking keeps asking.
  EXPECT_EQ(ask(1, {Qt::Key_N}), msgbox::No);
  EXPECT_EQ(user->Ask2Save(), 1);
  // From "Ja" the chain runs on to "Nein", "abbrechen" and round to the box.
  EXPECT_EQ(ask(1, {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Space, Qt::Key_Tab, Qt::Key_Return}), msgbox::Yes);
  EXPECT_EQ(user->Ask2Save(), 0);
  EXPECT_TRUE(readFile(userDir() + QStringLiteral("USERSET.INI")).contains(QStringLiteral("Ask2Save=0")));

  {
    WhenModal never([](jex::BoxForm* box) {
      ADD_FAILURE() << "the box was shown";
      box->hide();
    });
    EXPECT_EQ(MsgBoxEx(QStringLiteral("Speichern?"), 1), msgbox::No);
    QTest::qWait(30);
  }
  EXPECT_EQ(ask(2, {Qt::Key_Return}), msgbox::Yes) << "the other kinds still ask";
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

TEST_F(OwnBoxes, InputBoxExOffersADefaultThatTypingReplaces) {
  WhenModal taken([](jex::BoxForm* box) {
    auto* form = static_cast<jex::frmInputBox*>(box);
    EXPECT_EQ(form->nl_Input()->text(), "Anna");
    EXPECT_EQ(form->nl_Input()->selectedText(), "Anna");
    type(box, Qt::Key_Return);
  });
  EXPECT_EQ(jex::InputBoxEx(QStringLiteral("Name:"), QStringLiteral("Anna")), "Anna");
  WhenModal replaced([](jex::BoxForm* box) {
    QTest::keyClicks(box->focusWidget(), QStringLiteral("Berta"));
    type(box, Qt::Key_Return);
  });
  EXPECT_EQ(jex::InputBoxEx(QStringLiteral("Name:"), QStringLiteral("Anna")), "Berta");
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
  EXPECT_EQ(ask(3, {Qt::Key_Return}, QString()), msgbox::OK);
}

TEST_F(OwnBoxes, ReadWellWithAScreenReader) {
  writeLanguage({});
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

// The English ones are seen on the script boxes' buttons.
TEST_F(OwnBoxes, StandardCaptionsFollowTheLanguageAndFallBackToGerman) {
  writeLanguage("[frmMain]\r\nlblNo=Non\r\n");
  EXPECT_EQ(jex::StandardCaption(jex::StdCaption::No), "Non");
  EXPECT_EQ(jex::StandardCaption(jex::StdCaption::Yes), "Ja");  // untranslated: the German caption
}

}  // namespace
}  // namespace boxes_test
