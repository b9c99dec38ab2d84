// The quick menu as a blind user meets it: called up by QUICKMEN from the core (over the main
// window's queue, the stand-in core's objects in process), driven by QTest keys inside the menu's
// own loop, closed by Escape, by a second QUICKMEN and by TOGGMEN; its entries built from the
// shipped QMenu.ini, the user's favourites and the application's script, with their key hints
// cut from what the core is about to say and spoken after the tip delay.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "app/formlist.h"
#include "app/scripting/cjexstates.h"
#include "automation/dbustransport.h"
#include "corvane/engine/objects.h"
#include "dialogs/keys/frmkeys.h"
#include "dialogs/keys/frmqmenu.h"
#include "localisation/frmlocalizer.h"
#include "tests/automation/privatebus.h"
#include "tests/support/accessibility.h"
#include "tests/support/dialogtest.h"
#include "users/cuser.h"
#include "widgets/accessibility.h"

namespace jex::test {
namespace {

std::string str(const QString& s) { return s.toStdString(); }

QMenu* popup() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }
QString selected() {
  QMenu* m = popup();
  return m && m->activeAction() ? m->activeAction()->text() : QString();
}

// Steps run one at a time inside whatever event loop runs (the menu's own while it is open);
// each waits until its condition holds.
class Steps {
 public:
  using Step = std::function<bool()>;  // true once done
  Steps() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      while (!steps_.isEmpty() && steps_.first()()) steps_.removeFirst();
    });
    timer_.start(5);
  }
  Steps& then(Step s) {
    steps_.append(std::move(s));
    return *this;
  }
  // A key on the open menu once an entry is selected; what was selected before is heard.
  Steps& key(Qt::Key k) {
    return then([this, k] {
      if (selected().isEmpty()) return false;
      heard << selected();
      QTest::keyClick(popup(), k);
      return true;
    });
  }
  bool done() const { return steps_.isEmpty(); }
  QStringList heard;

 private:
  QTimer timer_;
  QList<Step> steps_;
};

// Closes the menus still open after ms: a menu left open would hold the test in its loop.
class MenuGuard {
 public:
  MenuGuard(int ms, bool leftOpenFails) {
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [leftOpenFails] {
      if (leftOpenFails) ADD_FAILURE() << "the menu was left open";
      while (QWidget* p = QApplication::activePopupWidget()) p->close();
    });
    timer.start(ms);
  }
  QTimer timer;
};

// The most menus shown at once while it lives.
class OpenMenus {
 public:
  OpenMenus() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      int open = 0;
      for (QWidget* w : QApplication::topLevelWidgets()) open += qobject_cast<QMenu*>(w) && w->isVisible();
      most = std::max(most, open);
    });
    timer_.start(1);
  }
  int most = 0;

 private:
  QTimer timer_;
};

class QuickMenu : public DialogTest {
 public:
  // A command from the core into JexUI's queue, run on a later tick.
  void queue(const char* c) { mdi->commandQueue().add(QLatin1String(c)); }

 protected:
  void SetUp() override {
    DialogTest::SetUp();
    QDir().mkpath(appPath() + "commands");
    QFile::copy(QStringLiteral(JEX_SOURCE_DIR "/data/commands/1031.ini"), appPath() + "commands/1031.ini");
    write(appPath() + "keys/", "DEFAULT.KBD", "SAYLINE=CAP_W\r\nDLGSPEECH=CAP_V\r\nTOOLTIPSTOGGLE=CAP_T\r\n");
    frmQMenu::setStateSource([] { return JexStates().all(); });
    core.foreground = QStringLiteral("WINWORD");
  }
  void TearDown() override {
    delete form();  // a window of its own: it would outlive the main window
    frmQMenu::setStateSource({});
    DialogTest::TearDown();
  }
  void write(const QString& dir, const char* file, const QByteArray& text) {
    QDir().mkpath(dir);
    writeFile(dir + QLatin1String(file), text);
  }
  frmQMenu* form() const { return qobject_cast<frmQMenu*>(forms::instance(QStringLiteral("frmQMenu"))); }
  // QUICKMEN from the core; the steps drive the menu; true once it has closed again.
  bool quickMenu(Steps& steps) {
    MenuGuard guard(5000, true);
    command("QUICKMEN");
    return QTest::qWaitFor([&] { return steps.done() && form() && !form()->isOpen(); }, 6000);
  }
  bool aboutToSpeakOn() const { return core.hub.isEnabled(QStringLiteral("AboutToSpeak")); }
  cMenuItem* entry(const char* key) const {
    cMenu* m = form() ? form()->menuOf(QStringLiteral("WINWORD")) : nullptr;
    return m ? m->ItemByKey(QLatin1String(key)) : nullptr;
  }
};

