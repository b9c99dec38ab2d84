// The core's key echo: what each setting makes it say for typed keys, and its nine values as
// the KeyEcho object serves, checks, stores and reloads them.
#include <gtest/gtest.h>

#include "corvane/engine/keyecho.h"
#include "tests/corvane/corvanetest.h"
#include "tests/support/errorof.h"

namespace {

using corvane::KeyEcho;
using corvane::testing::words;

struct EchoCase {
  const char* name;
  QList<std::pair<int, int>> settings;  // member, value
  const char* keys;                     // as ":type" takes them
  QStringList said;                     // what the echo speaks
  const char* language = "1031";
};

class KeyEchoTest : public ::testing::Test, public corvane::testing::RootFixture {
 protected:
  KeyEcho& echo() { return core.keyEcho(); }
  // What the echo spoke, in order.
  QStringList echoes() const {
    QStringList out;
    for (int i = 0; i + 1 < core.spoken.size(); i += 2)
      if (core.spoken[i + 1].toInt() == corvane::kEchoSource) out << core.spoken[i].toString();
    return out;
  }
  void ini(const char* key, const char* value) { core.store.setValue(S("KeyEcho"), S(key), S(value)); }
  QString stored(const char* key) { return core.store.value(S("KeyEcho"), S(key)); }
};

class EchoTable : public KeyEchoTest, public ::testing::WithParamInterface<EchoCase> {};

TEST_P(EchoTable, SaysWhatTheSettingsAskFor) {
  const EchoCase& c = GetParam();
  core.store.setValue(corvane::ini::General, corvane::ini::DefaultLng, S(c.language));
  for (const auto& [member, value] : c.settings) echo().setValue(member, value);
  echo().type(S(c.keys));
  EXPECT_EQ(echoes(), c.said);
  for (int i = 1; i < core.spoken.size(); i += 2) EXPECT_EQ(core.spoken[i].toInt(), corvane::kEchoSource);
}

// What was typed is spoken, but the ECHO lines give its length only; keys are named as ever.
TEST_F(KeyEchoTest, TheOutputGivesTypedTextByItsLengthOnly) {
  echo().setValue(KeyEcho::CharEcho, 1);
  echo().setValue(KeyEcho::CommandEcho, 1);
  echo().type(S("Geheim42 x{Backspace}{Ctrl+C}"));
  EXPECT_TRUE(echoes().contains(S("Geheim42"))) << echoes().join(u'|').toStdString();
  const QStringList lines = core.reports.filter(QRegularExpression(S("^ECHO: ")));
  EXPECT_EQ(lines.size(), echoes().size());
  EXPECT_TRUE(lines.contains(S("ECHO: [typed, 8 characters]"))) << lines.join(u'|').toStdString();
  EXPECT_EQ(lines.last(), S("ECHO: Strg+C"));
  for (const QString& l : lines)
    EXPECT_FALSE(l.contains(S("Geheim")) || l.contains(QRegularExpression(S("ECHO: [a-z0-9x]$")))) << l.toStdString();
}

// A value stepped by an arrow key replaces the field's whole text: that is no typing and is shown
// as it is; pasting over part of a text is and is not. In an editable drop-down list's field a
// whole text replaced (a completion of what was typed) is not shown either.
TEST_F(KeyEchoTest, AWholeNewValueIsShownAndAPartlyReplacedTextIsNot) {
  echo().setValue(KeyEcho::CharEcho, 1);
  echo().edited({S("19"), 0, S("20"), S("19"), false});
  echo().edited({S("Hallo Welt"), 6, S("Geheim"), S("Welt"), false});
  echo().edited({S("Schrift"), 0, S("Schrift ansagen"), S("Schrift"), false, true});
  const QStringList lines = core.reports.filter(QRegularExpression(S("^ECHO: ")));
  EXPECT_EQ(lines, (QStringList{S("ECHO: 20"), S("ECHO: [typed, 6 characters]"), S("ECHO: [typed, 15 characters]")}));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, EchoTable,
    ::testing::Values(
        EchoCase{"characters", {{KeyEcho::CharEcho, 3}}, "ab c", {"a", "b", "Leer", "c"}},
        EchoCase{"words", {{KeyEcho::CharEcho, 2}}, "Hallo Welt.", {"Hallo", "Welt"}},
        EchoCase{"both", {{KeyEcho::CharEcho, 1}}, "ab.", {"a", "b", "ab Punkt"}},
        EchoCase{"noCharacters", {{KeyEcho::CharEcho, 0}}, "ab {F5}", {"F5"}},
        EchoCase{"backspaceDeleted", {{KeyEcho::CharEcho, 0}}, "abc{Backspace}{Backspace}", {"c", "b"}},
        EchoCase{"backspaceLeftOfCaret",
                 {{KeyEcho::CharEcho, 0}, {KeyEcho::BackSpaceEcho, 1}},
                 "abc{Backspace}{Backspace}{Backspace}",
                 {"b", "a"}},
        EchoCase{
            "backspaceAfterMove", {{KeyEcho::CharEcho, 0}, {KeyEcho::CursorEcho, 0}}, "abc{Left}{Backspace}", {"b"}},
        EchoCase{"groupsOn",
                 {{KeyEcho::CharEcho, 0}},
                 "{F12}{Left}{PageDown}{Enter}{Esc}{Delete}{Ctrl+C}{Alt+F4}{CapsLock}{CapsLock}{ScrollLock}",
                 {"F12", "Links", "Bild ab", "Eingabe", "Escape", "Entfernen", "Strg+C", "Alt+F4", "Feststelltaste an",
                  "Feststelltaste aus", "Rollen an"}},
        EchoCase{"groupsOff",
                 {{KeyEcho::CharEcho, 0},
                  {KeyEcho::FunctionEcho, 0},
                  {KeyEcho::CursorEcho, 0},
                  {KeyEcho::CommandEcho, 0},
                  {KeyEcho::ToggleEcho, 0},
                  {KeyEcho::LayMessage, 0}},
                 "{F12}{Left}{Enter}{Ctrl+C}{CapsLock}{NumLock}",
                 {}},
        EchoCase{"numLockLayer",
                 {{KeyEcho::ToggleEcho, 0}},
                 "{NumLock}{NumLock}",
                 {"Ziffernblock Cursor", "Ziffernblock Zahlen"}},
        EchoCase{"numLockBoth", {}, "{NumLock}", {"Num aus Ziffernblock Cursor"}},
        EchoCase{"echoOff", {{KeyEcho::KeyEchoOn, 0}}, "ab {F5}{Backspace}{CapsLock}", {}},
        EchoCase{"english",
                 {{KeyEcho::CharEcho, 1}},
                 "a {Home}{Ctrl+Shift+S}{CapsLock}",
                 {"a", "a", "Home", "Ctrl+Shift+S", "Caps lock on"},
                 "1033"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(KeyEchoTest, BadStoredValuesGiveTheirDefaultsWithALogLine) {
  ini("CharEcho", "7");
  ini("EchoMode", "x");
  ini("CursorEcho", "0");
  echo().load();
  EXPECT_EQ(echo().value(KeyEcho::CharEcho), 1);
  EXPECT_EQ(echo().value(KeyEcho::EchoMode), 0);
  EXPECT_EQ(echo().value(KeyEcho::CursorEcho), 0);
  EXPECT_TRUE(logged(S("[KeyEcho] CharEcho=7 is not 0 to 3; 1 taken")));
  EXPECT_TRUE(logged(S("[KeyEcho] EchoMode=x is not 0 to 1; 0 taken")));
}

TEST_F(KeyEchoTest, PutsAreLiveCheckedAndStoredOnlyBySaveValues) {
  ini("Other", "kept");
  jex::Obj o = root.obj(S("KeyEcho"));
  o.set(S("CharEcho"), 2);
  o.set(S("layMessage"), 0);
  EXPECT_EQ(o.i32(S("CharEcho")), 2);
  EXPECT_EQ(stored("CharEcho"), QString());
  for (const auto& [member, value] : {std::pair{"CharEcho", 4}, {"EchoMode", -1}, {"KeyEcho", 2}})
    EXPECT_EQ(jex::testing::errorOf([&] { o.set(S(member), value); }), jex::err::InvalidCall) << member;
  EXPECT_EQ(o.i32(S("CharEcho")), 2);

  o.call(S("SaveValues"));
  EXPECT_EQ(stored("CharEcho"), S("2"));
  EXPECT_EQ(stored("LayMessage"), S("0"));
  EXPECT_EQ(stored("Other"), S("kept"));

  o.set(S("CharEcho"), 3);
  o.call(S("LoadValues"));
  EXPECT_EQ(o.i32(S("CharEcho")), 2);
}

TEST_F(KeyEchoTest, TryKeyEchoesOneKeyInTheGivenFieldWithTheLiveValues) {
  jex::Obj o = root.obj(S("KeyEcho"));
  o.set(S("CharEcho"), 2);
  EXPECT_EQ(o.call(S("TryKey"), {int(Qt::Key_Space), S(" "), 0, S("gut"), 3}).toString(), S("gut"));
  EXPECT_EQ(o.call(S("TryKey"), {int(Qt::Key_Backspace), QString(), 0, S("gut"), 2}).toString(), S("u"));
  EXPECT_EQ(echoes(), words("gut u"));
}

TEST_F(KeyEchoTest, EditsSeenInAFieldAreEchoedAsTheirKeysAndLongerOnesAsTheirText) {
  const QString gut = S("gut");
  const auto edit = [&](int offset, const char* inserted, const char* removed, bool caretWasAfter) {
    return echo().edited({gut, offset, S(inserted), S(removed), caretWasAfter});
  };
  EXPECT_EQ(edit(3, " ", "", false), gut);                  // a blank ends the word
  EXPECT_EQ(edit(2, "", "t", true), S("t"));                // Backspace
  EXPECT_EQ(edit(2, "", "t", false), S("Entfernen"));       // Delete
  EXPECT_EQ(edit(3, " und\nso ", "", false), S("und so"));  // pasted
  echo().setValue(KeyEcho::CharEcho, 0);
  EXPECT_EQ(edit(3, " und so", "", false), QString());
  EXPECT_EQ(echoes(), (QStringList{gut, S("t"), S("Entfernen"), S("und so")}));
}

TEST(KeyEchoConsole, UnknownBracesAreText) {
  const QList<corvane::TypedKey> keys = KeyEcho::parseKeys(S("{x{Nonsense}{Ctrl+c}"));
  ASSERT_EQ(keys.size(), 13);
  EXPECT_EQ(keys[0].text, S("{"));
  EXPECT_EQ(keys[12].key, int(Qt::Key_C));
  EXPECT_EQ(keys[12].modifiers, int(Qt::ControlModifier));
}

}  // namespace
