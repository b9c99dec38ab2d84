// Every dialog of the main window, walked as a blind user walks it. Each registered dialog that
// a core command or a menu entry opens is opened that way, with the shipped language files over
// the stand-in core, and then:
//   - Tab and Shift+Tab go once round: the focus stays inside the dialog, always on a control,
//     meets every control that takes it, and Shift+Tab meets them in the opposite order;
//   - every stop is announced (AT-SPI reads what QAccessible reports) with a label and a
//     control's role;
//   - each access key ("&" in a caption) belongs to one control of the dialog only, and Alt with
//     it reaches the control it names;
//   - Escape closes without storing: at once when nothing changed, after the save question
//     answered No when something did, and the dialog then shows the core's values as before;
//   - Enter on a list closes the dialog and keeps what was chosen there.
// A dialog joins by being registered; the parameter is its name (Registered/DialogWalk.*/frmVoices).
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QTabBar>

#include "app/frmmain.h"
#include "tests/support/accessibility.h"
#include "tests/support/dialogtest.h"
#include "tests/support/xserver.h"
#include "widgets/accessibility.h"

namespace jex::test {
namespace {

constexpr int kMostStops = 80;
// The languages of the shipped language files; captions and their access keys differ.
constexpr const char* kLanguages[] = {"1031", "1033"};

std::string str(const QString& s) { return s.toStdString(); }
std::string str(const QMap<QString, QString>& values) {
  QStringList lines;
  for (auto it = values.cbegin(); it != values.cend(); ++it) lines << it.key() + QStringLiteral(": ") + it.value();
  return str(lines.join(u'\n'));
}
std::string str(const QList<QWidget*>& widgets) {
  QStringList names;
  for (const QWidget* w : widgets) names << describe(w);
  return str(names.join(QStringLiteral(", ")));
}

// The control that has the focus, as Tab counts controls (a spin box for its inner field).
QWidget* focused() { return ui::tabStopOf(QApplication::focusWidget()); }

// What a screen reader is told about a control over AT-SPI.
struct Heard {
  QString label;
  QAccessible::Role role = QAccessible::NoRole;
  QString value;
};
Heard heard(QWidget* w) {
  QAccessibleInterface* i = QAccessible::queryAccessibleInterface(w);
  if (!i) return {};
  return {announcedLabel(w), i->role(), i->text(QAccessible::Value)};
}

// The values the dialog shows, by control.
QMap<QString, QString> shownValues(QWidget* dialog) {
  QMap<QString, QString> values;
  for (QWidget* w : ui::readingOrder(dialog)) values.insert(describe(w), heard(w).value);
  return values;
}

// Tab (or Shift+Tab) pressed until the focus is back on the control it started from: the stops
// in the order met, the first one first; fault says where the round broke off.
struct Round {
  QList<QWidget*> stops;
  QString fault;
};
Round goRound(QWidget* dialog, bool forward) {
  Round round;
  QWidget* first = focused();
  if (!first || !dialog->isAncestorOf(first)) return {{}, QStringLiteral("the focus is on ") + describe(first)};
  round.stops << first;
  while (round.stops.size() <= kMostStops) {
    const QString step = (forward ? QStringLiteral("Tab from ") : QStringLiteral("Shift+Tab from ")) +
                         describe(QApplication::focusWidget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, forward ? Qt::NoModifier : Qt::ShiftModifier);
    QWidget* now = focused();
    if (!now || !now->isVisible()) {
      round.fault = step + QStringLiteral(" lands on nothing");
    } else if (!dialog->isAncestorOf(now)) {
      round.fault = step + QStringLiteral(" leaves the dialog for ") + describe(now);
    } else if (now != first && round.stops.contains(now)) {
      round.fault = step + QStringLiteral(" goes round without coming back to ") + describe(first);
    } else if (now != first) {
      round.stops << now;
      continue;
    }
    break;
  }
  return round;
}

// The controls with an access key that show in the dialog, and the control each key names.
struct AccessKey {
  QKeySequence key;
  QWidget* owner;   // the caption's widget
  QWidget* target;  // null: it names nothing
};
QList<AccessKey> accessKeys(QWidget* dialog) {
  QList<AccessKey> keys;
  for (QWidget* w : dialog->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(dialog)) continue;
    QString caption;
    QWidget* target = w;
    if (auto* l = qobject_cast<QLabel*>(w)) {
      caption = l->text();
      target = l->buddy();
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
      caption = b->text();
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
      caption = g->title();
      if (!g->isCheckable()) target = ui::readingOrder(g).value(0);
    } else {
      continue;
    }
    const QKeySequence key = QKeySequence::mnemonic(caption);
    if (!key.isEmpty()) keys << AccessKey{key, w, target ? ui::tabStopOf(target) : nullptr};
  }
  return keys;
}

// True when Alt with key reaches target: the focus goes there, or a button is pressed. The press
// does nothing (the button's signals are held back) and a switch it toggled is set back.
bool reaches(const QKeySequence& key, QWidget* target) {
  auto* button = qobject_cast<QAbstractButton*>(target);
  const QSignalBlocker held(target);
  const bool checked = button && button->isChecked();
  QTest::keyClick(QApplication::focusWidget(), key[0].key(), key[0].keyboardModifiers());
  const bool reached = focused() == target || (button && button->isDown());
  if (button) {
    (void)QTest::qWaitFor([&] { return !button->isDown(); }, 2000);
    button->setChecked(checked);
  }
  return reached;
}

class DialogWalk : public DialogTest, public ::testing::WithParamInterface<QString> {
 protected:
  // The task list lists the programs of a display of the tests' own: none, whatever runs on the
  // user's.
  static void SetUpTestSuite() { (void)testing::XServer::instance(); }
  ChildDialog* open() { return DialogTest::open(GetParam()); }
};

TEST_P(DialogWalk, TabAndShiftTabGoRoundInsideTheDialog) {
  ChildDialog* d = open();
  ASSERT_NE(d, nullptr);
  QWidget* first = focused();
  const Round forward = goRound(d, true);
  EXPECT_EQ(str(forward.fault), "");
  for (QWidget* w : ui::readingOrder(d))
    EXPECT_TRUE(!forward.fault.isEmpty() || forward.stops.contains(w))
        << describe(w).toStdString() << " is never reached by Tab; met: " << str(forward.stops);
  ASSERT_NE(first, nullptr);
  first->setFocus(Qt::TabFocusReason);
  const Round backward = goRound(d, false);
  EXPECT_EQ(str(backward.fault), "");
  QList<QWidget*> reversed{forward.stops.value(0)};
  for (qsizetype i = forward.stops.size() - 1; i > 0; --i) reversed << forward.stops[i];
  if (forward.fault.isEmpty() && backward.fault.isEmpty()) {
    EXPECT_EQ(str(backward.stops), str(reversed)) << "Shift+Tab does not go Tab's way back";
  }
}

TEST_P(DialogWalk, EveryStopIsAnnouncedWithALabelAndAControlsRole) {
  ChildDialog* d = open();
  ASSERT_NE(d, nullptr);
  for (const char* lng : kLanguages) {
    SCOPED_TRACE(lng);
    language(lng);
    const QList<QWidget*> stops = ui::readingOrder(d);
    ASSERT_FALSE(stops.isEmpty());
    for (QWidget* w : stops) {
      const Heard h = heard(w);
      EXPECT_FALSE(h.label.isEmpty()) << describe(w).toStdString() << " is announced without a label";
      EXPECT_TRUE(isControlRole(h.role)) << describe(w).toStdString() << " is announced with role " << int(h.role);
    }
  }
}

TEST_P(DialogWalk, EachAccessKeyIsUniqueAndReachesTheControlItNames) {
  ChildDialog* d = open();
  ASSERT_NE(d, nullptr);
  for (const char* lng : kLanguages) {
    SCOPED_TRACE(lng);
    language(lng);
    const QList<AccessKey> keys = accessKeys(d);
    QMap<QString, QList<QWidget*>> owners;
    for (const AccessKey& k : keys) owners[k.key.toString()] << k.owner;
    for (auto it = owners.cbegin(); it != owners.cend(); ++it)
      EXPECT_EQ(it.value().size(), 1) << str(it.key()) << " is shared by " << str(it.value());
    QWidget* home = ui::readingOrder(d).value(0);
    ASSERT_NE(home, nullptr);
    for (const AccessKey& k : keys) {
      if (!k.target) {
        ADD_FAILURE() << str(k.key.toString()) << " of " << describe(k.owner).toStdString() << " names no control";
      } else if (k.target->isEnabled() && owners.value(k.key.toString()).size() == 1) {
        (k.target == home ? ui::readingOrder(d).last() : home)->setFocus(Qt::TabFocusReason);
        EXPECT_TRUE(reaches(k.key, k.target))
            << str(k.key.toString()) << " of " << describe(k.owner).toStdString() << " does not reach "
            << describe(k.target).toStdString() << " but " << describe(focused()).toStdString();
      }
    }
  }
}

TEST_P(DialogWalk, EscapeClosesWithoutStoring) {
  const Files before = files();
  ChildDialog* d = open();
  ASSERT_NE(d, nullptr);
  const QMap<QString, QString> shown = shownValues(d);
  AnswerBox no(Qt::Key_N);
  key(Qt::Key_Escape);
  ASSERT_FALSE(d->isVisible()) << "Escape left the dialog open";
  EXPECT_EQ(no.asked, 0) << "Escape asked about changes nobody made";
  EXPECT_FALSE(d->isAncestorOf(QApplication::focusWidget())) << "the focus stayed in the closed dialog";

  ASSERT_EQ(open(), d);
  QWidget* changed = changeASetting(d, false).control;
  const int asked = no.asked;
  key(Qt::Key_Escape);
  ASSERT_FALSE(d->isVisible()) << "Escape after changing " << describe(changed).toStdString()
                               << " left the dialog open";
  if (changed) {
    EXPECT_EQ(no.asked, asked + 1) << "no save question after changing " << describe(changed).toStdString();
  }
  EXPECT_EQ(str(changedSince(before).join(u' ')), "") << "stored after Escape and No";
  ASSERT_EQ(open(), d);
  EXPECT_EQ(str(shownValues(d)), str(shown)) << "the core kept the change of " << describe(changed).toStdString();
}

// Arrowing through a list only moves through it: whatever a choice asks (every source the same
// voice?) is asked once the user settles on it, by Enter or by leaving the list.
TEST_P(DialogWalk, ArrowingThroughAListAsksNothing) {
  ChildDialog* d = open();
  ASSERT_NE(d, nullptr);
  AnswerBox yes(Qt::Key_J);
  for (QWidget* w : ui::readingOrder(d)) {
    if (changeKey(w, true) == Qt::Key_unknown || !w->isVisible() || !w->isEnabled()) continue;
    w->setFocus(Qt::TabFocusReason);
    for (Qt::Key k : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_End, Qt::Key_Home}) {
      QTest::keyClick(w, k);
      ASSERT_EQ(yes.asked, 0) << "arrowing through " << describe(w).toStdString() << " asked a question";
    }
  }
}

