// Menu entries as the core's reader hears them over the accessibility bus: a real QMenu of this
// process, made as the program makes its menus (which owns JexUI's bus name, so the reader
// follows it, and cuts the key hints from what the core is about to say) on the virtual desktop
// of the end-to-end tests, driven by keys; what the built core says is read from its output.
// A toggle is heard with its state, on or off; a menu whose entries change is counted anew.
#include <gtest/gtest.h>
#include <QAction>
#include <QDBusConnection>
#include <QFile>
#include <QMenu>
#include <QTest>
#include <QWidget>
#include <functional>

#include "automation/dbustransport.h"
#include "automation/dispatchable.h"
#include "tests/e2e/desktop.h"
#include "tests/support/processes.h"
#include "tests/support/text.h"
#include "widgets/menukeys.h"

namespace {

const bool kCoreWanted = (jex::testing::useCore({}), true);

struct CoreEnd : ::testing::Environment {
  void TearDown() override { jex::testing::coreQuit(); }
};
const auto* const kCoreEnd = ::testing::AddGlobalTestEnvironment(new CoreEnd);

// The core's SPEAK lines so far.
QStringList said() {
  QStringList out;
  for (const QString& l : jex::testing::coreOutput().split(u'\n'))
    if (l.startsWith(S("SPEAK: "))) out << l.mid(7);
  return out;
}

// JexUI's sink while its quick menu is open: the key hint in parentheses is cut from what the
// core is about to say (as the quick menu does) and kept.
class HintCutter : public jex::automation::Dispatchable {
 public:
  HintCutter() : Dispatchable(S("cNotifySink")) {
    method(S("AboutToSpeak"), 1, 1, [this](jex::automation::Args& a) {
      const jex::automation::Obj o = a.obj(0);
      const QString text = o.str(S("SPC_Str"));
      const qsizetype open = text.lastIndexOf(u'('), close = text.lastIndexOf(u')');
      if (open > 5 && close > open) {
        hints << text.mid(open + 1, close - open - 1);
        o.set(S("SPC_Str"), text.left(open - 1) + text.mid(close + 1));
      }
      return QVariant();
    });
  }
  QStringList hints;
};

TEST(MenusHeard, EntriesWithTheirPlaceAndASubmenuByItsNameAndTheKeyHintCutByJexUi) {
  if (!jex::testing::desktopError().isEmpty()) GTEST_SKIP() << jex::testing::desktopError().toStdString();
  if (!jex::testing::core().error.isEmpty()) GTEST_SKIP() << jex::testing::core().error.toStdString();
  QDBusConnection session = QDBusConnection::sessionBus();
  auto sink = std::make_shared<HintCutter>();
  ASSERT_TRUE(jex::automation::dbus::publish(S("JexUI.UI_Application"), sink, session));
  const jex::automation::Obj core = jex::automation::dbus::connect(S("corvane.application"), session);
  core.call(S("Init_JEX_UI_Notification_Sink"), {jex::automation::fromObj(jex::automation::Obj(sink))});
  core.set(S("JEX_UI_Notification_Sink_Event_Enable"), {S("AboutToSpeak")}, true);
  const QString log = jex::testing::core().home + S("/app/corvane.log");
  const QString following = S("reader: following JexUI pid %1").arg(QCoreApplication::applicationPid());
  ASSERT_TRUE(QTest::qWaitFor([&] { return jex::testing::fileLines(log).filter(following).size() > 0; }, 10000));

  QWidget window;
  window.setWindowTitle(S("Schnellmenü"));
  window.resize(300, 200);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  QMenu menu(&window);
  jex::ui::applyMenuKeys(&menu);
  QAction* speech = menu.addAction(S("Sprache"));
  speech->setCheckable(true);
  speech->setChecked(true);
  menu.addSeparator();
  QMenu* braille = menu.addMenu(S("Braille"));
  jex::ui::applyMenuKeys(braille);
  braille->addAction(S("6 oder 8 Punkte"));
  braille->addAction(S("Kurzschrift"));
  menu.addAction(S("versteckt"))->setVisible(false);
  menu.addAction(S("Töne"))->setCheckable(true);
  menu.addAction(S("Hilfe\t(F1)"));
  menu.popup(window.mapToGlobal(QPoint(10, 10)));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));

  // A step: what is done first (nothing for none), the key, what the reader says last.
  struct Step {
    std::function<void()> before;
    Qt::Key key;
    const char* expected;
  };
  const std::vector<Step> steps{
      {{}, Qt::Key_Down, "Sprache, Menüeintrag, aktiviert, 1 von 4"},
      {{}, Qt::Key_Down, "Braille, Untermenü, 2 von 4"},
      {{}, Qt::Key_Right, "Braille, 6 oder 8 Punkte, Menüeintrag, 1 von 2"},
      {{}, Qt::Key_Down, "Kurzschrift, Menüeintrag, 2 von 2"},
      // Qt tells no focus when the submenu closes (the entry that opened it is still the menu's
      // current one): the next entry is heard.
      {{}, Qt::Key_Left, nullptr},
      // A toggle that is off is heard so, not as a plain entry.
      {{}, Qt::Key_Down, "Töne, Menüeintrag, nicht aktiviert, 3 von 4"},
      {{}, Qt::Key_Down, "Hilfe, Menüeintrag, 4 von 4"},
      // Entries added to the open menu and taken out: the entries heard before are counted anew.
      {[&] { menu.addAction(S("Neu")); }, Qt::Key_Up, "Töne, Menüeintrag, nicht aktiviert, 3 von 5"},
      {[&] { menu.removeAction(speech); }, Qt::Key_Up, "Braille, Untermenü, 1 von 4"},
  };
  for (const Step& step : steps) {
    if (step.before) step.before();
    const qsizetype before = said().size();
    QTest::keyClick(QApplication::activePopupWidget(), step.key);
    if (!step.expected) {
      ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activePopupWidget() == &menu; }, 5000));
      continue;
    }
    const char* expected = step.expected;
    // The window's title may come with the first entry (its activation rides with the focus).
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          const QStringList now = said().mid(before);
          return std::any_of(now.begin(), now.end(), [&](const QString& l) { return l.endsWith(S(expected)); });
        },
        5000))
        << expected << "\nheard: " << said().mid(before).join(S(" | ")).toStdString();
  }
  EXPECT_EQ(sink->hints, QStringList{S("F1")});
  QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
  core.call(S("Clear_JEX_UI_Notification_Sink"));
}

}  // namespace
