// The rich-text reader: what help and read-me texts use, and input that is broken on purpose.
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "dialogs/common/rtfreader.h"

namespace {

QString textOf(const QByteArray& rtf) {
  QTextDocument doc;
  EXPECT_TRUE(jex::rtf::read(rtf, doc));
  return doc.toPlainText();
}

// The character format of the first character of `what` in doc.
QTextCharFormat formatOf(const QTextDocument& doc, const QString& what) {
  const QTextCursor found = doc.find(what, 0, QTextDocument::FindCaseSensitively);
  EXPECT_FALSE(found.isNull()) << what.toStdString();
  QTextCursor c(const_cast<QTextDocument*>(&doc));
  c.setPosition(found.selectionStart() + 1);
  return c.charFormat();
}

}  // namespace

TEST(RtfReader, ParagraphsLineBreaksTabsAndEscapes) {
  QTextDocument doc;
  ASSERT_TRUE(jex::rtf::read("{\\rtf1\\ansi one\\par two\\line three\\tab four\\par "
                             "\\\\ \\{x\\} a\\~b\\emdash\\par\n}",
                             doc));
  EXPECT_EQ(doc.blockCount(), 3);  // the closing \par leaves no empty paragraph
  EXPECT_EQ(doc.toRawText(), QStringLiteral("one\u2029two\u2028three\tfour\u2029\\ {x} a\u00A0b\u2014"));
  // Line ends in the source are not text; a backslash before one is a paragraph.
  EXPECT_EQ(textOf("{\\rtf1 a\r\nb\\\nc}"), QStringLiteral("ab\nc"));
  // The delimiting space after a control word is not text, a second one is.
  EXPECT_EQ(textOf("{\\rtf1 \\b  x}"), QStringLiteral(" x"));
}

TEST(RtfReader, CharacterFormattingIsScopedByGroups) {
  QTextDocument doc;
  ASSERT_TRUE(jex::rtf::read("{\\rtf1 N1 {\\b B1 {\\i BI \\ul BIU\\ulnone  BI2} B2} N2 \\b B3\\b0  N3 "
                             "\\i\\ul\\fs40 big\\plain  P1 \\strike S\\strike0  N4}",
                             doc));
  struct Expect { const char* at; bool bold, italic, underline; };
  for (const Expect e : {Expect{"N1", 0, 0, 0}, {"B1", 1, 0, 0}, {"BI ", 1, 1, 0}, {"BIU", 1, 1, 1}, {"BI2", 1, 1, 0},
                         {"B2", 1, 0, 0}, {"N2", 0, 0, 0}, {"B3", 1, 0, 0}, {"N3", 0, 0, 0}}) {
    const QTextCharFormat f = formatOf(doc, QLatin1String(e.at));
    EXPECT_EQ(f.fontWeight() == QFont::Bold, e.bold) << e.at;
    EXPECT_EQ(f.fontItalic(), e.italic) << e.at;
    EXPECT_EQ(f.fontUnderline(), e.underline) << e.at;
  }
  EXPECT_DOUBLE_EQ(formatOf(doc, "big").fontPointSize(), 20.0);  // half points
  EXPECT_TRUE(formatOf(doc, "big").fontUnderline());
  const QTextCharFormat plain = formatOf(doc, "P1");
  EXPECT_FALSE(plain.fontItalic());
  EXPECT_FALSE(plain.fontUnderline());
  EXPECT_DOUBLE_EQ(plain.fontPointSize(), 12.0);
  EXPECT_TRUE(formatOf(doc, "S").fontStrikeOut());
  EXPECT_FALSE(formatOf(doc, "N4").fontStrikeOut());
}

TEST(RtfReader, ParagraphFormattingEndsWithTheParagraph) {
  QTextDocument doc;
  ASSERT_TRUE(jex::rtf::read("{\\rtf1\\qc\\li1440 centred\\par\\pard left\\par\\rtlpar\\qr rtl}", doc));
  ASSERT_EQ(doc.blockCount(), 3);
  EXPECT_TRUE(doc.findBlockByNumber(0).blockFormat().alignment() & Qt::AlignHCenter);
  EXPECT_DOUBLE_EQ(doc.findBlockByNumber(0).blockFormat().leftMargin(), 96.0);  // one inch
  EXPECT_FALSE(doc.findBlockByNumber(1).blockFormat().alignment() & Qt::AlignHCenter);
  EXPECT_EQ(doc.findBlockByNumber(1).blockFormat().leftMargin(), 0.0);
  EXPECT_EQ(doc.findBlockByNumber(2).blockFormat().layoutDirection(), Qt::RightToLeft);
}

