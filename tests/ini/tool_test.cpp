// The jexui-ini tool: outputs, exit codes, and two processes writing one file at once.
#include "ini_test_util.h"

#include "ini/privateprofile.h"

#include "tests/support/processes.h"

using jex::test::IniFolder;

namespace {

const QString kTool = QStringLiteral(JEX_BIN_DIR "/jexui-ini");

using jex::testing::ToolRun;
ToolRun tool(const QStringList& args) { return jex::testing::runTool(kTool, args, 30000); }

}  // namespace

TEST(IniTool, ReadsWhatTheProfileLayerReads) {
  IniFolder dir;
  const QString file = dir.write("a.ini",
                                 "[S]\r\nName = \"Gr\xfc\xdf"
                                 "e\"\r\n;c\r\nN=-12x\r\n[T]\r\n");
  EXPECT_EQ(tool({"get", file, "s", "name"}).out,
            "Gr\xc3\xbc\xc3\x9f"
            "e\n");
  EXPECT_EQ(tool({"get", file, "S", "none", "dflt"}).out, "dflt\n");
  EXPECT_EQ(tool({"getint", file, "S", "N"}).out, "-12\n");
  EXPECT_EQ(tool({"getint", file, "S", "none", "7"}).out, "7\n");
  EXPECT_EQ(tool({"section", file, "S"}).out,
            "Name=\"Gr\xc3\xbc\xc3\x9f"
            "e\"\n;c\nN=-12x\n");
  EXPECT_EQ(tool({"sections", file}).out, "S\nT\n");
  EXPECT_EQ(tool({"sections", dir.path("missing.ini")}).out, "");
  EXPECT_EQ(tool({"get", file, "S", "N"}).exitCode, 0);
}

TEST(IniTool, WritesAndExitCodes) {
  IniFolder dir;
  const QString file = dir.path("new.ini");
  EXPECT_EQ(tool({"set", file, "S", "k", "v"}).exitCode, 0);
  EXPECT_EQ(tool({"set", file, "T", "k", "w"}).exitCode, 0);
  EXPECT_EQ(tool({"delete-section", file, "s"}).exitCode, 0);
  EXPECT_EQ(IniFolder::read(file), "[T]\r\nk=w\r\n");

  const ToolRun bad = tool({"get", file, "S"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_TRUE(bad.err.contains("usage:")) << bad.err.constData();
  EXPECT_EQ(tool({}).exitCode, 2);
  EXPECT_EQ(tool({"frobnicate", file}).exitCode, 2);
  EXPECT_EQ(tool({"getint", file, "S", "k", "seven"}).exitCode, 2);
  EXPECT_EQ(tool({"set", file, "", "k", "v"}).exitCode, 2);

  const ToolRun failed = tool({"set", dir.path("no/such/folder.ini"), "S", "k", "v"});
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_TRUE(failed.err.contains("cannot write")) << failed.err.constData();
  EXPECT_EQ(tool({"set", file, "S", "a=b", "v"}).exitCode, 1);
}

TEST(IniTool, TwoProcessesWritingOneFileLoseNoKey) {
  IniFolder dir;
  const QString file = dir.write("shared.ini", "[Keep]\r\nold=1\r\n");
  auto writer = [&](const QString& prefix) {
    auto* p = new QProcess;
    p->start("/bin/sh",
             {"-c", QString("for i in $(seq 1 100); do \"$0\" set \"$1\" Shared %1$i $i || exit 1; done").arg(prefix),
              kTool, file});
    return p;
  };
  std::unique_ptr<QProcess> a(writer("a")), b(writer("b"));
  ASSERT_TRUE(a->waitForFinished(120000));
  ASSERT_TRUE(b->waitForFinished(120000));
  EXPECT_EQ(a->exitCode(), 0) << a->readAllStandardError().constData();
  EXPECT_EQ(b->exitCode(), 0) << b->readAllStandardError().constData();

  QString buffer;
  const quint32 n = jex::ini::GetPrivateProfileSection("Shared", buffer, 100000, file);
  const QStringList lines = buffer.left(n).split(QChar(0), Qt::SkipEmptyParts);
  EXPECT_EQ(lines.size(), 200);
  for (int i = 1; i <= 100; ++i) {
    EXPECT_TRUE(lines.contains(QString("a%1=%1").arg(i))) << i;
    EXPECT_TRUE(lines.contains(QString("b%1=%1").arg(i))) << i;
  }
  EXPECT_EQ(jex::ini::GetPrivateProfileInt("Keep", "old", 0, file), 1);
}
