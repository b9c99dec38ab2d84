// The core's type library, written by the built core from its member tables and made by widl,
// against the running core's objects over a private bus: the declaration text of proc read from
// corvane.tlb is the text of the living proc, and the core registered its library at start.
#include <QDir>
#include <QFileInfo>

#include "app/scripting/funcs.h"
#include "app/uiapplication.h"
#include "automation/idlwriter.h"
#include "dialogs/objwiz/declaration.h"
#include "dialogs/objwiz/frmobjwiz.h"
#include "platform/registry.h"
#include "platform/typelibfile.h"
#include "tests/support/corebus.h"
#include "tests/support/text.h"

namespace jex::testing {
namespace {

class LiveCore : public CoreOverBusTest {
 protected:
  void SetUp() override {
    startCore();
    if (!started()) return;
    read_ = platform::readTypeLibrary(QStringLiteral(JEX_BIN_DIR "/corvane.tlb"));
  }
  void TearDown() override { stopCore(); }
  const typeinfo::Class* libraryClass(const char* name) const { return read_.library.findClass(S(name)); }
  platform::TypeLibRead read_;
};

TEST_F(LiveCore, ProcFromTheLibraryIsProcAsItRuns) {
  if (!started()) return;
  if (!QFileInfo::exists(QStringLiteral(JEX_BIN_DIR "/corvane.tlb"))) GTEST_SKIP() << "no widl: no corvane.tlb";
  ASSERT_TRUE(read_.ok) << read_.error.toStdString();
  EXPECT_EQ(read_.library.name, S("corvane"));
  EXPECT_EQ(read_.library.guid, automation::libraryGuid(S("corvane")));
  const typeinfo::Class* proc = libraryClass("proc");
  ASSERT_NE(proc, nullptr);
  const QString fromLibrary = objwiz::classDeclaration(read_.library, *proc);

  frmObjWiz wizard;
  const QString living = wizard.GetLiveObjectInfo(automation::fromObj(Jex().obj(S("proc"))));
  ASSERT_FALSE(living.isEmpty());
  EXPECT_EQ(fromLibrary, living);
  // The declared types came over the bus with the member table.
  EXPECT_TRUE(living.contains(S("Private Property Get AppPath() As String\r\n"))) << living.toStdString();
  EXPECT_TRUE(living.contains(S("Private Sub AddToCMDQueue(ByVal Command As String)\r\n")));
  EXPECT_TRUE(living.contains(S("Private Sub SpeechOutVoice(ByVal Text As String, ByVal Source As Variant)\r\n")));
}

TEST_F(LiveCore, RegistersItsLibraryAtStart) {
  if (!started()) return;
  if (!QFileInfo::exists(QStringLiteral(JEX_BIN_DIR "/corvane.tlb"))) GTEST_SKIP() << "no widl: no corvane.tlb";
  const platform::Registry reg(core->registryFile());
  EXPECT_EQ(QFileInfo(platform::typelibs::findByBaseName(reg, S("corvane.exe"))).canonicalFilePath(),
            QFileInfo(QStringLiteral(JEX_BIN_DIR "/corvane.tlb")).canonicalFilePath());
}

// JexUI's own library against its objects in this process.
class OwnLibrary : public ::testing::TestWithParam<const char*> {};

TEST_P(OwnLibrary, ClassFromTheLibraryIsTheObjectAsItRuns) {
  const QString file = QStringLiteral(JEX_BIN_DIR "/jexui.tlb");
  if (!QFileInfo::exists(file)) GTEST_SKIP() << "no widl: no jexui.tlb";
  const platform::TypeLibRead read = platform::readTypeLibrary(file);
  ASSERT_TRUE(read.ok) << read.error.toStdString();
  EXPECT_EQ(read.library.name, S("JexUI"));
  const typeinfo::Class* cls = read.library.findClass(S(GetParam()));
  ASSERT_NE(cls, nullptr);
  const Obj object = QString::fromLatin1(GetParam()) == u"Funcs" ? Obj(std::make_shared<Funcs>())
                                                                 : Obj(std::make_shared<UI_Application>());
  frmObjWiz wizard;
  const QString living = wizard.GetLiveObjectInfo(automation::fromObj(object));
  EXPECT_EQ(objwiz::classDeclaration(read.library, *cls), living);
  if (QString::fromLatin1(GetParam()) == u"Funcs")
    EXPECT_TRUE(living.contains(S("Private Function GetTypeLibInfoFromO(ByVal O As Object) As String\r\n")))
        << living.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Classes, OwnLibrary, ::testing::Values("Funcs", "UI_Application"));

}  // namespace
}  // namespace jex::testing
