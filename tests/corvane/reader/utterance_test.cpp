// What the reader says, from stand-in accessible objects (no bus).
#include <gtest/gtest.h>

// The stand-in objects and events name only the fields they need; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include "corvane/reader/readerevent.h"
#include "corvane/reader/screenreader.h"
#include "corvane/reader/utterance.h"

namespace corvane::reader {
namespace {

struct Case {
  const char* what;
  AccessibleInfo info;  // kind, name, labelled by, value, description, checkable, checked
  bool german;
  bool tips;
  QString expected;
  bool unnamed;
  QString logged = {};  // what the output gives, where it is not expected
};

class ComposeTest : public ::testing::TestWithParam<Case> {};

TEST_P(ComposeTest, SaysLabelRoleValueDescriptionInThatOrder) {
  const Case& c = GetParam();
  const Composed got = compose(c.info, c.german, c.tips);
  EXPECT_EQ(got.text, c.expected) << c.what;
  EXPECT_EQ(got.unnamed, c.unnamed) << c.what;
  EXPECT_EQ(got.logged, c.logged.isEmpty() ? c.expected : c.logged) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ComposeTest,
    ::testing::Values(
        Case{"button, name is the label", {Kind::Button, "OK"}, true, true, "OK, Schalter", false},
        Case{"drop-down: the name is its item, the label comes by relation",
             {Kind::ComboBox, "Deutsch", "Sprache:", "Deutsch"},
             true,
             true,
             "Sprache:, Auswahlliste, Deutsch",
             false},
        Case{"text field labelled by its buddy",
             {Kind::Edit, "", "Name", "Anna"},
             false,
             true,
             "Name, edit, Anna",
             false},
        Case{"a field the user types into: its text is heard, the output gives its length",
             {.kind = Kind::Edit, .labelledBy = "Name", .value = "Anna", .editable = true},
             false,
             true,
             "Name, edit, Anna",
             false,
             "Name, edit, [typed, 4 characters]"},
        Case{"an editable drop-down list likewise",
             {.kind = Kind::ComboBox, .labelledBy = "Satz:", .value = "Mein Satz", .editable = true},
             true,
             true,
             "Satz:, Auswahlliste, Mein Satz",
             false,
             "Satz:, Auswahlliste, [typed, 9 characters]"},
        Case{"drop-down without label relation: its name is only its value",
             {Kind::ComboBox, "Deutsch", {}, "Deutsch"},
             false,
             true,
             "combo box, Deutsch",
             true},
        Case{"control without name", {Kind::Button, ""}, false, true, "button", true},
        Case{"check box, checked",
             {Kind::CheckBox, "Töne", {}, {}, {}, true, true},
             true,
             true,
             "Töne, Kontrollfeld, aktiviert",
             false},
        Case{"radio button, not checked",
             {Kind::RadioButton, "Nein", {}, {}, {}, true, false},
             false,
             true,
             "Nein, radio button, not checked",
             false},
        Case{"spin box number", {Kind::SpinBox, "", "Tempo", "42"}, true, true, "Tempo, Drehfeld, 42", false},
        Case{"description with tool tips on",
             {Kind::Button, "Hilfe", {}, {}, "Öffnet die Hilfe"},
             true,
             true,
             "Hilfe, Schalter, Öffnet die Hilfe",
             false},
        Case{"description left out with tool tips off",
             {Kind::Button, "Hilfe", {}, {}, "Öffnet die Hilfe"},
             true,
             false,
             "Hilfe, Schalter",
             false},
        Case{"a password is never read",
             {Kind::PasswordEdit, "", "Kennwort", "geheim"},
             true,
             true,
             "Kennwort, Kennwortfeld",
             false},
        Case{"menu entry: check state, then its place",
             {Kind::MenuItem, "Sprache", {}, {}, {}, true, true, 3, 7},
             true,
             true,
             "Sprache, Menüeintrag, aktiviert, 3 von 7",
             false},
        Case{"entry opening a submenu",
             {Kind::MenuItem, "Braille", {}, {}, {}, false, false, 2, 7, true},
             false,
             true,
             "Braille, submenu, 2 of 7",
             false},
        Case{"first entry heard in a submenu names it",
             {Kind::MenuItem, "6 oder 8 Punkte", {}, {}, {}, false, false, 1, 2, false, "Braille"},
             true,
             true,
             "Braille, 6 oder 8 Punkte, Menüeintrag, 1 von 2",
             false},
        Case{"an unknown place is left out",
             {Kind::MenuItem, "Hilfe", {}, {}, {}, false, false, 4, 3},
             true,
             true,
             "Hilfe, Menüeintrag",
             false}));

TEST(ComposeLimits, AHugeNameIsCutAndEveryRoleHasWordsInBothLanguages) {
  const Composed c = compose({Kind::Button, QString(100 * 1024, u'x')}, true, true);
  EXPECT_EQ(c.text, QString(kMaxPart, u'x') + QStringLiteral(", Schalter"));
  for (int k = int(Kind::Button); k <= int(Kind::Group); ++k) {
    EXPECT_FALSE(roleWord(Kind(k), true).isEmpty()) << k;
    EXPECT_FALSE(roleWord(Kind(k), false).isEmpty()) << k;
  }
  EXPECT_TRUE(isGermanLocale(QStringLiteral("2055")));  // Swiss German
  EXPECT_FALSE(isGermanLocale(QStringLiteral("1033")));
}

TEST(Coalescing, ABurstLeavesOnlyTheLatestAndAWindowTitleRidesWithTheFocus) {
  LatestEvent box;
  EXPECT_TRUE(box.put({ReaderEvent::Window, {}, QStringLiteral("Halda - Hauptmenü")}));  // the taker is woken once
  for (int i = 1; i <= 50; ++i) EXPECT_FALSE(box.put({ReaderEvent::Focus, {Kind::Button, QString::number(i)}}));
  const auto taken = box.take();
  ASSERT_TRUE(taken.has_value());
  EXPECT_EQ(taken->info.name, QStringLiteral("50"));
  EXPECT_EQ(taken->windowTitle, QStringLiteral("Halda - Hauptmenü"));
  EXPECT_FALSE(box.take().has_value());
  EXPECT_TRUE(box.put(ReaderEvent()));  // empty again: the next one wakes the taker
  (void)box.take();
  // A question box's text rides with its title.
  ReaderEvent window{ReaderEvent::Window, {}, QStringLiteral("Frage")};
  window.windowText = QStringLiteral("Datei speichern?");
  box.put(window);
  box.put({ReaderEvent::Focus, {Kind::Button, QStringLiteral("Ja")}});
  EXPECT_EQ(box.take()->windowText, QStringLiteral("Datei speichern?"));
}

TEST(Coalescing, EveryEditIsKeptInOrderAndWhatFollowsWaitsBehindIt) {
  LatestEvent box;
  const auto edit = [](const char* typed) {
    ReaderEvent e{ReaderEvent::Edited};
    e.edit.inserted = QString::fromUtf8(typed);
    return e;
  };
  box.put({ReaderEvent::Focus, {Kind::Edit, QStringLiteral("Name")}});
  box.put(edit("x"));
  box.put(edit("y"));
  box.put({ReaderEvent::Caret});
  box.put({ReaderEvent::Focus, {Kind::Button, QStringLiteral("OK")}});  // overtakes the caret, not the edits
  QStringList taken;
  while (const auto e = box.take()) taken << (e->type == ReaderEvent::Edited ? e->edit.inserted : e->info.name);
  EXPECT_EQ(taken,
            (QStringList{QStringLiteral("Name"), QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("OK")}));
  // A drop-down list's field filled by choosing an entry, the entry's focus right behind it: no typing.
  EXPECT_TRUE(box.put(edit("(UserApp)")));
  EXPECT_FALSE(box.put({ReaderEvent::Focus, {Kind::ListItem, QStringLiteral("(UserApp)")}}));
  const auto focus = box.take();
  ASSERT_TRUE(focus.has_value());
  EXPECT_EQ(focus->type, ReaderEvent::Focus);
  EXPECT_FALSE(box.take().has_value());
}

// A window is announced by its title, a box with its text, and then the focused control.
struct BoxCase {
  ReaderEvent::Type type;
  const char* title;
  const char* text;
  const char* said;
};
class BoxText : public ::testing::TestWithParam<BoxCase> {};

TEST_P(BoxText, TitleThenTextThenTheFocusedButton) {
  const BoxCase& c = GetParam();
  ReaderEvent e{c.type, {Kind::Button, QStringLiteral("Ja")}, QString::fromUtf8(c.title)};
  e.windowText = QString::fromUtf8(c.text);
  QString last;
  EXPECT_EQ(Speaking::textFor(e, ReaderSettings(), last), QString::fromUtf8(c.said));
}

INSTANTIATE_TEST_SUITE_P(
    Windows, BoxText,
    ::testing::Values(BoxCase{ReaderEvent::Focus, "Halda 4.10", "wollen Sie Änderungen speichern ?",
                              "Halda 4.10, wollen Sie Änderungen speichern ?, Ja, Schalter"},
                      BoxCase{ReaderEvent::Focus, "Frage", "Zeile eins\n  Zeile zwei",
                              "Frage, Zeile eins Zeile zwei, Ja, Schalter"},
                      BoxCase{ReaderEvent::Focus, "Optionen", "", "Optionen, Ja, Schalter"},  // no box: no text
                      BoxCase{ReaderEvent::Focus, "", "ohne Titel", "Ja, Schalter"},          // no window came
                      BoxCase{ReaderEvent::Window, "Frage", "Datei speichern?", "Frage, Datei speichern?"}));

// READState: what a window coming to the front says before its focus (0 its focus alone).
struct ReadStateCase {
  int readState;
  ReaderEvent::Type type;
  const char* said;
};
class ReadState : public ::testing::TestWithParam<ReadStateCase> {};

TEST_P(ReadState, DecidesWhatTheWindowSays) {
  const ReadStateCase& c = GetParam();
  ReaderEvent e{c.type, {Kind::Button, QStringLiteral("Ja")}, QStringLiteral("Frage")};
  e.windowText = QStringLiteral("Datei speichern?");
  ReaderSettings s;
  s.readState = c.readState;
  QString last;
  EXPECT_EQ(Speaking::textFor(e, s, last), QString::fromUtf8(c.said));
}

INSTANTIATE_TEST_SUITE_P(
    Values, ReadState,
    ::testing::Values(ReadStateCase{0, ReaderEvent::Focus, "Ja, Schalter"}, ReadStateCase{0, ReaderEvent::Window, ""},
                      ReadStateCase{1, ReaderEvent::Focus, "Frage, Datei speichern?, Ja, Schalter"},
                      ReadStateCase{2, ReaderEvent::Focus, "Frage, Datei speichern?, Ja, Schalter"},
                      ReadStateCase{4, ReaderEvent::Window, "Frage, Datei speichern?"}));

TEST(ReaderText, CaretMovesFollowCharEchoAndRepeatedValuesStaySilent) {
  ReaderSettings s;
  QString last;
  ReaderEvent caret{ReaderEvent::Caret, {}, {}, CaretMove{4, 5, QStringLiteral("b"), QStringLiteral("abcd b")}};
  EXPECT_EQ(Speaking::textFor(caret, s, last), QStringLiteral("b"));
  s.charEcho = 0;  // switched off (the help windows do): a move by one is silent
  EXPECT_EQ(Speaking::textFor(caret, s, last), QString());
  caret.caret.from = 0;  // a longer move reads the line, echo or not
  EXPECT_EQ(Speaking::textFor(caret, s, last), QStringLiteral("abcd b"));
  s.charEcho = 1;
  caret.caret = CaretMove{2, 3, QStringLiteral(" "), QString()};
  EXPECT_EQ(Speaking::textFor(caret, s, last), QStringLiteral("Leerzeichen"));

  const ReaderEvent focus{
      ReaderEvent::Focus, {Kind::CheckBox, "Töne", {}, {}, {}, true, false}, QStringLiteral("Optionen")};
  bool unnamed = true;
  EXPECT_EQ(Speaking::textFor(focus, s, last, &unnamed),
            QStringLiteral("Optionen, Töne, Kontrollfeld, nicht aktiviert"));
  EXPECT_FALSE(unnamed);
  ReaderEvent changed{ReaderEvent::Changed, {Kind::CheckBox, "Töne", {}, {}, {}, true, true}};
  EXPECT_EQ(Speaking::textFor(changed, s, last), QStringLiteral("aktiviert"));
  EXPECT_EQ(Speaking::textFor(changed, s, last), QString());  // the same change reported twice
  changed.info = {Kind::Edit, {}, QStringLiteral("Name"), QStringLiteral("Ann")};
  EXPECT_EQ(Speaking::textFor(changed, s, last), QString());  // typing is heard by the echo
}

}  // namespace
}  // namespace corvane::reader
