#include "ini/privateprofile.h"

#include "core/base/log.h"
#include "ini_test_util.h"

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

const QByteArray kSample =
    "; leading comment\r\n"
    "[General]\r\n"
    "  Name  =  \"Hello World\"  \r\n"
    "; Hidden=1\r\n"
    "Number= -42abc\r\n"
    "Plus=+7\r\n"
    "Garbage=abc\r\n"
    "Empty=\r\n"
    "Quoted=\"5\"\r\n"
    "Dup=first\r\n"
    "DUP=second\r\n"
    "\r\n"
    "[Other]\r\n"
    "x=1\r\n";

QString str(const QString& section, const QString& key, const QString& file, const QString& def = "", int cp = 0) {
  QString buffer(1024, QChar(0));
  const quint32 n = pp::GetPrivateProfileString(section, key, def, buffer, 1024, file, cp);
  return buffer.left(n);
}

QStringList list(const QString& buffer, quint32 count) {
  QStringList items = buffer.left(count).split(QChar(0));
  if (!items.isEmpty() && items.last().isEmpty()) items.removeLast();
  return items;
}

QStringList section(const QString& name, const QString& file, int cp = 0) {
  QString buffer;
  return list(buffer, pp::GetPrivateProfileSection(name, buffer, 65536, file, cp));
}

}  // namespace

// Single lines are in the table at the end.
TEST(PrivateProfileRead, NamesIgnoreCaseAndDefaultsLoseTrailingBlanks) {
  IniFolder dir;
  const QString file = dir.write("a.ini", kSample);
  EXPECT_EQ(str("general", "NAME", file), "Hello World");
  EXPECT_EQ(str("General", "Missing", file, "dflt  "), "dflt") << "trailing blanks of the default go";
  EXPECT_EQ(str("Nowhere", "Name", file, "d"), "d");
  EXPECT_EQ(str("General", "Name", dir.path("missing.ini"), "d"), "d");
  EXPECT_EQ(pp::GetPrivateProfileInt("General", "Missing", -9898, file), -9898);
  EXPECT_EQ(pp::GetPrivateProfileInt("Other", "X", 9, dir.path("none.ini")), 9);
}

TEST(PrivateProfileRead, SectionsKeepCommentsAndDropBlankLines) {
  IniFolder dir;
  const QString file = dir.write("a.ini", kSample);
  const QStringList lines = section("GENERAL", file);
  ASSERT_EQ(lines.size(), 9);
  EXPECT_EQ(lines[0], "Name=\"Hello World\"");
  EXPECT_EQ(lines[1], "; Hidden=1");
  EXPECT_EQ(section("Other", file), QStringList{"x=1"});
  EXPECT_TRUE(section("Missing", file).isEmpty());

  QString buffer;
  EXPECT_EQ(list(buffer, pp::GetPrivateProfileSectionNames(buffer, 100, file)), (QStringList{"General", "Other"}));
  const quint32 n = pp::GetPrivateProfileString("Other", QString(), "", buffer, 100, file);
  EXPECT_EQ(list(buffer, n), QStringList{"x"});
}