TEST_P(DialogWalk, EnterOnAListClosesAndKeepsTheChoice) {
  ChildDialog* d = open();
  ASSERT_NE(d, nullptr);
  const Files before = files();
  AnswerBox yes(Qt::Key_J);  // a question while choosing (every voice the same?) is answered Yes
  const Change change = changeASetting(d, true);
  QWidget* list = change.control;
  const bool changed = list != nullptr;
  if (!list) {
    const QList<QWidget*> stops = ui::readingOrder(d);
    const auto it =
        std::find_if(stops.begin(), stops.end(), [](QWidget* w) { return changeKey(w, true) != Qt::Key_unknown; });
    if (it == stops.end()) GTEST_SKIP() << "the dialog has no list";
    list = *it;
  }
  const QString chosen = heard(list).value;
  const int asked = yes.asked;
  press(list, Qt::Key_Return);
  EXPECT_FALSE(d->isVisible()) << "Enter on " << describe(list).toStdString() << " left the dialog open";
  EXPECT_EQ(yes.asked, asked) << "Enter asked instead of storing";
  if (!changed || d->isVisible()) return;
  EXPECT_FALSE(changedSince(before).isEmpty()) << "nothing was stored after changing " << describe(list).toStdString();
  ASSERT_EQ(open(), d);
  for (const auto& [w, k] : change.onTheWay) press(w, k);
  EXPECT_EQ(str(heard(list).value), str(chosen)) << describe(list).toStdString() << " is shown as before";
}

