// Export and import of one profile as a .zip: a round trip gives the same files, an existing
// name is refused, and archives a hostile sender could make are refused with nothing written.
#include "tests/dialogs/profiles/profiles_support.h"

using namespace profiles_test;

namespace {

class ArchiveTest : public ::testing::Test, public ProfilesFixture {
 protected:
  void SetUp() override {
    makeUser(QStringLiteral("Anna"), "Anna's");
    writeFile(users() + QStringLiteral("Anna/keys/leer.KBD"), "");  // an empty file too
    QDir().mkpath(users() + QStringLiteral("Anna/empty folder"));
  }
  QString zip(const char* name = "anna.zip") const { return appPath() + QLatin1String(name); }
};

TEST_F(ArchiveTest, ExportThenImportGivesIdenticalFiles) {
  ASSERT_EQ(profiles.Export(QStringLiteral("anna"), zip()), Outcome::Done) << profiles.Problem().toStdString();
  EXPECT_FALSE(QFileInfo::exists(zip() + QStringLiteral(".part")));
  QString named;
  ASSERT_EQ(profiles.Inspect(zip(), &named), Outcome::Done) << profiles.Problem().toStdString();
  EXPECT_EQ(named, u"Anna");
  // The user's own name is taken already; another one is free.
  EXPECT_EQ(profiles.Import(zip(), QStringLiteral("ANNA")), Outcome::Exists);
  ASSERT_EQ(profiles.Import(zip(), QStringLiteral("Anna 2")), Outcome::Done) << profiles.Problem().toStdString();
  EXPECT_EQ(tree(QStringLiteral("Anna 2")), tree(QStringLiteral("Anna")));
  EXPECT_TRUE(hidden().isEmpty());
  // Deleted and imported again under the manifest's name: the same profile back.
  const auto anna = tree(QStringLiteral("Anna"));
  ASSERT_EQ(profiles.Delete(QStringLiteral("Anna")), Outcome::Done);
  ASSERT_EQ(profiles.Import(zip(), named), Outcome::Done);
  EXPECT_EQ(tree(QStringLiteral("Anna")), anna);
}

TEST_F(ArchiveTest, ANamesUtf8AndAFailedExportLeavesNoArchive) {
  writeFile(users() + QStringLiteral("Anna/Grüße.txt"), "äöü");
  ASSERT_EQ(profiles.Copy(QStringLiteral("Anna"), QStringLiteral("Jürgen")), Outcome::Done);
  ASSERT_EQ(profiles.Export(QStringLiteral("Jürgen"), zip()), Outcome::Done);
  QString named;
  ASSERT_EQ(profiles.Inspect(zip(), &named), Outcome::Done);
  EXPECT_EQ(named, u"Jürgen");
  ASSERT_EQ(profiles.Import(zip(), QStringLiteral("Jürgen 2")), Outcome::Done);
  EXPECT_EQ(readFile(users() + QStringLiteral("Jürgen 2/Grüße.txt")), u"äöü");
  EXPECT_EQ(profiles.Export(QStringLiteral("Nobody"), zip("nobody.zip")), Outcome::Missing);
  EXPECT_EQ(profiles.Export(QStringLiteral("Anna"), appPath() + QStringLiteral("no/such/folder.zip")), Outcome::Failed);
  EXPECT_FALSE(QFileInfo::exists(zip("nobody.zip")));
}

struct Hostile {
  const char* name;
  QList<ZipItem> items;
  const char* why;  // what the reason given says
};

QList<Hostile> hostileArchives() {
  const ZipItem manifest{"jexui-profile.ini", goodManifest()};
  const ZipItem root{"profile/", {}, AE_IFDIR};
  QList<ZipItem> many{manifest, root};
  for (int i = 0; i < 10000; ++i) many << ZipItem{"profile/f" + QByteArray::number(i), {}};
  return {
      {"DotDot", {manifest, root, {"profile/../../evil.txt", "x"}}, "outside"},
      {"DotDotAtTheTop", {manifest, {"../evil.txt", "x"}}, "outside"},
      {"Absolute", {manifest, {"/tmp/jexui-evil.txt", "x"}}, "absolute"},
      {"Symlink", {manifest, root, {"profile/link", {}, AE_IFLNK, "/etc/passwd"}}, "link"},
      {"CharDevice", {manifest, root, {"profile/tty", {}, AE_IFREG, {}, false, 020644}}, "neither"},
      {"BlockDevice", {manifest, root, {"profile/sda", {}, AE_IFREG, {}, false, 060644}}, "neither"},
      {"SymlinkByMode", {manifest, root, {"profile/link", "/etc/passwd", AE_IFREG, {}, false, 0120777}}, "link"},
      {"RawDotDot", {manifest, root, {"profile/../x", "x", AE_IFREG, {}, false, 0100644}}, "outside"},
      // Backslashes are read as folder separators.
      {"Backslash", {manifest, root, {"profile\\..\\..\\evil.txt", "x"}}, "outside"},
      {"ControlCharacter", {manifest, root, {"profile/a\nb", "x"}}, "control"},
      {"OutsideTheProfile", {manifest, root, {"other/file", "x"}}, "outside the profile"},
      {"Twice", {manifest, root, {"profile/a", "1"}, {"profile/a", "2"}}, "twice"},
      {"NoManifest", {root, {"profile/a", "1"}}, "no manifest"},
      {"ForeignManifest", {{"jexui-profile.ini", "[Other]\r\nFormat=1\r\nUser=Anna\r\n"}, root}, "foreign"},
      {"LaterFormat", {{"jexui-profile.ini", "[JexUI Profile]\r\nFormat=2\r\nUser=Anna\r\n"}, root}, "foreign"},
      {"ManifestWithoutUser", {{"jexui-profile.ini", "[JexUI Profile]\r\nFormat=1\r\n"}, root}, "foreign"},
      {"TooManyEntries", many, "entries"},
      {"TooDeep", {manifest, root, {"profile/" + QByteArray("d/").repeated(65) + "f", "x"}}, "too deep"},
  };
}

class HostileArchiveTest : public ::testing::TestWithParam<Hostile>, public ProfilesFixture {};

TEST_P(HostileArchiveTest, IsRefusedWithAReasonAndNothingWritten) {
  const QString archive = appPath() + QStringLiteral("hostile.zip");
  ASSERT_TRUE(writeZip(archive, GetParam().items));
  const auto before = snapshot(appPath());
  EXPECT_EQ(profiles.Inspect(archive, nullptr), Outcome::BadArchive);
  EXPECT_TRUE(profiles.Problem().contains(QLatin1String(GetParam().why))) << profiles.Problem().toStdString();
  EXPECT_EQ(profiles.Import(archive, QStringLiteral("Imported")), Outcome::BadArchive);
  EXPECT_EQ(snapshot(appPath()), before) << profiles.Problem().toStdString();
  EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/tmp/jexui-evil.txt")));
  EXPECT_FALSE(QFileInfo::exists(dir.path() + QStringLiteral("/evil.txt")));
}

INSTANTIATE_TEST_SUITE_P(Archives, HostileArchiveTest, ::testing::ValuesIn(hostileArchives()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ArchiveTest, AFifoEntryComesOutAsAnOrdinaryFile) {
  // The archive reader gives a FIFO's entry as a regular file: nothing but a file is made.
  ASSERT_TRUE(writeZip(zip("fifo.zip"), {{"jexui-profile.ini", goodManifest()},
                                         {"profile/", {}, AE_IFDIR},
                                         {"profile/fifo", "data", AE_IFREG, {}, false, 010644}}));
  ASSERT_EQ(profiles.Import(zip("fifo.zip"), QStringLiteral("Fifo")), Outcome::Done)
      << profiles.Problem().toStdString();
  const QFileInfo made(users() + QStringLiteral("Fifo/fifo"));
  EXPECT_TRUE(made.isFile());
  EXPECT_EQ(readFile(made.filePath()), u"data");
}

TEST_F(ArchiveTest, TruncatedDamagedOversizedAndNonArchivesAreRefused) {
  ASSERT_EQ(profiles.Export(QStringLiteral("Anna"), zip()), Outcome::Done);
  QFile whole(zip());
  ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
  const QByteArray bytes = whole.readAll();
  const QList<std::pair<const char*, QByteArray>> broken = {
      {"truncated.zip", bytes.left(bytes.size() * 2 / 3)},
      {"cut-short.zip", bytes.left(bytes.size() - 10)},
      {"text.zip", "just some text, no archive"},
      {"empty.zip", {}},
  };
  const auto before = snapshot(users());
  for (const auto& [name, content] : broken) {
    writeFile(zip(name), content);
    EXPECT_EQ(profiles.Import(zip(name), QStringLiteral("Imported")), Outcome::BadArchive) << name;
    EXPECT_EQ(snapshot(users()), before) << name;
  }
  // More than 256 MiB unpacked: zeros that pack small.
  const QString big = zip("big.zip");
  ASSERT_TRUE(writeZip(big, {{"jexui-profile.ini", goodManifest()},
                             {"profile/a", QByteArray(200 << 20, '\0')},
                             {"profile/b", QByteArray(57 << 20, '\0')}}));
  EXPECT_EQ(profiles.Import(big, QStringLiteral("Imported")), Outcome::BadArchive);
  EXPECT_TRUE(profiles.Problem().contains(QStringLiteral("bytes unpacked"))) << profiles.Problem().toStdString();
  EXPECT_EQ(snapshot(users()), before);
  // A folder where the archive should be.
  EXPECT_EQ(profiles.Import(appPath(), QStringLiteral("Imported")), Outcome::BadArchive);
}

}  // namespace
