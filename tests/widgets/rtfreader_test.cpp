// The rich-text reader: what help and read-me texts use, and input that is broken on purpose.
#include "widgets/rtfreader.h"

#include "tests/base/codepagesamples.h"

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

TEST(RtfReader, TextOfEachConstructAndOfBrokenInput) {
  const std::pair<QByteArray, QString> cases[] = {
      // Line ends in the source are not text; a backslash before one is a paragraph. The space
      // that ends a control word is not text, a second one is.
      {"{\\rtf1 a\r\nb\\\nc}", QStringLiteral("ab\nc")},
      {"{\\rtf1 \\b  x}", QStringLiteral(" x")},
      // Windows-1252 by default, also where it differs from Latin-1; another document
      // code page, a font whose character set names its own, and a double-byte one.
      {"{\\rtf1 Gr\\'fc\\'dfe \\'80\\'93x\\'94}", QStringLiteral("Grüße €“x”")},
      {"{\\rtf1\\ansi\\ansicpg1251 \\'c4\\'e0}", QStringLiteral("Да")},
      {"{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fcharset0 Arial;}"
       "{\\f1\\fcharset204 Arial Cyr;}}\\'e4 {\\f1 \\'c4\\'e0} \\'e4}",
       QStringLiteral("ä Да ä")},
      {"{\\rtf1\\ansi\\ansicpg932 \\'82\\'a0}", QStringLiteral("あ")},
      // \uN skips one fallback character by default, \ucN as many as it says, a brace ends them.
      {"{\\rtf1 \\u228?b}", QStringLiteral("äb")},
      {"{\\rtf1 \\uc2\\u8364\\'80Eb}", QStringLiteral("€b")},
      {"{\\rtf1 \\uc0\\u8364 b}", QStringLiteral("€b")},
      {"{\\rtf1 {\\uc3\\u8364 E}b}", QStringLiteral("€b")},
      // Negative numbers are the signed form of 16 bits; surrogate pairs join, lone ones are replaced.
      {"{\\rtf1 \\u-4064?}", QString(QChar(0xF020))},
      {"{\\rtf1 \\u-10179?\\u-8704?}", QString::fromUtf8("\xF0\x9F\x98\x80")},
      {"{\\rtf1 \\u-10179?x}", QStringLiteral("\uFFFDx")},
      // Tables, document information, pictures and unknown destinations are skipped.
      {"{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil Courier;}}{\\colortbl;\\red255\\green0\\blue0;}"
       "{\\stylesheet{\\s1 Heading;}}{\\info{\\title Secret}{\\author Me}}"
       "{\\header Head}{\\footer Foot}{\\*\\generator Writer 1.0;}{\\*\\unknown {nested} text}"
       "{\\pict\\wmetafile8 0102ff}{\\pict\\bin4 {}}x}"
       "A{\\v hidden}B{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt Link}}C}",
       QStringLiteral("ABLinkC")},
      // Broken input is read as far as it goes.
      {"{\\rtf1 {\\b open {\\i deeper", QStringLiteral("open deeper")},
      {"{\\rtf1 a}}}b", QStringLiteral("a")},
      {"{\\rtf1 x\\'e", QStringLiteral("x")},
      {"{\\rtf1 x\\'", QStringLiteral("x")},
      {"{\\rtf1 x\\'zz}", QStringLiteral("xzz")},
      {"{\\rtf1 x\\", QStringLiteral("x")},
      {"{\\rtf1 x\\b-", QStringLiteral("x-")},
      {"{\\rtf1 x\\u", QStringLiteral("x")},
      {"{\\rtf1 \\bin99999999999 x}", QString()},
      // Nesting far beyond the depth limit: the text survives and the end is found.
      {"{\\rtf1 " + QByteArray(200000, '{') + "\\b x" + QByteArray(200000, '}') + " y}tail", QStringLiteral("x y")},
      {"{\\rtf1 \\" + QByteArray(100000, 'a') + " z}", QStringLiteral("z")}};
  for (const auto& [rtf, text] : cases) EXPECT_EQ(textOf(rtf), text) << rtf.left(200).toStdString();
}

// Each listed code page, named as the document's and through a font's character set.
class RtfCodePages : public ::testing::TestWithParam<jex::test::CodePageSample> {};

TEST_P(RtfCodePages, EscapedBytesReadInThePageNamed) {
  const auto& c = GetParam();
  QByteArray escaped;
  for (const char b : c.bytes) escaped += "\\'" + QByteArray(1, b).toHex();
  const QString text = QString::fromUtf8(c.text);
  EXPECT_EQ(textOf("{\\rtf1\\ansi\\ansicpg" + QByteArray::number(c.codePage) + " " + escaped + "}"), text);
  if (c.charset >= 0) {
    EXPECT_EQ(textOf("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fcharset0 A;}{\\f1\\fcharset" +
                     QByteArray::number(c.charset) + " B;}}{\\f1 " + escaped + "}}"),
              text);
  }
}

INSTANTIATE_TEST_SUITE_P(Listed, RtfCodePages, ::testing::ValuesIn(jex::test::codePageSamples()),
                         jex::test::codePageName);