// The accessibility check with each page of the dialog shown: a dialog with tabs is checked on
// every one of them, reached by Ctrl+Tab as the user reaches them.
TEST_P(DialogWalk, PassesTheAccessibilityCheckOnEveryTab) {
  ChildDialog* d = open();
  ASSERT_NE(d, nullptr);
  QTabBar* tabs = nullptr;
  for (QTabBar* t : d->findChildren<QTabBar*>())
    if (t->isVisible()) tabs = t;
  const int pages = tabs ? tabs->count() : 1;
  for (int page = 0; page < pages; ++page) {
    SCOPED_TRACE(tabs ? str(tabs->tabText(tabs->currentIndex())) : std::string());
    EXPECT_ACCESSIBLE(d);
    if (!tabs) break;
    const int before = tabs->currentIndex();
    key(Qt::Key_Tab, Qt::ControlModifier);
    ASSERT_EQ(tabs->currentIndex(), (before + 1) % pages) << "Ctrl+Tab did not go to the next tab";
    ASSERT_TRUE(d->isAncestorOf(QApplication::focusWidget())) << "Ctrl+Tab left the focus outside the dialog";
  }
}

INSTANTIATE_TEST_SUITE_P(Registered, DialogWalk, ::testing::ValuesIn(openableDialogs()),
                         [](const ::testing::TestParamInfo<QString>& p) { return p.param.toStdString(); });