TEST_F(QuickMenu, ArrowsAndEnterChooseTheCommandForTheApplicationAndTheNextOpeningStartsOnIt) {
  Steps steps;
  steps.then([] { return popup() != nullptr; })
      .then([this] {
        EXPECT_TRUE(aboutToSpeakOn());
        EXPECT_TRUE(form()->isActiveWindow());
        return true;
      })
      .key(Qt::Key_Down)
      .key(Qt::Key_Return);
  ASSERT_TRUE(quickMenu(steps));
  ASSERT_EQ(steps.heard.size(), 2);
  EXPECT_EQ(steps.heard.at(0), QStringLiteral("&Sprachausgabe")) << "the menu opens on its first entry";
  EXPECT_EQ(steps.heard.at(1), QStringLiteral("T&ooltips ansagen\t(CAP+T)"));
  EXPECT_EQ(gGlobal().NextFGWinCmd, QStringLiteral("TOOLTIPSTOGGLE"));
  EXPECT_FALSE(form()->isVisible());
  EXPECT_FALSE(aboutToSpeakOn());
  EXPECT_EQ(form()->parentWidget(), nullptr) << "a window of its own, outside the frame";

  // The application's window comes to the front: the core runs the choice in its place.
  const QString ran = core.router.route(QStringLiteral("NEWFGWIN!"));
  EXPECT_TRUE(ran.startsWith(QStringLiteral("CMD: NEWFGWIN! -> replaced by JexUI with TOOLTIPSTOGGLE"))) << str(ran);
  EXPECT_TRUE(gGlobal().NextFGWinCmd.isEmpty());

  // The same application: the menu opens on the entry chosen last; Escape chooses nothing.
  Steps again;
  again.key(Qt::Key_Escape);
  ASSERT_TRUE(quickMenu(again));
  EXPECT_EQ(again.heard, QStringList{QStringLiteral("T&ooltips ansagen\t(CAP+T)")});
  EXPECT_TRUE(gGlobal().NextFGWinCmd.isEmpty());
  EXPECT_EQ(count(QStringLiteral("building QMenu for  WINWORD")), 1) << "the menu is kept";
}

// Every way of closing without a choice: nothing stored, the switch off, the form hidden.
struct Closing {
  const char* name;
  std::function<void(QuickMenu&)> close;
};
class ClosedWithoutChoice : public QuickMenu, public ::testing::WithParamInterface<Closing> {};

TEST_P(ClosedWithoutChoice, LeavesTheStoredCommandAndTheSwitchAsTheyWere) {
  gGlobal().NextFGWinCmd = QStringLiteral("SAYLINE");
  Steps steps;
  // Down to the Braille entry and into its submenu.
  steps.key(Qt::Key_Down).key(Qt::Key_Down).key(Qt::Key_Down).key(Qt::Key_Down).key(Qt::Key_Right).then([this] {
    if (!popup()) return false;
    core.foreground = QStringLiteral("JEXUI");  // the core sees JexUI in front
    GetParam().close(*this);
    return true;
  });
  ASSERT_TRUE(quickMenu(steps)) << "still open";
  EXPECT_EQ(popup(), nullptr);
  EXPECT_EQ(gGlobal().NextFGWinCmd, QStringLiteral("SAYLINE"));
  EXPECT_FALSE(aboutToSpeakOn());
  EXPECT_FALSE(form()->isVisible());
  EXPECT_FALSE(mdi->isVisible()) << "the main window is left as it was";
}

