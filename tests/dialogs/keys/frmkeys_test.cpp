// The keys dialog over the built core on a private bus, driven by keys: keys captured by the
// core's console in both capture modes, assigning and deleting on the user's levels with the
// files read back, the conflict a captured key brings (heard at the core), the search as the
// user types, the favourites of UserMenu.ini, the application list applied once when it is left,
// the save question's three answers, and bad input: broken favourites, codes of no kind and the
// core gone while capturing or saving.
#include <gtest/gtest.h>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTreeWidget>
#include <csignal>

#include "base/log.h"
#include "corvane/engine/appdir.h"
#include "dialogs/keys/frmkeys.h"
#include "ini/privateprofile.h"
#include "tests/support/corebus.h"
#include "tests/support/dialogtest.h"
#include "tests/support/fakecore.h"
#include "tests/support/text.h"
#include "users/cuser.h"

namespace jex::test {
namespace {

using testing::BuiltCore;
using testing::PrivateBus;

std::string str(const QString& s) { return s.toStdString(); }
QString readFile(const QString& f) { return fake::CoreFixture::readFile(f); }
void writeFile(const QString& f, const QByteArray& text) {
  QDir().mkpath(QFileInfo(f).absolutePath());
  fake::CoreFixture::writeFile(f, text);
}

// The sets every test starts from: a command with a single key (TOGGMEN), one with two
// (QUICKMEN), keys on each of the four levels, and a Braille key.
constexpr const char* kShippedDefault = "SAYLINE=CAP_W L0N8\r\nTOGGMEN=CAP_J\r\nQUICKMEN=CAP_Apps L*N5\r\n";
constexpr const char* kShippedWinword = "SAYWORD=CAP_R CAP_U\r\n";
constexpr const char* kShippedBraille = "SAYWORD=TH4\r\nBRLSCRE=TH5\r\n";
constexpr const char* kUserDefault = "SAYCHAR=CAP_Q CAP_T\r\n";
constexpr const char* kUserWinword = "SAYALL=CAP_E\r\n";

// The built core, one for the suite, and the dialog made anew for each test with the user's
// files as above.
class KeysOverBus : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { core_ = startCore(); }
  static void TearDownTestSuite() { stopCore(core_); }

  // A core with the shipped command lists, started on the private bus; null when there is none.
  static std::unique_ptr<BuiltCore> startCore() {
    if (!PrivateBus::instance().ok() || !BuiltCore::built()) return nullptr;
    auto core = std::make_unique<BuiltCore>(PrivateBus::instance().address());
    corvane::copyTreeKeepExisting(S(JEX_SOURCE_DIR "/data/commands"), core->dataDir() + S("/commands"));
    if (!core->startAndWait()) {
      ADD_FAILURE() << core->out();
      return nullptr;
    }
    return core;
  }
  static void stopCore(std::unique_ptr<BuiltCore>& core) {
    if (core) core->quit();
    core.reset();
  }
  virtual BuiltCore* core() const { return core_.get(); }

  void SetUp() override {
    if (!core()) GTEST_SKIP() << "no private bus or no built core";
    conn_ = PrivateBus::instance().connect(S("jexui"));
    Jex() = automation::dbus::connect(S("corvane.application"), conn_);
    gGlobal().AppPath = core()->appDir() + u'/';
    QFile::remove(log());
    logfile::setPath(log());
    logfile::setThreshold(5);
    gGlobal().UserProfile = CreateCurrUser();
    user_ = gGlobal().UserProfile->Path();
    ASSERT_FALSE(user_.isEmpty());
    QDir(user_ + S("keys")).removeRecursively();
    QFile::remove(frmKeys::favouritesFile());
    shipped("DEFAULT.KBD", kShippedDefault);
    shipped("WINWORD.KBD", kShippedWinword);
    shipped("DEFAULT.BRL", kShippedBraille);
    writeFile(user_ + S("keys/DEFAULT.KBD"), kUserDefault);
    writeFile(user_ + S("keys/WINWORD.KBD"), kUserWinword);
    from_ = core()->lines.size();
  }
  void TearDown() override {
    if (HasFailure() && core())
      ADD_FAILURE() << "the core said:\n" << core()->out() << "\nexit " << core()->proc.exitCode();
    dlg.reset();
    logfile::setPath({});
    resetGlobals();
    if (conn_.isConnected()) {
      automation::dbus::detach(conn_);
      PrivateBus::disconnect(conn_);
    }
  }

  void shipped(const char* file, const char* text) {
    writeFile(core()->appDir() + S("/keys/") + QLatin1String(file), text);
  }
  QString log() const { return core()->home() + S("/jexui.log"); }
  QString logText() const { return readFile(log()); }
  QString userFile(const char* file) const { return readFile(user_ + S("keys/") + QLatin1String(file)); }
  QString shippedFile(const char* file) const { return readFile(core()->appDir() + S("/keys/") + QLatin1String(file)); }