// A dialog of the main window that nobody can open is walked by nobody: every registered dialog
// shown in the main window has its command or menu entry (the home child is shown when no dialog is), and each menu
// entry opens its dialog.
using Dialogs = DialogTest;
TEST_F(Dialogs, EveryRegisteredDialogIsOpenedByItsCommandOrMenuEntry) {
  for (const QString& name : forms::names()) {
    if (name.compare(mdi->objectName(), Qt::CaseInsensitive) == 0) continue;  // the frame itself
    const std::unique_ptr<QWidget> form = forms::create(name);
    if (!qobject_cast<ChildDialog*>(form.get()) || name == mdi->homeChild()->objectName()) continue;
    // A dialog in a window of its own opens on another form (the translation editor on the form
    // in front), not by the child switch; its own tests drive it.
    if (qobject_cast<ChildDialog*>(form.get())->isOwnWindow()) continue;
    EXPECT_TRUE(opener(name).has_value()) << name.toStdString() << " has no command or menu entry";
  }
  for (const QString& name : openableDialogs()) {
    if (opener(name)->menuEntry.isEmpty()) continue;
    if (!mdi->isActiveWindow()) showByKey();
    QAction* entry = mdi->menuEntry(opener(name)->menuEntry);
    ASSERT_NE(entry, nullptr) << name.toStdString();
    entry->trigger();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          const ChildDialog* d = ChildDialog::find(name);
          return d && d->isVisible();
        },
        3000))
        << entry->objectName().toStdString() << " does not open " << name.toStdString();
  }
}

}  // namespace
}  // namespace jex::test
