// jexui-lng, the built tool, on copies of the shipped language files and the right-to-left test
// language: its PO files pass gettext's own checks, a round trip leaves every file as it was,
// a PO re-wrapped by msgcat imports the same, and bad files are refused with file:line.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include "tests/support/processes.h"

namespace {

const QString kTool = QStringLiteral(JEX_BIN_DIR "/jexui-lng");

using jex::testing::ToolRun;
ToolRun run(const QString& program, const QStringList& args) { return jex::testing::runTool(program, args); }

QByteArray read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

// A core directory with LNG/1031, 1033 and 1037.
class PoTool : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* lng : {"1031", "1033"}) copy(QStringLiteral(JEX_SOURCE_DIR "/data/LNG/") + lng, lng);
    copy(QStringLiteral(JEX_SOURCE_DIR "/tests/data/lng/LNG/1037"), "1037");
  }
  void copy(const QString& from, const char* lng) {
    QDir().mkpath(dir.filePath(QStringLiteral("LNG/") + lng));
    QFile::copy(from + QStringLiteral("/JEXUIDLG.INI"), lngFile(lng));
  }
  QString lngFile(const char* lng) const { return dir.filePath(QStringLiteral("LNG/%1/JEXUIDLG.INI").arg(lng)); }
  QString po(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
  ToolRun tool(const QStringList& args) { return run(kTool, QStringList{"--appdir", dir.path()} + args); }
  QByteArray exported(const char* lng) {
    const ToolRun r = tool({"export-po", lng, po("x.po")});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    return read(po("x.po"));
  }
  QTemporaryDir dir;
};

// The entry of a context in a PO text: its lines from the comment to msgstr.
QByteArray entry(const QByteArray& text, const QByteArray& context) {
  const qsizetype at = text.indexOf("msgctxt \"" + context + "\"\n");
  if (at < 0) return {};
  const qsizetype from = text.lastIndexOf("\n\n", at);
  const qsizetype to = text.indexOf("\n\n", at);
  return text.mid(from + 2, (to < 0 ? text.size() : to) - from - 2);
}

}  // namespace

class PoRoundTrip : public PoTool, public ::testing::WithParamInterface<const char*> {};

TEST_P(PoRoundTrip, ExportPassesMsgfmtAndImportLeavesTheFileByteIdentical) {
  const char* lng = GetParam();
  const QByteArray before = read(lngFile(lng));
  const QByteArray text = exported(lng);
  const ToolRun check = run("msgfmt", {"--check", "-o", "/dev/null", po("x.po")});
  EXPECT_EQ(check.exitCode, 0) << check.err.constData();
  EXPECT_EQ(check.err, "") << "msgfmt warns";
  const ToolRun back = tool({"import-po", lng, po("x.po")});
  EXPECT_EQ(back.exitCode, 0) << back.err.constData();
  EXPECT_TRUE(back.out.contains("0 written")) << back.out.constData();
  EXPECT_EQ(read(lngFile(lng)), before);
  // Re-wrapped by gettext's msgcat, the same file imports the same.
  ASSERT_EQ(run("msgcat", {"--width=24", "-o", po("wrapped.po"), po("x.po")}).exitCode, 0);
  ASSERT_NE(read(po("wrapped.po")), text) << "msgcat wrapped nothing";
  EXPECT_EQ(tool({"import-po", lng, po("wrapped.po")}).exitCode, 0);
  EXPECT_EQ(read(lngFile(lng)), before);
}

INSTANTIATE_TEST_SUITE_P(Languages, PoRoundTrip, ::testing::Values("1031", "1033", "1037"));