  // The dialog shown and active, its command tree filled, then one of its tabs as the main
  // window shows it ("ShowKeys", "ShowCMDs", "ShowFav").
  frmKeys* open(const char* show = "ShowKeys") {
    if (!dlg) dlg = std::make_unique<frmKeys>();
    dlg->show();
    dlg->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return dlg->treeFilled(); }, 5000));
    EXPECT_TRUE(QMetaObject::invokeMethod(dlg.get(), show));
    return dlg.get();
  }
  void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : dlg.get(), k, m);
  }
  QLineEdit* searchField() const { return dlg->cboSearch()->lineEdit(); }
  // Typed into the search field key by key, each change searched as it comes.
  void type(const QString& text) {
    for (const QChar c : text) {
      QTest::keyClicks(searchField(), QString(c));
      QCoreApplication::processEvents();
    }
  }
  // Found by typing in the search field, then Enter: the match has the focus.
  void find(const QString& text) {
    searchField()->setFocus(Qt::ShortcutFocusReason);
    searchField()->clear();
    type(text);
    QTest::keyClick(searchField(), Qt::Key_Return);
  }
  void chooseApp(const QString& app) {
    choose(dlg->cboTask(), app == u"DEFAULT" ? dlg->cboTask()->itemText(0) : app);
    QTest::keyClick(dlg->cboTask(), Qt::Key_Tab);
    ASSERT_EQ(dlg->application(), app);
  }
  // The command "Alles lesen" (SAYALL) chosen on Befehle and the focus on txt_Keys, by Tab.
  void toAssigning() {
    ASSERT_EQ(dlg->tabKeys()->currentIndex(), frmKeys::TabCommands);
    find(S("Alles lesen"));
    ASSERT_EQ(QApplication::focusWidget(), dlg->treCommands());
    ASSERT_EQ(dlg->treCommands()->currentItem()->data(0, frmKeys::kKeyRole).toString(), S("SAYALL"));
    key(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), dlg->txtKeys());
    ASSERT_EQ(dlg->captureMode(), frmKeys::Assigning);
  }
  // A key pressed at the core's console (":key CODE" or ":brlkey CODE").
  void press(const char* verb, const QString& code) { core()->type(QLatin1String(verb) + u' ' + code); }
  // A line of the core's output since the test began: "SPEAK: " with part in it, "BRAILLE: ".
  bool reported(const QString& start, const QString& part = {}) const {
    return QTest::qWaitFor(
        [&] {
          for (qsizetype i = from_; i < core()->lines.size(); ++i)
            if (core()->lines[i].startsWith(start) && core()->lines[i].contains(part)) return true;
          return false;
        },
        5000);
  }
  bool heard(const QString& part) const { return reported(S("SPEAK: "), part); }
  // The function a key starts for app, as a fresh look at the core's levels finds it.
  static QString bound(const QString& app, const QString& code) {
    cKeyChecker k;
    k.InitForApp(app, true);
    return k.GetActFuncForKey(code);
  }
  QStringList favourites() const {
    QString block;
    ini::FlushPrivateProfileCache();
    const quint32 n = ini::GetPrivateProfileSection(S("User"), block, 65536, frmKeys::favouritesFile());
    return block.left(n).split(QChar(0), Qt::SkipEmptyParts);
  }
  static QString tag(QTreeWidgetItem* n) { return n ? n->data(0, frmKeys::kTagRole).toString() : QString(); }
  // OK clicked; true once the dialog has closed.
  bool ok() {
    QTest::mouseClick(dlg->cmdOK(), Qt::LeftButton);
    return !dlg->isVisible();
  }
  // The user's global key CAP_Q found on Tasten and deleted.
  void deleteUsersKey() {
    find(S("CAP_Q"));
    key(Qt::Key_Delete);
  }

  static std::unique_ptr<BuiltCore> core_;
  QDBusConnection conn_{QString()};
  QString user_;
  qsizetype from_ = 0;
  std::unique_ptr<frmKeys> dlg;
};
std::unique_ptr<BuiltCore> KeysOverBus::core_;

// --- capture ---------------------------------------------------------------------------------

struct CaptureCase {
  const char* name;
  const char* show;  // the tab: ShowKeys looks a key up, ShowCMDs assigns it
  const char* verb;
  const char* code;
  const char* command;  // what the key starts afterwards ("" for none)
  const char* file;     // the user's file that holds it after OK ("" for none)
};
class Capture : public KeysOverBus, public ::testing::WithParamInterface<CaptureCase> {};