TEST(RtfReader, CharactersInCodePagesAndUnicode) {
  // Default and explicit Windows-1252, including the range where it differs from Latin-1.
  EXPECT_EQ(textOf("{\\rtf1 Gr\\'fc\\'dfe \\'80\\'93x\\'94}"), QStringLiteral("Grüße €“x”"));
  EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg1252 M\\'e4rz}"), QStringLiteral("März"));
  // Another document code page, and a font whose character set names its own code page.
  EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg1251 \\'c4\\'e0}"), QStringLiteral("Да"));
  EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fcharset0 Arial;}"
                   "{\\f1\\fcharset204 Arial Cyr;}}\\'e4 {\\f1 \\'c4\\'e0} \\'e4}"),
            QStringLiteral("ä Да ä"));
  // Double-byte code page: the two bytes of one character arrive as two escapes.
  EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg932 \\'82\\'a0}"), QStringLiteral("あ"));
  // Unicode with fallback characters: skipped one by default, \ucN chooses how many.
  EXPECT_EQ(textOf("{\\rtf1 \\u228?b}"), QStringLiteral("äb"));
  EXPECT_EQ(textOf("{\\rtf1 \\uc2\\u8364\\'80Eb}"), QStringLiteral("€b"));
  EXPECT_EQ(textOf("{\\rtf1 \\uc0\\u8364 b}"), QStringLiteral("€b"));
  EXPECT_EQ(textOf("{\\rtf1 {\\uc3\\u8364 E}b}"), QStringLiteral("€b"));  // a brace ends the fallback
  // Negative numbers are the signed form of 16 bits; surrogate pairs join, lone ones are replaced.
  EXPECT_EQ(textOf("{\\rtf1 \\u-4064?}"), QString(QChar(0xF020)));
  EXPECT_EQ(textOf("{\\rtf1 \\u-10179?\\u-8704?}"), QString::fromUtf8("\xF0\x9F\x98\x80"));
  EXPECT_EQ(textOf("{\\rtf1 \\u-10179?x}"), QStringLiteral("\uFFFDx"));
  EXPECT_EQ(jex::rtf::decode("\xE4", 99999), QStringLiteral("ä"));  // unknown code page: 1252
}

TEST(RtfReader, TablesAndIgnorableDestinationsAreSkipped) {
  const QByteArray rtf =
      "{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil Courier;}}{\\colortbl;\\red255\\green0\\blue0;}"
      "{\\stylesheet{\\s1 Heading;}}{\\info{\\title Secret}{\\author Me}}"
      "{\\header Head}{\\footer Foot}{\\*\\generator Writer 1.0;}{\\*\\unknown {nested} text}"
      "{\\pict\\wmetafile8 0102ff}{\\pict\\bin4 {}}x}"
      "A{\\v hidden}B{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt Link}}C}";
  EXPECT_EQ(textOf(rtf), QStringLiteral("ABLinkC"));
}

