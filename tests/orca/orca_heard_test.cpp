// What Orca, GNOME's screen reader, says of the dialogs. Orca runs on the tests' own desktop
// (tests/e2e/desktop.cpp: Xvfb, openbox, a private session bus with the accessibility bus)
// beside JexUI in this process, with its settings in memory and in a folder of its own, and with
// its debug log written line by line; it speaks to no audio device (the log holds every
// utterance as "SPEECH OUTPUT: '...'"). Each dialog is opened by its command and tabbed through;
// every drop-down list, list and spin field must be heard with its value when it gets the focus
// and with the new value after Down (or Up). Run with the German and the English language file;
// each dialog's transcript is written to orca-transcripts/ in the build folder.
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeySequence>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "tests/e2e/desktop.h"
#include "tests/support/accessibility.h"
#include "tests/support/dialogtest.h"
#include "widgets/accessibility.h"

namespace jex::test {
namespace {

// Orca's debug file is written through Python's buffered file; this start makes it line by line
// so that the test reads each utterance as it is made.
constexpr const char* kLineBufferedOrca = R"(import builtins, runpy, sys
log, prefs = sys.argv[1], sys.argv[2]
plain = builtins.open
def lined(f, mode='r', *a, **k):
    return plain(f, mode, 1) if f == log else plain(f, mode, *a, **k)
builtins.open = lined
sys.argv = ['orca', '--replace', '--disable', 'braille', '-u', prefs, '--debug-file', log]
runpy.run_path('/usr/bin/orca', run_name='__main__')
)";

class Orca {
 public:
  static Orca& instance() {
    static Orca o;
    return o;
  }
  const QString& error() const { return error_; }
  qsizetype mark() { return read().size(); }
  // Every utterance from position from of the log on.
  QStringList spokenSince(qsizetype from) {
    // "SPEECH OUTPUT: 'text'" and the voice after it ("{'established': False}").
    static const QString start = QStringLiteral("SPEECH OUTPUT: '");
    QStringList said;
    for (const QString& l : read().mid(from).split(u'\n')) {
      const qsizetype at = l.indexOf(start);
      if (at < 0) continue;
      QString text = l.mid(at + start.size());
      const qsizetype voice = text.lastIndexOf(QStringLiteral("'{"));
      text.truncate(voice >= 0 ? voice : text.lastIndexOf(u'\''));
      said << text;
    }
    return said;
  }
  // Waits until Orca has worked off what it was told: its log stays quiet for a while.
  void settle(int quietMs = 1200, int ms = 30000) {
    QElapsedTimer total, quiet;
    total.start();
    quiet.start();
    qsizetype size = read().size();
    while (quiet.elapsed() < quietMs && total.elapsed() < ms) {
      QTest::qWait(100);
      if (read().size() != size) {
        size = read().size();
        quiet.restart();
      }
    }
  }
  // Waits until an utterance from position from on contains text.
  bool heard(const QString& text, qsizetype from, int ms = 10000) {
    return QTest::qWaitFor(
        [&] {
          for (const QString& s : spokenSince(from))
            if (s.contains(text, Qt::CaseInsensitive)) return true;
          return false;
        },
        ms);
  }

