// The help texts' markers, titles and file names, on texts made here.
#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>

#include "dialogs/help/helptext.h"
#include "tests/support/fakecore.h"
#include "widgets/rtfreader.h"

namespace jex::help {
namespace {

struct MarkerCase {
  const char* name;
  const char* text;
  const char* control;
  const char* shown;  // the text without its markers
  qsizetype target;   // where the caret goes
};

// A paragraph break is one character of the document ("\n" in its plain text).
const MarkerCase kCases[] = {
    {"TwoControlsSecondAsked", "Title\n//[chkA]//\nabout A\n//[cmdB]//\nabout B", "cmdB", "Title\nabout A\nabout B",
     14},
    {"TwoControlsFirstAsked", "Title\n//[chkA]//\nabout A\n//[cmdB]//\nabout B", "chkA", "Title\nabout A\nabout B", 6},
    {"NoControlAsked", "Title\n//[chkA]//\nabout A", "", "Title\nabout A", 0},
    {"ControlWithoutMarker", "Title\n//[chkA]//\nabout A", "cmdZ", "Title\nabout A", 0},
    {"MarkerAtTheStartEndsTheSearch", "//[chkA]//\nabout A\n//[cmdB]//\nB", "cmdB",
     "//[chkA]//\nabout A\n//[cmdB]//\nB", 30},
    {"UnclosedMarkerStaysAndEndsTheSearch", "T\n//[chkA]//\nA\n//[cmdB]\nB", "chkA", "T\nA\n//[cmdB]\nB", 2},
    {"MarkerWithoutLineEndKeepsTheNextCharacter", "T //[x]//after", "x", "T after", 2},
    {"MarkerAtTheEnd", "T\n//[x]//", "x", "T\n", 2},
    {"SeveralNamesInOneMarker", "T\n//[lblA][txtA]//\nA", "txtA", "T\nA", 2},
    {"NameFoundOutsideAMarkerUsesTheNextOne", "T [y] here\n//[z]//\nZ", "y", "T [y] here\nZ", 11},
    {"EmptyText", "", "x", "", 0},
    {"OnlySlashes", "T ////", "x", "T ", 0},
};

class Markers : public ::testing::TestWithParam<MarkerCase> {};

TEST_P(Markers, RemovesEveryMarkerAndFindsTheControlsPart) {
  const MarkerCase& c = GetParam();
  const QString text = QString::fromUtf8(c.text);
  const auto m = findMarkers(text, QString::fromUtf8(c.control));
  const QString shown = removeBlocks(text, m.blocks);
  EXPECT_EQ(shown.toStdString(), c.shown);
  EXPECT_EQ(m.target, c.target);
  // The target is where the control's text begins in what is shown.
  ASSERT_LE(m.target, shown.size());
}

TEST_P(Markers, InADocumentAsInItsText) {
  const MarkerCase& c = GetParam();
  QTextDocument doc;
  doc.setPlainText(QString::fromUtf8(c.text));
  const qsizetype target = removeMarkers(doc, QString::fromUtf8(c.control));
  EXPECT_EQ(doc.toPlainText().toStdString(), c.shown);
  EXPECT_EQ(target, c.target);
}

INSTANTIATE_TEST_SUITE_P(Cases, Markers, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<MarkerCase>& p) { return std::string(p.param.name); });

TEST(MarkerRemoval, KeepsTheFormattingOfTheText) {
  QTextDocument doc;
  ASSERT_TRUE(rtf::read("{\\rtf1\\ansi Title\\par //[chkA]//\\par {\\b bold} A\\par //[cmdB]//\\par B}", doc));
  const qsizetype target = removeMarkers(doc, QStringLiteral("cmdB"));
  EXPECT_EQ(doc.toPlainText(), QStringLiteral("Title\nbold A\nB"));
  QTextCursor c(&doc);
  c.setPosition(8);  // inside "bold"
  EXPECT_EQ(c.charFormat().fontWeight(), QFont::Bold);
  EXPECT_EQ(target, 13);
}

TEST(MarkerNames, ListsTheNamesAndTellsAnOpenMarker) {
  bool unclosed = false;
  EXPECT_EQ(markerNames(QStringLiteral("T\n//[a]//\nx //[b][c]// y //[d"), &unclosed),
            (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
  EXPECT_TRUE(unclosed);
  EXPECT_EQ(markerNames(QStringLiteral("//[a]// T"), &unclosed), QStringList());
  EXPECT_FALSE(unclosed);
}

TEST(Title, IsTheFirstLine) {
  EXPECT_EQ(splitTitle(QStringLiteral("Read me\nline 2\nline 3")).title, QStringLiteral("Read me"));
  EXPECT_EQ(splitTitle(QStringLiteral("Read me\r\nline 2")).rest, QStringLiteral("line 2"));
  EXPECT_EQ(splitTitle(QStringLiteral("only")).rest, QString());
  EXPECT_EQ(splitTitle(QString()).title, QString());

  QTextDocument doc;
  doc.setPlainText(QStringLiteral("Read me\nline 2\nline 3"));
  EXPECT_EQ(takeTitle(doc), QStringLiteral("Read me"));
  EXPECT_EQ(doc.toPlainText(), QStringLiteral("line 2\nline 3"));
  doc.setPlainText(QStringLiteral("one line"));
  EXPECT_EQ(takeTitle(doc), QStringLiteral("one line"));
  EXPECT_TRUE(doc.isEmpty());
}

class TextFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("HELP/1031"))));
    write(QStringLiteral("HELP/1031/ReadMe.RTF"), "{\\rtf1 Title\\par text}");
    write(QStringLiteral("HELP/1031/notepad.txt"), "Notepad\nplain");
    write(QStringLiteral("HELP/1031/both.rtf"), "{\\rtf1 rtf}");
    write(QStringLiteral("HELP/1031/both.txt"), "txt");
  }
  void write(const QString& name, const QByteArray& data) { fake::CoreFixture::writeFile(dir.filePath(name), data); }
  QString folder() const { return helpFolder(dir.path() + u'/', QStringLiteral("1031")); }
  QTemporaryDir dir;
};

