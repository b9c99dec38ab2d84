// cMenu as a blind user meets it: menus built from menu files (the shipped ones too) and from
// lists, popped up and driven by QTest keys (arrows, letters, Enter, Escape), every entry heard
// as the core's reader composes what it hears over the accessibility bus.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "app/scripting/cjexstates.h"
#include "automation/dispatchable.h"
#include "corvane/reader/utterance.h"
#include "dialogs/keys/cmenu.h"
#include "tests/support/fakecore.h"
#include "tests/support/text.h"
#include "widgets/menukeys.h"

namespace jex {
namespace {

// The menu as text: "ID caption [key]" per entry, "-" for separators, a submenu in braces.
QString dump(const QMenu* menu) {
  QStringList parts;
  for (const QAction* a : menu->actions()) {
    const QString id = a->data().toString();
    if (a->isSeparator()) {
      parts << id + S(" -");
      continue;
    }
    QString part = id + u' ' + a->text();
    if (a->menu()) part += S(" {") + dump(a->menu()) + u'}';
    parts << part;
  }
  return parts.join(S("; "));
}

// What the reader says for the entry the keyboard is on in the open menu, composed from its
// accessible interface as the reader composes what it reads over the accessibility bus.
QString heardNow() {
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  if (!menu || !menu->activeAction()) return {};
  QAccessibleInterface* list = QAccessible::queryAccessibleInterface(menu);
  QAccessibleInterface* item = list ? list->child(int(menu->actions().indexOf(menu->activeAction()))) : nullptr;
  if (!item) return S("<no accessible entry>");
  corvane::reader::AccessibleInfo info;
  info.kind = item->role() == QAccessible::MenuItem ? corvane::reader::Kind::MenuItem : corvane::reader::Kind::Other;
  info.name = item->text(QAccessible::Name);
  info.checkable = item->state().checkable;
  info.checked = item->state().checked;
  return corvane::reader::compose(info, false, false).text;
}

class MenuTest : public ::testing::Test, public fake::CoreFixture {
 protected:
  QString file(const char* text) {
    const QString path = appPath() + S("menu.ini");
    writeFile(path, S(text).replace(S("\n"), S("\r\n")).toLatin1());  // Windows-1252, as the language files
    return path;
  }

  // Pops the menu up and types keys into whichever menu is open: a key name ("Down", "Return",
  // "Escape", "Right", "Left", "Up") or a letter. What is heard after each key that moves is
  // kept in heard. A menu still open after the keys is closed and reported.
  QString drive(cMenu& menu, const QStringList& keys, bool returnKey = true, qint32 flags = cMenu::kReturnCmd) {
    static const QHash<QString, Qt::Key> names{{S("Down"), Qt::Key_Down},     {S("Up"), Qt::Key_Up},
                                               {S("Return"), Qt::Key_Return}, {S("Escape"), Qt::Key_Escape},
                                               {S("Right"), Qt::Key_Right},   {S("Left"), Qt::Key_Left}};
    heard.clear();
    auto done = std::make_shared<bool>(false);
    auto next = std::make_shared<std::function<void(int)>>();
    *next = [this, keys, done, weak = std::weak_ptr(next)](int i) {
      QWidget* popup = QApplication::activePopupWidget();
      if (*done || !popup) return;
      if (i == keys.size()) {
        ADD_FAILURE() << "menu still open after " << keys.join(u' ').toStdString();
        while (QWidget* p = QApplication::activePopupWidget()) p->close();
        return;
      }
      if (names.contains(keys[i])) QTest::keyClick(popup, names.value(keys[i]));
      else QTest::keyClick(popup, keys[i].at(0).toLatin1());
      const QString now = heardNow();
      if (!now.isEmpty() && (heard.isEmpty() || heard.last() != now)) heard << now;
      QTimer::singleShot(0, [weak, i] {
        if (auto n = weak.lock()) (*n)(i + 1);
      });
    };
    QTimer::singleShot(0, [next] { (*next)(0); });
    const QString chosen = menu.PopUp(nullptr, flags, returnKey, 10, 10);
    *done = true;
    return chosen;
  }

