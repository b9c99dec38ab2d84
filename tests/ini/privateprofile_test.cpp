#include "ini/privateprofile.h"

#include "base/log.h"
#include "ini_test_util.h"
#include "tests/base/codepagesamples.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <chrono>
#include <future>
#include <tuple>

namespace pp = jex::ini;
using jex::test::IniFolder;

namespace {

const QChar kNul(0);

QString str(const QString& section, const QString& key, const QString& file, const QString& def = "", int cp = 0) {
  QString buffer(1024, kNul);
  return buffer.left(pp::GetPrivateProfileString(section, key, def, buffer, 1024, file, cp));
}

QStringList list(const QString& buffer, quint32 count) {
  QStringList items = buffer.left(count).split(kNul);
  if (!items.isEmpty() && items.last().isEmpty()) items.removeLast();
  return items;
}

QStringList section(const QString& name, const QString& file, int cp = 0) {
  QString buffer;
  return list(buffer, pp::GetPrivateProfileSection(name, buffer, 65536, file, cp));
}

// A scratch folder whose log file catches the error lines of failed writes.
struct Profile : ::testing::Test {
  IniFolder dir;
  void SetUp() override { jex::logfile::setPath(dir.path("jexui.log")); }
  void TearDown() override { jex::logfile::setPath(QString()); }
  QString file(const QByteArray& bytes) const { return dir.write("a.ini", bytes); }
  QByteArray log() const { return IniFolder::read(dir.path("jexui.log")); }
};

}  // namespace

// Single lines are in the table further down.
TEST_F(Profile, NamesIgnoreCaseSectionsKeepCommentsAndDefaultsLoseTrailingBlanks) {
  const QString f =
      file("; leading comment\r\n[General]\r\n  Name  =  \"Hello World\"  \r\n; Hidden=1\r\n\r\n[Other]\r\nx=1\r\n");
  EXPECT_EQ(str("general", "NAME", f), "Hello World");
  EXPECT_EQ(str("General", "Missing", f, "dflt  "), "dflt");
  EXPECT_EQ(str("Nowhere", "Name", f, "d"), "d");
  EXPECT_EQ(str("General", "Name", dir.path("missing.ini"), "d"), "d");
  EXPECT_EQ(pp::GetPrivateProfileInt("General", "Missing", -9898, f), -9898);
  EXPECT_EQ(pp::GetPrivateProfileInt("Other", "X", 9, dir.path("none.ini")), 9);
  EXPECT_EQ(section("GENERAL", f), (QStringList{"Name=\"Hello World\"", "; Hidden=1"}));
  EXPECT_TRUE(section("Missing", f).isEmpty());
  QString buffer;
  EXPECT_EQ(list(buffer, pp::GetPrivateProfileSectionNames(buffer, 100, f)), (QStringList{"General", "Other"}));
  EXPECT_EQ(list(buffer, pp::GetPrivateProfileString("Other", QString(), "", buffer, 100, f)), QStringList{"x"});
}

// A value is cut and NUL-terminated (count size - 1); a list that does not fit ends in two NULs
// (count size - 2); an empty list is two NULs.
TEST_F(Profile, BuffersTooSmallGiveTheDocumentedCounts) {
  const QString f = file("[S]\r\nkey=abcdefgh\r\n[Second]\r\n");
  const struct {
    char what;  // v: the value of S/key (8 characters), s: section S ("key=abcdefgh"), n: section names, e: no section
    quint32 size, count;
    QString head;
  } cases[] = {{'v', 5, 4, QString("abcd") + kNul},
               {'v', 9, 8, QString("abcdefgh") + kNul},
               {'v', 0, 0, {}},
               {'s', 10, 8, QString("key=abcd") + kNul + kNul},
               {'s', 14, 13, QString("key=abcdefgh") + kNul + kNul},
               {'s', 13, 11, QString("key=abcdefg") + kNul + kNul},
               {'n', 6, 4, QString("S") + kNul + "Se" + kNul + kNul},
               {'n', 10, 9, QString("S") + kNul + "Second" + kNul + kNul},
               {'n', 1, 0, {}},
               {'n', 3, 1, QString("S") + kNul + kNul},
               {'e', 4, 0, QString(2, kNul)}};
  for (const auto& c : cases) {
    QString buffer(16, QLatin1Char('x'));
    const quint32 n = c.what == 'v'   ? pp::GetPrivateProfileString("S", "key", "", buffer, c.size, f)
                      : c.what == 'n' ? pp::GetPrivateProfileSectionNames(buffer, c.size, f)
                                      : pp::GetPrivateProfileSection(c.what == 's' ? "S" : "None", buffer, c.size, f);
    EXPECT_EQ(n, c.count) << c.what << c.size;
    EXPECT_EQ(buffer.left(c.head.size()), c.head) << c.what << c.size;
  }
}