TEST_F(TextFiles, AreFoundWithoutRegardToCase) {
  ASSERT_FALSE(folder().isEmpty());
  EXPECT_TRUE(findTextFile(folder(), QStringLiteral("readme.rtf")).endsWith(QStringLiteral("ReadMe.RTF")));
  EXPECT_TRUE(findTextFile(folder(), QStringLiteral("NOTEPAD")).endsWith(QStringLiteral("notepad.txt")));
  EXPECT_TRUE(findTextFile(folder(), QStringLiteral("both")).endsWith(QStringLiteral("both.rtf")));
  EXPECT_EQ(findTextFile(folder(), QStringLiteral("missing")), QString());
  EXPECT_EQ(helpFolder(dir.path() + u'/', QStringLiteral("1033")), QString());
}

TEST_F(TextFiles, RefuseNamesThatLeaveTheFolder) {
  for (const char* name : {"../1031/readme.rtf", "/etc/passwd", "..", "a\\b.rtf", "c:readme.rtf", "", " ", "a\tb"})
    EXPECT_EQ(findTextFile(folder(), QString::fromUtf8(name)), QString()) << name;
  EXPECT_EQ(helpFolder(dir.path() + u'/', QStringLiteral("../HELP/1031")), QString());
}

TEST_F(TextFiles, ATooLargeOrMissingFileShowsNothing) {
  QTextDocument doc;
  doc.setPlainText(QStringLiteral("old"));
  EXPECT_FALSE(loadText(dir.filePath(QStringLiteral("none.rtf")), doc));
  EXPECT_TRUE(doc.isEmpty());
  QFile big(dir.filePath(QStringLiteral("big.rtf")));
  ASSERT_TRUE(big.open(QIODevice::WriteOnly));
  ASSERT_TRUE(big.resize(kMaxTextFileSize + 1));
  big.close();
  doc.setPlainText(QStringLiteral("old"));
  EXPECT_FALSE(loadText(big.fileName(), doc));
  EXPECT_TRUE(doc.isEmpty());
  EXPECT_TRUE(loadText(findTextFile(folder(), QStringLiteral("notepad")), doc));
  EXPECT_EQ(doc.toPlainText(), QStringLiteral("Notepad\nplain"));
}

}  // namespace
}  // namespace jex::help