TEST_P(Capture, AKeyPressedAtTheCoreIsFoundOrAssigned) {
  const CaptureCase c = GetParam();
  open(c.show);
  const QString code = QLatin1String(c.code), command = QLatin1String(c.command);
  if (QLatin1String(c.show) == "ShowCMDs") {
    toAssigning();
    EXPECT_FALSE(Jex().boolean(S("HandleKeyCode")));
    EXPECT_FALSE(Jex().boolean(S("HandleBrlCode")));
    press(c.verb, code);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->txtKeys()->text().startsWith(code + S(" zuweisen SAYALL")); }))
        << str(dlg->txtKeys()->text());
    EXPECT_EQ(dlg->txtKeys()->selectedText(), code);
    EXPECT_EQ(Jex().str(S("LastKeyCode")) + Jex().str(S("LastBrlCode")), QString()) << "the key was not taken";
    key(Qt::Key_Return);
    EXPECT_TRUE(dlg->dirty());
  } else {
    ASSERT_EQ(QApplication::focusWidget(), dlg->treKeys());
    ASSERT_EQ(dlg->captureMode(), frmKeys::LookUp);
    EXPECT_FALSE(Jex().boolean(S("HandleKeyCode")));
    press(c.verb, code);
    if (command.isEmpty()) {
      EXPECT_TRUE(heard(code + S(" - nicht belegt -"))) << core()->out();
      EXPECT_EQ(dlg->txtKeys()->text(), code + S(" - nicht belegt -"));
    } else {
      ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->treKeys()->currentItem() == dlg->keyNode(code); }))
          << str(tag(dlg->treKeys()->currentItem()));
      EXPECT_TRUE(tag(dlg->keyNode(code)).startsWith(command + u'|'));
      EXPECT_EQ(QApplication::focusWidget(), dlg->treKeys());
    }
  }
  EXPECT_EQ(tag(dlg->keyNode(code)).section(u'|', 0, 0), command);
  EXPECT_TRUE(ok());
  EXPECT_TRUE(Jex().boolean(S("HandleKeyCode"))) << "the keyboard was left deaf";
  EXPECT_TRUE(Jex().boolean(S("HandleBrlCode")));
  if (*c.file) EXPECT_TRUE(userFile(c.file).contains(S("SAYALL=") + code)) << str(userFile(c.file));
  EXPECT_EQ(bound(S("DEFAULT"), code), command);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, Capture,
    ::testing::Values(CaptureCase{"LookUpUsersKey", "ShowKeys", ":key", "CAP_Q", "SAYCHAR", ""},
                      CaptureCase{"LookUpKeypad", "ShowKeys", ":key", "L0N8", "SAYLINE", ""},
                      CaptureCase{"LookUpBraille", "ShowKeys", ":brlkey", "TH4", "SAYWORD", ""},
                      CaptureCase{"LookUpUnbound", "ShowKeys", ":key", "CAP_X", "", ""},
                      CaptureCase{"AssignKey", "ShowCMDs", ":key", "CAP_Z|S", "SAYALL", "DEFAULT.KBD"},
                      CaptureCase{"AssignKeypad", "ShowCMDs", ":key", "L5N5", "SAYALL", "DEFAULT.KBD"},
                      CaptureCase{"AssignBraille", "ShowCMDs", ":brlkey", "TH9", "SAYALL", "DEFAULT.BRL"}),
    [](const auto& info) { return std::string(info.param.name); });

// Looking keys up, the display's scroll keys still scroll: the core runs them, the tree stays.
TEST_F(KeysOverBus, BrailleScrollKeysStillScrollWhileKeysAreLookedUp) {
  open("ShowKeys");
  ASSERT_EQ(dlg->captureMode(), frmKeys::LookUp);
  QTreeWidgetItem* before = dlg->treKeys()->currentItem();
  press(":brlkey", S("TH5"));
  EXPECT_TRUE(reported(S("CMD: BRLSCRE -> "))) << core()->out();
  EXPECT_EQ(dlg->treKeys()->currentItem(), before);
  EXPECT_FALSE(Jex().boolean(S("HandleBrlCode"))) << "capture ended";
}

// --- levels and conflicts --------------------------------------------------------------------

// A captured key that starts another command: txt_Keys and the core say which, on which level and
// what assigning does; assigning then changes the user's set of the chosen application only,
// and the old command keeps its other key.
struct ConflictCase {
  const char* name;
  const char* app;    // "" for the global entry
  const char* code;   // its command before
  const char* level;  // heard
  const char* does;   // heard
  const char* old;    // the command the key started
  const char* other;  // its other key, kept
  const char* file;   // the user's file that changes; the other user file stays as it was
};
class Conflicts : public KeysOverBus, public ::testing::WithParamInterface<ConflictCase> {};