  QStringList heard;
  cJexStates states{root};
};

constexpr const char* kMenu =
    "[Menu]\n"
    "SETSPTOGGLE=&Speech\n"
    "{Braille}=&Braille\n"
    "-=-\n"
    "DLGSPEECH=Voices...\n"
    "DLGKEYECHO=&Key echo\n"
    "HELP=Help\n"
    "HELPTOO=Hints\n"
    "TOGGMEN=Window\n"
    "[Braille]\n"
    "CHGBRL68=&6 or 8 dots\n"
    "GRADE2TOGGLE=&Grade 2\n";

TEST_F(MenuTest, AFileGivesEntriesSeparatorsSubmenusAndListsWithIdsInOrderAndBadLinesAreLoggedAndLeftOut) {
  cMenu menu([this](const QString& f) { return states.list(f); });
  menu.AppendFromFile(file("[Menu]\n"
                           "SETSPTOGGLE=&Speech\n"
                           "{Braille}=&Braille\n"
                           "-=-\n"
                           "x=--- \n"
                           "%Get_SpeechSets%=Sets\n"
                           "{Nowhere}=Empty\n"
                           "{Menu}=Again\n"
                           "%Get_Nothing%=Unknown\n"
                           "NOCAPTION=\n"
                           "SETSPTOGGLE=Twice\n"
                           "DLGSPEECH=Stimmen für alle\n"
                           "[Braille]\n"
                           "CHGBRL68=&6 or 8 dots\n"
                           "{Inner}=Inner\n"
                           "[Inner]\n"
                           "{Braille}=Round\n"),
                      S("Menu"));
  EXPECT_EQ(dump(menu.menu()), S("1 &Speech; 2 &Braille {3 &6 or 8 dots; 4 Inner {5 Round {}}}; 6 -; 7 -; 8 Sets {}; "
                                 "9 Empty {}; 10 Again {}; 11 Unknown {}; 12 Twice; 13 Stimmen für alle"));
  EXPECT_EQ(menu.Count(), 13);
  EXPECT_EQ(menu.ItemByKey(S("setsptoggle"))->ID(), 1);  // the first of a key wins
  EXPECT_EQ(menu.ItemByID(12)->Key(), S("SETSPTOGGLE"));
  EXPECT_EQ(menu.ItemByID(3)->Menu(), menu.ItemByID(2)->SubMenu());
  EXPECT_EQ(menu.ItemByKey(S("NOCAPTION")), nullptr);
  EXPECT_EQ(menu.ItemByID(14), nullptr);
  const QString log = logText();
  for (const char* line : {"section [Braille] includes itself", "section [Menu] includes itself",
                           "no section [Nowhere]", "no list function %Get_Nothing%",
                           "entry without caption left out: [Menu] NOCAPTION", "key SETSPTOGGLE is already entry 1"})
    EXPECT_TRUE(log.contains(S(line))) << line;

  // A missing file or section adds nothing.
  menu.AppendFromFile(appPath() + S("none.ini"), S("Menu"));
  menu.AppendFromFile(file("[Other]\nA=B\n"), S("Menu"));
  EXPECT_EQ(menu.Count(), 13);
}

TEST_F(MenuTest, ListsFromTheStateObjectAndFromCollectionsBecomeEntries) {
  // Speech set 3 of the core is stored, so the state object lists it.
  Obj set = root.obj(S("SpeechProfiles")).itemObj(3);
  set.call(S("GetActValues"));
  set.set(S("Name"), S("Büro"));
  set.call(S("Save"));
  EXPECT_EQ(states.list(S("get_speechsets")), std::optional<QStringList>(QStringList{S("USESPSET3=Büro")}));
  EXPECT_EQ(states.list(S("Get_MONWINTOGGLE")), std::nullopt);

  cMenu menu([this](const QString& f) { return states.list(f); });
  menu.AppendFromFile(file("[M]\n%Get_SpeechSets%=Sets\n"), S("M"));
  EXPECT_EQ(menu.ItemByKey(S("USESPSET3"))->Caption(), S("Büro"));

  auto col = std::make_shared<automation::Collection>();
  Obj colObj(col);
  colObj.call(S("Add"), {S("A=Alpha")});  // filled late-bound, as the core fills it
  colObj.call(S("Add"), {S("-=-"), S("sep")});
  colObj.call(S("Add"), {S("B=Beta=2")});
  colObj.call(S("Add"), {S("no caption")});
  menu.AppendFromCollection(colObj, menu.ItemByID(1));
  menu.AppendFromCollection(QStringList{S("C=Gamma")});
  EXPECT_EQ(dump(menu.menu()), S("1 Sets {2 Büro; 3 Alpha; 4 -; 5 Beta=2}; 6 Gamma"));
  EXPECT_TRUE(logText().contains(S("entry without caption left out: no caption")));
  menu.AppendFromCollection(Obj());  // nothing to read: logged, nothing added
  EXPECT_EQ(menu.Count(), 6);
}

struct KeyCase {
  const char* keys;
  const char* chosen;
};

class MenuKeys : public MenuTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(MenuKeys, ChoosesAsTheKeysSay) {
  cMenu menu;
  menu.AppendFromFile(file(kMenu), S("Menu"));
  menu.ItemByKey(S("TOGGMEN"))->setEnabled(false);
  const QStringList keys = S(GetParam().keys).split(u' ', Qt::SkipEmptyParts);
  EXPECT_EQ(drive(menu, keys), S(GetParam().chosen));
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    ArrowsLettersEnterEscape, MenuKeys,
    ::testing::Values(KeyCase{"Down Return", "SETSPTOGGLE"}, KeyCase{"Down Down Down Return", "DLGSPEECH"},
                      KeyCase{"Up Return", "HELPTOO"},  // round to the last enabled entry
                      KeyCase{"Escape", ""}, KeyCase{"Down Down Right Escape Escape Escape", ""},
                      KeyCase{"s", "SETSPTOGGLE"},  // an access key chooses at once
                      KeyCase{"k", "DLGKEYECHO"}, KeyCase{"v", "DLGSPEECH"},
                      KeyCase{"h h Return", "HELPTOO"},  // two entries begin with H: the letter moves on
                      KeyCase{"h h h Return", "HELP"}, KeyCase{"h Return", "HELP"},
                      KeyCase{"w x Escape", ""},       // a disabled entry and an unknown letter do nothing
                      KeyCase{"b g", "GRADE2TOGGLE"},  // a submenu opens by its letter
                      KeyCase{"Down Down Right Down Return", "GRADE2TOGGLE"}, KeyCase{"b Escape Escape", ""}),
    [](const auto& info) { return std::to_string(info.index); });

TEST_F(MenuTest, EachEntryIsHeardWithItsNameAndItsCheckState) {
  cMenu menu;
  menu.AppendFromFile(file(kMenu), S("Menu"));
  menu.ItemByKey(S("SETSPTOGGLE"))->setChecked(true);
  menu.ItemByKey(S("GRADE2TOGGLE"))->setChecked(false);
  EXPECT_EQ(drive(menu, {S("Down"), S("Down"), S("Right"), S("Down"), S("Escape"), S("Escape")}), QString());
  EXPECT_EQ(heard, (QStringList{S("Speech, menu item, checked"), S("Braille, menu item"), S("6 or 8 dots, menu item"),
                                S("Grade 2, menu item, not checked"), S("Braille, menu item")}));
  // Choosing a checked entry leaves its state to the owner.
  EXPECT_EQ(drive(menu, {S("s")}), S("SETSPTOGGLE"));
  EXPECT_TRUE(menu.ItemByID(1)->Action()->isChecked());
  EXPECT_TRUE(menu.ItemByID(1)->Checked());
}

TEST_F(MenuTest, StateAndCaptionAreWrittenThroughAndPopUpAnswersAsItsFlagsSay) {
  cMenu menu;
  menu.AppendFromFile(file(kMenu), S("Menu"));
  cMenuItem* voices = menu.ItemByKey(S("DLGSPEECH"));
  voices->setCaption(S("Stimmen\t(CAP+S)"));
  voices->setEnabled(false);
  voices->setChecked(true);
  EXPECT_EQ(voices->Action()->text(), S("Stimmen\t(CAP+S)"));
  EXPECT_FALSE(voices->Action()->isEnabled());
  EXPECT_TRUE(voices->Action()->isChecked());
  voices->setEnabled(true);
  EXPECT_EQ(drive(menu, {S("Down"), S("Down"), S("Down"), S("Return")}, false), S("6"));  // the ID as text

  // Without the return flag the choice goes to Chosen and PopUp answers "".
  QString chosen;
  menu.Chosen = [&](qint32 id, const QString& key) { chosen = QString::number(id) + u' ' + key; };
  EXPECT_EQ(drive(menu, {S("k")}, true, 0), QString());
  EXPECT_EQ(chosen, S("7 DLGKEYECHO"));

  // The submenu alone.
  EXPECT_EQ(menu.PopSub(menu.ItemByID(1), nullptr, cMenu::kReturnCmd, true, 1, 1), QString());  // has none
  QTimer::singleShot(0, [] { QTest::keyClick(QApplication::activePopupWidget(), 'g'); });
  EXPECT_EQ(menu.PopSub(menu.ItemByID(2), nullptr, cMenu::kReturnCmd, true, 1, 1), S("GRADE2TOGGLE"));
}

struct AlignCase {
  qint32 flags;
  int dx, dy;  // where the point lies in the menu: 0 left/top, 1 middle, 2 right/bottom
};
class MenuAlignment : public MenuTest, public ::testing::WithParamInterface<AlignCase> {};

TEST_P(MenuAlignment, TheMenuStandsAtThePointAsTheAlignmentFlagsSay) {
  cMenu menu;
  menu.AppendFromFile(file(kMenu), S("Menu"));
  const QPoint at(300, 250);
  QCursor::setPos(at);
  QRect shown;
  QTimer::singleShot(0, [&] {
    shown = QApplication::activePopupWidget()->geometry();
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
  });
  const bool atPointer = GetParam().flags < 0;
  const qint32 flags = atPointer ? cMenu::kReturnCmd : GetParam().flags;
  EXPECT_EQ(menu.PopUp(nullptr, flags, true, atPointer ? -1 : at.x(), atPointer ? -1 : at.y()), QString());
  EXPECT_NEAR(at.x(), shown.left() + GetParam().dx * shown.width() / 2, 2);
  EXPECT_NEAR(at.y(), shown.top() + GetParam().dy * shown.height() / 2, 2);
}

INSTANTIATE_TEST_SUITE_P(Flags, MenuAlignment,
                         ::testing::Values(AlignCase{-1, 0, 0}, AlignCase{cMenu::kReturnCmd, 0, 0},
                                           AlignCase{cMenu::kCenterAlign, 1, 0}, AlignCase{cMenu::kRightAlign, 2, 0},
                                           AlignCase{cMenu::kVCenterAlign, 0, 1},
                                           AlignCase{cMenu::kRightAlign | cMenu::kBottomAlign, 2, 2}));

TEST_F(MenuTest, DestroyAndClearReleaseEveryMenuTheyMadeAndStartTheIdsAgain) {
  auto menu = std::make_unique<cMenu>();
  menu->AppendFromFile(file(kMenu), S("Menu"));
  const QString main = QString::number(reinterpret_cast<quintptr>(menu->menu()), 16).toUpper();
  const QString sub = QString::number(reinterpret_cast<quintptr>(menu->ItemByID(2)->SubMenu()), 16).toUpper();
  menu->Clear();
  EXPECT_EQ(menu->Count(), 0);
  EXPECT_EQ(menu->AddItem(S("New"), S("N"))->ID(), 1);
  menu->Tag = S("NOTEPAD");
  menu.reset();
  const QStringList lines = logLines();
  for (const QString& line :
       {S("CreatePopupMenu: ") + main, S("CreatePopupMenu: ") + sub, S("Destroy: ") + sub, S("Destroy: ") + main})
    EXPECT_EQ(lines.count(line), 1) << line.toStdString();
  EXPECT_EQ(lines.filter(S("CreatePopupMenu: ")).size(), lines.filter(S("Destroy: ")).size());
}

// The shipped quick menus: every toggle is one the state object knows, the speech sets fill their
// submenu, and every entry of every menu answers to a letter of its own.
class ShippedMenu : public MenuTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ShippedMenu, HasTheTogglesTheListAndALetterForEveryEntry) {
  const QString path = S(JEX_SOURCE_DIR "/data/LNG/") + S(GetParam()) + S("/QMenu.ini");
  QFile raw(path);
  ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
  const QByteArray bytes = raw.readAll();
  EXPECT_EQ(bytes.count("\n"), bytes.count("\r\n")) << "CR LF";
  cMenu menu([this](const QString& f) { return states.list(f); });
  menu.AppendFromFile(path, S("Menu"));
  EXPECT_GE(menu.Count(), 15);
  int toggles = 0;
  for (cMenuItem* item : menu.Items()) toggles += states.stateOf(item->Key()).has_value();
  EXPECT_EQ(toggles, 8);
  for (const char* dialog : {"DLGSPEECH", "DLGKEYECHO", "DLGBRAILLEOPT", "SHOWTASKLIST"})
    EXPECT_NE(menu.ItemByKey(S(dialog)), nullptr) << dialog;
  std::function<void(const QMenu*)> letters = [&](const QMenu* m) {
    QSet<QChar> seen;
    for (const QAction* a : m->actions()) {
      if (a->isSeparator()) continue;
      const QChar c = ui::entryLetter(a);
      EXPECT_FALSE(c.isNull() || seen.contains(c)) << a->text().toStdString();
      seen << c;
      if (a->menu()) letters(a->menu());
    }
  };
  letters(menu.menu());
  EXPECT_FALSE(logText().contains(S("!!! ERROR"))) << logText().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Languages, ShippedMenu, ::testing::Values("1031", "1033"));

}  // namespace
}  // namespace jex
