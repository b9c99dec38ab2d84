// The core's script console: reading a call line as a script would write it.
#include <gtest/gtest.h>

#include "automation/automation.h"
#include "corvane/engine/scriptconsole.h"
#include "tests/corvane/corvanetest.h"

namespace corvane {
namespace {

TEST(ScriptConsole, ReadsQuotedTextNumbersWordsAndOmittedArguments) {
  const ScriptCall c = parseScriptCall(S(R"(MsgBox "Hallo \"Welt\" \\ 1" YESNO ~  "" 42 -3)"));
  ASSERT_TRUE(c.error.isEmpty()) << c.error.toStdString();
  EXPECT_EQ(c.member, S("MsgBox"));
  ASSERT_EQ(c.args.size(), 6);
  EXPECT_EQ(c.args[0], QVariant(S("Hallo \"Welt\" \\ 1")));
  EXPECT_EQ(c.args[1], QVariant(S("YESNO")));
  EXPECT_TRUE(jex::automation::isMissing(c.args[2]));
  EXPECT_EQ(c.args[3], QVariant(QString()));
  EXPECT_EQ(c.args[4], QVariant(42));
  EXPECT_EQ(c.args[5], QVariant(-3));
  EXPECT_EQ(parseScriptCall(S(R"(ShowReadMe "12")")).args.value(0), QVariant(S("12"))) << "a quoted number stays text";
}

TEST(ScriptConsole, AssignmentsAndBrokenLines) {
  const ScriptCall a = parseScriptCall(S("AllVoiceSpeed = 300"));
  EXPECT_TRUE(a.assign);
  EXPECT_EQ(a.args, QVariantList{300});
  for (const char* broken : {"AllVoiceSpeed = ", R"(MsgBox "open)", "", R"("MsgBox" 1)"})
    EXPECT_FALSE(parseScriptCall(S(broken)).error.isEmpty()) << broken;
  // "=" as a later argument is text, not an assignment.
  const ScriptCall m = parseScriptCall(S("ShowText x = y"));
  EXPECT_FALSE(m.assign);
  EXPECT_EQ(m.args.size(), 3);
}

TEST(ScriptConsole, AtNamesACoreObjectUnlessQuoted) {
  const ScriptCall c = parseScriptCall(S(R"(GetTypeLibInfoFromO @proc "@proc" @ @proc.iSys)"));
  ASSERT_TRUE(c.error.isEmpty());
  ASSERT_EQ(c.args.size(), 4);
  EXPECT_EQ(c.objects.value(0), S("proc"));
  EXPECT_FALSE(c.objects.contains(1));
  EXPECT_EQ(c.args[1], QVariant(S("@proc")));
  EXPECT_EQ(c.args[2], QVariant(S("@"))) << "a lone @ is text";
  EXPECT_EQ(c.objects.value(3), S("proc.iSys"));
}

}  // namespace
}  // namespace corvane
