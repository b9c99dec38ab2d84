// Typing in a field as the reader hears it: the edits and caret moves a one-line field reports,
// in the order it reports them (the edit, then the caret move it causes), through the reader's
// caret memory and the core's key echo. Every key is heard once, by the echo's settings.
#include <gtest/gtest.h>

#include "corvane/engine/keyecho.h"
#include "corvane/reader/readerevent.h"
#include "corvane/reader/screenreader.h"
#include "tests/support/fakecore.h"

namespace corvane::reader {
namespace {

struct TypingCase {
  const char* name;
  QList<std::pair<int, int>> settings;  // key echo member, value
  const char* keys;                     // as the console's ":type" takes them
  QStringList said;                     // every utterance, in order
};
void PrintTo(const TypingCase& c, std::ostream* os) { *os << c.name; }

class Typing : public ::testing::TestWithParam<TypingCase> {
 protected:
  // What the field reports for one key (a field without a key hook: edits and moves only).
  void press(const TypedKey& k) {
    const int c = field.caret();
    switch (k.key) {
      case Qt::Key_Backspace:
        if (c > 0) edit(false, c - 1, text.mid(c - 1, 1));
        break;
      case Qt::Key_Delete:
        if (c < text.size()) edit(false, c, text.mid(c, 1));
        break;
      case Qt::Key_Left:
        moveTo(qMax(0, c - 1));
        break;
      case Qt::Key_Right:
        moveTo(qMin(int(text.size()), c + 1));
        break;
      case Qt::Key_Home:
        moveTo(0);
        break;
      default:
        if (!k.text.isEmpty()) edit(true, c, k.text);
    }
  }
  void edit(bool inserted, int offset, const QString& changed) {
    const bool caretWasAfter = field.edited(inserted, offset, int(changed.size()));
    if (inserted) text.insert(offset, changed);
    else text.remove(offset, changed.size());
    {
      ReaderEvent ev;
      ev.type = ReaderEvent::Edited;
      ev.edit = editOf(inserted, offset, changed, text, 0, caretWasAfter);
      reader.hear(ev);
    }
    moveTo(inserted ? offset + int(changed.size()) : offset);
  }
  void moveTo(int to) {
    int from = -1;
    if (to == field.caret() || !field.moved(to, &from)) return;  // not moved: nothing reported
    {
      ReaderEvent ev;
      ev.type = ReaderEvent::Caret;
      ev.caret = CaretMove{from, to, text.mid(to, 1), text};
      reader.hear(ev);
    }
  }
  QStringList said() const { return core.said(); }