TEST_F(Profile, Utf8Windows1252AndNamedCodePagesAreRead) {
  const struct {
    QByteArray bytes;
    int cp;
    const char* expected;
    bool equal = true;
  } cases[] = {
      {"[S]\nk=Gr\xc3\xbc\xc3\x9f"
       "e\n",
       0, "Grüße"},
      {"[S]\r\nk=Gr\xfc\xdf"
       "e\r\n",
       0, "Grüße"},
      {"[S]\r\nk=\xc5\xeb\xeb\xe7\xed\xe9\xea\xdc\r\n", 1253, "Ελληνικά"},
      {"[S]\r\nk=\xd0\xf3\xf1\xf1\xea\xe8\xe9\r\n", 1251, "Русский"},
      {"[S]\nk=Gr\xc3\xbc\xc3\x9f"
       "e\n",
       1253, "Grüße"},  // valid UTF-8 stays UTF-8
      {"\xef\xbb\xbf[S]\r\nk=\xc3\xa9\r\n", 0, "é"},
      {"[S]\r\nk=\xc5\xeb\xeb\xe7\xed\xe9\xea\xdc\r\n", 0, "Ελληνικά", false}};  // without the code page: Western
  for (const auto& c : cases)
    EXPECT_EQ(str("S", "k", file(c.bytes), "", c.cp) == QString::fromUtf8(c.expected), c.equal) << c.bytes.constData();
}

TEST_F(Profile, WritingKeepsEncodingAndLineEnds) {
  const struct {
    QByteArray before;  // empty: no file yet
    const char* section;
    const char* value;
    int cp;
    QByteArray after;
  } cases[] = {{"[S]\r\nk=Gr\xfc\xdf"
                "e\r\n",
                "S", "Öl", 0,
                "[S]\r\nk=Gr\xfc\xdf"
                "e\r\nn=\xd6l\r\n"},
               {"[S]\r\nk=\xc5\r\n", "S", "λ", 1253, "[S]\r\nk=\xc5\r\nn=\xeb\r\n"},
               {"\xef\xbb\xbf[S]\nk=\xc3\xbc\n", "T", "ß", 0, "\xef\xbb\xbf[S]\nk=\xc3\xbc\n\n[T]\nn=\xc3\x9f\n"},
               {"", "S", "€", 0, "[S]\r\nn=\xe2\x82\xac\r\n"}};
  for (const auto& c : cases) {
    const QString f = dir.path("a.ini");
    QFile::remove(f);
    if (!c.before.isEmpty()) file(c.before);
    ASSERT_TRUE(pp::WritePrivateProfileString(c.section, "n", QString::fromUtf8(c.value), f, c.cp));
    EXPECT_EQ(IniFolder::read(f), c.after);
  }
}

// A file in each listed code page: its value is read in the page it is named with, and a value
// written to it is written in that page.
class ProfileCodePages : public Profile, public ::testing::WithParamInterface<jex::test::CodePageSample> {};

