#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/system.h"

using jex::platform::Registry;

namespace {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
  QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
  void write(const char* name, const QByteArray& bytes) {
    QFile f(path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QTemporaryDir dir_;
};

TEST_F(RegistryTest, ValuesPersistAcrossInstancesAndIgnoreCase) {
  {
    Registry r(path("reg.json"));
    ASSERT_TRUE(r.setString(QStringLiteral("HKEY_CURRENT_USER"), QStringLiteral("Software\\Jex"), QStringLiteral("Name"), QStringLiteral("Wert")));
    ASSERT_TRUE(r.setDword(QStringLiteral("HKLM"), QStringLiteral("Software/Jex"), QStringLiteral("Count"), 4000000000u));
  }
  Registry r(path("reg.json"));
  EXPECT_EQ(r.value(QStringLiteral("hkey_current_user"), QStringLiteral("SOFTWARE\\jex"), QStringLiteral("name")).toString(), QStringLiteral("Wert"));
  EXPECT_EQ(r.value(QStringLiteral("HKEY_LOCAL_MACHINE"), QStringLiteral("Software\\Jex"), QStringLiteral("Count")).toUInt(), 4000000000u);
  EXPECT_FALSE(r.value(QStringLiteral("HKEY_USERS"), QStringLiteral("x"), QStringLiteral("y")).isValid());
  EXPECT_FALSE(r.setString(QStringLiteral("HKEY_USERS"), QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")));
}

TEST_F(RegistryTest, ImportsRegedit4WithStringsDwordsDefaultsAndDeletions) {
  write("jex.reg",
        "REGEDIT4\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Jex\\Old]\r\n\"X\"=\"1\"\r\n"
        "[HKEY_CURRENT_USER\\Software\\Jex]\r\n"
        "\"Path\"=\"C:\\\\Programme\\\\Corvane\"\r\n"
        "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
        "\"Level\"=dword:0000001f\r\n"
        "@=\"standard\"\r\n"
        "\"Umlaut\"=\"\xe4\xf6\xfc\"\r\n"
        "\"Binary\"=hex:01,02,\\\r\n  03\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Jex\\Old]\r\n");
  Registry r(path("reg.json"));
  const auto res = r.importRegFile(path("jex.reg"));
  EXPECT_TRUE(res.ok) << res.problems.join(QLatin1Char('\n')).toStdString();
  ASSERT_EQ(res.problems.size(), 1);  // the hex value is reported and skipped
  const QString key = QStringLiteral("Software\\Jex");
  const QString hkcu = QStringLiteral("HKCU");
  EXPECT_EQ(r.value(hkcu, key, QStringLiteral("Path")).toString(), QStringLiteral("C:\\Programme\\Corvane"));
  EXPECT_EQ(r.value(hkcu, key, QStringLiteral("Quote")).toString(), QStringLiteral("say \"hi\""));
  EXPECT_EQ(r.value(hkcu, key, QStringLiteral("Level")).toUInt(), 31u);
  EXPECT_EQ(r.value(hkcu, key, QString()).toString(), QStringLiteral("standard"));
  EXPECT_EQ(r.value(hkcu, key, QStringLiteral("Umlaut")).toString(), QString::fromUtf8("äöü"));
  EXPECT_FALSE(r.value(hkcu, QStringLiteral("Software\\Jex\\Old"), QStringLiteral("X")).isValid());
}

TEST_F(RegistryTest, ImportsVersion5Utf16AndRejectsBrokenFiles) {
  const QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Jex]\r\n\"Name\"=\"\u0391\u03b8\u03ae\u03bd\u03b1\"\r\n");
  QByteArray utf16("\xFF\xFE");
  utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
  write("v5.reg", utf16);
  Registry r(path("reg.json"));
  EXPECT_TRUE(r.importRegFile(path("v5.reg")).ok);
  EXPECT_EQ(r.value(QStringLiteral("HKLM"), QStringLiteral("Software\\Jex"), QStringLiteral("Name")).toString(), QString::fromUtf8("Αθήνα"));

  write("junk.reg", QByteArray("\x00\x01garbage\xff", 11));
  EXPECT_FALSE(r.importRegFile(path("junk.reg")).ok);
  write("bad.reg", "REGEDIT4\n\"orphan\"=\"x\"\n[HKEY_NOWHERE\\A]\n[HKEY_CURRENT_USER\\A]\n\"Broken=\"x\n\"D\"=dword:xyz\n");
  const auto res = r.importRegFile(path("bad.reg"));
  EXPECT_FALSE(res.ok);
  EXPECT_EQ(res.problems.size(), 4);
  EXPECT_FALSE(r.importRegFile(path("missing.reg")).ok);
}

TEST_F(RegistryTest, BrokenRegistryFileStartsEmptyAndIsReplacedOnWrite) {
  write("reg.json", "{ not json");
  Registry r(path("reg.json"));
  EXPECT_FALSE(r.value(QStringLiteral("HKCU"), QStringLiteral("A"), QStringLiteral("B")).isValid());
  EXPECT_TRUE(r.setString(QStringLiteral("HKCU"), QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")));
  EXPECT_EQ(Registry(path("reg.json")).value(QStringLiteral("HKCU"), QStringLiteral("A"), QStringLiteral("B")).toString(), QStringLiteral("C"));
}

TEST(SystemTest, SystemCodeIsThreeCharactersFromTheKernelVersion) {
  const QString code = jex::platform::systemCode();
  EXPECT_TRUE(code.startsWith(QLatin1Char('L')));
  EXPECT_GE(code.size(), 2);
  EXPECT_LE(code.size(), 3);
  EXPECT_FALSE(jex::platform::loginName().isEmpty());
}

}  // namespace
