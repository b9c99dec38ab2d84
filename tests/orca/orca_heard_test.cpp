// What Orca, GNOME's screen reader, says of the dialogs. Orca runs on the tests' own desktop
// (tests/e2e/desktop.cpp: Xvfb, openbox, a private session bus with the accessibility bus)
// beside JexUI in this process, with its settings in memory and in a folder of its own, and with
// its debug log written line by line; it speaks to no audio device (the log holds every
// utterance as "SPEECH OUTPUT: '...'"). Each dialog is opened by its command and tabbed through;
// every drop-down list, list and spin field must be heard with its value when it gets the focus
// and with the new value after Down (or Up), a checkable entry with its new state after Space,
// and a titled group with its title when the focus enters it; a dialog with tabs is walked on each
// tab, reached by Ctrl+Tab. Run with the German and the English language file;
// each dialog's transcript is written to orca-transcripts/ in the build folder.
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTabBar>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <optional>

#include <QMenu>
#include <iostream>

#include "app/scripting/cjexstates.h"
#include "corvane/engine/appdir.h"
#include "dialogs/keys/frmqmenu.h"
#include "tests/e2e/desktop.h"
#include "tests/support/accessibility.h"
#include "tests/support/dialogtest.h"
#include "tests/support/wait.h"
#include "widgets/accessibility.h"
#include "widgets/formservice.h"

