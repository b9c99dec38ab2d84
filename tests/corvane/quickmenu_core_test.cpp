// The core's side of the quick menu: script calls run without a script engine, a command JexUI
// gives back in place of NEWFGWIN! run where it belongs, AboutToSpeak's text changed by JexUI,
// the monitor window's rectangle and the speech start's time stamp. Against the built core on a
// private bus, called as JexUI calls it.
#include <gtest/gtest.h>
#include <QTest>

#include "automation/dbustransport.h"
#include "automation/dispatchable.h"
#include "corvane/engine/scriptrun.h"
#include "corvane/engine/speechengine.h"
#include "corvane/engine/speechlog.h"
#include "tests/corvane/recorder.h"
#include "tests/support/fakecore.h"
#include "tests/support/processes.h"
#include "tests/support/text.h"

namespace corvane {
namespace {

using jex::automation::Args;
using jex::automation::Obj;
namespace bus = jex::automation::dbus;
using jex::testing::BuiltCore;
using jex::testing::SessionBus;

const QString kCore = S("corvane.application");

// --- script calls, without a process -----------------------------------------------------------

TEST(ScriptCalls, OnlySubCallsAreScriptCalls) {
  const std::vector<std::tuple<const char*, const char*, const char*>> calls{
      {".SUB.SAYPAGE", "", "SAYPAGE"},
      {"DEFAULT.SUB.ReadAll", "DEFAULT", "ReadAll"},
      {"winword.Sub.x_1", "WINWORD", "x_1"}};
  for (const auto& [command, app, function] : calls) {
    const auto c = parseFunctionCall(S(command));
    ASSERT_TRUE(c) << command;
    EXPECT_EQ(c->app, S(app));
    EXPECT_EQ(c->function, S(function));
  }
  for (const char* no : {"SAYLINE", "UI_OPEN:a.Sub.b", ".SUB.", "A B.SUB.C", ".SUB.1A", "NEWFGWIN!", "DEFAULT.SUB.A.B"})
    EXPECT_FALSE(parseFunctionCall(S(no))) << no;
}

struct BodyCase {
  const char* what;
  const char* line;
  ScriptStep::Kind kind;
  const char* text;  // what is said or queued; for a line not run, the statement
  int source;
};
void PrintTo(const BodyCase& c, std::ostream* os) { *os << c.what; }

class ScriptLines : public ::testing::TestWithParam<BodyCase> {};

TEST_P(ScriptLines, RunsLiteralSpeechAndCommandLinesAndNamesTheRest) {
  const BodyCase& c = GetParam();
  const QString text =
      S("' above\r\nPrivate Sub Hidden()\r\nEnd Sub\r\nSub Other()\r\n  proc.SpeechOutVoice \"no\"\r\nEnd Sub\r\n"
        "' the one\r\nPublic Sub Target ( )\r\n") +
      QString::fromUtf8(c.line) + S("\r\nEnd Sub\r\n");
  const auto body = scriptBody(text, S("TARGET"));
  ASSERT_TRUE(body);
  EXPECT_EQ(body->name, S("Target"));
  ASSERT_EQ(body->steps.size(), 1) << c.what;
  const ScriptStep& step = body->steps[0];
  EXPECT_EQ(step.kind, c.kind) << c.what;
  EXPECT_EQ(step.text, QString::fromUtf8(c.text)) << c.what;
  EXPECT_EQ(step.line, 9);
  if (c.kind == ScriptStep::Speak) EXPECT_EQ(step.source, c.source) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ScriptLines,
    ::testing::Values(
        BodyCase{"speech with a voice", "  proc.SpeechOutVoice \"Seite\", 7", ScriptStep::Speak, "Seite", 7},
        BodyCase{"speech in parentheses, default voice", "Call proc.speechoutvoice(\"Hallo\")", ScriptStep::Speak,
                 "Hallo", 1},
        BodyCase{"joined literals and a quote", "proc.SpeechOutVoice \"Er sagt \"\"ja\"\" \" & 3, 2 ' note",
                 ScriptStep::Speak, "Er sagt \"ja\" 3", 2},
        BodyCase{"a command", "proc.AddToCMDQueue \"READEDITCUR\"", ScriptStep::Queue, "READEDITCUR", 1},
        BodyCase{"a variable is not run", "proc.SpeechOutVoice \"Page \" & LastPage, 1", ScriptStep::NotRun,
                 "proc.SpeechOutVoice \"Page \" & LastPage, 1", 1},
        BodyCase{"a voice that is no number", "proc.SpeechOutVoice \"a\", \"b\"", ScriptStep::NotRun,
                 "proc.SpeechOutVoice \"a\", \"b\"", 1},
        BodyCase{"an empty command", "proc.AddToCMDQueue \"\"", ScriptStep::NotRun, "proc.AddToCMDQueue \"\"", 1},
        BodyCase{"anything else", "If x Then proc.AddToCMDQueue \"A\"", ScriptStep::NotRun,
                 "If x Then proc.AddToCMDQueue \"A\"", 1}),
    [](const auto& info) { return std::to_string(info.index); });

TEST(ScriptLines, PrivateAndMissingFunctionsAreNotFoundAndColonsSplitStatements) {
  const QString text =
      S("Private Sub Hidden()\nproc.SpeechOutVoice \"x\"\nEnd Sub\n"
        "Function Two()\nproc.AddToCMDQueue \"A\" : proc.AddToCMDQueue \"B:C\"\n\nTwo = 1\nEnd Function\n");
  EXPECT_FALSE(scriptBody(text, S("Hidden")));
  EXPECT_FALSE(scriptBody(text, S("Three")));
  const auto two = scriptBody(text, S("two"));
  ASSERT_TRUE(two);
  ASSERT_EQ(two->steps.size(), 3);
  EXPECT_EQ(two->steps[1].text, S("B:C"));
  EXPECT_EQ(two->steps[2].kind, ScriptStep::NotRun);
}

// --- the built core ----------------------------------------------------------------------------

// JexUI's sink as the quick menu uses it: HandleCmd rewritten by a table (NEWFGWIN! becomes the
// choice, JexUI's own commands are consumed), AboutToSpeak cuts the key hint in parentheses from
// SPC_Str, AudioStart keeps O's StartMs. speakInside: a text JexUI says while it handles a
// command, that is while the core waits for its answer.
class QuickMenuSink : public jex::automation::Dispatchable {
 public:
  QuickMenuSink() : Dispatchable(S("cNotifySink")) {
    method(S("HandleCmd"), 1, 1, [this](Args& a) {
      heard << S("HandleCmd(") + a.str(0) + u')';
      if (!speakInside.isEmpty()) core.call(S("proc.SpeechOutVoice"), {std::exchange(speakInside, QString()), 1});
      if (rewrite.contains(a.str(0))) a.set(0, rewrite.value(a.str(0)));
      return QVariant();
    });
    method(S("AboutToSpeak"), 1, 1, [this](Args& a) {
      const Obj o = a.obj(0);
      const QString text = o.str(S("SPC_Str"));
      heard << S("AboutToSpeak(") + text + u')';
      if (const qsizetype open = text.lastIndexOf(u'('); open > 5) o.set(S("SPC_Str"), text.left(open - 1));
      return QVariant();
    });
    method(S("AudioStart"), 1, 1, [this](Args& a) {
      const Obj o = a.obj(0);
      starts << std::pair{o.str(S("SPC_Str")), o.get(S("StartMs")).toLongLong()};
      return QVariant();
    });
    for (const char* m : {"AudioStop", "VoiceSelect", "ProcessSwitch"})
      method(S(m), 0, 2, [](Args&) { return QVariant(); });
  }
  QStringList heard;
  QHash<QString, QString> rewrite;
  QString speakInside;
  QList<std::pair<QString, qint64>> starts;
  Obj core;
};

class CoreSide : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!BuiltCore::built()) GTEST_SKIP() << "corvane is not built";
    if (!bus_.ok()) GTEST_SKIP() << "no private session bus: " << bus_.error().toStdString();
    core_ = std::make_unique<BuiltCore>(bus_.address());
    const QString apps = core_->appDir() + S("/scripts/apps/");
    QDir().mkpath(apps);
    fake::CoreFixture::writeFile(apps + S("notepad.vbs"),
                                 "' Says the file.\r\nSub SayFileName()\r\n  proc.SpeechOutVoice \"Brief.txt\", 1\r\n"
                                 "  Dim n\r\n  proc.AddToCMDQueue \"READEDITCUR\"\r\nEnd Sub\r\n");
    fake::CoreFixture::writeFile(core_->appDir() + S("/scripts/default.vbs"),
                                 "Sub Greet()\r\n  proc.SpeechOutVoice \"Guten Tag\", 2\r\nEnd Sub\r\n");
    ASSERT_TRUE(core_->startAndWait()) << core_->out();
    conn_ = bus_.connection();
    root_ = bus::connect(kCore, conn_);
    ASSERT_TRUE(bus::publish(S("JexUI.UI_Application"), sink_, conn_));
    sink_->core = root_;
    root_.call(S("Init_JEX_UI_Notification_Sink"), {jex::automation::fromObj(Obj(sink_))});
    for (const char* e : {"HandleCmd", "AboutToSpeak", "AudioStart"})
      root_.set(S("JEX_UI_Notification_Sink_Event_Enable"), {S(e)}, true);
  }
  // The report lines of the core's routing, from the n-th on.
  QStringList commands() const { return core_->lines.filter(QRegularExpression(S("^CMD: "))); }

  SessionBus bus_;
  std::unique_ptr<BuiltCore> core_;
  QDBusConnection conn_{QString()};
  Obj root_;
  std::shared_ptr<QuickMenuSink> sink_ = std::make_shared<QuickMenuSink>();
};