TEST_F(PoTool, EntriesNameTheirPartWithTheGermanTextAndTheKind) {
  const QByteArray text = exported("1033");
  EXPECT_TRUE(text.contains("\"X-JexUI-LNG: 1033\\n\"")) << text.left(400).constData();
  const QByteArray menu = entry(text, "frmMDI.cmdMenu(2)");
  EXPECT_TRUE(menu.startsWith("#. command\n")) << menu.constData();
  EXPECT_TRUE(menu.contains("msgid \"Sprachausgabe\"")) << menu.constData();
  EXPECT_TRUE(entry(text, "frmMDI.cmdMenu(2)#tip").contains("msgid \"Stimmeinstellungen,")) << "a tip of its own";
  EXPECT_FALSE(entry(text, "CapKeys.Shift").isEmpty());
  EXPECT_FALSE(entry(text, "frmVoices.cboSource_Item 0").isEmpty());
  EXPECT_FALSE(text.contains("msgctxt \"Global.")) << "settings are not exported";
  EXPECT_FALSE(text.contains("msgctxt \"Links."));
  EXPECT_FALSE(text.contains("msgctxt \"frmLocalizer.nl_")) << "never localised controls stay out";
}

TEST_F(PoTool, OneChangedMsgstrChangesOneLineAndObsoleteKeysAreLeftAlone) {
  write(lngFile("1033"), read(lngFile("1033")) + "\r\n[frmGone]\r\ncmdOld=Old\r\n");
  const QByteArray before = read(lngFile("1033"));
  QByteArray text = exported("1033");
  EXPECT_TRUE(text.contains("#~ msgctxt \"frmGone.cmdOld\"")) << "an unknown key goes out as obsolete";
  const QByteArray old = entry(text, "frmMDI.cmdMenu(2)");
  QByteArray changed = old;
  changed.replace("msgstr \"Speech\"", "msgstr \"Voices\"");
  ASSERT_NE(changed, old) << old.constData();
  text.replace(old, changed);
  text.replace("#~ msgstr \"Old\"", "#~ msgstr \"New\"");
  write(po("x.po"), text);
  ASSERT_EQ(tool({"import-po", "1033", po("x.po")}).exitCode, 0);
  const QList<QByteArray> a = before.split('\n'), b = read(lngFile("1033")).split('\n');
  ASSERT_EQ(a.size(), b.size());
  QList<QByteArray> differing;
  for (qsizetype i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) differing << b[i];
  ASSERT_EQ(differing.size(), 1);
  EXPECT_TRUE(differing[0].startsWith("cmdMenu(2)=Voices|")) << differing[0].constData();
}

TEST_F(PoTool, FuzzyEmptyAndUnusableEntriesAreSkippedAndCounted) {
  QByteArray text = exported("1031");
  text += "\n#, fuzzy\nmsgctxt \"frmMDI.cmdMenu(1)\"\nmsgid \"x\"\nmsgstr \"Fuzzy\"\n";
  text.replace("msgctxt \"frmMDI.cmdMenu(1)\"\nmsgid \"Braille\"\nmsgstr \"Braille\"\n", "");
  text += "\nmsgctxt \"frmNowhere.cmdX\"\nmsgid \"x\"\nmsgstr \"y\"\n";
  const QByteArray bar = entry(text, "frmMDI.cmdMenu(4)");
  text.replace(bar, QByteArray(bar).replace("msgstr \"Meridan\"", "msgstr \"a|b\""));
  const QByteArray hebrew = entry(text, "frmMDI.cmdMenu(5)");
  text.replace(hebrew, QByteArray(hebrew).replace("msgstr \"Extras\"", "msgstr \"\xd7\xa9\xd7\x9c\""));
  write(po("x.po"), text);
  const QByteArray before = read(lngFile("1031"));
  const ToolRun r = tool({"import-po", "1031", po("x.po")});
  EXPECT_EQ(r.exitCode, 0) << r.err.constData();
  EXPECT_TRUE(r.out.contains("skipped frmNowhere.cmdX: unknown context")) << r.out.constData();
  EXPECT_TRUE(r.out.contains("skipped frmMDI.cmdMenu(4): a caption")) << r.out.constData();
  EXPECT_TRUE(r.out.contains("skipped frmMDI.cmdMenu(5): text outside")) << r.out.constData();
  EXPECT_TRUE(r.out.contains("1 fuzzy")) << r.out.constData();
  EXPECT_EQ(read(lngFile("1031")), before);
}

