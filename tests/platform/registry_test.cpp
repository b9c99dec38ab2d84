#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>
#include <thread>

#include "platform/registry.h"
#include "platform/system.h"

using jex::platform::Registry;

namespace {

class RegistryTest : public ::testing::Test {
 protected:
  QString path(const char* name) const { return dir_.filePath(name); }
  void write(const char* name, const QByteArray& bytes) {
    QFile f(path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QTemporaryDir dir_;
  const QString jex_ = "Software\\Jex";
};

TEST_F(RegistryTest, ValuesPersistAcrossInstancesAndIgnoreCase) {
  ASSERT_TRUE(Registry(path("reg.json")).setString("HKEY_CURRENT_USER", jex_, "Name", "Wert"));
  ASSERT_TRUE(Registry(path("reg.json")).setDword("HKLM", "Software/Jex", "Count", 4000000000u));
  Registry r(path("reg.json"));
  EXPECT_EQ(r.value("hkey_current_user", "SOFTWARE\\jex", "name").toString(), "Wert");
  EXPECT_EQ(r.value("HKEY_LOCAL_MACHINE", jex_, "Count").toUInt(), 4000000000u);
  EXPECT_FALSE(r.value("HKEY_USERS", "x", "y").isValid());
  EXPECT_FALSE(r.setString("HKEY_USERS", "x", "y", "z"));
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
  EXPECT_TRUE(res.ok) << res.problems.join('\n').toStdString();
  EXPECT_EQ(res.problems.size(), 1);  // the hex value is reported and skipped
  EXPECT_EQ(QStringList({r.value("HKCU", jex_, "Path").toString(), r.value("HKCU", jex_, "Quote").toString(),
                         r.value("HKCU", jex_, QString()).toString(), r.value("HKCU", jex_, "Umlaut").toString()}),
            QStringList({"C:\\Programme\\Corvane", "say \"hi\"", "standard", "äöü"}));
  EXPECT_EQ(r.value("HKCU", jex_, "Level").toUInt(), 31u);
  EXPECT_FALSE(r.value("HKCU", "Software\\Jex\\Old", "X").isValid());
}

TEST_F(RegistryTest, ImportsVersion5Utf16AndRejectsBrokenFiles) {
  const QString text =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Jex]\r\n\"Name\"=\"Αθήνα\"\r\n";
  write("v5.reg", QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2));
  Registry r(path("reg.json"));
  EXPECT_TRUE(r.importRegFile(path("v5.reg")).ok);
  EXPECT_EQ(r.value("HKLM", jex_, "Name").toString(), "Αθήνα");

  write("junk.reg", QByteArray("\x00\x01garbage\xff", 11));
  EXPECT_FALSE(r.importRegFile(path("junk.reg")).ok);
  write("bad.reg",
        "REGEDIT4\n\"orphan\"=\"x\"\n[HKEY_NOWHERE\\A]\n[HKEY_CURRENT_USER\\A]\n\"Broken=\"x\n\"D\"=dword:xyz\n");
  const auto res = r.importRegFile(path("bad.reg"));
  EXPECT_FALSE(res.ok);
  EXPECT_EQ(res.problems.size(), 4);
  EXPECT_FALSE(r.importRegFile(path("missing.reg")).ok);
}

TEST_F(RegistryTest, BrokenRegistryFileStartsEmptyAndIsReplacedOnWrite) {
  write("reg.json", "{ not json");
  Registry r(path("reg.json"));
  EXPECT_FALSE(r.value("HKCU", "A", "B").isValid());
  EXPECT_TRUE(r.setString("HKCU", "A", "B", "C"));
  EXPECT_EQ(Registry(path("reg.json")).value("HKCU", "A", "B").toString(), "C");
}

// The two services as a fresh machine has them (none), as a .reg file installs them, and as the
// options dialog switches them; only a service that is there is switched.
TEST_F(RegistryTest, ServicesAreReadAndSwitchedOnlyWhereTheirKeyIsThere) {
  namespace services = jex::platform::services;
  Registry r(path("reg.json"));
  EXPECT_FALSE(services::exists(r, "SSRD"));
  EXPECT_EQ(services::start(r, "SSRD"), std::nullopt);
  EXPECT_FALSE(services::setStart(r, "SSRD", 2));
  EXPECT_FALSE(QFile::exists(path("reg.json"))) << "a missing service was written";

  write("services.reg",
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\SSRD]\r\n"
        "\"Start\"=dword:00000003\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\QMTKBDHK]\r\n"
        "\"DisplayName\"=\"Keyboard\"\r\n");
  ASSERT_TRUE(r.importRegFile(path("services.reg")).ok);
  EXPECT_EQ(services::start(r, "ssrd"), 3u);
  EXPECT_TRUE(services::exists(r, "QMTKBDHK"));
  EXPECT_EQ(services::start(r, "QMTKBDHK"), std::nullopt) << "a key without Start";
  EXPECT_TRUE(services::setStart(r, "QMTKBDHK", 1));
  EXPECT_EQ(services::start(Registry(path("reg.json")), "QMTKBDHK"), 1u);
  EXPECT_EQ(services::keyPath("SSRD"), "SYSTEM\\CurrentControlSet\\Services\\SSRD");
}