TEST(PrivateProfileRead, BuffersTooSmallGiveTheDocumentedCounts) {
  IniFolder dir;
  const QString file = dir.write("a.ini", "[S]\r\nkey=abcdefgh\r\n[Second]\r\n");
  QString buffer;
  // A single value: cut, NUL-terminated, size - 1.
  EXPECT_EQ(pp::GetPrivateProfileString("S", "key", "", buffer, 5, file), 4u);
  EXPECT_EQ(buffer.left(5), QString("abcd") + QChar(0));
  EXPECT_EQ(pp::GetPrivateProfileString("S", "key", "", buffer, 9, file), 8u) << "exact fit";
  EXPECT_EQ(pp::GetPrivateProfileString("S", "key", "", buffer, 0, file), 0u);
  // A section ("key=abcdefgh" is 12 characters): cut lists end in two NULs, size - 2.
  EXPECT_EQ(pp::GetPrivateProfileSection("S", buffer, 10, file), 8u);
  EXPECT_EQ(buffer.left(10), QString("key=abcd") + QChar(0) + QChar(0));
  EXPECT_EQ(pp::GetPrivateProfileSection("S", buffer, 14, file), 13u) << "item, its NUL and the final NUL fit";
  EXPECT_EQ(pp::GetPrivateProfileSection("S", buffer, 13, file), 11u);
  // Section names "S\0Second\0" are 9 characters.
  EXPECT_EQ(pp::GetPrivateProfileSectionNames(buffer, 6, file), 4u);
  EXPECT_EQ(buffer.left(6), QString("S") + QChar(0) + "Se" + QChar(0) + QChar(0));
  EXPECT_EQ(pp::GetPrivateProfileSectionNames(buffer, 10, file), 9u);
  EXPECT_EQ(pp::GetPrivateProfileSectionNames(buffer, 1, file), 0u);
  EXPECT_EQ(pp::GetPrivateProfileSectionNames(buffer, 3, file), 1u) << "full after the first name";
  EXPECT_EQ(buffer.left(3), QString("S") + QChar(0) + QChar(0));
  // An empty list is two NULs.
  buffer.fill(QLatin1Char('x'), 4);
  EXPECT_EQ(pp::GetPrivateProfileSection("None", buffer, 4, file), 0u);
  EXPECT_EQ(buffer.left(2), QString(2, QChar(0)));
}

TEST(PrivateProfileEncoding, Utf8Windows1252AndNamedCodePagesAreRead) {
  IniFolder dir;
  const QString utf8 = dir.write("u.ini", "[S]\nk=Gr\xc3\xbc\xc3\x9f" "e\n");
  const QString ansi = dir.write("w.ini", "[S]\r\nk=Gr\xfc\xdf" "e\r\n");
  const QString greek = dir.write("g.ini", "[S]\r\nk=\xc5\xeb\xeb\xe7\xed\xe9\xea\xdc\r\n");
  const QString cyrillic = dir.write("c.ini", "[S]\r\nk=\xd0\xf3\xf1\xf1\xea\xe8\xe9\r\n");
  const QString bom = dir.write("b.ini", "\xef\xbb\xbf[S]\r\nk=\xc3\xa9\r\n");
  EXPECT_EQ(str("S", "k", utf8), QString::fromUtf8("Grüße"));
  EXPECT_EQ(str("S", "k", ansi), QString::fromUtf8("Grüße"));
  EXPECT_EQ(str("S", "k", greek, "", 1253), QString::fromUtf8("Ελληνικά"));
  EXPECT_EQ(str("S", "k", cyrillic, "", 1251), QString::fromUtf8("Русский"));
  EXPECT_EQ(str("S", "k", utf8, "", 1253), QString::fromUtf8("Grüße")) << "valid UTF-8 stays UTF-8";
  EXPECT_EQ(str("S", "k", bom), QString::fromUtf8("é"));
  EXPECT_NE(str("S", "k", greek), QString::fromUtf8("Ελληνικά")) << "without the code page: Western";
}