 private:
  Orca() {
    if (!jex::testing::desktopError().isEmpty()) {
      error_ = jex::testing::desktopError();
      return;
    }
    const QString orca = QStandardPaths::findExecutable(QStringLiteral("orca"));
    if (orca.isEmpty()) {
      error_ = QStringLiteral("orca is not installed (Debian package orca)");
      return;
    }
    if (!qEnvironmentVariableIsEmpty("JEX_E2E_KEEP")) {  // Orca's whole log to look at afterwards
      home_.setAutoRemove(false);
      qWarning() << "Orca's folder:" << home_.path();
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Settings from memory: Orca keeps running when another program switches the screen reader.
    env.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
    env.insert(QStringLiteral("HOME"), home_.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home_.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home_.path());
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"));
    log_ = home_.filePath(QStringLiteral("orca-debug.log"));
    QDir(home_.path()).mkpath(QStringLiteral("prefs"));
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(home_.filePath(QStringLiteral("orca.out")));
    // Orca's own interpreter, from the first line of its script.
    QString python = QStringLiteral("/usr/bin/python3");
    QFile script(orca);
    if (script.open(QIODevice::ReadOnly)) {
      const QString first = QString::fromUtf8(script.readLine()).trimmed();
      if (first.startsWith(QStringLiteral("#!"))) python = first.mid(2).trimmed();
    }
    process_.start(python, {QStringLiteral("-c"),
                            QString::fromLatin1(kLineBufferedOrca).replace(QStringLiteral("/usr/bin/orca"), orca), log_,
                            home_.filePath(QStringLiteral("prefs"))});
    if (!process_.waitForStarted(5000)) {
      error_ = QStringLiteral("orca did not start: ") + process_.errorString();
      return;
    }
    // Orca listens once it has its registry and has looked at the desktop.
    if (!QTest::qWaitFor([&] { return read().contains(QStringLiteral("ATSPI registry initialized")); }, 30000)) {
      error_ = QStringLiteral("orca did not come up; its log ends: ") + read().right(600);
      return;
    }
    QTest::qWait(1500);
  }
  ~Orca() {
    process_.terminate();
    if (!process_.waitForFinished(3000)) process_.kill();
  }
  const QString& read() {
    QFile f(log_);
    if (f.open(QIODevice::ReadOnly)) {
      f.seek(bytes_);
      const QByteArray more = f.readAll();
      bytes_ += more.size();
      text_ += QString::fromUtf8(more);
    }
    return text_;
  }

  QTemporaryDir home_;
  QProcess process_;
  QString log_, error_, text_;
  qint64 bytes_ = 0;
};

// The value a screen reader should say for w, and the key that changes it; none for a control
// that has no value to choose.
struct Choice {
  QString value;
  Qt::Key change = Qt::Key_unknown;
  Qt::Key back = Qt::Key_unknown;
};
Choice choiceOf(QWidget* w) {
  const auto step = [](int row, int rows) {
    return row + 1 < rows ? Choice{{}, Qt::Key_Down, Qt::Key_Up} : Choice{{}, Qt::Key_Up, Qt::Key_Down};
  };
  Choice c;
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    c = step(combo->currentIndex(), combo->count());
    c.value = combo->currentText();
  } else if (auto* view = qobject_cast<QAbstractItemView*>(w)) {
    if (!view->model() || view->model()->rowCount(view->rootIndex()) == 0) return {};
    c = step(view->currentIndex().row(), view->model()->rowCount(view->rootIndex()));
    c.value = view->currentIndex().data().toString();
  } else if (auto* spin = qobject_cast<QAbstractSpinBox*>(w)) {
    c = {spin->text(), Qt::Key_Up, Qt::Key_Down};
  } else if (auto* edit = qobject_cast<QLineEdit*>(w); edit && edit->validator()) {
    c = {edit->text(), Qt::Key_Up, Qt::Key_Down};  // a number field stepped with the arrow keys
  } else {
    return {};
  }
  if (c.value.trimmed().isEmpty()) c.value = QString();
  return c;
}

const QString kTranscripts = QStringLiteral(JEX_BIN_DIR "/../orca-transcripts");

struct Case {
  const char* lng;
  const char* dialog;
};
std::string caseName(const ::testing::TestParamInfo<Case>& p) {
  return std::string(p.param.dialog) + "_" + p.param.lng;
}

class OrcaHears : public DialogTest, public ::testing::WithParamInterface<Case> {
 protected:
  void SetUp() override {
    // Orca takes about a second per event on a loaded machine and then drops the events that a
    // newer one of the same kind overtook: the walk runs where it is asked for (JEX_ORCA=1).
    if (qEnvironmentVariableIsEmpty("JEX_ORCA")) GTEST_SKIP() << "set JEX_ORCA=1 to hear the dialogs with Orca";
    if (!Orca::instance().error().isEmpty()) GTEST_SKIP() << Orca::instance().error().toStdString();
    DialogTest::SetUp();
  }
  void TearDown() override {
    if (qEnvironmentVariableIsEmpty("JEX_ORCA") || !Orca::instance().error().isEmpty()) return;
    QDir().mkpath(kTranscripts);
    QFile f(kTranscripts + u'/' + QLatin1String(GetParam().dialog) + u'-' + QLatin1String(GetParam().lng) +
            QStringLiteral(".txt"));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(transcript.join(u'\n').toUtf8() + '\n');
    DialogTest::TearDown();
  }
  // Presses k where the focus is; what Orca said about it goes into the transcript.
  void pressAndNote(Qt::Key k, const QString& name) {
    flush();
    transcript << QStringLiteral("[%1]").arg(name);
    key(k);
  }
  void flush() {
    for (const QString& s : Orca::instance().spokenSince(noted)) transcript << QStringLiteral("  ") + s;
    noted = Orca::instance().mark();
  }
  QStringList transcript;
  qsizetype noted = 0;
};

TEST_P(OrcaHears, EveryValueOnFocusAndOnChange) {
  Orca& orca = Orca::instance();
  language(GetParam().lng);
  noted = orca.mark();
  orca.settle();
  ChildDialog* d = open(QLatin1String(GetParam().dialog));
  ASSERT_NE(d, nullptr);
  orca.settle();
  AnswerBox no(Qt::Key_N);  // a question while choosing is answered No
  QWidget* first = ui::tabStopOf(QApplication::focusWidget());
  ASSERT_TRUE(first && d->isAncestorOf(first));
  qsizetype since = noted;
  QWidget* w = first;
  int stops = 0;
  do {
    const Choice c = choiceOf(w);
    if (!c.value.isNull()) {
      EXPECT_TRUE(orca.heard(c.value, since))
          << describe(w).toStdString() << ": its value \"" << c.value.toStdString() << "\" was not heard on focus";
    } else if (c.change != Qt::Key_unknown) {
      EXPECT_TRUE(orca.heard(announcedLabel(w), since)) << describe(w).toStdString() << " was not heard";
    }
    if (c.change != Qt::Key_unknown) {
      const qsizetype before = orca.mark();
      pressAndNote(c.change, describe(w) + u' ' + QKeySequence(c.change).toString());
      const QString now = choiceOf(w).value;
      if (now != c.value && !now.isEmpty()) {
        EXPECT_TRUE(orca.heard(now, before))
            << describe(w).toStdString() << ": the new value \"" << now.toStdString() << "\" was not heard";
      }
      flush();
      if (ui::tabStopOf(QApplication::focusWidget()) == w) key(c.back);
      QTest::qWait(200);
    }
    since = orca.mark();
    pressAndNote(Qt::Key_Tab, QStringLiteral("Tab"));
    (void)QTest::qWaitFor([&] { return ui::tabStopOf(QApplication::focusWidget()) != w; }, 2000);
    w = ui::tabStopOf(QApplication::focusWidget());
    ASSERT_NE(w, nullptr);
    ASSERT_LT(++stops, 60) << "Tab does not come back to the first control";
  } while (w != first);
  QTest::qWait(500);
  flush();
  key(Qt::Key_Escape);
}

constexpr Case kCases[] = {
    {"1031", "frmVoices"}, {"1031", "frmKeyecho"}, {"1031", "frmDevice"}, {"1031", "frmBraille"}, {"1031", "frmTasks"},
    {"1033", "frmVoices"}, {"1033", "frmKeyecho"}, {"1033", "frmDevice"}, {"1033", "frmBraille"}, {"1033", "frmTasks"},
};
INSTANTIATE_TEST_SUITE_P(Dialogs, OrcaHears, ::testing::ValuesIn(kCases), caseName);

}  // namespace
}  // namespace jex::test