TEST_P(Conflicts, AreSaidAndAssigningChangesOnlyTheEditedSet) {
  const ConflictCase c = GetParam();
  const QString app = *c.app ? QLatin1String(c.app) : S("DEFAULT"), code = QLatin1String(c.code);
  const QString global = bound(S("DEFAULT"), code);
  open("ShowCMDs");
  if (*c.app) chooseApp(app);
  toAssigning();
  press(":key", code);
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->txtKeys()->text().startsWith(code + u' '); }));
  const QString said = dlg->txtKeys()->text();
  for (const char* part : {"startet schon", c.level, c.does})
    EXPECT_TRUE(said.contains(QString::fromUtf8(part))) << part << " not in " << str(said);
  EXPECT_TRUE(heard(S("startet schon"))) << core()->out();
  EXPECT_TRUE(heard(QString::fromUtf8(c.level) + S(". ") + QString::fromUtf8(c.does))) << core()->out();
  EXPECT_TRUE(reported(S("BRAILLE: "))) << "not shown on the Braille display";

  const QString untouched = app == u"DEFAULT" ? S("WINWORD.KBD") : S("DEFAULT.KBD");
  const QString before = readFile(user_ + S("keys/") + untouched);
  key(Qt::Key_Return);
  ASSERT_TRUE(ok());
  const QString edited = userFile(c.file);
  EXPECT_TRUE(QRegularExpression(S("SAYALL=[^\\r\\n]*") + QRegularExpression::escape(code)).match(edited).hasMatch())
      << str(edited);
  EXPECT_EQ(readFile(user_ + S("keys/") + untouched), before);
  EXPECT_EQ(shippedFile("DEFAULT.KBD"), QLatin1String(kShippedDefault));
  EXPECT_EQ(shippedFile("WINWORD.KBD"), QLatin1String(kShippedWinword));
  EXPECT_EQ(bound(app, code), S("SAYALL"));
  EXPECT_EQ(bound(app, QLatin1String(c.other)), QLatin1String(c.old));
  if (app != u"DEFAULT") EXPECT_EQ(bound(S("DEFAULT"), code), global) << "another application changed";
}

INSTANTIATE_TEST_SUITE_P(
    Levels, Conflicts,
    ::testing::Values(
        ConflictCase{"UsersGlobalKeyTaken", "", "CAP_Q", "in Ihrer globalen Belegung",
                     "Zuweisen nimmt die Taste diesem Befehl.", "SAYCHAR", "CAP_T", "DEFAULT.KBD"},
        ConflictCase{"ShippedGlobalKeyOverriddenForTheUser", "", "CAP_W", "in der mitgelieferten globalen Belegung",
                     "Zuweisen überdeckt sie in Ihrer globalen Belegung.", "SAYLINE", "L0N8", "DEFAULT.KBD"},
        ConflictCase{"UsersGlobalKeyOverriddenForOneApplication", "WINWORD", "CAP_Q", "in Ihrer globalen Belegung",
                     "Zuweisen überdeckt sie nur für WINWORD.", "SAYCHAR", "CAP_T", "WINWORD.KBD"},
        ConflictCase{"ShippedGlobalKeyOverriddenForOneApplication", "WINWORD", "CAP_W",
                     "in der mitgelieferten globalen Belegung", "Zuweisen überdeckt sie nur für WINWORD.", "SAYLINE",
                     "L0N8", "WINWORD.KBD"},
        ConflictCase{"ShippedApplicationKeyOverridden", "WINWORD", "CAP_R",
                     "in der mitgelieferten Belegung der Anwendung", "Zuweisen überdeckt sie nur für WINWORD.",
                     "SAYWORD", "CAP_U", "WINWORD.KBD"}),
    [](const auto& info) { return std::string(info.param.name); });

// Taking the last key of a command the user cannot be without asks first (Ja/Nein); a command
// that keeps another key is not asked about.
struct LastKeyCase {
  const char* name;
  const char* code;
  Qt::Key answer;
  int asked;
  const char* after;  // what the key starts then
};
class LastKey : public KeysOverBus, public ::testing::WithParamInterface<LastKeyCase> {};

TEST_P(LastKey, IsTakenOnlyAfterYes) {
  const LastKeyCase c = GetParam();
  open("ShowCMDs");
  toAssigning();
  press(":key", QLatin1String(c.code));
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->txtKeys()->text().startsWith(QLatin1String(c.code) + u' '); }));
  AnswerBox box(c.answer);
  key(Qt::Key_Return);
  EXPECT_EQ(box.asked, c.asked);
  EXPECT_EQ(dlg->checker().GetActFuncForKey(QLatin1String(c.code)), QLatin1String(c.after));
  EXPECT_EQ(dlg->dirty(), QLatin1String(c.after) == u"SAYALL");
  EXPECT_TRUE(dlg->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Vital, LastKey,
                         ::testing::Values(LastKeyCase{"No", "CAP_J", Qt::Key_N, 1, "TOGGMEN"},
                                           LastKeyCase{"Yes", "CAP_J", Qt::Key_J, 1, "SAYALL"},
                                           LastKeyCase{"OtherKeyLeft", "CAP_Apps", Qt::Key_N, 0, "SAYALL"}),
                         [](const auto& info) { return std::string(info.param.name); });

// The level a key is bound on decides whether this dialog may delete it.
struct DeleteCase {
  const char* app;  // "" for the global entry
  const char* code;
  bool deletable;
  const char* file;  // the user's file that loses the key
};
class KeyLevels : public KeysOverBus, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(KeyLevels, OnlyTheEditedLevelsKeyIsDeleted) {
  const DeleteCase c = GetParam();
  open();
  if (*c.app) chooseApp(QLatin1String(c.app));
  find(QLatin1String(c.code));
  ASSERT_EQ(QApplication::focusWidget(), dlg->treKeys());
  ASSERT_EQ(dlg->treKeys()->currentItem(), dlg->keyNode(QLatin1String(c.code)));
  EXPECT_EQ(dlg->findChild<QPushButton*>("cmdDelete")->isEnabled(), c.deletable);
  const QString before = userFile(c.file);
  key(Qt::Key_Delete);
  EXPECT_EQ(dlg->dirty(), c.deletable);
  EXPECT_EQ(dlg->checker().GetActFuncForKey(QLatin1String(c.code)).isEmpty(), c.deletable);
  EXPECT_TRUE(ok());
  if (c.deletable) EXPECT_FALSE(userFile(c.file).contains(QLatin1String(c.code))) << str(userFile(c.file));
  else EXPECT_EQ(userFile(c.file), before);
  EXPECT_EQ(shippedFile("DEFAULT.KBD"), QLatin1String(kShippedDefault)) << "a shipped file was changed";
  EXPECT_EQ(shippedFile("WINWORD.KBD"), QLatin1String(kShippedWinword));
}