INSTANTIATE_TEST_SUITE_P(Ways, ClosedWithoutChoice,
                         ::testing::Values(Closing{"Escape",
                                                   [](QuickMenu&) {
                                                     for (int i = 0; i < 3 && popup(); ++i)
                                                       QTest::keyClick(popup(), Qt::Key_Escape);
                                                   }},
                                           Closing{"SecondQuickMen", [](QuickMenu& t) { t.queue("QUICKMEN"); }},
                                           Closing{"Toggmen", [](QuickMenu& t) { t.queue("TOGGMEN"); }}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(QuickMenu, AChoiceInASubmenuReopensOnItsEntryWithTheSubmenuClosed) {
  Steps steps;
  steps.key(Qt::Key_Down).key(Qt::Key_Down).key(Qt::Key_Down).key(Qt::Key_Down).key(Qt::Key_Right).key(Qt::Key_Return);
  ASSERT_TRUE(quickMenu(steps));
  EXPECT_EQ(gGlobal().NextFGWinCmd, QStringLiteral("CHGBRL68"));
  QMenu* shown = nullptr;
  Steps again;
  again.then([&] { return !selected().isEmpty() && (shown = popup()); }).key(Qt::Key_Escape);
  ASSERT_TRUE(quickMenu(again));
  EXPECT_EQ(again.heard, QStringList{QStringLiteral("&Braille")});
  EXPECT_EQ(shown, form()->currentMenu()->menu()) << "the submenu opened by itself";
}

TEST_F(QuickMenu, TwentyQuickMenCommandsInARowNeverShowASecondMenu) {
  OpenMenus menus;
  // Twenty in one burst, each on its own tick of the queue; a menu still open then is closed.
  Steps burst;
  burst.then([this] {
    if (!mdi->commandQueue().isEmpty() || mdi->commandQueue().tmrCMD()->isActive() || !form()) return false;
    if (form()->isOpen() && popup()) QTest::keyClick(popup(), Qt::Key_Escape);
    return !form()->isOpen();
  });
  for (int i = 0; i < 20; ++i) queue("QUICKMEN");
  ASSERT_TRUE(QTest::qWaitFor([&] { return burst.done(); }, 5000));
  EXPECT_LE(menus.most, 1);
  // Twenty as fast as the menu comes and goes: every second one closes the menu the one before opened.
  const int exits = count(QStringLiteral("QMenu visible - exit"));
  Steps paced;
  for (int i = 0; i < 20; ++i)
    paced.then([this, closes = i % 2 == 1] {
      if (closes ? !popup() : form()->isOpen()) return false;
      queue("QUICKMEN");
      return true;
    });
  ASSERT_TRUE(QTest::qWaitFor([&] { return paced.done() && drained() && !form()->isOpen(); }, 10000));
  EXPECT_EQ(menus.most, 1);
  EXPECT_EQ(count(QStringLiteral("QMenu visible - exit")) - exits, 10);
  EXPECT_FALSE(aboutToSpeakOn());
  EXPECT_TRUE(gGlobal().NextFGWinCmd.isEmpty());
  EXPECT_EQ(count(QStringLiteral("building QMenu for")), 1);
}

// Key hints: the first keys of a command follow its caption; a favourite without a key has none.
TEST_F(QuickMenu, CaptionsCarryTheFirstKeysAndFavouritesWithoutAKeyCarryNone) {
  write(userDir(), "UserMenu.ini", "[User]\r\nSAYLINE=Zeile lesen\r\nSAYWORD=Wort\r\n");
  Steps steps;
  steps.key(Qt::Key_Escape);
  ASSERT_TRUE(quickMenu(steps));
  ASSERT_NE(entry("SAYWORD"), nullptr);
  EXPECT_EQ(entry("SAYWORD")->Caption(), QStringLiteral("Wort"));
  EXPECT_EQ(entry("SAYLINE")->Caption(), QStringLiteral("Zeile lesen\t(CAP+W)"));
  EXPECT_EQ(entry("DLGSPEECH")->Caption(), QStringLiteral("S&timmen...\t(CAP+V)"));
  EXPECT_EQ(entry("UserMenu")->Caption(), QStringLiteral("&Favoriten"));
}

// What the core is about to say while the menu is open: the hint cut from it, spoken later.
struct Said {
  const char* text;
  const char* spoken;  // SPC_Str afterwards
  const char* hint;
};
class HintCut : public QuickMenu, public ::testing::WithParamInterface<Said> {};

TEST_P(HintCut, IsTakenFromTheUtteranceAndSpokenWithVoiceSevenAfterTheDelay) {
  const Said s = GetParam();
  auto utterance = std::make_shared<corvane::Utterance>(QString::fromUtf8(s.text), 1, QStringLiteral("eSpeak:German"));
  QString tip;
  Steps steps;
  steps.then([&] {
    if (selected().isEmpty()) return false;
    core.hub.aboutToSpeak(automation::fromObj(Obj(utterance)));
    tip = form()->tipText();
    return true;
  });
  steps.then([&] { return *s.hint == 0 || core.spoken.contains(QString::fromUtf8(s.hint)); }).key(Qt::Key_Escape);
  ASSERT_TRUE(quickMenu(steps));
  EXPECT_EQ(utterance->text(), QString::fromUtf8(s.spoken));
  EXPECT_EQ(tip, QString::fromUtf8(s.hint));
  if (*s.hint) {
    const qsizetype at = core.spoken.indexOf(QString::fromUtf8(s.hint));
    EXPECT_EQ(core.spoken.value(at + 1).toInt(), frmQMenu::kTipVoice);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Utterances, HintCut,
    ::testing::Values(Said{"Zeile lesen\t(CAP+W), Menüeintrag", "Zeile lesen, Menüeintrag", "CAP+W"},
                      Said{"S&timmen...\t(CAP+V)", "S&timmen...", "CAP+V"},
                      Said{"Wort, Menüeintrag", "Wort, Menüeintrag", ""}, Said{"(CAP) x", "(CAP) x", ""}));

// Speech while the hint waits holds it back; speech ending lets it follow once half a second has
// passed since the entry was announced, unless what was said was another entry.
struct Held {
  const char* name;
  const char* next;  // said while the hint waits ("" for nothing)
  bool spoken;
};
class HeldHint : public QuickMenu, public ::testing::WithParamInterface<Held> {};

TEST_P(HeldHint, FollowsWhenTheSpeechEndsUnlessAnotherEntryWasSaid) {
  const Held& h = GetParam();
  qint64 clock = 1000;
  const auto say = [this](const QString& text) {
    core.hub.aboutToSpeak(automation::fromObj(Obj(std::make_shared<corvane::Utterance>(text, 1, QString()))));
  };
  bool spokenWhileHeld = false;
  Steps steps;
  steps.then([&] {
    if (selected().isEmpty()) return false;
    form()->setClock([&] { return clock; });
    say(QStringLiteral("Stimmen\t(CAP+V)"));
    core.hub.audioStart(QVariant());
    if (*h.next) say(QString::fromUtf8(h.next));
    return true;
  });
  // Long past the delay while the core still speaks: nothing.
  steps.then(
      [&, polls = 0]() mutable { return !form()->tmrTip()->isActive() && ++polls > (gGlobal().TipDelay + 2) * 25; });
  steps.then([&] {
    spokenWhileHeld = core.spoken.contains(QStringLiteral("CAP+V"));
    clock += frmQMenu::kTipAfterSpeechMs + 1;
    core.hub.audioStop(QVariant());
    return true;
  });
  steps.then([&, polls = 0]() mutable {
    return core.spoken.contains(QStringLiteral("CAP+V")) || (!h.spoken && ++polls > (gGlobal().TipDelay + 2) * 25);
  });
  steps.key(Qt::Key_Escape);
  ASSERT_TRUE(quickMenu(steps));
  EXPECT_FALSE(spokenWhileHeld);
  EXPECT_EQ(core.spoken.count(QStringLiteral("CAP+V")), h.spoken ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Speech, HeldHint,
                         ::testing::Values(Held{"SpeechEnds", "", true},
                                           Held{"AnotherEntrySaid", "Wort, Menüeintrag", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// The application's functions: a submenu of the script's functions by their descriptions, the
// key commands left out, disabled when none is left; its read-me entry when the file is there.
struct Script {
  const char* name;
  const char* text;  // "" for no script at all
  bool enabled;
  QStringList captions;
};
class AppFunctions : public QuickMenu, public ::testing::WithParamInterface<Script> {};

TEST_P(AppFunctions, AreOfferedWithoutTheKeyCommands) {
  const Script& s = GetParam();
  if (*s.text) write(appPath() + "scripts/apps/", "winword.vbs", s.text);
  write(appPath() + "Help/1031/", "WinWord.rtf", "{\\rtf1 Liesmich}");
  Steps steps;
  steps.key(Qt::Key_Escape);
  ASSERT_TRUE(quickMenu(steps));
  cMenuItem* funcs = entry("AppFuncs");
  ASSERT_NE(funcs, nullptr);
  EXPECT_EQ(funcs->Enabled(), s.enabled);
  EXPECT_EQ(funcs->Action()->isEnabled(), s.enabled);
  QStringList captions;
  if (funcs->SubMenu())
    for (const QAction* a : funcs->SubMenu()->actions()) captions << a->text();
  EXPECT_EQ(captions, s.captions);
  cMenuItem* readMe = entry(qPrintable(QStringLiteral("UI_OPEN:") + appPath() + "Help/1031/WinWord.rtf"));
  ASSERT_NE(readMe, nullptr) << "the read-me entry";
  EXPECT_EQ(readMe->Caption(), QStringLiteral("L&iesmich"));
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, AppFunctions,
    ::testing::Values(
        Script{"NoScript", "", false, {}},
        Script{"OnlyKeyCommands", "Sub KeyCmdNext()\r\nEnd Sub\r\nsub keycmdBack()\r\nEnd Sub\r\n", false, {}},
        Script{"Functions",
               "' Sagt die Seite\r\nSub SayPage()\r\nEnd Sub\r\nSub KeyCmdNext()\r\nEnd Sub\r\n"
               "Sub Plain()\r\nEnd Sub\r\n",
               true,
               {QStringLiteral("Sagt die Seite"), QStringLiteral("Plain")}}),
    [](const auto& info) { return std::string(info.param.name); });

// Broken menu files leave their part out with a log line; the rest still opens and works.
struct BadFile {
  const char* name;
  const char* file;  // "QMenu" (the language's) or "UserMenu"
  const char* text;  // nullptr: the file is missing
  const char* firstEntry;
  const char* logLine;
};
class BadMenuFiles : public QuickMenu, public ::testing::WithParamInterface<BadFile> {};

TEST_P(BadMenuFiles, LeaveTheirPartOutAndTheMenuStillWorks) {
  const BadFile& b = GetParam();
  const QString path =
      QLatin1String(b.file) == u"QMenu" ? appPath() + "LNG/1031/QMenu.ini" : userDir() + "UserMenu.ini";
  QFile::remove(path);
  if (QLatin1String(b.file) == u"QMenu") write(userDir(), "UserMenu.ini", "[User]\r\nSAYLINE=Zeile lesen\r\n");
  if (b.text) writeFile(path, b.text);
  Steps steps;
  steps.key(Qt::Key_Escape);
  ASSERT_TRUE(quickMenu(steps));
  ASSERT_FALSE(steps.heard.isEmpty());
  EXPECT_EQ(steps.heard.first(), QString::fromUtf8(b.firstEntry));
  EXPECT_TRUE(logged(QString::fromUtf8(b.logLine))) << str(logText());
  EXPECT_FALSE(aboutToSpeakOn());
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadMenuFiles,
    ::testing::Values(
        BadFile{"QMenuMissing", "QMenu", nullptr, "&Favoriten", "no file"},
        BadFile{"QMenuEmpty", "QMenu", "", "&Favoriten", "cMenu.AppendFromFile: no"},
        BadFile{"QMenuBroken", "QMenu", "\x01\x02[Men\r\n=\r\n\xff\xfe", "&Favoriten", "no section [Menu]"},
        BadFile{"UserMenuEmpty", "UserMenu", "", "&Sprachausgabe", "QMenu: no favourites in [User]"},
        BadFile{"UserMenuBroken", "UserMenu", "[User\r\n=\r\nxx", "&Sprachausgabe", "QMenu: no favourites in [User]"},
        BadFile{"FavouriteGone", "UserMenu", "[User]\r\nNOSUCHCOMMAND=Weg\r\nDEFAULT.Sub.Gone=Weg\r\n",
                "&Sprachausgabe", "favourite left out, its command is gone: NOSUCHCOMMAND"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(QuickMenu, CheckMarksFollowTheCoreAtEveryOpening) {
  for (const bool on : {true, false}) {
    core.setUseSpeech(on);
    Steps steps;
    steps.key(Qt::Key_Escape);
    ASSERT_TRUE(quickMenu(steps));
    ASSERT_NE(entry("SETSPTOGGLE"), nullptr);
    EXPECT_EQ(entry("SETSPTOGGLE")->Action()->isChecked(), on);
  }
}

TEST_F(QuickMenu, AFavouriteAddedInTheKeysDialogIsInTheNextMenu) {
  write(userDir(), "UserMenu.ini", "[User]\r\nSAYLINE=Zeile lesen\r\n");
  Steps first;
  first.key(Qt::Key_Escape);
  ASSERT_TRUE(quickMenu(first));
  EXPECT_EQ(entry("SAYLASTMESSAGE"), nullptr);
  auto* keys = open<frmKeys>("frmKeys");
  ASSERT_NE(keys, nullptr);
  ASSERT_TRUE(QTest::qWaitFor([keys] { return keys->treeFilled(); }, 3000));
  key(Qt::Key_Tab, Qt::ControlModifier);  // Befehle
  keys->cboSearch()->setFocus(Qt::TabFocusReason);
  QTest::keyClicks(keys->cboSearch()->lineEdit(), QStringLiteral("SAYLASTMESSAGE"));
  QTest::keyClick(keys->cboSearch()->lineEdit(), Qt::Key_Return);
  press(keys->findChild<QPushButton*>("cmdAddFav"));
  press(keys->cmdOK());
  ASSERT_FALSE(keys->isVisible());
  core.foreground = QStringLiteral("WINWORD");  // back in the application
  Steps second;
  second.key(Qt::Key_Escape);
  ASSERT_TRUE(quickMenu(second));
  EXPECT_NE(entry("SAYLASTMESSAGE"), nullptr) << "the menu was not built again";
  EXPECT_NE(entry("SAYLINE"), nullptr);
}

// The popup's walk, as the tab walk is a form's: Down from the entry it opens on visits every
// entry that can be chosen and comes round to it, Up visits them backwards; each entry is a
// named menu entry, a toggle checkable, each submenu named.
QStringList menuProblems(QMenu* m) {
  QStringList problems;
  QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(m);
  if (menu->text(QAccessible::Name).isEmpty()) problems << QStringLiteral("the menu has no name");
  const QList<QAction*> actions = m->actions();
  for (qsizetype i = 0; i < actions.size(); ++i) {
    QAction* a = actions.at(i);
    if (a->isSeparator()) continue;
    QAccessibleInterface* entry = menu->child(int(i));
    if (!entry || entry->role() != QAccessible::MenuItem || entry->text(QAccessible::Name).isEmpty())
      problems << a->text() + QStringLiteral(": no named menu entry");
    else if (entry->state().checkable != a->isCheckable())
      problems << a->text() + QStringLiteral(": not told checkable");
    if (a->menu() && a->menu()->accessibleName().isEmpty()) problems << a->text() + QStringLiteral(": unnamed submenu");
  }
  QList<QAction*> down;
  QAction* first = m->activeAction();
  for (int i = 0; i <= actions.size() && (down.isEmpty() || m->activeAction() != first); ++i) {
    down << m->activeAction();
    QTest::keyClick(m, Qt::Key_Down);
  }
  if (m->activeAction() != first) problems << QStringLiteral("Down does not come back round to the first entry");
  for (QAction* a : actions)
    if (!a->isSeparator() && a->isVisible() && a->isEnabled() && !down.contains(a))
      problems << a->text() + QStringLiteral(": not reached by Down");
  for (qsizetype i = down.size() - 1; i >= 0; --i) {
    QTest::keyClick(m, Qt::Key_Up);
    if (m->activeAction() != down.at(i)) problems << down.at(i)->text() + QStringLiteral(": not reached back by Up");
  }
  return problems;
}

// The accessibility check on the form and its popup. The form shows no control of its own (its
// texts are hidden labels, its one visible part the popup menu, a window of its own), so it has
// no tab stop to walk: the check finds nothing to walk and no label or tip to miss; the popup is
// walked by the arrow keys instead.
TEST_F(QuickMenu, FormAndPopupPassTheAccessibilityCheck) {
  write(userDir(), "UserMenu.ini", "[User]\r\nSAYLINE=Zeile lesen\r\n");
  QStringList popupProblems;
  Steps steps;
  steps.then([&] {
    if (selected().isEmpty()) return false;
    popupProblems = menuProblems(popup());
    return true;
  });
  steps.key(Qt::Key_Escape);
  ASSERT_TRUE(quickMenu(steps));
  EXPECT_TRUE(popupProblems.isEmpty()) << str(popupProblems.join(u'\n'));
  EXPECT_TRUE(ui::readingOrder(form()).isEmpty()) << "the form has controls of its own to walk";
  EXPECT_FALSE(form()->windowTitle().isEmpty()) << "the form's window has no name";
  EXPECT_ACCESSIBLE(form());
  form()->hide();
}

// Each language: its own menu file and captions; the menu and every entry announced with a name,
// as a menu entry, the toggles with their check state.
struct Language {
  const char* lng;
  const char* menuName;
  const char* first;
  const char* favourites;
  const char* functions;
};
class Languages : public QuickMenu, public ::testing::WithParamInterface<Language> {};

TEST_P(Languages, GiveTheEntriesAndEveryEntryIsAnnounced) {
  const Language& l = GetParam();
  language(l.lng);
  write(userDir(), "UserMenu.ini", "[User]\r\nSAYLINE=Zeile\r\n");
  QStringList problems;
  QString menuName;
  Steps steps;
  steps.then([&] {
    if (selected().isEmpty()) return false;
    QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(popup());
    menuName = menu->text(QAccessible::Name);
    for (QAction* a : popup()->actions()) {
      if (a->isSeparator()) continue;
      QAccessibleInterface* item = menu->child(int(popup()->actions().indexOf(a)));
      if (!item || item->role() != QAccessible::MenuItem || item->text(QAccessible::Name).isEmpty())
        problems << a->text() + QStringLiteral(": no named menu entry");
      else if (a->isCheckable() != item->state().checkable || a->isChecked() != item->state().checked)
        problems << a->text() + QStringLiteral(": check state not told");
    }
    return true;
  });
  steps.key(Qt::Key_Escape);
  ASSERT_TRUE(quickMenu(steps));
  EXPECT_TRUE(problems.isEmpty()) << str(problems.join(u'\n'));
  EXPECT_EQ(menuName, QString::fromUtf8(l.menuName));
  EXPECT_EQ(steps.heard, QStringList{QString::fromUtf8(l.first)});
  EXPECT_EQ(entry("UserMenu")->Caption(), QString::fromUtf8(l.favourites));
  EXPECT_EQ(entry("AppFuncs")->Caption(), QString::fromUtf8(l.functions));
  EXPECT_TRUE(entry("SETSPTOGGLE")->Action()->isCheckable());
}

// The language changed while the menu was hidden, with no notice to the form (the change tells
// only the windows that show): the next opening has the new captions all the same.
TEST_P(Languages, FollowAChangeMadeWhileTheMenuWasHidden) {
  const Language& l = GetParam();
  language(QByteArray(l.lng) == "1031" ? "1033" : "1031");
  write(userDir(), "UserMenu.ini", "[User]\r\nSAYLINE=Zeile\r\n");
  Steps before;
  before.key(Qt::Key_Escape);
  ASSERT_TRUE(quickMenu(before));
  frmLocalizer().setLNG(QLatin1String(l.lng));
  Steps steps;
  steps.key(Qt::Key_Escape);
  ASSERT_TRUE(quickMenu(steps));
  EXPECT_EQ(steps.heard, QStringList{QString::fromUtf8(l.first)});
  EXPECT_EQ(entry("UserMenu")->Caption(), QString::fromUtf8(l.favourites));
  EXPECT_EQ(form()->windowTitle(), QString::fromUtf8(l.menuName));
}

INSTANTIATE_TEST_SUITE_P(
    Shipped, Languages,
    ::testing::Values(Language{"1031", "Quickmenü", "&Sprachausgabe", "&Favoriten", "An&wendungsfunktionen"},
                      Language{"1033", "Quick menu", "&Speech output", "&Favourites", "A&pplication functions"}),
    [](const auto& info) { return std::string(info.param.lng); });

// The same with the built core on a private bus: QUICKMEN typed on its console, the core's own
// utterance cut and its hint spoken, the choice run by the core when the next window comes up.
class QuickMenuOverBus : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& pb = testing::PrivateBus::instance();
    if (!pb.ok()) GTEST_SKIP() << "no private session bus: " << pb.error().toStdString();
    if (!testing::BuiltCore::built()) GTEST_SKIP() << "corvane is not built";
    conn = pb.connect(QStringLiteral("jexui"));
    ASSERT_TRUE(conn.registerService(QStringLiteral("JexUI.UI_Application")));
    const QString coreName = QStringLiteral("corvane.application");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !automation::dbus::isNameOwned(coreName, conn); }, 5000));
    core = std::make_unique<testing::BuiltCore>(pb.address());
    QDir().mkpath(core->appDir() + "/keys");
    fake::CoreFixture::writeFile(core->appDir() + "/keys/DEFAULT.KBD", "TOOLTIPSTOGGLE=CAP_T\r\n");
    ASSERT_TRUE(core->startAndWait({"--no-jexui", "--no-monitor", "--no-audio", "--no-foreground", "--trust-bus"}))
        << core->out();
    Jex() = automation::dbus::connect(coreName, conn);
    logfile::setPath(dir.filePath("jexui.log"));
    logfile::setThreshold(5);
    gGlobal().AppPath = Jex().str(QStringLiteral("proc.AppPath"));
    copyShippedFiles(gGlobal().AppPath);
    frmLocalizer().setLNG(QStringLiteral("1031"));
    registerForms();
    gGlobal().UserProfile = CreateCurrUser();
    frmMDI::setQuitter([] {});
    frmQMenu::setStateSource([] { return JexStates().all(); });
    mdi = std::make_unique<frmMDI>();
    mdi->registerSink();
    mdi->installHook();
  }
  void TearDown() override {
    delete forms::instance(QStringLiteral("frmQMenu"));
    frmQMenu::setStateSource({});
    if (mdi) mdi->removeHook();
    mdi.reset();
    resetLocalizer();
    resetGlobals();
    logfile::setPath({});
    core.reset();
    if (conn.isConnected()) testing::PrivateBus::disconnect(conn);
  }
  int count(const char* text) const {
    return int(fake::CoreFixture::readFile(dir.filePath("jexui.log")).count(QLatin1String(text)));
  }
  // True when first comes before then in JexUI's log.
  bool logged(const char* first, const char* then) const {
    const QString log = fake::CoreFixture::readFile(dir.filePath("jexui.log"));
    const qsizetype a = log.indexOf(QLatin1String(first));
    return a >= 0 && log.indexOf(QLatin1String(then), a) > a;
  }
  std::unique_ptr<testing::BuiltCore> core;
  QDBusConnection conn{QString()};
  QTemporaryDir dir;
  std::unique_ptr<frmMDI> mdi;
};

TEST_F(QuickMenuOverBus, TheCoresUtteranceLosesItsHintWhichFollowsAndTheChoiceRunsInTheNextWindow) {
  core->type(":switch jexui winword");
  ASSERT_TRUE(core->waitFor("SWITCH: JEXUI/WINWORD")) << core->out();
  Steps steps;
  steps
      .key(Qt::Key_Down)  // Tooltips
      .then([&] {
        core->type(":say Tooltips ansagen\t(CAP+T), Menüeintrag");
        return true;
      })
      .then([&] { return core->has("SPEAK: CAP+T"); })
      .key(Qt::Key_Return);
  MenuGuard guard(8000, false);
  core->type("QUICKMEN");
  const auto q = [] { return qobject_cast<frmQMenu*>(forms::instance(QStringLiteral("frmQMenu"))); };
  ASSERT_TRUE(QTest::qWaitFor([&] { return steps.done() && q() && !q()->isOpen(); }, 10000)) << core->out();
  EXPECT_TRUE(core->has("SPEAK: Tooltips ansagen, Menüeintrag")) << core->out();
  EXPECT_FALSE(core->has("SPEAK: Tooltips ansagen\t")) << "the hint was said with the entry";
  EXPECT_EQ(gGlobal().NextFGWinCmd, QStringLiteral("TOOLTIPSTOGGLE"));
  // The menu opened once its hints and check marks were there (the core's calls wait in loops
  // of their own, where the menu must not open).
  EXPECT_EQ(steps.heard.value(1), QStringLiteral("T&ooltips ansagen\t(CAP+T)"));
  cMenuItem* speech = q()->currentMenu()->ItemByKey(QStringLiteral("SETSPTOGGLE"));
  ASSERT_NE(speech, nullptr);
  EXPECT_TRUE(speech->Action()->isCheckable());
  EXPECT_TRUE(logged("GetKeys2 tDiff: ", "QuickCMD: "));
  // The switch is off again: the core says what it has, unchanged.
  core->type(":say Danach\t(CAP+X)");
  ASSERT_TRUE(core->waitFor("SPEAK: Danach\t(CAP+X)")) << core->out();
  core->type("NEWFGWIN!");
  ASSERT_TRUE(core->waitFor("CMD: NEWFGWIN! -> replaced by JexUI with TOOLTIPSTOGGLE")) << core->out();
  EXPECT_TRUE(gGlobal().NextFGWinCmd.isEmpty());
}

// Twenty presses of the key, each offered by the core while JexUI may be waiting for it: each one
// after the first finds the menu as the one before left it, so that they open and close it in
// turn, and the switch is off at the end.
TEST_F(QuickMenuOverBus, TwentyQuickMenFromTheCoreOpenAndCloseTheMenuInTurn) {
  core->type(":switch jexui winword");
  ASSERT_TRUE(core->waitFor("SWITCH: JEXUI/WINWORD")) << core->out();
  MenuGuard guard(20000, false);
  OpenMenus menus;
  core->type(QStringList(20, QStringLiteral("QUICKMEN")).join(u'\n'));
  const auto q = [] { return qobject_cast<frmQMenu*>(forms::instance(QStringLiteral("frmQMenu"))); };
  ASSERT_TRUE(QTest::qWaitFor([&] { return count("ShowQ, visible: ") == 20 && q() && !q()->isOpen(); }, 20000))
      << count("ShowQ, visible: ") << " calls came";
  EXPECT_TRUE(guard.timer.isActive()) << "the menu stayed open until it was closed for the test";
  EXPECT_EQ(count("QMenu visible - exit"), 10);
  EXPECT_LE(menus.most, 1);
  core->type(":say Danach\t(CAP+X)");
  EXPECT_TRUE(core->waitFor("SPEAK: Danach\t(CAP+X)")) << core->out();
  EXPECT_TRUE(gGlobal().NextFGWinCmd.isEmpty());
}

}  // namespace
}  // namespace jex::test
