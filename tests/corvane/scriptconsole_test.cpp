// The core's script console: reading a call line as a script would write it.
#include <gtest/gtest.h>

#include "core/automation/automation.h"
#include "corvane/engine/scriptconsole.h"

namespace corvane {
namespace {

TEST(ScriptConsole, ReadsQuotedTextNumbersWordsAndOmittedArguments) {
  const ScriptCall c = parseScriptCall(QStringLiteral(R"(MsgBox "Hallo \"Welt\" \\ 1" YESNO ~  "" 42 -3)"));
  ASSERT_TRUE(c.error.isEmpty()) << c.error.toStdString();
  EXPECT_EQ(c.member, QStringLiteral("MsgBox"));
  ASSERT_EQ(c.args.size(), 6);
  EXPECT_EQ(c.args[0], QVariant(QStringLiteral("Hallo \"Welt\" \\ 1")));
  EXPECT_EQ(c.args[1], QVariant(QStringLiteral("YESNO")));
  EXPECT_TRUE(jex::automation::isMissing(c.args[2]));
  EXPECT_EQ(c.args[3], QVariant(QString()));
  EXPECT_EQ(c.args[4], QVariant(42));
  EXPECT_EQ(c.args[5], QVariant(-3));
  // A quoted number stays text.
  EXPECT_EQ(parseScriptCall(QStringLiteral(R"(ShowReadMe "12")")).args.value(0), QVariant(QStringLiteral("12")));
}

TEST(ScriptConsole, AssignmentsAndBrokenLines) {
  const ScriptCall a = parseScriptCall(QStringLiteral("AllVoiceSpeed = 300"));
  EXPECT_TRUE(a.assign);
  EXPECT_EQ(a.args, QVariantList{300});
  EXPECT_FALSE(parseScriptCall(QStringLiteral("AllVoiceSpeed = ")).error.isEmpty());
  EXPECT_FALSE(parseScriptCall(QStringLiteral(R"(MsgBox "open)")).error.isEmpty());
  EXPECT_FALSE(parseScriptCall(QString()).error.isEmpty());
  EXPECT_FALSE(parseScriptCall(QStringLiteral(R"("MsgBox" 1)")).error.isEmpty());
  // "=" as a later argument is text, not an assignment.
  const ScriptCall m = parseScriptCall(QStringLiteral("ShowText x = y"));
  EXPECT_FALSE(m.assign);
  EXPECT_EQ(m.args.size(), 3);
}

}  // namespace
}  // namespace corvane