  QTemporaryDir dir;
  fake::Core core{dir.path()};
  ScreenReader reader{core};
  FieldCaret field;
  QString text;
};

TEST_P(Typing, EachKeyIsHeardOnceAsTheKeyEchoSays) {
  for (const auto& [member, value] : GetParam().settings) core.keyEcho().setValue(member, value);
  field.reset(0);
  for (const TypedKey& k : KeyEcho::parseKeys(QString::fromUtf8(GetParam().keys))) press(k);
  EXPECT_EQ(said(), GetParam().said);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, Typing,
    ::testing::Values(
        TypingCase{"characters", {{KeyEcho::CharEcho, 3}}, "ab c", {"a", "b", "Leer", "c"}},
        TypingCase{"words", {{KeyEcho::CharEcho, 2}}, "gut, ja.", {"gut", "ja"}},
        TypingCase{"both", {{KeyEcho::CharEcho, 1}}, "ab.", {"a", "b", "ab Punkt"}},
        TypingCase{"arrowsStillMove", {{KeyEcho::CharEcho, 3}}, "abc{Left}{Home}", {"a", "b", "c", "c", "abc"}},
        TypingCase{"backspaceDeleted", {{KeyEcho::CharEcho, 0}}, "abc{Backspace}{Home}", {"c", "ab"}},
        TypingCase{
            "backspaceLeftOfCaret", {{KeyEcho::CharEcho, 0}, {KeyEcho::BackSpaceEcho, 1}}, "abc{Backspace}", {"b"}},
        TypingCase{"deleteAtCaret",
                   {{KeyEcho::CharEcho, 3}},
                   "ab{Home}{Delete}{Right}",
                   {"a", "b", "ab", "Entfernen", "Zeilenende"}},
        TypingCase{"echoOff", {{KeyEcho::KeyEchoOn, 0}}, "ab{Backspace}", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TypingEdits, AFieldReadAfterFurtherTypingStillGivesTheWordBeforeTheEdit) {
  // "b" inserted at 1, the field read when "abc" already stood there: the text before it is "ac".
  TextEdit e = editOf(true, 1, QStringLiteral("b"), QStringLiteral("abc"), 0, false);
  EXPECT_EQ(e.before, QStringLiteral("ac"));
  EXPECT_EQ(e.offset, 1);
  // Read from offset 10 on: offsets count from there, a deletion's text is put back.
  e = editOf(false, 12, QStringLiteral("x"), QStringLiteral("abcd"), 10, true);
  EXPECT_EQ(e.before, QStringLiteral("abxcd"));
  EXPECT_EQ(e.offset, 2);
  e = editOf(true, 3, QStringLiteral("z"), QStringLiteral("ab"), 0, false);  // gone again meanwhile
  EXPECT_EQ(e.before, QStringLiteral("ab"));
}

// A value the program sets replaces the field's text in one go; the reader hears it as one edit
// (what was removed and what took its place) and says the new value only, never the old one.
TEST(TypingEdits, AValueReplacedInOneGoIsHeardOnceAsTheNewValue) {
  QTemporaryDir dir;
  fake::Core core{dir.path()};
  ScreenReader reader{core};
  for (const auto& [old, now] : {std::pair{"19", "20"}, std::pair{"9", "10"}, std::pair{"10", "9"}}) {
    core.reports.clear();
    TextEdit e = editOf(true, 0, QString::fromLatin1(now), QString::fromLatin1(now), 0, false);
    e.removed = QString::fromLatin1(old);
    e.before.insert(0, e.removed);
    {
      ReaderEvent ev;
      ev.type = ReaderEvent::Edited;
      ev.edit = e;
      reader.hear(ev);
    }
    EXPECT_EQ(core.reports.filter(QStringLiteral("SPEAK: ")), QStringList{QStringLiteral("SPEAK: ") + now}) << old;
  }
}

// A core that, as the running one, speaks typed text as it is and reports only its length.
class TypedCore : public fake::Core {
 public:
  using fake::Core::Core;
  void speakTyped(const QString& text, int source, bool) override {
    spoken << text << source;
    reports << QStringLiteral("SPEAK: ") + typedNote(text);
  }
};

struct FieldTextCase {
  const char* name;
  ReaderEvent::Type type;
  Kind kind;
  bool editable;
  bool typed;  // reported by its length only
};
void PrintTo(const FieldTextCase& c, std::ostream* os) { *os << c.name; }

class FieldText : public ::testing::TestWithParam<FieldTextCase> {};

// The text of a field the user types into is spoken in the focus voice; the core's output
// gives it by its length, whether the caret moved over it or a drop-down list took it as its
// new value. Text the user cannot have typed is reported as it is.
TEST_P(FieldText, IsSpokenAndReportedByItsLengthWhenTheUserCouldHaveTypedIt) {
  const FieldTextCase& c = GetParam();
  QTemporaryDir dir;
  TypedCore core{dir.path()};
  ScreenReader reader{core};
  core.keyEcho().setValue(KeyEcho::CharEcho, 0);  // a caret move by one is silent: lines only
  const QString text = QStringLiteral("Wbrtzu5");
  ReaderEvent ev;
  ev.type = c.type;
  ev.info.kind = c.kind;
  ev.info.editable = c.editable;
  ev.info.value = text;
  ev.caret = CaretMove{7, 0, QStringLiteral("W"), text};
  reader.hear(ev);
  EXPECT_EQ(core.spoken, (QVariantList{text, 1}));
  const QString reported = QStringLiteral("SPEAK: ") + (c.typed ? typedNote(text) : text);
  EXPECT_EQ(core.reports.filter(QStringLiteral("SPEAK: ")), QStringList{reported});
}

INSTANTIATE_TEST_SUITE_P(
    Fields, FieldText,
    ::testing::Values(FieldTextCase{"caretInAField", ReaderEvent::Caret, Kind::Edit, true, true},
                      FieldTextCase{"caretInAPassword", ReaderEvent::Caret, Kind::PasswordEdit, false, true},
                      FieldTextCase{"caretInAReadOnlyText", ReaderEvent::Caret, Kind::Document, false, false},
                      FieldTextCase{"editableListsNewValue", ReaderEvent::Changed, Kind::ComboBox, true, true},
                      FieldTextCase{"listsNewEntry", ReaderEvent::Changed, Kind::ComboBox, false, false},
                      FieldTextCase{"spinBoxsNewValue", ReaderEvent::Changed, Kind::SpinBox, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane::reader