namespace jex::test {
namespace {

// How long to wait for Orca to say something: it takes about a second per event on a loaded
// machine, and a key reaches JexUI only after the accessibility registry passed it to Orca.
constexpr int kPatience = 30000;

// Orca logs every utterance through its "speech" logger; this start writes that log to a file of
// its own, a line at a time, so that the test reads each utterance as it is made. Orca's debug
// log (every event with the objects' details) slows it down several times over: it is written
// only when the test keeps Orca's folder to look at afterwards.
constexpr const char* kLoggedOrca = R"(import logging, runpy, sys
said, prefs, debugLog = sys.argv[1], sys.argv[2], sys.argv[3]
handler = logging.FileHandler(said, encoding='utf-8')
handler.setFormatter(logging.Formatter('%(message)s'))
logging.getLogger('speech').addHandler(handler)
sys.argv = ['orca', '--replace', '--disable', 'braille', '-u', prefs]
if debugLog:
    sys.argv += ['--debug', '--debug-file', debugLog]
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
    // "SPEECH OUTPUT: 'text'", perhaps with the voice after it (" voice=uppercase").
    static const QString start = QStringLiteral("SPEECH OUTPUT: '");
    QStringList said;
    for (const QString& l : read().mid(from).split(u'\n')) {
      const qsizetype at = l.indexOf(start);
      if (at < 0) continue;
      QString text = l.mid(at + start.size());
      text.truncate(text.lastIndexOf(u'\''));
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
      jex::testing::pause(100);
      if (read().size() != size) {
        size = read().size();
        quiet.restart();
      }
    }
  }
  // Waits until an utterance from position from on contains text (any utterance for none).
  bool heard(const QString& text, qsizetype from, int ms = kPatience) {
    return heardIf([&](const QString& s) { return s.contains(text, Qt::CaseInsensitive); }, from, ms);
  }
  bool heardIf(const std::function<bool(const QString&)>& fits, qsizetype from, int ms = kPatience) {
    return jex::testing::waitFor([&] { return std::ranges::any_of(spokenSince(from), fits); }, ms);
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
    QString debugLog;
    if (!qEnvironmentVariableIsEmpty("JEX_E2E_KEEP")) {  // Orca's whole log to look at afterwards
      home_.setAutoRemove(false);
      debugLog = home_.filePath(QStringLiteral("orca-debug.log"));
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
    log_ = home_.filePath(QStringLiteral("orca-speech.log"));
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
    process_.start(
        python, {QStringLiteral("-c"), QString::fromLatin1(kLoggedOrca).replace(QStringLiteral("/usr/bin/orca"), orca),
                 log_, home_.filePath(QStringLiteral("prefs")), debugLog});
    if (!process_.waitForStarted(5000)) {
      error_ = QStringLiteral("orca did not start: ") + process_.errorString();
      return;
    }
    // Orca says so once it listens (in English: its own language is C).
    if (!jex::testing::waitFor([&] { return read().contains(QStringLiteral("SPEECH OUTPUT: 'Screen reader on.'")); },
                               60000)) {
      error_ = QStringLiteral("orca did not come up; its log ends: ") + read().right(600);
      return;
    }
    jex::testing::pause(1500);
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
  std::optional<bool> checked;  // the current entry's check state, when Space toggles it
};
Choice choiceOf(QWidget* w) {
  // A single entry has nothing to change to.
  const auto step = [](int row, int rows) {
    if (rows < 2) return Choice{};
    return row + 1 < rows ? Choice{{}, Qt::Key_Down, Qt::Key_Up} : Choice{{}, Qt::Key_Up, Qt::Key_Down};
  };
  Choice c;
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    c = step(combo->currentIndex(), combo->count());
    c.value = combo->currentText();
    // A text typed (or put) into an editable one is no entry: no key brings it back.
    if (combo->currentIndex() < 0 || combo->itemText(combo->currentIndex()) != c.value) c.back = Qt::Key_unknown;
  } else if (auto* view = qobject_cast<QAbstractItemView*>(w)) {
    if (!view->model() || view->model()->rowCount(view->rootIndex()) == 0) return {};
    const QModelIndex at = view->currentIndex();
    c = step(at.row(), view->model()->rowCount(view->rootIndex()));
    c.value = at.data().toString();
    if ((at.flags() & Qt::ItemIsUserCheckable) && at.data(Qt::CheckStateRole).isValid())
      c.checked = at.data(Qt::CheckStateRole).toInt() == Qt::Checked;
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

std::string str(const QString& s) { return s.toStdString(); }

// The innermost group box with a title that holds w.
const QGroupBox* groupOf(const QWidget* w) {
  for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
    if (auto* box = qobject_cast<const QGroupBox*>(p); box && !box->title().isEmpty()) return box;
  return nullptr;
}

// The text of the label whose buddy w is, none for a control without one.
QString buddyText(QWidget* w) {
  for (const QLabel* l : w->window()->findChildren<QLabel*>())
    if (l->buddy() == w) return ui::plainCaption(l->text()).trimmed();
  return {};
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
  void pressAndNote(Qt::Key k, const QString& name, Qt::KeyboardModifiers m = Qt::NoModifier) {
    flush();
    transcript << QStringLiteral("[%1]").arg(name);
    key(k, m);
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
  if (QLatin1String(GetParam().dialog) == QLatin1String("frmUser")) {
    // Users to choose from, one of them the current one: the user list has a value and a change.
    for (const char* name : {"Anna", "Bert"})
      corvane::copyTreeKeepExisting(appPath() + QStringLiteral("user/DEFAULT"),
                                    appPath() + QStringLiteral("user/") + QLatin1String(name));
    Jex().obj(QStringLiteral("proc.GetUsers")).call(QStringLiteral("ChgUser"), {QStringLiteral("Anna")});
  }
  noted = orca.mark();
  orca.settle();
  ChildDialog* d = open(QLatin1String(GetParam().dialog));
  ASSERT_NE(d, nullptr);
  orca.settle();
  AnswerBox no(Qt::Key_N);  // a question while choosing is answered No
  qsizetype since = noted;
  // The dialog's tab stop with the focus; a question answered meanwhile (a choice is made on Enter
  // or on leaving its list) leaves the dialog to be activated again.
  const auto stop = [d] {
    if (!QApplication::activeWindow() && d->isVisible()) d->window()->activateWindow();
    return ui::tabStopOf(QApplication::focusWidget());
  };
  // A dialog with tabs is walked on each of them, reached by Ctrl+Tab as the user reaches them.
  QTabBar* tabs = nullptr;
  for (QTabBar* t : d->findChildren<QTabBar*>())
    if (t->isVisible()) tabs = t;
  const int pages = tabs ? tabs->count() : 1;
  for (int page = 0; page < pages; ++page) {
    if (page > 0) {
      const int was = tabs->currentIndex();
      since = orca.mark();
      pressAndNote(Qt::Key_Tab, QStringLiteral("Ctrl+Tab"), Qt::ControlModifier);
      ASSERT_TRUE(jex::testing::waitFor(
          [&] { return tabs->currentIndex() != was && stop() && d->isAncestorOf(stop()); }, kPatience))
          << "Ctrl+Tab did not go to the next tab";
      transcript.last() =
          QStringLiteral("[Ctrl+Tab to %1, %2]").arg(tabs->tabText(tabs->currentIndex()), describe(stop()));
      const QString tab = ui::plainCaption(tabs->tabText(tabs->currentIndex()));
      EXPECT_TRUE(orca.heard(tab, since)) << "the tab \"" << str(tab) << "\" was not heard on Ctrl+Tab";
    }
    QWidget* first = stop();
    ASSERT_TRUE(first && d->isAncestorOf(first));
    QWidget* w = first;
    int stops = 0;
    const QGroupBox* group = nullptr;
    do {
      // Entering a titled group is heard with its title as it is now (it follows other choices).
      const QGroupBox* in = w->parentWidget() ? groupOf(w) : nullptr;
      if (in && in != group && w != first)
        EXPECT_TRUE(orca.heard(ui::plainCaption(in->title()), since))
            << describe(w).toStdString() << ": its group \"" << str(in->title()) << "\" was not heard";
      group = in;
      const Choice c = choiceOf(w);
      if (!c.value.isNull()) {
        EXPECT_TRUE(orca.heard(c.value, since))
            << describe(w).toStdString() << ": its value \"" << c.value.toStdString() << "\" was not heard on focus";
        // With its label: an editable drop-down list heard only as its selected text is no control.
        if (const QString label = buddyText(w); !label.isEmpty()) {
          EXPECT_TRUE(orca.heard(label, since))
              << describe(w).toStdString() << ": its label \"" << str(label) << "\" was not heard on focus";
        }
      } else if (c.change != Qt::Key_unknown) {
        EXPECT_TRUE(orca.heard(announcedLabel(w), since)) << describe(w).toStdString() << " was not heard";
      } else if (const QString label = announcedLabel(w); !label.isEmpty()) {
        EXPECT_TRUE(orca.heard(label, since)) << describe(w).toStdString() << " was not heard";
      } else {
        (void)orca.heard(QString(), since);  // Orca presents the control before the next key
      }
      if (c.change != Qt::Key_unknown) {
        const qsizetype before = orca.mark();
        pressAndNote(c.change, describe(w) + u' ' + QKeySequence(c.change).toString());
        // The key arrives once the registry has handed it to Orca and back.
        (void)jex::testing::waitFor([&] { return choiceOf(w).value != c.value || stop() != w; }, kPatience);
        const QString now = choiceOf(w).value;
        if (now != c.value && !now.isEmpty()) {
          EXPECT_TRUE(orca.heard(now, before))
              << describe(w).toStdString() << ": the new value \"" << now.toStdString() << "\" was not heard";
        }
        flush();
        if (stop() == w && now != c.value &&
            c.back != Qt::Key_unknown) {  // back to where it was, once Orca said that too
          const qsizetype back = orca.mark();
          key(c.back);
          (void)jex::testing::waitFor([&] { return choiceOf(w).value == c.value; }, kPatience);
          (void)orca.heard(c.value, back);
        }
      }
      // Space toggles a checkable entry: Orca says its new state, and again when it goes back.
      for (int round = 0; c.checked && round < 2 && stop() == w; ++round) {
        const bool was = *choiceOf(w).checked;
        const qsizetype before = orca.mark();
        pressAndNote(Qt::Key_Space, describe(w) + QStringLiteral(" Space"));
        (void)jex::testing::waitFor([&] { return choiceOf(w).checked != was; }, kPatience);
        ASSERT_NE(choiceOf(w).checked, was) << describe(w).toStdString() << ": Space did not toggle its entry";
        EXPECT_TRUE(orca.heardIf(
            [&](const QString& s) {
              return s.contains(QStringLiteral("not checked")) == was && s.contains(u"checked");
            },
            before))
            << describe(w).toStdString() << ": the entry's new state was not heard after Space";
      }
      since = orca.mark();
      pressAndNote(Qt::Key_Tab, QStringLiteral("Tab"));
      (void)jex::testing::waitFor([&] { return stop() && stop() != w; }, kPatience);
      w = stop();
      ASSERT_NE(w, nullptr);
      transcript.last() = QStringLiteral("[Tab to %1]").arg(describe(w));
      ASSERT_LT(++stops, 60) << "Tab does not come back to the first control";
    } while (w != first);
  }
  (void)orca.heard(QString(), since);
  flush();
  key(Qt::Key_Escape);
}

constexpr Case kCases[] = {
    {"1031", "frmVoices"}, {"1031", "frmKeyecho"}, {"1031", "frmDevice"}, {"1031", "frmBraille"},
    {"1031", "frmTasks"},  {"1031", "frmKeys"},    {"1031", "frmUser"},   {"1031", "frmOptions"},
    {"1033", "frmVoices"}, {"1033", "frmKeyecho"}, {"1033", "frmDevice"}, {"1033", "frmBraille"},
    {"1033", "frmTasks"},  {"1033", "frmKeys"},    {"1033", "frmUser"},   {"1033", "frmOptions"},
    {"1031", "frmReadMe"}, {"1031", "frmHelp"},    {"1031", "frmAbout"},  {"1031", "frmTextWiz"},
    {"1031", "frmObjWiz"}, {"1033", "frmObjWiz"},
};
INSTANTIATE_TEST_SUITE_P(Dialogs, OrcaHears, ::testing::ValuesIn(kCases), caseName);

// The quick menu's toggles as Orca says them: each with its state, on ("checked") and off ("not
// checked"), not the one that is off as a plain entry.
class OrcaHearsQuickMenu : public DialogTest {
 protected:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("JEX_ORCA")) GTEST_SKIP() << "set JEX_ORCA=1 to hear the quick menu with Orca";
    if (!Orca::instance().error().isEmpty()) GTEST_SKIP() << Orca::instance().error().toStdString();
    DialogTest::SetUp();
    frmQMenu::setStateSource([] { return JexStates().all(); });
    core.foreground = QStringLiteral("WINWORD");
  }
  void TearDown() override {
    if (qEnvironmentVariableIsEmpty("JEX_ORCA") || !Orca::instance().error().isEmpty()) return;
    delete forms::instance(QStringLiteral("frmQMenu"));
    frmQMenu::setStateSource({});
    DialogTest::TearDown();
  }
};

TEST_F(OrcaHearsQuickMenu, EachToggleWithItsState) {
  Orca& orca = Orca::instance();
  orca.settle();
  core.setUseSpeech(true);
  ASSERT_TRUE(core.store.setValue(QStringLiteral("General"), QStringLiteral("TooltipsStatus"), QStringLiteral("0")));
  const auto popup = [] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); };
  const auto at = [&](const char* start) {
    return popup() && popup()->activeAction() && popup()->activeAction()->text().startsWith(QLatin1String(start));
  };
  // Down, one key at a time once Orca has spoken, from the first entry to the tool tips.
  bool speechHeard = false, tipsHeard = false;
  qsizetype since = orca.mark();
  QTimer steps;
  int stage = 0;
  QObject::connect(&steps, &QTimer::timeout, [&] {
    if (!popup() || !popup()->activeAction()) return;
    if (stage == 0 && at("&Sprachausgabe")) {
      speechHeard = orca.heardIf(
          [](const QString& s) {
            return s.contains(QStringLiteral("Sprachausgabe")) && s.contains(QStringLiteral("checked")) &&
                   !s.contains(QStringLiteral("not checked"));
          },
          since, kPatience);
      since = orca.mark();
      QTest::keyClick(popup(), Qt::Key_Down);
      stage = 1;
    } else if (stage == 1 && at("T&ooltips")) {
      tipsHeard = orca.heardIf(
          [](const QString& s) {
            return s.contains(QStringLiteral("Tooltips")) && s.contains(QStringLiteral("not checked"));
          },
          since, kPatience);
      stage = 2;
      QTest::keyClick(popup(), Qt::Key_Escape);
    }
  });
  steps.start(50);
  command("QUICKMEN");
  EXPECT_TRUE(jex::testing::waitFor([&] { return stage == 2 && !popup(); }, 3 * kPatience));
  while (QWidget* p = QApplication::activePopupWidget()) p->close();
  for (const QString& l : orca.spokenSince(0).mid(std::max<qsizetype>(0, orca.spokenSince(0).size() - 12)))
    std::cout << "  Orca: " << l.toStdString() << std::endl;
  EXPECT_TRUE(speechHeard) << "the toggle that is on was not heard as checked";
  EXPECT_TRUE(tipsHeard) << "the toggle that is off was not heard as not checked";
}