// What comes back for NEWFGWIN! runs: the core's own command, JexUI's own (offered to it once
// more, and consumed there), a script favourite in the application's script or else the default
// script; a function no script has stays unhandled and says why.
TEST_F(CoreSide, TheChoiceGivenBackForNewfgwinRunsWhereItBelongs) {
  sink_->rewrite = {{S("DLGSPEECH"), QString()}};
  core_->type(S(":switch jexui notepad"));
  ASSERT_TRUE(core_->waitFor(S("SWITCH: JEXUI/NOTEPAD"))) << "a typed line comes its own way, before the call";
  const std::vector<std::pair<const char*, const char*>> choices{
      {"SETSPON", "CMD: NEWFGWIN! -> replaced by JexUI with SETSPON -> UseSpeech=1"},
      {"DLGSPEECH", "CMD: NEWFGWIN! -> replaced by JexUI with DLGSPEECH -> consumed by JexUI"},
      {"DEFAULT.Sub.SayFileName",
       "CMD: NEWFGWIN! -> replaced by JexUI with DEFAULT.SUB.SAYFILENAME -> "
       "NOTEPAD.SayFileName: 2 run, 1 not run"},
      {"DEFAULT.Sub.Greet",
       "CMD: NEWFGWIN! -> replaced by JexUI with DEFAULT.SUB.GREET -> DEFAULT.Greet: 1 run, 0 not run"},
      {"NOTEPAD.Sub.Greet",
       "CMD: NEWFGWIN! -> replaced by JexUI with NOTEPAD.SUB.GREET -> unhandled: NOTEPAD.SUB.GREET"},
  };
  for (const auto& [choice, outcome] : choices) {
    sink_->rewrite.insert(S("NEWFGWIN!"), S(choice));
    const int before = int(commands().size());
    root_.call(S("proc.AddToCMDQueue"), {S("NEWFGWIN!")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return commands().mid(before).filter(S("NEWFGWIN!")).size() == 1; }, 5000))
        << core_->out();
    EXPECT_EQ(commands().mid(before).filter(S("NEWFGWIN!")).value(0), S(outcome)) << choice;
  }
  EXPECT_TRUE(sink_->heard.contains(S("HandleCmd(DLGSPEECH)"))) << "JexUI's own choice is offered to it";
  EXPECT_TRUE(core_->has(S("SCRIPT: not run: NOTEPAD.SayFileName line 4: Dim n"))) << core_->out();
  EXPECT_TRUE(core_->has(S("SCRIPT: no function GREET in the script of NOTEPAD"))) << core_->out();
  EXPECT_TRUE(core_->waitFor(S("CMD: READEDITCUR -> "))) << "the script's command is queued";
  EXPECT_TRUE(core_->waitFor(S("SPEAK: Guten Tag"))) << core_->out();

  // JexUI's way for ".Sub." choices: DELAYPROCESSING in place, the call queued after it.
  core_->type(S(":switch notepad winword"));
  ASSERT_TRUE(core_->waitFor(S("SWITCH: NOTEPAD/WINWORD"))) << "a typed line comes its own way, before the call";
  root_.call(S("proc.AddToCMDQueue"), {S(".Sub.SayFileName")});
  EXPECT_TRUE(core_->waitFor(S("CMD: .SUB.SAYFILENAME -> unhandled: .SUB.SAYFILENAME"))) << core_->out();
  EXPECT_TRUE(core_->has(S("SCRIPT: no function SAYFILENAME in the script of WINWORD")));
  core_->type(S(":switch winword notepad"));
  ASSERT_TRUE(core_->waitFor(S("SWITCH: WINWORD/NOTEPAD"))) << "a typed line comes its own way, before the call";
  root_.call(S("proc.AddToCMDQueue"), {S(".Sub.SayFileName")});
  EXPECT_TRUE(core_->waitFor(S("CMD: .SUB.SAYFILENAME -> NOTEPAD.SayFileName: 2 run, 1 not run"))) << core_->out();
}