INSTANTIATE_TEST_SUITE_P(Levels, KeyLevels,
                         ::testing::Values(DeleteCase{"", "CAP_Q", true, "DEFAULT.KBD"},
                                           DeleteCase{"", "CAP_W", false, "DEFAULT.KBD"},
                                           DeleteCase{"WINWORD", "CAP_E", true, "WINWORD.KBD"},
                                           DeleteCase{"WINWORD", "CAP_Q", false, "DEFAULT.KBD"},
                                           DeleteCase{"WINWORD", "CAP_R", false, "WINWORD.KBD"}),
                         [](const auto& info) {
                           return (*info.param.app ? std::string(info.param.app) : std::string("Global")) +
                                  QByteArray(info.param.code).replace('_', "").toStdString();
                         });

// --- search ----------------------------------------------------------------------------------

// Each typed text shows its first match from where the typing began, the focus stays in the
// field and its description counts the matches; Enter gives the match the focus, F3 the next.
struct SearchCase {
  const char* show;
  const char* text;
  const char* first;  // key of the first match
  int matches;
};
class Search : public KeysOverBus, public ::testing::WithParamInterface<SearchCase> {};

TEST_P(Search, ShowsTheFirstMatchAsTheUserTypes) {
  const SearchCase c = GetParam();
  open(c.show);
  QTreeWidget* tree = QLatin1String(c.show) == "ShowKeys" ? dlg->treKeys() : dlg->treCommands();
  QTreeWidgetItem* start = tree->currentItem();
  const auto current = [&] { return tree->currentItem()->data(0, frmKeys::kKeyRole).toString(); };
  searchField()->setFocus(Qt::ShortcutFocusReason);
  type(QLatin1String(c.text));
  EXPECT_TRUE(searchField()->hasFocus());
  EXPECT_EQ(dlg->cboSearch()->currentText(), QLatin1String(c.text)) << "the typed text was replaced";
  EXPECT_EQ(dlg->cboSearch()->accessibleDescription(), QString::number(c.matches) + S(" Treffer"));
  if (c.matches == 0) {
    EXPECT_EQ(tree->currentItem(), start);
    return;
  }
  EXPECT_EQ(current(), QLatin1String(c.first));
  // Backspace and the letter again: the same first match from the same start, not the next.
  QTest::keyClick(searchField(), Qt::Key_Backspace);
  QCoreApplication::processEvents();
  type(QString(QLatin1String(c.text).back()));
  EXPECT_EQ(current(), QLatin1String(c.first));
  QTest::keyClick(searchField(), Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), tree);
  EXPECT_EQ(current(), QLatin1String(c.first));
  // F3 goes on to the next match and round to the first again.
  key(Qt::Key_F3);
  EXPECT_EQ(current() == QLatin1String(c.first), c.matches == 1);
  for (int i = 1; i < c.matches; ++i) key(Qt::Key_F3);
  EXPECT_EQ(current(), QLatin1String(c.first)) << "F3 did not go round the matches";
}

INSTANTIATE_TEST_SUITE_P(
    Trees, Search,
    ::testing::Values(SearchCase{"ShowKeys", "CAP_Q", "CAP_Q", 1}, SearchCase{"ShowKeys", "L0N8", "L0N8", 1},
                      SearchCase{"ShowCMDs", "Alles lesen", "SAYALL", 1},
                      SearchCase{"ShowCMDs", "SAYLINE", "BRLSAYLINE", 2}, SearchCase{"ShowCMDs", "zzzq", "", 0}),
    [](const auto& info) {
      return std::string(QByteArray(info.param.text).replace('_', "").replace(' ', "").constData()) +
             std::to_string(info.index);
    });

// --- favourites ------------------------------------------------------------------------------

