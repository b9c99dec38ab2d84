// frmKeyecho and the built core on one private bus: what the user sets in the dialog is what
// the core then echoes for keys typed on its console (":type"), in the key echo's voice.
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QTest>

#include "app/formlist.h"
#include "automation/dbustransport.h"
#include "corvane/engine/coremodel.h"
#include "corvane/engine/speechlog.h"
#include "dialogs/speech/frmkeyecho.h"
#include "global/cglobal.h"
#include "tests/automation/privatebus.h"
#include "tests/support/dialogtest.h"
#include "tests/support/processes.h"
#include "tests/support/text.h"
#include "widgets/formservice.h"

namespace jex::test {
namespace {

namespace bus = automation::dbus;
using jex::testing::BuiltCore;

QWidget* child(frmKeyecho& f, const char* name) { return f.findChild<QWidget*>(QLatin1String(name)); }

struct Step {
  const char* name;
  std::function<void(frmKeyecho&)> settings;  // keys pressed in the dialog
  const char* typed;
  QStringList echoes;      // what is said, in order
  bool interrupts = true;  // each echo cuts the one before
  bool keyNames = false;   // echoes name keys; typed text is logged by its length only
  // The ECHO lines and the speech log's texts.
  QStringList logged() const {
    QStringList out = echoes;
    if (!keyNames)
      for (QString& e : out) e = corvane::typedNote(e);
    return out;
  }
};
void PrintTo(const Step& s, std::ostream* os) { *os << s.name; }

// One core for the suite (started paced, so that an echo takes its speaking time), the dialog
// shown alone and connected to it as JexUI is.
class KeyEchoOverBus : public ::testing::TestWithParam<Step> {
 protected:
  static void SetUpTestSuite() {
    auto& pb = jex::testing::PrivateBus::instance();
    if (!pb.ok() || !BuiltCore::built()) return;
    core_ = new BuiltCore(pb.address());
    if (!core_->startAndWait({S("--no-jexui"), S("--no-monitor"), S("--no-audio"), S("--paced"), S("--no-foreground"),
                              S("--trust-bus")}))
      return;
    conn_ = new QDBusConnection(pb.connect(S("keyecho")));
    Jex() = bus::connect(S("corvane.application"), *conn_);
    registerForms();
    form_ = qobject_cast<frmKeyecho*>(forms::create(S("frmKeyecho")).release());
  }
  static void TearDownTestSuite() {
    delete form_;
    form_ = nullptr;
    resetGlobals();
    if (core_) core_->type(S(":quit"));
    delete core_;
    core_ = nullptr;
    if (conn_) jex::testing::PrivateBus::disconnect(*conn_);
    delete conn_;
    conn_ = nullptr;
  }
  // Every step starts from the defaults (echo on, words and characters, interrupting) on an
  // empty line.
  void SetUp() override {
    if (!form_) GTEST_SKIP() << "no private bus, the core is not built or did not start";
    Jex().call(S("KeyEcho.LoadValues"));
    form_->show();
    form_->loadValues();
    typeAndWait(S("{Esc}"));
  }
  // Types keys on the core's console and waits until the core has handled them (the console's
  // lines are taken in order: the OBJECTS line comes after every echo).
  static QStringList typeAndWait(const QString& keys) {
    const qsizetype from = core_->lines.size();
    core_->type(S(":type ") + keys);
    core_->type(S(":objects"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !core_->lines.mid(from).filter(QRegularExpression(S("^OBJECTS:"))).isEmpty(); }, 5000));
    QStringList echoes = core_->lines.mid(from).filter(QRegularExpression(S("^ECHO: ")));
    for (QString& e : echoes) e.remove(0, 6);
    return echoes;
  }
  static inline BuiltCore* core_ = nullptr;
  static inline QDBusConnection* conn_ = nullptr;
  static inline frmKeyecho* form_ = nullptr;
};

TEST_P(KeyEchoOverBus, TheCoreEchoesTypedKeysAsTheDialogSetIt) {
  const Step& step = GetParam();
  if (step.settings) step.settings(*form_);
  const QString log = core_->appDir() + S("/speech.log");
  const qsizetype logFrom = jex::testing::fileLines(log).size();
  const QStringList echoes = typeAndWait(QLatin1String(step.typed));
  const QStringList logged = step.logged();
  EXPECT_EQ(echoes, logged) << core_->out();
  if (step.echoes.isEmpty()) return;

  // In the speech log, in source 6: interrupting drops or cuts the echoes before the last,
  // appending lets each end.
  QList<corvane::SpeechLog::Entry> spoken;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        spoken.clear();
        for (const QString& l : jex::testing::fileLines(log).mid(logFrom))
          if (corvane::SpeechLog::Entry e; corvane::SpeechLog::parse(l, &e) && logged.contains(e.text)) spoken << e;
        // Typed text is logged by its length: appended echoes are counted, not told apart.
        return !spoken.isEmpty() && spoken.last().text == logged.last() &&
               (step.interrupts || spoken.size() == logged.size());
      },
      15000))
      << "speech log incomplete";
  int done = 0;
  for (const auto& e : spoken) {
    EXPECT_EQ(e.source, 6) << e.text.toStdString();
    done += e.outcome == u"done";
  }
  if (step.interrupts && step.echoes.size() > 1) EXPECT_LT(done, step.echoes.size());
  else EXPECT_EQ(done, step.echoes.size());
}

INSTANTIATE_TEST_SUITE_P(
    Settings, KeyEchoOverBus,
    ::testing::Values(
        Step{"BothInterrupting", {}, "ab c", {"a", "b", "ab", "c"}},
        Step{"CharactersAppended",
             [](frmKeyecho& f) {
               press(f.cboCharEcho(), Qt::Key_End);  // buchstaben
               press(child(f, "cboEchoMode"), Qt::Key_Down);
             },
             "ab",
             {"a", "b"},
             false},
        Step{"WordsOnly", [](frmKeyecho& f) { press(f.cboCharEcho(), Qt::Key_Down); }, "gut, ja.", {"gut", "ja"}},
        Step{"BackspaceDeleted",
             [](frmKeyecho& f) { press(f.cboCharEcho(), Qt::Key_Home); },
             "xy{Backspace}{Backspace}",
             {"y", "x"}},
        Step{"BackspaceLeftOfCaret",
             [](frmKeyecho& f) {
               press(f.cboCharEcho(), Qt::Key_Home);
               press(child(f, "cboBackSpaceEcho"), Qt::Key_Down);
             },
             "xy{Backspace}{Backspace}",
             {"x"}},
        Step{"GroupsOn",
             [](frmKeyecho& f) { press(f.cboCharEcho(), Qt::Key_Home); },
             "{F2}{Right}{Ctrl+V}{CapsLock}{CapsLock}{NumLock}{NumLock}",
             {"F2", "Rechts", "Strg+V", "Feststelltaste an", "Feststelltaste aus", "Num aus Ziffernblock Cursor",
              "Num an Ziffernblock Zahlen"},
             true,
             true},
        Step{"GroupsOff",
             [](frmKeyecho& f) {
               press(f.cboCharEcho(), Qt::Key_Home);
               for (const char* c : {"chkFunctionEcho", "chkCursorEcho", "chkCommandEcho", "chkShiftKeys", "chkLayer"})
                 press(child(f, c));
             },
             "{F2}{Right}{Ctrl+V}{CapsLock}{NumLock}",
             {}},
        Step{"EchoOff", [](frmKeyecho& f) { press(f.chkKeyEcho()); }, "ab {F2}", {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace jex::test