// The add-on's class resolves once its server file is registered and no longer once it is
// unregistered; a file that is not there, or that serves no known class, registers nothing.
TEST_F(RegistryTest, ComServerRegistrationWritesAndRemovesItsClasses) {
  namespace com = jex::platform::com;
  Registry r(path("reg.json"));
  const QString dll = dir_.filePath("PageCast.DLL");
  EXPECT_FALSE(com::registerServer(r, dll)) << "a file that is not there";
  write("PageCast.DLL", "MZ");
  write("other.dll", "MZ");
  EXPECT_FALSE(com::registerServer(r, path("other.dll")));
  EXPECT_EQ(com::serverPath(r, "webview.viewsource"), "");
  ASSERT_TRUE(com::registerServer(r, dll));
  EXPECT_EQ(com::serverPath(Registry(path("reg.json")), "WebView.ViewSource"), dll);
  EXPECT_TRUE(r.hasKey("HKCR", "webview.viewsource"));
  ASSERT_TRUE(com::unregisterServer(r, dll));
  EXPECT_EQ(com::serverPath(Registry(path("reg.json")), "webview.viewsource"), "");
  EXPECT_FALSE(r.hasKey("HKCR", "webview.viewsource"));
  EXPECT_FALSE(com::unregisterServer(r, path("other.dll")));
}

TEST_F(RegistryTest, DeletedValuesAreGoneAndMachinePathFollowsTheSetting) {
  Registry r(path("reg.json"));
  ASSERT_TRUE(r.setString("HKLM", jex_, "A", "1"));
  ASSERT_TRUE(r.deleteValue("HKLM", jex_, "a"));
  EXPECT_FALSE(Registry(path("reg.json")).value("HKLM", jex_, "A").isValid());
  EXPECT_TRUE(Registry(path("reg.json")).hasKey("HKLM", jex_)) << "the key stays";
  EXPECT_EQ(Registry::machinePath(), Registry::defaultPath());
  Registry::setMachinePath(path("machine.json"));
  EXPECT_EQ(Registry::machinePath(), path("machine.json"));
  Registry::setMachinePath({});
  EXPECT_EQ(Registry::machinePath(), Registry::defaultPath());
}

TEST(SystemTest, SystemCodeIsThreeCharactersFromTheKernelVersion) {
  const QString code = jex::platform::systemCode();
  EXPECT_TRUE(code.startsWith('L') && code.size() >= 2 && code.size() <= 3) << code.toStdString();
  EXPECT_FALSE(jex::platform::loginName().isEmpty());
}

}  // namespace

namespace {

using namespace jex::platform;

class TypeLibRegistryTest : public RegistryTest {};

TEST_F(TypeLibRegistryTest, SubKeysListTheChildrenOnceWithTheirWrittenNames) {
  Registry r(path("reg.json"));
  ASSERT_TRUE(r.setString("HKCR", "TypeLib\\{B}\\1.0\\0\\win32", "", "/x/b.tlb"));
  ASSERT_TRUE(r.setString("HKCR", "TypeLib\\{a}\\2.1\\0\\win32", "", "/x/a.tlb"));
  ASSERT_TRUE(r.setString("HKCR", "TypeLib\\{a}\\2.1\\0\\win64", "", "/x/a64.tlb"));
  ASSERT_TRUE(r.openKey("HKCR", "TypeLibrary\\{c}"));
  EXPECT_EQ(r.subKeys("HKEY_CLASSES_ROOT", "typelib"), QStringList({"{a}", "{B}"}));
  EXPECT_EQ(r.subKeys("HKCR", "TypeLib\\{a}\\2.1\\0"), QStringList({"win32", "win64"}));
  EXPECT_TRUE(r.subKeys("HKCR", "TypeLib\\{none}").isEmpty());
  EXPECT_TRUE(r.subKeys("HKEY_USERS", "TypeLib").isEmpty());
}

TEST_F(TypeLibRegistryTest, LibrariesFoundByTheBaseNameOfAProgram) {
  ASSERT_TRUE(typelibs::registerLibrary(path("reg.json"), "{11111111-0000-0000-0000-000000000001}", 1, 10,
                                        "/opt/c/corvane.tlb"));
  ASSERT_TRUE(typelibs::registerLibrary(path("reg.json"), "{11111111-0000-0000-0000-000000000002}", 4, 0,
                                        "/opt/j/JexUI.tlb", true));
  Registry r(path("reg.json"));
  EXPECT_EQ(r.value("HKCR", "TypeLib\\{11111111-0000-0000-0000-000000000001}\\1.a\\0\\win32", "").toString(),
            "/opt/c/corvane.tlb");
  EXPECT_EQ(typelibs::findByBaseName(r, "corvane.exe"), "/opt/c/corvane.tlb");
  EXPECT_EQ(typelibs::findByBaseName(r, "jexui.exe"), "/opt/j/JexUI.tlb");
  EXPECT_EQ(typelibs::findByBaseName(r, "qmtsys.dll"), QString());
  EXPECT_EQ(typelibs::registeredFiles(r).size(), 2);
}

TEST_F(TypeLibRegistryTest, TwoWritersAtTheSameMomentKeepBothEntries) {
  constexpr int kEach = 25;
  auto writer = [this](int first) {
    for (int i = first; i < first + kEach; ++i)
      typelibs::registerLibrary(path("reg.json"), QStringLiteral("{%1}").arg(i), 1, 0,
                                QStringLiteral("/l/%1.tlb").arg(i));
  };
  std::thread a(writer, 0), b(writer, 100);
  a.join();
  b.join();
  EXPECT_EQ(typelibs::registeredFiles(Registry(path("reg.json"))).size(), 2 * kEach);
}

}  // namespace