// What the toolkit tells screen readers while a key is pressed: each event with the name of the
// object it is about, the focus and check states that object has then, and whether it is an
// entry of watched.
struct Told {
  QAccessible::Event type;
  QString name;
  bool focused = false, checked = false, entryOfWatched = false, watched = false;
  QAccessible::Role role = QAccessible::NoRole;
};
class Recorder {
 public:
  explicit Recorder(QWidget* watched) {
    watched_ = QAccessible::queryAccessibleInterface(watched);
    self_ = this;
    (void)watched_->child(0);  // the entries exist before the key
    previous_ = QAccessible::installUpdateHandler(&Recorder::note);
  }
  ~Recorder() {
    QAccessible::installUpdateHandler(previous_);
    self_ = nullptr;
  }
  QList<Told> told;
  qsizetype count(QAccessible::Event type) const {
    return std::count_if(told.begin(), told.end(), [&](const Told& t) { return t.type == type && t.entryOfWatched; });
  }
  // The position of the first event of type about the watched object itself, -1 for none.
  qsizetype firstOwn(QAccessible::Event type) const {
    for (qsizetype at = 0; at < told.size(); ++at)
      if (told[at].type == type && told[at].watched) return at;
    return -1;
  }
  const Told* last(QAccessible::Event type) const {
    for (auto it = told.rbegin(); it != told.rend(); ++it)
      if (it->type == type && it->entryOfWatched) return &*it;
    return nullptr;
  }