TEST(PrivateProfileEncoding, WritingKeepsEncodingAndLineEnds) {
  IniFolder dir;
  const QString ansi = dir.write("w.ini", "[S]\r\nk=Gr\xfc\xdf" "e\r\n");
  ASSERT_TRUE(pp::WritePrivateProfileString("S", "n", QString::fromUtf8("Öl"), ansi));
  EXPECT_EQ(IniFolder::read(ansi), QByteArray("[S]\r\nk=Gr\xfc\xdf" "e\r\nn=\xd6l\r\n"));

  const QString greek = dir.write("g.ini", "[S]\r\nk=\xc5\r\n");
  ASSERT_TRUE(pp::WritePrivateProfileString("S", "n", QString::fromUtf8("λ"), greek, 1253));
  EXPECT_EQ(IniFolder::read(greek), QByteArray("[S]\r\nk=\xc5\r\nn=\xeb\r\n"));

  const QString utf8 = dir.write("u.ini", "\xef\xbb\xbf[S]\nk=\xc3\xbc\n");
  ASSERT_TRUE(pp::WritePrivateProfileString("T", "n", QString::fromUtf8("ß"), utf8));
  EXPECT_EQ(IniFolder::read(utf8), QByteArray("\xef\xbb\xbf[S]\nk=\xc3\xbc\n\n[T]\nn=\xc3\x9f\n"));

  const QString fresh = dir.path("new.ini");
  ASSERT_TRUE(pp::WritePrivateProfileString("S", "k", QString::fromUtf8("€"), fresh));
  EXPECT_EQ(IniFolder::read(fresh), QByteArray("[S]\r\nk=\xe2\x82\xac\r\n"));
}

TEST(PrivateProfileWrite, KeysSectionsAndDeletionsKeepTheRestAndThePermissions) {
  IniFolder dir;
  const QString file = dir.write("a.ini", "; top\r\n[A]\r\n  One = 1\r\n;c\r\n\r\n[B]\r\nx=1\r\n\r\n[C]\r\ny=2\r\n");
  const auto kept = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
  QFile::setPermissions(file, kept);
  ASSERT_TRUE(pp::WritePrivateProfileString("a", "ONE", "first", file));
  ASSERT_TRUE(pp::WritePrivateProfileString("A", "Two", "2", file));
  ASSERT_TRUE(pp::WritePrivateProfileString("B", "x", QString(), file));
  ASSERT_TRUE(pp::WritePrivateProfileString("c", QString(), QString(), file));
  EXPECT_EQ(IniFolder::read(file), QByteArray("; top\r\n[A]\r\nOne=first\r\n;c\r\nTwo=2\r\n\r\n[B]\r\n\r\n"));

  ASSERT_TRUE(pp::WritePrivateProfileSection("A", QString("k=v") + QChar(0) + "bare" + QChar(0) + QChar(0), file));
  EXPECT_EQ(IniFolder::read(file), QByteArray("; top\r\n[A]\r\nk=v\r\nbare\r\n\r\n[B]\r\n\r\n"));
  EXPECT_EQ(section("A", file), (QStringList{"k=v", "bare"}));
  EXPECT_EQ(str("A", "bare", file, "d"), "d") << "a line without = is a key without a value";
  EXPECT_EQ(QFile::permissions(file) & QFile::Permissions::fromInt(0x7077), kept);
  EXPECT_EQ(QDir(dir.path("")).entryList(QDir::Files), (QStringList{"a.ini", "a.ini.lock"})) << "no temporary file left";
}

