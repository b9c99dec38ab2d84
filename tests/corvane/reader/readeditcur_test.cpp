// "READEDITCUR" as the reader says it: the focused field of the program in front from its
// caret on, its text in the focus voice and only its length in the core's report; a field with
// nothing after the caret, a password and a focus the listener could not read. Without the
// accessibility bus the core names the field as before and writes one log line.
#include <gtest/gtest.h>

#include "corvane/reader/readerevent.h"
#include "corvane/reader/screenreader.h"
#include "tests/support/fakecore.h"

namespace corvane::reader {
namespace {

struct FieldCase {
  const char* name;
  FocusedText field;
  QString said;      // the one utterance
  QString reported;  // the READEDITCUR report line; empty: none expected but the fallback's
};
void PrintTo(const FieldCase& c, std::ostream* os) { *os << c.name; }

FocusedText field(const QString& name, Kind kind, const QString& text, int caret, int length) {
  FocusedText t;
  t.found = true;
  t.kind = kind;
  t.editable = true;
  t.name = name;
  t.text = text;
  t.caret = caret;
  t.length = length;
  t.pid = 4242;
  return t;
}

class ReadEditCur : public ::testing::TestWithParam<FieldCase> {
 protected:
  QStringList said() const { return core.said(); }
  QTemporaryDir dir;
  fake::Core core{dir.path()};
  ScreenReader reader{core};
};

TEST_P(ReadEditCur, TheFieldIsSaidFromItsCaretAndReportedByItsLength) {
  core.foreground = QStringLiteral("EDITOR");
  reader.sayFocusedText(GetParam().field);
  EXPECT_EQ(said(), QStringList{GetParam().said});
  const QStringList lines = core.reports.filter(QStringLiteral("READEDITCUR: "));
  ASSERT_EQ(lines.size(), 1) << core.reports.join(u'\n').toStdString();
  EXPECT_EQ(lines.first(), GetParam().reported);
  // What the field holds never stands in the report line.
  if (!GetParam().field.text.isEmpty()) EXPECT_FALSE(lines.first().contains(GetParam().field.text));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ReadEditCur,
    ::testing::Values(
        FieldCase{"fromTheCaret",
                  field(QStringLiteral("Betreff"), Kind::Edit, QStringLiteral("Welt, wie geht es"), 6, 23),
                  QStringLiteral("Welt, wie geht es"),
                  QStringLiteral("READEDITCUR: 17 characters from the caret at 6 of 23")},
        FieldCase{"caretAtTheEnd", field(QStringLiteral("Betreff"), Kind::Edit, QString(), 5, 5),
                  QStringLiteral("Betreff Eingabefeld, Textende"),
                  QStringLiteral("READEDITCUR: 0 characters from the caret at 5 of 5")},
        FieldCase{"empty", field(QString(), Kind::Edit, QString(), 0, 0), QStringLiteral("Eingabefeld, leer"),
                  QStringLiteral("READEDITCUR: 0 characters from the caret at 0 of 0")},
        FieldCase{"password", field(QStringLiteral("Kennwort"), Kind::PasswordEdit, QString(), 0, 8),
                  QStringLiteral("Kennwort Kennwortfeld, 8 Zeichen"),
                  QStringLiteral("READEDITCUR: 0 characters from the caret at 0 of 8")},
        FieldCase{"nothingFocused", FocusedText{}, QStringLiteral("EDITOR Eingabefeld"),
                  QStringLiteral("READEDITCUR: no focused text in front, the field is only named")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadEditCurInJexUi, AFocusWithoutTextIsLeftToTheReaderAndAHelpTextIsReadFromItsCaret) {
  QTemporaryDir dir;
  fake::Core core{dir.path()};
  ScreenReader reader{core};
  core.foreground = QStringLiteral("JEXUI");
  reader.sayFocusedText(FocusedText{});
  EXPECT_TRUE(core.reports.filter(QStringLiteral("SPEAK: ")).isEmpty());
  EXPECT_EQ(core.reports.filter(QStringLiteral("READEDITCUR: JexUI in front")).size(), 1);
  reader.sayFocusedText(field(QStringLiteral("Hilfe"), Kind::Document, QStringLiteral("Zeichenecho: sagt"), 40, 57));
  EXPECT_EQ(core.reports.filter(QStringLiteral("SPEAK: ")), QStringList{QStringLiteral("SPEAK: Zeichenecho: sagt")});
}

TEST(ReadEditCurWithoutBus, TheCoreNamesTheFieldAsBeforeAndTheReaderTakesNothing) {
  QTemporaryDir dir;
  fake::Core core{dir.path()};
  ScreenReader reader{core};  // never started: no accessibility bus
  EXPECT_FALSE(reader.readEditCur());
  EXPECT_FALSE(core.readFocusedText());
  core.setFocusedTextReader([] { return true; });
  EXPECT_TRUE(core.readFocusedText());
  core.setFocusedTextReader({});
  EXPECT_FALSE(core.readFocusedText());
}

}  // namespace
}  // namespace corvane::reader