TEST_F(KeysOverBus, FavouritesAreAddedRenamedMovedDeletedSavedAndReadBack) {
  writeFile(frmKeys::favouritesFile(), "[User]\r\nSAYLINE=Zeile\r\nSAYWORD=Wort\r\nnoequals\r\n");
  open("ShowKeys");
  key(Qt::Key_Tab, Qt::ControlModifier);
  key(Qt::Key_Tab, Qt::ControlModifier);
  ASSERT_EQ(dlg->tabKeys()->currentIndex(), frmKeys::TabFavourites);
  ASSERT_EQ(QApplication::focusWidget(), dlg->lvwQMenu());
  ASSERT_EQ(dlg->lvwQMenu()->topLevelItemCount(), 2);
  EXPECT_TRUE(logText().contains(S("GetFavorites: line left out: noequals")));
  // Rename the first: the button, the new name, Enter back to the list.
  dlg->findChild<QPushButton*>("cmdFavRename")->setFocus();
  key(Qt::Key_Space);
  ASSERT_EQ(QApplication::focusWidget(), dlg->txtFavName());
  QTest::keyClick(dlg->txtFavName(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(dlg->txtFavName(), S("Eine Zeile"));
  QTest::keyClick(dlg->txtFavName(), Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), dlg->lvwQMenu());
  EXPECT_TRUE(dlg->isVisible()) << "Enter in the name closed the dialog";
  key(Qt::Key_Down, Qt::ControlModifier);  // the renamed row goes below "Wort"
  key(Qt::Key_Up);
  key(Qt::Key_Up, Qt::ControlModifier);  // at the top already: stays
  EXPECT_EQ(dlg->lvwQMenu()->topLevelItem(0)->text(0), S("Wort"));
  // Add one from the commands: Ctrl+Shift+Tab to Befehle, found by its name.
  key(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_EQ(dlg->tabKeys()->currentIndex(), frmKeys::TabCommands);
  find(S("Alles lesen"));
  ASSERT_EQ(QApplication::focusWidget(), dlg->treCommands());
  dlg->findChild<QPushButton*>("cmdAddFav")->setFocus();
  key(Qt::Key_Space);
  ASSERT_EQ(dlg->tabKeys()->currentIndex(), frmKeys::TabFavourites);
  ASSERT_EQ(dlg->lvwQMenu()->topLevelItemCount(), 3);
  // Delete "Wort", the first row.
  dlg->lvwQMenu()->setCurrentItem(dlg->lvwQMenu()->topLevelItem(0));
  key(Qt::Key_Delete);
  ASSERT_TRUE(ok());
  EXPECT_EQ(favourites(), QStringList({S("SAYLINE=Eine Zeile"), S("SAYALL=Alles lesen")}));
  dlg.reset();
  open("ShowFav");
  ASSERT_EQ(dlg->lvwQMenu()->topLevelItemCount(), 2);
  EXPECT_EQ(dlg->lvwQMenu()->topLevelItem(0)->text(0), S("Eine Zeile"));
  EXPECT_EQ(dlg->lvwQMenu()->topLevelItem(1)->text(1), S("SAYALL"));
}

// A new name typed or pasted: an empty one keeps the old, line breaks become blanks, a long one
// is cut; the file keeps one line per favourite.
struct NameCase {
  const char* name;
  QString pasted;
  QString stored;
};
class FavouriteNames : public KeysOverBus, public ::testing::WithParamInterface<NameCase> {};

TEST_P(FavouriteNames, AreKeptToOneLine) {
  writeFile(frmKeys::favouritesFile(), "[User]\r\nSAYLINE=Zeile\r\nSAYWORD=Wort\r\n");
  open("ShowFav");
  dlg->findChild<QPushButton*>("cmdFavRename")->setFocus();
  key(Qt::Key_Space);
  ASSERT_EQ(QApplication::focusWidget(), dlg->txtFavName());
  QTest::keyClick(dlg->txtFavName(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(dlg->txtFavName(), Qt::Key_Delete);
  QApplication::clipboard()->setText(GetParam().pasted);
  QTest::keyClick(dlg->txtFavName(), Qt::Key_V, Qt::ControlModifier);
  QTest::keyClick(dlg->txtFavName(), Qt::Key_Return);
  ASSERT_TRUE(ok());
  EXPECT_EQ(favourites(), QStringList({S("SAYLINE=") + GetParam().stored, S("SAYWORD=Wort")}));
}

INSTANTIATE_TEST_SUITE_P(Bad, FavouriteNames,
                         ::testing::Values(NameCase{"Empty", QString(), S("Zeile")},
                                           NameCase{"Blanks", S("   "), S("Zeile")},
                                           NameCase{"LineBreaks", S("Zeile\r\nlesen\njetzt"), S("Zeile  lesen jetzt")},
                                           NameCase{"TenKilobytes", QString(10240, u'x'), QString(200, u'x')}),
                         [](const auto& info) { return std::string(info.param.name); });

// A broken favourites file: what can be read is shown, the rest logged, and the file is left as
// it was until the user changes a favourite.
struct BrokenCase {
  const char* name;
  QByteArray file;
  int rows;
};
class BrokenFavourites : public KeysOverBus, public ::testing::WithParamInterface<BrokenCase> {};

TEST_P(BrokenFavourites, AreReadAsFarAsTheyGoAndNotRewritten) {
  const BrokenCase c = GetParam();
  writeFile(frmKeys::favouritesFile(), c.file);
  open("ShowFav");
  EXPECT_EQ(dlg->lvwQMenu()->topLevelItemCount(), c.rows);
  key(Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(dlg->tabKeys()->currentIndex(), frmKeys::TabKeys) << "the dialog does not answer";
  deleteUsersKey();  // a change of the keys only
  ASSERT_TRUE(ok());
  QFile f(frmKeys::favouritesFile());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), c.file);
  EXPECT_FALSE(userFile("DEFAULT.KBD").contains(S("CAP_Q"))) << "the keys were not saved";
}

INSTANTIATE_TEST_SUITE_P(
    Bad, BrokenFavourites,
    ::testing::Values(BrokenCase{"LinesWithoutEquals", "[User]\r\nSAYLINE=Zeile\r\nnoequals\r\n=leer\r\n;SAYALL=x\r\n",
                                 1},
                      BrokenCase{"Binary", QByteArray("\xff\xfe\0[Us\x01\x02\r\n\0\0=", 13), 0},
                      BrokenCase{"NoSection", "SAYLINE=Zeile\r\n", 0},
                      BrokenCase{"TenKilobyteName", "[User]\r\nSAYLINE=" + QByteArray(10240, 'y') + "\r\n", 1}),
    [](const auto& info) { return std::string(info.param.name); });

// --- the application list and the save question ----------------------------------------------

TEST_F(KeysOverBus, TheApplicationIsAppliedOnceWhenTheListIsLeft) {
  open();
  const auto loads = [&] { return logText().count(S("cKeyChecker.InitForApp")); };
  const qsizetype before = loads();
  dlg->cboTask()->setFocus(Qt::TabFocusReason);
  choose(dlg->cboTask(), S("WINWORD"));
  QTest::keyClick(dlg->cboTask(), Qt::Key_Up);
  QTest::keyClick(dlg->cboTask(), Qt::Key_Down);
  EXPECT_EQ(loads(), before) << "arrowing reloaded the bindings";
  EXPECT_EQ(dlg->application(), S("DEFAULT"));
  QTest::keyClick(dlg->cboTask(), Qt::Key_Tab);
  EXPECT_EQ(loads(), before + 1);
  EXPECT_EQ(dlg->application(), S("WINWORD"));
  EXPECT_EQ(dlg->checker().GetActFuncForKey(S("CAP_E")), S("SAYALL"));
  dlg->cboTask()->setFocus(Qt::TabFocusReason);
  QTest::keyClick(dlg->cboTask(), Qt::Key_Tab);
  EXPECT_EQ(loads(), before + 1) << "leaving unchanged reloaded";
}

// An application shown before comes back without the core reading its files again, with its
// keys as they were; once the user has changed a key, it comes back as the core now binds it.
TEST_F(KeysOverBus, AnApplicationShownBeforeComesBackAsTheCoreBindsIt) {
  open();
  const auto loads = [&] { return logText().count(S("cKeyChecker.InitForApp")); };
  chooseApp(S("WINWORD"));
  chooseApp(S("DEFAULT"));
  const qsizetype before = loads();
  chooseApp(S("WINWORD"));
  EXPECT_EQ(loads(), before) << "an application kept was read again";
  EXPECT_TRUE(tag(dlg->keyNode(S("CAP_E"))).startsWith(S("SAYALL|"))) << str(tag(dlg->keyNode(S("CAP_E"))));
  EXPECT_TRUE(tag(dlg->keyNode(S("CAP_Q"))).startsWith(S("SAYCHAR|")));
  chooseApp(S("DEFAULT"));
  EXPECT_EQ(dlg->keyNode(S("CAP_E")), nullptr) << "the application's key shows in the global tree";
  deleteUsersKey();  // which WINWORD shares
  ASSERT_TRUE(ok());
  gGlobal().LastForeApp = S("WINWORD");  // the dialog opened again from the word processor
  open();
  ASSERT_EQ(dlg->application(), S("WINWORD"));
  EXPECT_EQ(dlg->keyNode(S("CAP_Q")), nullptr)
      << "the deleted key came back with the tree kept: " << str(tag(dlg->keyNode(S("CAP_Q"))));
  EXPECT_TRUE(dlg->checker().GetActFuncForKey(S("CAP_Q")).isEmpty());
}

// The save question on leaving with a deleted key: Yes stores and closes, No takes the change
// back and closes, Cancel stays.
struct Answer {
  const char* name;
  Qt::Key key;
  bool closes;
  bool stored;
};
class SaveQuestion : public KeysOverBus, public ::testing::WithParamInterface<Answer> {};

TEST_P(SaveQuestion, EachAnswerDoesWhatItSays) {
  const Answer a = GetParam();
  open();
  deleteUsersKey();
  ASSERT_TRUE(dlg->dirty());
  AnswerBox box(a.key);
  key(Qt::Key_Escape);
  EXPECT_EQ(box.asked, 1);
  EXPECT_EQ(dlg->isVisible(), !a.closes);
  EXPECT_EQ(userFile("DEFAULT.KBD").contains("CAP_Q"), !a.stored);
  EXPECT_EQ(bound(S("DEFAULT"), S("CAP_Q")).isEmpty(), a.stored) << "the core holds another set";
  if (!a.closes) return;
  open();
  EXPECT_EQ(dlg->checker().GetActFuncForKey(S("CAP_Q")).isEmpty(), a.stored);
  EXPECT_FALSE(dlg->dirty());
}

// Leaving the global entry of cbo_Task by the keyboard with a key deleted asks too: Yes saves
// the global set, No takes the deletion back in the core, Cancel stays with the global entry.
TEST_P(SaveQuestion, IsAskedWhenTheApplicationIsLeftByKeys) {
  const Answer a = GetParam();
  open();
  deleteUsersKey();
  ASSERT_TRUE(dlg->dirty());
  AnswerBox box(a.key);
  choose(dlg->cboTask(), S("WINWORD"));
  QTest::keyClick(dlg->cboTask(), Qt::Key_Tab);
  EXPECT_EQ(box.asked, 1);
  EXPECT_EQ(dlg->application(), a.closes ? S("WINWORD") : S("DEFAULT"));
  EXPECT_EQ(dlg->cboTask()->currentIndex() == 0, !a.closes) << "the list shows another application";
  EXPECT_EQ(dlg->dirty(), !a.closes);
  EXPECT_EQ(userFile("DEFAULT.KBD").contains("CAP_Q"), !a.stored);
  // The deletion counts where it was saved or is still pending; No brings the key back.
  EXPECT_EQ(dlg->checker().GetActFuncForKey(S("CAP_Q")).isEmpty(), a.stored || !a.closes);
  if (!a.closes) return;
  EXPECT_EQ(bound(S("DEFAULT"), S("CAP_Q")).isEmpty(), a.stored);
}

INSTANTIATE_TEST_SUITE_P(Answers, SaveQuestion,
                         ::testing::Values(Answer{"Yes", Qt::Key_J, true, true}, Answer{"No", Qt::Key_N, true, false},
                                           Answer{"Cancel", Qt::Key_Escape, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- bad input from the core -----------------------------------------------------------------

// A code that is no key of any kind, reported by the core as captured: logged, said in txt_Keys,
// nothing to assign.
TEST_F(KeysOverBus, ACodeOfNoKindIsRefused) {
  open("ShowCMDs");
  toAssigning();
  for (const char* code : {"LXN5", "TH4", "CAPS"}) {
    Jex().set(S("LastKeyCode"), QLatin1String(code));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Jex().str(S("LastKeyCode")).isEmpty(); }));
    EXPECT_TRUE(logText().contains(S("KeyCheck: no key code: ") + QLatin1String(code)));
    EXPECT_EQ(dlg->txtKeys()->text(), QLatin1String(code) + S(" ist keine Taste"));
    EXPECT_FALSE(dlg->findChild<QPushButton*>("cmdAssign")->isEnabled());
    EXPECT_EQ(dlg->captureMode(), frmKeys::Assigning);
  }
  press(":key", S("CAP_Z"));  // a key after them is taken as ever
  EXPECT_TRUE(QTest::qWaitFor([&] { return dlg->txtKeys()->text().startsWith(S("CAP_Z zuweisen SAYALL")); }));
  EXPECT_FALSE(dlg->dirty());
}

// The core gone while the dialog captures keys or saves them: a log line, the dialog still
// answers and closes, and the user's file is as it was. Each test ends its own core.
class KeysCoreGone : public KeysOverBus {
 protected:
  static void SetUpTestSuite() {}
  static void TearDownTestSuite() {}
  void SetUp() override {
    own_ = startCore();
    KeysOverBus::SetUp();
  }
  void TearDown() override {
    KeysOverBus::TearDown();
    stopCore(own_);
  }
  BuiltCore* core() const override { return own_.get(); }
  void kill() {
    ::kill(pid_t(own_->proc.processId()), SIGKILL);
    ASSERT_TRUE(own_->waitEnded(5000));
  }
  std::unique_ptr<BuiltCore> own_;
};

TEST_F(KeysCoreGone, WhileKeysAreCaptured) {
  open("ShowCMDs");
  toAssigning();
  kill();
  ASSERT_TRUE(QTest::qWaitFor([&] { return logText().contains(S("!!! ERROR")); }));
  (void)QTest::qWaitFor([&] { return dlg->captureMode() == frmKeys::NoCapture; }, 1000);
  EXPECT_EQ(dlg->captureMode(), frmKeys::NoCapture) << "the dialog still polls a core that is gone";
  const qsizetype lines = logText().count(u'\n');
  key(Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(dlg->tabKeys()->currentIndex(), frmKeys::TabFavourites);
  key(Qt::Key_Escape);
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_LT(logText().count(u'\n') - lines, 20) << "a log line per tick";
}

TEST_F(KeysCoreGone, DuringTheSave) {
  open();
  deleteUsersKey();
  ASSERT_TRUE(dlg->dirty());
  kill();
  EXPECT_TRUE(ok());
  EXPECT_TRUE(logText().contains(S("!!! ERROR"))) << str(logText());
  EXPECT_EQ(userFile("DEFAULT.KBD"), QLatin1String(kUserDefault));
}

}  // namespace
}  // namespace jex::test