// The quick menu's entry reaches the core with its keys; JexUI cuts them off in AboutToSpeak and
// the core says what JexUI left. Its speech start carries the steady clock's time, the same in the
// speech log. While the core waits for JexUI's answer to another event, AboutToSpeak cannot come
// at once: the text is said as it was, and the core says so.
TEST_F(CoreSide, AboutToSpeakChangesWhatIsSaidAndTheStartIsStamped) {
  const qint64 before = monotonicMs();
  root_.call(S("proc.SpeechOutVoice"), {S("Stimmen und Satzzeichen\t(Einfg+S)"), 1});
  ASSERT_TRUE(core_->waitFor(S("SPEAK: "))) << core_->out();
  EXPECT_TRUE(core_->has(S("SPEAK: Stimmen und Satzzeichen"))) << core_->out();
  EXPECT_FALSE(core_->has(S("SPEAK: Stimmen und Satzzeichen\t"))) << core_->out();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !sink_->starts.isEmpty(); }, 5000));
  const auto [said, startMs] = sink_->starts.first();
  EXPECT_EQ(said, S("Stimmen und Satzzeichen"));
  EXPECT_GE(startMs, before);
  EXPECT_LE(startMs, monotonicMs());
  SpeechLog::Entry logged;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        for (const QString& line : jex::testing::fileLines(core_->appDir() + S("/speech.log")))
          if (SpeechLog::parse(line, &logged) && logged.text == said) return true;
        return false;
      },
      5000));
  EXPECT_EQ(logged.startMs, startMs) << "the speech log and O tell the same start";

  sink_->speakInside = S("Hilfe (F1)  ");
  root_.call(S("proc.AddToCMDQueue"), {S("SAYLINE")});
  EXPECT_TRUE(core_->waitFor(S("EVENT: AboutToSpeak not delivered at once, spoken unchanged: Hilfe (F1)")))
      << core_->out();
  EXPECT_TRUE(core_->has(S("SPEAK: Hilfe (F1)")));
  EXPECT_FALSE(sink_->heard.contains(S("AboutToSpeak(Hilfe (F1)  )"))) << "not delivered late either";
}

// GetSimRect: all 0 while the monitor window is hidden, its frame while it shows.
TEST_F(CoreSide, GetSimRectIsTheMonitorsFrameOrNothing) {
  const auto rect = [&] {
    const Obj r = jex::automation::toObj(root_.call(S("proc.GetSimRect")));
    return QList<int>{r.i32(S("Left")), r.i32(S("Top")), r.i32(S("Right")), r.i32(S("Bottom"))};
  };
  EXPECT_EQ(rect(), (QList<int>{0, 0, 0, 0}));
  root_.set(S("proc.IsMonWinVisible"), true);
  const QList<int> shown = rect();
  EXPECT_GT(shown[2] - shown[0], 100) << shown[2];
  EXPECT_GT(shown[3] - shown[1], 100) << shown[3];
  EXPECT_EQ(root_.i32(S("proc.GetSimRect.Bottom")), shown[3]) << "read as JexUI reads it";
  root_.set(S("proc.IsMonWinVisible"), false);
  EXPECT_EQ(rect(), (QList<int>{0, 0, 0, 0}));
}

}  // namespace
}  // namespace corvane