TEST(PrivateProfileWrite, UnusableNamesAndReadOnlyFilesFailWithALogLine) {
  IniFolder dir;
  jex::logfile::setPath(dir.path("jexui.log"));
  const QByteArray original = "[S]\r\nk=v\r\n";
  const QString file = dir.write("a.ini", original);
  EXPECT_FALSE(pp::WritePrivateProfileString("S]x", "k", "v", file));
  EXPECT_FALSE(pp::WritePrivateProfileString("S", "a=b", "v", file));
  EXPECT_FALSE(pp::WritePrivateProfileString("S", "k", "two\r\nlines", file));
  EXPECT_FALSE(pp::WritePrivateProfileSection("S", QString("[T]") + QChar(0) + QChar(0), file));
  EXPECT_EQ(IniFolder::read(file), original);

  QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup);
  EXPECT_FALSE(pp::WritePrivateProfileString("S", "k", "new", file));
  EXPECT_EQ(str("S", "k", file), "v") << "reads still work";

  QDir().mkdir(dir.path("ro"));
  QFile::setPermissions(dir.path("ro"), QFile::ReadOwner | QFile::ExeOwner);
  EXPECT_FALSE(pp::WritePrivateProfileString("S", "k", "v", dir.path("ro/new.ini")));
  EXPECT_FALSE(QFile::exists(dir.path("ro/new.ini")));
  QFile::setPermissions(dir.path("ro"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

  const QByteArray log = IniFolder::read(dir.path("jexui.log"));
  EXPECT_EQ(log.count("!!! ERROR INI write"), 6) << log.constData();
  EXPECT_TRUE(log.contains("read-only")) << log.constData();
  jex::logfile::setPath(QString());
}

TEST(PrivateProfileCache, ChangesAreSeenWithinTheSameSecondAndLater) {
  IniFolder dir;
  const QString file = dir.write("a.ini", "[S]\r\nk=aaaa\r\n");
  EXPECT_EQ(str("S", "k", file), "aaaa");
  dir.write("a.ini", "[S]\r\nk=bbbb\r\n");  // in place, same size, same second
  EXPECT_EQ(str("S", "k", file), "bbbb");

  IniFolder::age(file);
  EXPECT_EQ(str("S", "k", file), "bbbb");  // now cached
  EXPECT_EQ(str("S", "k", file), "bbbb");
  dir.write("a.ini", "[S]\r\nk=cccc\r\n");  // in place, same size, new time
  EXPECT_EQ(str("S", "k", file), "cccc");

  IniFolder::age(file, 120);  // another stamp than the first ageing, even within one millisecond
  EXPECT_EQ(str("S", "k", file), "cccc");
  // Replaced by another file of the same size and the same time stamp: the identity differs.
  const QString other = dir.write("b.ini", "[S]\r\nk=dddd\r\n");
  QFile in(file);
  in.open(QIODevice::ReadOnly);
  const QDateTime stamp = in.fileTime(QFileDevice::FileModificationTime);
  in.close();
  QFile o(other);
  o.open(QIODevice::ReadWrite);
  o.setFileTime(stamp, QFileDevice::FileModificationTime);
  o.close();
  QFile::remove(file);
  QFile::rename(other, file);
  EXPECT_EQ(str("S", "k", file), "dddd");
  QFile::remove(file);
  EXPECT_EQ(str("S", "k", file, "gone"), "gone");
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

TEST(PrivateProfileFiles, AFifoIsNeitherReadNorReplaced) {
  IniFolder dir;
  jex::logfile::setPath(dir.path("jexui.log"));
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
  EXPECT_TRUE(IniFolder::read(dir.path("jexui.log")).contains("not a regular file"));
  jex::logfile::setPath(QString());
}

TEST(PrivateProfileFiles, AWriteGivesUpOnALockHeldElsewhere) {
  IniFolder dir;
  jex::logfile::setPath(dir.path("jexui.log"));
  const QString file = dir.write("a.ini", "[S]\r\nk=v\r\n");
  QProcess holder;  // another process holds the writers' lock until its input ends
  holder.start("flock", {"--close", file + ".lock", "-c", "echo locked; exec cat"});
  ASSERT_TRUE(holder.waitForReadyRead(10000));
  auto write = std::async(std::launch::async, [&] { return pp::WritePrivateProfileString("S", "k", "w", file); });
  // Generous against the wait of about a second, but well short of a hang on the lock.
  const bool returned = write.wait_for(std::chrono::seconds(6)) == std::future_status::ready;
  holder.closeWriteChannel();
  ASSERT_TRUE(holder.waitForFinished(10000));
  EXPECT_TRUE(returned) << "the write kept waiting for the lock";
  EXPECT_FALSE(write.get());
  EXPECT_EQ(str("S", "k", file), "v");
  EXPECT_TRUE(IniFolder::read(dir.path("jexui.log")).contains("!!! ERROR INI write")) << "no log line";
  ASSERT_TRUE(pp::WritePrivateProfileString("S", "k", "w", file)) << "the lock is free again";
  jex::logfile::setPath(QString());
}