TEST_F(PoTool, ALanguageWithoutAFileGetsANewUtf8One) {
  QByteArray text = exported("1031");
  text.replace("X-JexUI-LNG: 1031", "X-JexUI-LNG: 1049");
  const QByteArray menu = entry(text, "frmMDI.cmdMenu(2)");
  text.replace(menu,
               QByteArray(menu).replace("msgstr \"Sprachausgabe\"", "msgstr \"\xd0\xa0\xd0\xb5\xd1\x87\xd1\x8c\""));
  write(po("x.po"), text);
  const ToolRun r = tool({"import-po", "1049", po("x.po")});
  EXPECT_EQ(r.exitCode, 0) << r.err.constData();
  const QByteArray made = read(lngFile("1049"));
  EXPECT_TRUE(made.contains("\r\ncmdMenu(2)=\xd0\xa0\xd0\xb5\xd1\x87\xd1\x8c|")) << made.left(300).constData();
}

struct Refused {
  const char* name;
  const char* add;  // appended to a good PO file
  const char* problem;
};
class PoRefused : public PoTool, public ::testing::WithParamInterface<Refused> {};

TEST_P(PoRefused, WithFileAndLineAndNothingWritten) {
  QByteArray text = exported("1033");
  const int line = int(text.count('\n')) + 1;
  if (QByteArray(GetParam().name) == "Charset") text.replace("charset=UTF-8", "charset=ISO-8859-1");
  else if (QByteArray(GetParam().name) == "OtherLanguage") text.replace("X-JexUI-LNG: 1033", "X-JexUI-LNG: 1031");
  else text += GetParam().add;
  write(po("x.po"), text);
  const QByteArray before = read(lngFile("1033"));
  const ToolRun r = tool({"import-po", "1033", po("x.po")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains(GetParam().problem)) << r.err.constData();
  const QByteArray where = po("x.po").toUtf8() + ":";
  const qsizetype at = r.err.indexOf(where);
  ASSERT_GE(at, 0) << r.err.constData();
  const int reported = r.err.mid(at + where.size()).split(':').value(0).toInt();
  if (QByteArray(GetParam().add).size() > 0) {
    EXPECT_GE(reported, line) << "the line of the appended entry";
  } else {
    EXPECT_EQ(reported, 2) << "the header's line";
  }
  EXPECT_EQ(read(lngFile("1033")), before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PoRefused,
    ::testing::Values(
        Refused{"Unterminated", "\nmsgctxt \"frmMDI.cmdMenu(1)\nmsgid \"x\"\nmsgstr \"y\"\n", "unterminated"},
        Refused{"BadEscape", "\nmsgctxt \"frmX.a\"\nmsgid \"x\\q\"\nmsgstr \"y\"\n", "bad escape"},
        Refused{"Plural", "\nmsgctxt \"frmX.a\"\nmsgid \"x\"\nmsgid_plural \"xs\"\nmsgstr[0] \"y\"\n", "plural"},
        Refused{"Duplicate", "\nmsgctxt \"frmMDI.cmdMenu(2)\"\nmsgid \"x\"\nmsgstr \"y\"\n", "given twice"},
        Refused{"DuplicateInOtherCase", "\nmsgctxt \"FRMMDI.CMDMENU(2)\"\nmsgid \"x\"\nmsgstr \"y\"\n", "given twice"},
        Refused{"DuplicateBeyondAscii",
                "\nmsgctxt \"frmX.\xc3\x84b\"\nmsgid \"x\"\nmsgstr \"y\"\n\nmsgctxt \"FRMX.\xc3\xa4B\"\nmsgid "
                "\"x\"\nmsgstr "
                "\"y\"\n",
                "given twice"},
        Refused{"Charset", "", "unknown charset"}, Refused{"OtherLanguage", "", "language 1031"}),
    [](const auto& p) { return std::string(p.param.name); });