TEST(RtfReader, BrokenInputIsReadAsFarAsItGoes) {
  // Unbalanced braces: missing closing braces, stray closing braces inside.
  EXPECT_EQ(textOf("{\\rtf1 {\\b open {\\i deeper"), QStringLiteral("open deeper"));
  EXPECT_EQ(textOf("{\\rtf1 a}}}b"), QStringLiteral("a"));  // text after the document's end
  // Escapes cut off at the end or with bad hex digits.
  EXPECT_EQ(textOf("{\\rtf1 x\\'e"), QStringLiteral("x"));
  EXPECT_EQ(textOf("{\\rtf1 x\\'"), QStringLiteral("x"));
  EXPECT_EQ(textOf("{\\rtf1 x\\'zz}"), QStringLiteral("xzz"));
  EXPECT_EQ(textOf("{\\rtf1 x\\"), QStringLiteral("x"));
  EXPECT_EQ(textOf("{\\rtf1 x\\b-"), QStringLiteral("x-"));
  EXPECT_EQ(textOf("{\\rtf1 x\\u"), QStringLiteral("x"));
  EXPECT_EQ(textOf("{\\rtf1 \\bin99999999999 x}"), QString());
  // Huge numbers are clamped, not overflowed.
  QTextDocument doc;
  ASSERT_TRUE(jex::rtf::read("{\\rtf1\\fs99999999999999999999 huge\\fs-5  neg}", doc));
  EXPECT_LE(formatOf(doc, "huge").fontPointSize(), 200.0);
  EXPECT_DOUBLE_EQ(formatOf(doc, "neg").fontPointSize(), 12.0);
  // Nesting far beyond the depth limit: the text survives and the end is found.
  QByteArray deep = "{\\rtf1 ";
  deep += QByteArray(200000, '{') + "\\b x" + QByteArray(200000, '}') + " y}tail";
  EXPECT_EQ(textOf(deep), QStringLiteral("x y"));
  // A long control word and text that is not RTF at all.
  EXPECT_EQ(textOf("{\\rtf1 \\" + QByteArray(100000, 'a') + " z}"), QStringLiteral("z"));
  doc.setPlainText(QStringLiteral("keep"));
  EXPECT_FALSE(jex::rtf::read("plain words", doc));
  EXPECT_EQ(doc.toPlainText(), QStringLiteral("keep"));
  EXPECT_FALSE(jex::rtf::read(QByteArray(), doc));
  EXPECT_TRUE(jex::rtf::isRtf("\xEF\xBB\xBF \r\n{\\rtf1}"));
}

TEST(RtfReader, FilesAndPlainTextFallback) {
  QTemporaryDir dir;
  auto write = [&](const char* name, const QByteArray& data) {
    QFile f(dir.filePath(QString::fromLatin1(name)));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    return f.fileName();
  };
  QTextDocument doc;
  EXPECT_TRUE(jex::rtf::readFile(write("a.rtf", "{\\rtf1 \\b Titel\\b0\\par Text}"), doc));
  EXPECT_EQ(doc.toPlainText(), QStringLiteral("Titel\nText"));
  EXPECT_TRUE(jex::rtf::readFile(write("u.txt", "\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F" "e\nzwei"), doc));
  EXPECT_EQ(doc.toPlainText(), QStringLiteral("Grüße\nzwei"));
  EXPECT_TRUE(jex::rtf::readFile(write("w.txt", "Gr\xFC\xDF" "e \x80"), doc));
  EXPECT_EQ(doc.toPlainText(), QStringLiteral("Grüße €"));
  EXPECT_FALSE(jex::rtf::readFile(dir.filePath(QStringLiteral("missing.rtf")), doc));
  EXPECT_TRUE(doc.isEmpty());
}

TEST(RtfReader, ShippedInformationTextsReadWell) {
  for (const auto& [lng, heading, words] : {std::tuple{"1031", "Willkommen", "Hauptmenü"}, {"1033", "Welcome", "main menu"}}) {
    SCOPED_TRACE(lng);
    const QString path = QStringLiteral(JEX_SOURCE_DIR "/data/LNG/") + QLatin1String(lng) + QStringLiteral("/JEXINFO.RTF");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray raw = file.readAll();
    EXPECT_TRUE(jex::rtf::isRtf(raw));
    EXPECT_TRUE(raw.contains("\\ansicpg1252"));
    for (char c : raw) EXPECT_LT(static_cast<unsigned char>(c), 0x80) << "non-ASCII byte in " << path.toStdString();
    QTextDocument doc;
    ASSERT_TRUE(jex::rtf::readFile(path, doc));
    const QString text = doc.toPlainText();
    EXPECT_TRUE(text.contains(QString::fromUtf8(words))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("TOGGMEN")));
    EXPECT_TRUE(text.contains(QStringLiteral("F1")));
    EXPECT_FALSE(text.contains(u'\\') || text.contains(u'{') || text.contains(QChar::ReplacementCharacter));
    EXPECT_GE(doc.blockCount(), 4);
    // The first paragraph is the title, in bold.
    EXPECT_TRUE(doc.firstBlock().text().contains(QLatin1String(heading)));
    EXPECT_EQ(formatOf(doc, QLatin1String(heading)).fontWeight(), QFont::Bold);
  }
}
