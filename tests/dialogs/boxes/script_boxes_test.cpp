// The boxes the core's scripts open: driven by keyboard, answered through the core's CallBack.
#include "boxes_support.h"
#include "dialogs/boxes/frmscrinput.h"
#include "dialogs/boxes/frmscrmsgbox.h"
#include "tests/support/accessibility.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace boxes_test {
namespace {

using jex::automation::toObj;

class ScriptBoxes : public BoxTest {
 protected:
  // The one callback so far: the application, the box's Result and Cookie, the event, the last flag.
  struct Answer {
    QString application, result, cookie, event;
    int last = -1;
  };
  Answer onlyAnswer() {
    EXPECT_EQ(calls.size(), 1);
    if (calls.size() != 1) return {};
    const QVariantList& args = calls.first();
    EXPECT_EQ(args.size(), 4);
    const Obj box = toObj(args.value(1));
    return {args.value(0).toString(), box.str(QStringLiteral("Result")), box.str(QStringLiteral("Cookie")),
            args.value(2).toString(), args.value(3).toInt()};
  }
};

// The buttons text chooses Yes/No (in any case) or else OK; the answer goes through the
// CallBack, the application comes back by reference, and the box unloads.
TEST_F(ScriptBoxes, ButtonsTextChoosesTheButtonsAndTheAnswerGoesThroughTheCallBack) {
  struct Case {
    const char* buttons;
    Qt::Key key;
    const char* result;
  };
  for (const Case& c :
       {Case{"YESNO", Qt::Key_Return, "yes"}, Case{"yesno", Qt::Key_Escape, "no"}, Case{"OK", Qt::Key_Enter, "ok"},
        Case{"YesNo", Qt::Key_Tab, "no"}, Case{"", Qt::Key_Return, "ok"}, Case{"yes no", Qt::Key_Return, "ok"}}) {
    SCOPED_TRACE(c.buttons);
    calls.clear();
    QPointer<jex::frmSCRMsgBox> box = jex::ScriptMsgBox(QStringLiteral("Datei speichern?"), QLatin1String(c.buttons),
                                                        QString(), QStringLiteral("c-17"));
    ASSERT_TRUE(box);
    const bool yesNo = QByteArray(c.buttons).toUpper() == "YESNO";
    EXPECT_EQ(box->button(0)->isVisible(), yesNo);
    EXPECT_EQ(box->button(1)->isVisible(), yesNo);
    EXPECT_NE(box->button(2)->isVisible(), yesNo);
    EXPECT_EQ(box->focusWidget(), box->button(yesNo ? 0 : 2));
    if (yesNo) {
      EXPECT_EQ(box->button(1)->text(), "&No");  // from the standard captions
    }
    type(box, c.key);
    if (c.key == Qt::Key_Tab) type(box, Qt::Key_Space);  // the No button by Tab and Space
    EXPECT_EQ(box->fields().application, "changed by the script");
    const Answer a = onlyAnswer();
    EXPECT_EQ(a.result, c.result) << c.key;
    EXPECT_EQ(a.event, "OnMsgBoxClick");
    EXPECT_EQ(a.application, "WINWORD");
    EXPECT_EQ(a.cookie, "c-17");
    EXPECT_EQ(a.last, 0);
    processDeletions();
    EXPECT_FALSE(box) << "the box did not unload";
  }
}

TEST_F(ScriptBoxes, CloseBoxSendsNoCallBackAndAVanishedCoreStillUnloads) {
  QPointer<jex::frmSCRMsgBox> closed = jex::ScriptMsgBox(QStringLiteral("x"), QStringLiteral("OK"), {}, {});
  closed->close();
  processDeletions();
  EXPECT_FALSE(closed);
  EXPECT_TRUE(calls.isEmpty());

  failing = true;
  QPointer<jex::frmSCRMsgBox> box = jex::ScriptMsgBox(QStringLiteral("x"), QStringLiteral("OK"), {}, {});
  type(box, Qt::Key_Return);
  processDeletions();
  EXPECT_FALSE(box);
  EXPECT_EQ(calls.size(), 1);
}

TEST_F(ScriptBoxes, TitlesFallBackToTheProgramTitleAndLoseLineBreaks) {
  QPointer<jex::frmSCRMsgBox> box = jex::ScriptMsgBox(QStringLiteral("x"), QStringLiteral("OK"), {}, {});
  EXPECT_EQ(box->windowTitle(), "Halda 4.10");
  box = jex::ScriptMsgBox(QStringLiteral("x"), QStringLiteral("OK"), QStringLiteral("Zeile 1\r\nZeile 2\nZeile 3"), {});
  EXPECT_EQ(box->windowTitle(), "Zeile 1 Zeile 2 Zeile 3");

  QPointer<jex::frmSCRInput> input = jex::ScriptInputBox(QStringLiteral("Name?"), {}, {}, {});
  EXPECT_EQ(input->windowTitle(), "Halda");
  input = jex::ScriptInputBox(QStringLiteral("Name?"), QStringLiteral("Neuer\nName"), {}, {});
  EXPECT_EQ(input->windowTitle(), "Neuer Name");
}

TEST_F(ScriptBoxes, InputBoxHandsTheTextOnOkAndNothingOnCancel) {
  enum { Enter, Escape, TabToCancel };
  for (int how : {Enter, Escape, TabToCancel}) {
    SCOPED_TRACE(how);
    calls.clear();
    QPointer<jex::frmSCRInput> box =
        jex::ScriptInputBox(QStringLiteral("Name des Satzes:"), {}, QStringLiteral("Satz 1"), QStringLiteral("k9"));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->focusWidget(), box->txtInput());
    EXPECT_EQ(box->txtInput()->selectedText(), "Satz 1");  // typing replaces the default
    EXPECT_EQ(box->button(0)->text(), "OK");
    EXPECT_EQ(box->button(1)->text(), "Cancel");
    QTest::keyClicks(box->txtInput(), QStringLiteral("Abend"));
    if (how == TabToCancel) {
      type(box, Qt::Key_Tab);
      type(box, Qt::Key_Tab);
      EXPECT_EQ(box->focusWidget(), box->button(1));
    }
    type(box, how == Enter ? Qt::Key_Return : how == Escape ? Qt::Key_Escape : Qt::Key_Space);
    const Answer a = onlyAnswer();
    EXPECT_EQ(a.result, how == Enter ? "Abend" : "");  // Cancel hands nothing although the field holds text
    EXPECT_EQ(a.event, "OnInputBox");
    EXPECT_EQ(a.cookie, "k9");
    EXPECT_EQ(a.application, "WINWORD");
    EXPECT_EQ(a.last, 0);
    processDeletions();
    EXPECT_FALSE(box);
  }
}