TEST(RtfReader, CharacterFormattingIsScopedByGroups) {
  QTextDocument doc;
  ASSERT_TRUE(
      jex::rtf::read("{\\rtf1 N1 {\\b B1 {\\i BI \\ul BIU\\ulnone  BI2} B2} N2 \\b B3\\b0  N3 "
                     "\\i\\ul\\fs40 big\\plain  P1 \\strike S\\strike0  N4}",
                     doc));
  struct Expect {
    const char* at;
    bool bold, italic, underline;
  };
  for (const Expect e : {Expect{"N1", 0, 0, 0},
                         {"B1", 1, 0, 0},
                         {"BI ", 1, 1, 0},
                         {"BIU", 1, 1, 1},
                         {"BI2", 1, 1, 0},
                         {"B2", 1, 0, 0},
                         {"N2", 0, 0, 0},
                         {"B3", 1, 0, 0},
                         {"N3", 0, 0, 0},
                         {"P1", 0, 0, 0}}) {
    const QTextCharFormat f = formatOf(doc, QLatin1String(e.at));
    EXPECT_EQ(f.fontWeight() == QFont::Bold, e.bold) << e.at;
    EXPECT_EQ(f.fontItalic(), e.italic) << e.at;
    EXPECT_EQ(f.fontUnderline(), e.underline) << e.at;
  }
  EXPECT_DOUBLE_EQ(formatOf(doc, "big").fontPointSize(), 20.0);  // half points
  EXPECT_TRUE(formatOf(doc, "big").fontUnderline());
  EXPECT_DOUBLE_EQ(formatOf(doc, "P1").fontPointSize(), 12.0);
  EXPECT_TRUE(formatOf(doc, "S").fontStrikeOut());
  EXPECT_FALSE(formatOf(doc, "N4").fontStrikeOut());
}

TEST(RtfReader, ParagraphsBreaksAndSpecialCharactersAndParagraphFormatting) {
  QTextDocument doc;
  ASSERT_TRUE(
      jex::rtf::read("{\\rtf1\\ansi one\\par two\\line three\\tab four\\par "
                     "\\\\ \\{x\\} a\\~b\\emdash\\par\n}",
                     doc));
  EXPECT_EQ(doc.blockCount(), 3);  // the closing \par leaves no empty paragraph
  EXPECT_EQ(doc.toRawText(), QStringLiteral("one\u2029two\u2028three\tfour\u2029\\ {x} a\u00A0b\u2014"));
  // Paragraph formatting ends with the paragraph.
  ASSERT_TRUE(jex::rtf::read("{\\rtf1\\qc\\li1440 centred\\par\\pard left\\par\\rtlpar\\qr rtl}", doc));
  ASSERT_EQ(doc.blockCount(), 3);
  EXPECT_TRUE(doc.findBlockByNumber(0).blockFormat().alignment() & Qt::AlignHCenter);
  EXPECT_DOUBLE_EQ(doc.findBlockByNumber(0).blockFormat().leftMargin(), 96.0);  // one inch
  EXPECT_FALSE(doc.findBlockByNumber(1).blockFormat().alignment() & Qt::AlignHCenter);
  EXPECT_EQ(doc.findBlockByNumber(1).blockFormat().leftMargin(), 0.0);
  EXPECT_EQ(doc.findBlockByNumber(2).blockFormat().layoutDirection(), Qt::RightToLeft);
}

TEST(RtfReader, HugeNumbersAreClampedAndTextThatIsNoRtfIsRefused) {
  QTextDocument doc;
  ASSERT_TRUE(jex::rtf::read("{\\rtf1\\fs99999999999999999999 huge\\fs-5  neg}", doc));
  EXPECT_LE(formatOf(doc, "huge").fontPointSize(), 200.0);
  EXPECT_DOUBLE_EQ(formatOf(doc, "neg").fontPointSize(), 12.0);
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
  EXPECT_TRUE(jex::rtf::readFile(write("u.txt",
                                       "\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"
                                       "e\nzwei"),
                                 doc));
  EXPECT_EQ(doc.toPlainText(), QStringLiteral("Grüße\nzwei"));
  EXPECT_TRUE(jex::rtf::readFile(write("w.txt",
                                       "Gr\xFC\xDF"
                                       "e \x80"),
                                 doc));
  EXPECT_EQ(doc.toPlainText(), QStringLiteral("Grüße €"));
  EXPECT_FALSE(jex::rtf::readFile(dir.filePath(QStringLiteral("missing.rtf")), doc));
  EXPECT_TRUE(doc.isEmpty());
}

TEST(RtfReader, ShippedInformationTextsReadWell) {
  for (const auto& [lng, heading, words] :
       {std::tuple{"1031", "Willkommen", "Hauptmenü"}, {"1033", "Welcome", "main menu"}}) {
    SCOPED_TRACE(lng);
    const QString path =
        QStringLiteral(JEX_SOURCE_DIR "/data/LNG/") + QLatin1String(lng) + QStringLiteral("/JEXINFO.RTF");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray raw = file.readAll();
    EXPECT_TRUE(jex::rtf::isRtf(raw));
    EXPECT_TRUE(raw.contains("\\ansicpg1252"));
    for (char c : raw) EXPECT_LT(static_cast<unsigned char>(c), 0x80) << "non-ASCII byte in " << path.toStdString();
    QTextDocument doc;
    ASSERT_TRUE(jex::rtf::readFile(path, doc));
    const QString text = doc.toPlainText();
    for (const QString& w : {QString::fromUtf8(words), QStringLiteral("TOGGMEN"), QStringLiteral("F1")})
      EXPECT_TRUE(text.contains(w)) << text.toStdString();
    EXPECT_FALSE(text.contains(u'\\') || text.contains(u'{') || text.contains(QChar::ReplacementCharacter));
    EXPECT_GE(doc.blockCount(), 4);
    // The first paragraph is the title, in bold.
    EXPECT_TRUE(doc.firstBlock().text().contains(QLatin1String(heading)));
    EXPECT_EQ(formatOf(doc, QLatin1String(heading)).fontWeight(), QFont::Bold);
  }
}