TEST_P(ProfileCodePages, ReadAndWrittenInTheNamedPage) {
  const auto& c = GetParam();
  const QString f = file("[S]\r\nk=" + c.bytes + "\r\n");
  EXPECT_EQ(str("S", "k", f, "", c.codePage), QString::fromUtf8(c.text));
  ASSERT_TRUE(pp::WritePrivateProfileString("S", "n", QString::fromUtf8(c.text), f, c.codePage));
  EXPECT_EQ(IniFolder::read(f), "[S]\r\nk=" + c.bytes + "\r\nn=" + c.bytes + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Listed, ProfileCodePages, ::testing::ValuesIn(jex::test::codePageSamples()),
                         jex::test::codePageName);

// Edits go through a temporary file that replaces the old one: the rest, the permissions and
// nothing else stays behind.
TEST_F(Profile, KeysSectionsAndDeletionsKeepTheRestAndThePermissions) {
  const QString f = file("; top\r\n[A]\r\n  One = 1\r\n;c\r\n\r\n[B]\r\nx=1\r\n\r\n[C]\r\ny=2\r\n");
  const auto kept = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
  QFile::setPermissions(f, kept);
  ASSERT_TRUE(pp::WritePrivateProfileString("a", "ONE", "first", f));
  ASSERT_TRUE(pp::WritePrivateProfileString("A", "Two", "2", f));
  ASSERT_TRUE(pp::WritePrivateProfileString("B", "x", QString(), f));
  ASSERT_TRUE(pp::WritePrivateProfileString("c", QString(), QString(), f));
  EXPECT_EQ(IniFolder::read(f), QByteArray("; top\r\n[A]\r\nOne=first\r\n;c\r\nTwo=2\r\n\r\n[B]\r\n\r\n"));
  ASSERT_TRUE(pp::WritePrivateProfileSection("A", QString("k=v") + kNul + "bare" + kNul + kNul, f));
  EXPECT_EQ(IniFolder::read(f), QByteArray("; top\r\n[A]\r\nk=v\r\nbare\r\n\r\n[B]\r\n\r\n"));
  EXPECT_EQ(str("A", "bare", f, "d"), "d") << "a line without = is a key without a value";
  EXPECT_EQ(QFile::permissions(f) & QFile::Permissions::fromInt(0x7077), kept);
  EXPECT_EQ(QDir(dir.path("")).entryList({"a.ini*"}, QDir::Files), (QStringList{"a.ini", "a.ini.lock"}));
}

TEST_F(Profile, UnusableNamesAndReadOnlyFilesFailWithALogLine) {
  const QByteArray original = "[S]\r\nk=v\r\n";
  const QString f = file(original);
  EXPECT_FALSE(pp::WritePrivateProfileString("S]x", "k", "v", f));
  EXPECT_FALSE(pp::WritePrivateProfileString("S", "a=b", "v", f));
  EXPECT_FALSE(pp::WritePrivateProfileString("S", "k", "two\r\nlines", f));
  EXPECT_FALSE(pp::WritePrivateProfileSection("S", QString("[T]") + kNul + kNul, f));
  EXPECT_EQ(IniFolder::read(f), original);

  QFile::setPermissions(f, QFile::ReadOwner | QFile::ReadGroup);
  EXPECT_FALSE(pp::WritePrivateProfileString("S", "k", "new", f));
  EXPECT_EQ(str("S", "k", f), "v") << "reads still work";

  const QString ro = dir.path("ro");
  QDir().mkdir(ro);
  QFile::setPermissions(ro, QFile::ReadOwner | QFile::ExeOwner);
  EXPECT_FALSE(pp::WritePrivateProfileString("S", "k", "v", ro + "/new.ini"));
  EXPECT_FALSE(QFile::exists(ro + "/new.ini"));
  QFile::setPermissions(ro, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  EXPECT_EQ(log().count("!!! ERROR INI write"), 6) << log().constData();
  EXPECT_TRUE(log().contains("read-only")) << log().constData();
}

// Files younger than a few seconds are read again each time; older ones are cached by time
// stamp, size and identity.
TEST_F(Profile, ChangesAreSeenWithinTheSameSecondAndLater) {
  const QString f = file("[S]\r\nk=aaaa\r\n");
  EXPECT_EQ(str("S", "k", f), "aaaa");
  file("[S]\r\nk=bbbb\r\n");  // in place, same size, same second
  EXPECT_EQ(str("S", "k", f), "bbbb");
  IniFolder::age(f);
  EXPECT_EQ(str("S", "k", f), "bbbb");  // now cached
  file("[S]\r\nk=cccc\r\n");            // in place, same size, new time
  EXPECT_EQ(str("S", "k", f), "cccc");
  IniFolder::age(f, 120);  // another stamp than the first ageing
  EXPECT_EQ(str("S", "k", f), "cccc");
  // Replaced by another file of the same size and time stamp: the identity differs.
  const QString other = dir.write("b.ini", "[S]\r\nk=dddd\r\n");
  QFile o(other);
  ASSERT_TRUE(o.open(QIODevice::ReadWrite));
  o.setFileTime(QFileInfo(f).lastModified(), QFileDevice::FileModificationTime);
  o.close();
  QFile::remove(f);
  QFile::rename(other, f);
  EXPECT_EQ(str("S", "k", f), "dddd");
  QFile::remove(f);
  EXPECT_EQ(str("S", "k", f, "gone"), "gone");
}

// How single lines read, as the Windows functions document them: the value through
// GetPrivateProfileString (default "dflt") and GetPrivateProfileInt (default 99), and the
// section as GetPrivateProfileSection gives it.
struct LineCase {
  const char* name;
  QByteArray file;
  const char* key;
  QString value;
  int number;
  QStringList section;
};

class PrivateProfileLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(PrivateProfileLines, ReadAsDocumented) {
  const LineCase& c = GetParam();
  IniFolder dir;
  const QString file = dir.write("a.ini", c.file);
  EXPECT_EQ(str("S", c.key, file, "dflt"), c.value);
  EXPECT_EQ(pp::GetPrivateProfileInt("S", c.key, 99, file), c.number);
  EXPECT_EQ(section("S", file), c.section);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PrivateProfileLines,
    ::testing::Values(
        LineCase{"SignedLeadingDigits", "[S]\r\nk= -42abc\r\n", "k", "-42abc", -42, {"k=-42abc"}},
        LineCase{"PlusSign", "[S]\r\nk=+7\r\n", "k", "+7", 7, {"k=+7"}},
        LineCase{"NoDigits", "[S]\r\nk=abc\r\n", "k", "abc", 0, {"k=abc"}},
        LineCase{"FirstOfEqualKeysWins", "[S]\r\nk=first\r\nK=second\r\n", "K", "first", 0, {"k=first", "K=second"}},
        LineCase{"CommentIsNoKey", "[S]\r\n; k=1\r\n", "; k", "dflt", 99, {"; k=1"}},
        LineCase{"DoubleQuotes", "[S]\r\nk=\"7 a\"\r\n", "k", "7 a", 7, {"k=\"7 a\""}},
        LineCase{"SingleQuotes", "[S]\r\nk = '7 a' \r\n", "k", "7 a", 7, {"k='7 a'"}},
        LineCase{"EmptyDoubleQuotes", "[S]\r\nk=\"\"\r\n", "k", "", 99, {"k=\"\""}},
        LineCase{"EmptySingleQuotes", "[S]\r\nk=''\r\n", "k", "", 99, {"k=''"}},
        LineCase{"UnmatchedQuotes", "[S]\r\nk='a\"\r\n", "k", "'a\"", 0, {"k='a\""}},
        LineCase{"LoneQuote", "[S]\r\nk='\r\n", "k", "'", 0, {"k='"}},
        LineCase{"BlanksAroundEquals", "[S]\r\n\t key  =  v w \r\n", "KEY", "v w", 0, {"key=v w"}},
        LineCase{"EmptyValueIsPresent", "[S]\r\nk=\r\n", "k", "", 99, {"k="}},
        LineCase{"KeyWithoutEquals", "[S]\r\nk\r\nk=late\r\n", "k", "dflt", 99, {"k", "k=late"}},
        LineCase{"HeaderWithoutBracket", "[S]\r\n[T\r\nk=5\r\n", "k", "5", 5, {"[T", "k=5"}},
        LineCase{"KeyUnderBrokenHeaderStaysInItsSection", "[T\r\nk=5\r\n[S]\r\n", "k", "dflt", 99, {}}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST_F(Profile, AFifoIsNeitherReadNorReplaced) {
  const QString fifo = dir.path("fifo.ini");
  ASSERT_EQ(QProcess::execute("mkfifo", {fifo}), 0);
  auto reads = std::async(std::launch::async, [&] {
    QString buffer;
    return std::make_tuple(str("S", "k", fifo, "d"), pp::GetPrivateProfileInt("S", "k", 3, fifo),
                           pp::GetPrivateProfileSection("S", buffer, 100, fifo),
                           pp::WritePrivateProfileString("S", "k", "v", fifo));
  });
  if (reads.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    QFile writer(fifo);  // releases a reader stuck in open()
    writer.open(QIODevice::WriteOnly);
    writer.close();
    reads.wait();
    FAIL() << "a read of a FIFO blocked";
  }
  EXPECT_EQ(reads.get(), std::make_tuple(QString("d"), 3, 0u, false));
  EXPECT_FALSE(QFileInfo(fifo).isFile()) << "the FIFO must not be replaced by a file";
  EXPECT_TRUE(log().contains("not a regular file"));
}

TEST_F(Profile, AWriteGivesUpOnALockHeldElsewhere) {
  const QString f = file("[S]\r\nk=v\r\n");
  QProcess holder;  // another process holds the writers' lock until its input ends
  holder.start("flock", {"--close", f + ".lock", "-c", "echo locked; exec cat"});
  ASSERT_TRUE(holder.waitForReadyRead(10000));
  auto write = std::async(std::launch::async, [&] { return pp::WritePrivateProfileString("S", "k", "w", f); });
  // Generous against the wait of about a second, but well short of a hang on the lock.
  const bool returned = write.wait_for(std::chrono::seconds(6)) == std::future_status::ready;
  holder.closeWriteChannel();
  ASSERT_TRUE(holder.waitForFinished(10000));
  EXPECT_TRUE(returned) << "the write kept waiting for the lock";
  EXPECT_FALSE(write.get());
  EXPECT_EQ(str("S", "k", f), "v");
  EXPECT_TRUE(log().contains("!!! ERROR INI write")) << "no log line";
  ASSERT_TRUE(pp::WritePrivateProfileString("S", "k", "w", f)) << "the lock is free again";
}

// Several keys of one section in one write.
using Entries = QList<std::pair<QString, QString>>;

TEST_F(Profile, ABatchChangesKeysInPlaceAndAppendsNewOnesInOrder) {
  const QByteArray before = "; head\r\n[A]\r\nx=1\r\n\r\n[S]\r\n; note\r\nk=old\r\nK2 = two\r\n\r\n[B]\r\ny=2\r\n";
  const QString f = file(before);
  ASSERT_TRUE(pp::WritePrivateProfileEntries("s", {{"z", "Z"}, {"k2", "zwei"}, {"a", "A"}, {"k", "neu"}}, f));
  EXPECT_EQ(
      IniFolder::read(f),
      QByteArray("; head\r\n[A]\r\nx=1\r\n\r\n[S]\r\n; note\r\nk=neu\r\nK2=zwei\r\nz=Z\r\na=A\r\n\r\n[B]\r\ny=2\r\n"));
  ASSERT_TRUE(pp::WritePrivateProfileEntries("New", {{"b", "1"}, {"a", "2"}, {"b", "3"}}, f));
  EXPECT_TRUE(IniFolder::read(f).endsWith("[B]\r\ny=2\r\n\r\n[New]\r\nb=3\r\na=2\r\n"))
      << IniFolder::read(f).constData();
}

TEST_F(Profile, ABatchKeepsTheCodePageAndRefusesCharactersItCannotHold) {
  const QByteArray before = "[S]\nk=\xe0\n";  // Hebrew alef in code page 1255, LF line ends
  const QString f = file(before);
  ASSERT_TRUE(pp::WritePrivateProfileEntries("S", {{"k", QString::fromUtf8("שלום")}, {"n", "x"}}, f, 1255));
  EXPECT_EQ(IniFolder::read(f), QByteArray("[S]\nk=\xf9\xec\xe5\xed\nn=x\n"));
  const QByteArray written = IniFolder::read(f);
  QString problem;
  EXPECT_FALSE(
      pp::WritePrivateProfileEntries("S", {{"n", "y"}, {"k", QString::fromUtf8("Grüße €")}}, f, 1255, &problem));
  EXPECT_TRUE(problem.contains("\"k\"") && problem.contains("1255")) << problem.toStdString();
  EXPECT_EQ(IniFolder::read(f), written) << "nothing is written when one entry cannot be";
}

TEST_F(Profile, ABatchWithALineBreakOrAnUnusableKeyWritesNothing) {
  const QByteArray before = "[S]\r\nk=v\r\n";
  const QString f = file(before);
  for (const Entries& bad :
       {Entries{{"k", "w"}, {"n", "a\nb"}}, Entries{{"k", "w"}, {"[x", "1"}}, Entries{{"k", "w"}, {"a=b", "1"}}}) {
    QString problem;
    EXPECT_FALSE(pp::WritePrivateProfileEntries("S", bad, f, 0, &problem));
    EXPECT_FALSE(problem.isEmpty());
    EXPECT_EQ(IniFolder::read(f), before);
  }
  QFile(f).setPermissions(QFile::ReadOwner);
  QString problem;
  EXPECT_FALSE(pp::WritePrivateProfileEntries("S", {{"k", "w"}}, f, 0, &problem));
  EXPECT_TRUE(problem.contains("read-only")) << problem.toStdString();
  EXPECT_FALSE(pp::WritePrivateProfileEntries("S", {{"k", "w"}}, dir.path("gone/a.ini"), 0, &problem));
  EXPECT_TRUE(problem.contains("folder")) << problem.toStdString();
}

TEST_F(Profile, QuotedValuesReadBackExactly) {
  const QString f = file("[S]\r\n");
  const QStringList values{" lead", "trail ", "\"q", "q'", "\"both\"", "plain", "", "in \"side\" ok"};
  Entries entries;
  for (int i = 0; i < values.size(); ++i) entries.append({QString("k%1").arg(i), pp::QuotedValue(values[i])});
  ASSERT_TRUE(pp::WritePrivateProfileEntries("S", entries, f));
  for (int i = 0; i < values.size(); ++i)
    EXPECT_EQ(str("S", QString("k%1").arg(i), f, "<missing>"), values[i].isEmpty() ? QString() : values[i]);
  EXPECT_EQ(pp::QuotedValue("plain"), "plain") << "only values that need them get quotes";
}