TEST_F(ScriptBoxes, LongPromptWidensTheInputBoxUpToTheScreenAndAnEmptyOneStillAnswers) {
  const int design = jex::frmSCRInput::kDesignLabelWidth;
  QPointer<jex::frmSCRInput> shortBox = jex::ScriptInputBox(QStringLiteral("Name:"), {}, {}, {});
  EXPECT_EQ(shortBox->nl_Msg()->width(), design);
  EXPECT_EQ(shortBox->width(), design + jex::frmSCRInput::kSideSpace);

  const QString longPrompt = QStringLiteral(
      "Bitte geben Sie den Namen des neuen Benutzerprofils ein, "
      "das aus dem Standardprofil kopiert wird:");
  QPointer<jex::frmSCRInput> wide = jex::ScriptInputBox(longPrompt, {}, {}, {});
  EXPECT_GT(wide->nl_Msg()->width(), design);
  EXPECT_EQ(wide->txtInput()->width(), wide->nl_Msg()->width());
  EXPECT_EQ(wide->width(), wide->nl_Msg()->width() + jex::frmSCRInput::kSideSpace);

  const int screen = wide->screen()->availableGeometry().width();
  for (const QString& absurd :
       {QString(), QString(100000, QLatin1Char('x')), QStringLiteral("Wort ").repeated(20000)}) {
    calls.clear();
    QPointer<jex::frmSCRInput> huge = jex::ScriptInputBox(absurd, {}, {}, {});
    ASSERT_TRUE(huge);
    EXPECT_TRUE(huge->isVisible());
    EXPECT_LE(huge->width(), screen);
    QTest::keyClicks(huge->txtInput(), QStringLiteral("ja"));
    type(huge, Qt::Key_Return);
    EXPECT_EQ(onlyAnswer().result, "ja");
  }
}

TEST_F(ScriptBoxes, HugeMessageStaysPlainTextWithinTheScreenAndAnswers) {
  QPointer<jex::frmSCRMsgBox> box =
      jex::ScriptMsgBox(QStringLiteral("<b>kein HTML</b> ").repeated(6000), QStringLiteral("YESNO"), {}, {});
  EXPECT_LE(box->width(), box->screen()->availableGeometry().width());
  EXPECT_TRUE(box->lblMsg()->text().startsWith(QLatin1String("<b>kein HTML</b>")));
  EXPECT_EQ(box->lblMsg()->textFormat(), Qt::PlainText);
  type(box, Qt::Key_Return);
  EXPECT_EQ(onlyAnswer().result, "yes");
}

TEST_F(ScriptBoxes, ReadWellWithAScreenReader) {
  QPointer<jex::frmSCRMsgBox> box =
      jex::ScriptMsgBox(QStringLiteral("Profil löschen?"), QStringLiteral("YESNO"), QStringLiteral("Frage"), {});
  EXPECT_EQ(box->accessibleDescription(), "Profil löschen?");
  EXPECT_EQ(box->lblMsg()->buddy(), box->button(0));
  QAccessibleInterface* yes = QAccessible::queryAccessibleInterface(box->button(0));
  EXPECT_EQ(yes->text(QAccessible::Name), "Yes");  // the caption without "&"
  bool labelled = false;
  for (const auto& [other, relation] : yes->relations(QAccessible::Label))
    labelled = labelled || other->object() == box->lblMsg();
  EXPECT_TRUE(labelled) << "the focused button is not labelled by the message";
  EXPECT_ACCESSIBLE(box.data());

  QPointer<jex::frmSCRInput> input = jex::ScriptInputBox(QStringLiteral("Name:"), {}, {}, {});
  EXPECT_EQ(input->accessibleDescription(), "Name:");
  EXPECT_EQ(input->nl_Msg()->buddy(), input->txtInput());
  EXPECT_ACCESSIBLE(input.data());
}

}  // namespace
}  // namespace boxes_test