 private:
  static void note(QAccessibleEvent* e) {
    QAccessibleInterface* i = e->accessibleInterface();
    if (!self_ || !i) return;
    const QAccessible::State st = i->state();
    self_->told.append({e->type(), i->text(QAccessible::Name), bool(st.focused), bool(st.checked),
                        i->parent() && i->parent() == self_->watched_, i == self_->watched_, i->role()});
  }
  static inline Recorder* self_ = nullptr;
  QAccessibleInterface* watched_;
  QAccessible::UpdateHandler previous_;
};

// On the desktop of these tests the toolkit's bridge is active: what it is told is what Orca gets.
class BridgeTold : public DialogTest, public ::testing::WithParamInterface<Case> {
 protected:
  void SetUp() override {
    if (!jex::testing::desktopError().isEmpty()) GTEST_SKIP() << jex::testing::desktopError().toStdString();
    DialogTest::SetUp();
    // The bridge comes up once it has found the accessibility bus.
    if (!jex::testing::waitFor([] { return QAccessible::isActive(); }, 10000))
      GTEST_SKIP() << "the accessibility bridge is not active";
  }
};

TEST_P(BridgeTold, EachChoiceIsReadAndEachChangeIsToldOnce) {
  language(GetParam().lng);
  ChildDialog* d = open(QLatin1String(GetParam().dialog));
  ASSERT_NE(d, nullptr);
  AnswerBox no(Qt::Key_N);  // a question while choosing is answered No
  // The focus goes where it is set only in the active window; a question answered meanwhile
  // leaves the dialog to be activated again by the window manager.
  const auto activate = [d] {
    d->window()->activateWindow();
    (void)QTest::qWaitForWindowActive(d->window());
  };
  // A dialog with tabs is gone through on each of them.
  QTabBar* tabs = nullptr;
  for (QTabBar* t : d->findChildren<QTabBar*>())
    if (t->isVisible()) tabs = t;
  for (int page = 0; page < (tabs ? tabs->count() : 1); ++page) {
    if (tabs) tabs->setCurrentIndex(page);
    for (QWidget* w : ui::readingOrder(d)) {
      if (!w->isVisible()) continue;
      const std::string who = describe(w).toStdString();
      if (auto* combo = qobject_cast<QComboBox*>(w); combo && combo->count() > 1) {
        QAccessibleInterface* i = QAccessible::queryAccessibleInterface(combo);
        ASSERT_TRUE(i && i->textInterface()) << who << " has no text for readers";
        EXPECT_EQ(str(i->text(QAccessible::Value)), str(combo->currentText())) << who;
        EXPECT_EQ(str(i->textInterface()->text(0, -1)), str(combo->currentText())) << who;
        const QString name = i->text(QAccessible::Name);
        EXPECT_TRUE(!name.isEmpty() && name != combo->currentText())
            << who << " is named \"" << str(name) << "\", not by its label";
        combo->setFocus(Qt::TabFocusReason);
        const int was = combo->currentIndex();
        const Qt::Key k = choiceOf(combo).change;
        {
          Recorder r(combo);
          const int asked = no.asked;
          QTest::keyClick(combo, k);
          if (no.asked > asked) continue;  // the choice was asked about and declined
          ASSERT_NE(combo->currentIndex(), was) << who;
          EXPECT_EQ(r.count(QAccessible::Focus), 1) << who << ": a new choice is not told once by the focus";
          const Told* t = r.last(QAccessible::Focus);
          ASSERT_NE(t, nullptr) << who;
          EXPECT_EQ(str(t->name), str(combo->currentText())) << who;
          EXPECT_TRUE(t->focused) << who << ": the chosen entry is not focused";
        }
        if (combo->isEditable()) {
          // Tabbed into, it is told focused before its field's text is selected (the caret moved
          // first would be taken as the focus, and the drop-down list heard as its selected text).
          combo->clearFocus();
          activate();
          Recorder r(combo);
          combo->setFocus(Qt::TabFocusReason);
          ASSERT_TRUE(
              jex::testing::waitFor([&] { return combo->lineEdit()->selectedText() == combo->currentText(); }, 5000))
              << who << ": its text is not selected on entering";
          const qsizetype focus = r.firstOwn(QAccessible::Focus);
          ASSERT_GE(focus, 0) << who << ": entering it tells no focus";
          for (qsizetype at = 0; at < focus; ++at)
            EXPECT_FALSE(r.told[at].type == QAccessible::TextCaretMoved ||
                         r.told[at].type == QAccessible::TextSelectionChanged)
                << who << ": its field's caret or selection told before the focus";
        }
        if (combo->isEditable()) {
          // Typing chooses no entry: the focus stays, the letter is told as text of the field, a
          // child of the combo box, and the combo box's text is the field's.
          Recorder r(combo);
          QTest::keyClick(combo, Qt::Key_End);
          QTest::keyClick(combo, Qt::Key_X);
          EXPECT_EQ(r.count(QAccessible::Focus), 0) << who << ": typing is told as a new choice";
          EXPECT_GE(r.count(QAccessible::TextInserted) + r.count(QAccessible::TextUpdated), 1)
              << who << ": typing is not told as text of its field";
          EXPECT_EQ(str(i->textInterface()->text(0, -1)), str(combo->currentText())) << who;
          EXPECT_EQ(i->focusChild(), nullptr) << who << ": a typed text still counts as an entry";
          QTest::keyClick(combo, Qt::Key_Backspace);
        }
        if (choiceOf(combo).back != Qt::Key_unknown) QTest::keyClick(combo, choiceOf(combo).back);
      } else if (auto* edit = qobject_cast<QLineEdit*>(w); edit && edit->isEnabled()) {
        // A field is reported focused before its caret or selection moves, or a reader takes the
        // caret move as the focus and keeps quiet; its text is selected after that, unless it is
        // read-only.
        if (edit->hasFocus()) edit->clearFocus();
        activate();
        Recorder r(edit);
        edit->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(jex::testing::waitFor([&] { return edit->hasFocus(); }, 5000)) << who << " takes no focus";
        const qsizetype focus = r.firstOwn(QAccessible::Focus);
        ASSERT_GE(focus, 0) << who << ": entering it tells no focus";
        for (QAccessible::Event moved : {QAccessible::TextCaretMoved, QAccessible::TextSelectionChanged})
          if (const qsizetype at = r.firstOwn(moved); at >= 0) EXPECT_LT(focus, at) << who << ": caret told first";
        if (edit->isReadOnly() || edit->text().isEmpty())
          EXPECT_FALSE(edit->hasSelectedText()) << who << ": selected on entering";
        else  // typing replaces the text, as in every field entered by Tab
          EXPECT_TRUE(jex::testing::waitFor([&] { return edit->selectedText() == edit->text(); }, 5000)) << who;
        // Leaving it tells no change of its selection, which a reader would say over the next control.
        Recorder left(edit);
        edit->clearFocus();
        EXPECT_LT(left.firstOwn(QAccessible::TextSelectionChanged), 0) << who << ": leaving it changes its selection";
      } else if (auto* view = qobject_cast<QAbstractItemView*>(w); view && choiceOf(view).value.size()) {
        // Entering a list tells its current entry as the focus, after the list's own; a checkable
        // entry is a check box with its state.
        if (view->hasFocus()) view->clearFocus();
        activate();
        Recorder r(view);
        view->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(jex::testing::waitFor([&] { return r.last(QAccessible::Focus) != nullptr; }, 5000))
            << who << ": entering it tells no entry as the focus";
        const Told* t = r.last(QAccessible::Focus);
        EXPECT_EQ(str(t->name), str(choiceOf(view).value)) << who;
        EXPECT_TRUE(t->focused) << who << ": the current entry is not focused";
        EXPECT_GT(t - r.told.constData(), r.firstOwn(QAccessible::Focus)) << who << ": the list's own focus came last";
        if (choiceOf(view).checked) {
          EXPECT_EQ(t->role, QAccessible::CheckBox) << who << ": a checkable entry is not a check box";
          EXPECT_EQ(t->checked, *choiceOf(view).checked) << who;
        }
      }
      if (auto* view = qobject_cast<QAbstractItemView*>(w); view && choiceOf(view).checked) {
        view->setFocus(Qt::TabFocusReason);
        for (int round = 0; round < 2; ++round) {
          Recorder r(view);
          QTest::keyClick(view, Qt::Key_Space);
          const bool checked = view->currentIndex().data(Qt::CheckStateRole).toInt() == Qt::Checked;
          const Told* t = r.last(QAccessible::StateChanged);
          ASSERT_NE(t, nullptr) << who << ": Space on an entry tells no new state";
          EXPECT_EQ(str(t->name), str(view->currentIndex().data().toString())) << who;
          EXPECT_EQ(t->checked, checked) << who;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Dialogs, BridgeTold, ::testing::ValuesIn(kCases), caseName);

}  // namespace
}  // namespace jex::test
