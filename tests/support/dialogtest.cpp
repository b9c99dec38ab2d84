#include "tests/support/dialogtest.h"

#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAction>
#include <QCheckBox>
#include <QDirIterator>
#include <QLineEdit>

#include "app/cmdqueue.h"
#include "app/formlist.h"
#include "corvane/engine/appdir.h"
#include "global/jexnotifier.h"
#include "localisation/frmlocalizer.h"
#include "platform/registry.h"
#include "users/cuser.h"
#include "widgets/accessibility.h"

namespace jex::test {

std::optional<Opener> opener(const QString& form) {
  const forms::Form* f = forms::find(form);
  if (!f) return std::nullopt;
  // A route that shows the dialog as it is, without a control or arguments of its own; for a
  // dialog that has none, an operation of the form that shows it (a read-me file, the help, the
  // clipboard text) without an argument read at the moment (the last application).
  const auto plain = [](const QList<forms::Route>& routes, bool operations) {
    for (const forms::Route& r : routes) {
      if (r.first) continue;
      if (operations ? r.action != QLatin1String("Show") : r.show && r.args.isEmpty()) return r.name;
    }
    return QString();
  };
  Opener how{plain(f->commands, false), plain(f->menuEntries, false)};
  if (how.command.isEmpty() && how.menuEntry.isEmpty()) how = {plain(f->commands, true), plain(f->menuEntries, true)};
  if (how.command.isEmpty() && how.menuEntry.isEmpty()) return std::nullopt;
  return how;
}

QStringList openableDialogs() {
  registerForms();
  QStringList out;
  for (const QString& name : forms::names())
    if (opener(name)) out << name;
  return out;
}

AnswerBox::AnswerBox(std::function<void(QWidget*)> answer) {
  QObject::connect(&timer_, &QTimer::timeout, [this, answer] {
    QWidget* box = QApplication::activeModalWidget();
    // The help and the about box are modal windows too, but no question.
    if (!box || !box->isVisible() || qobject_cast<ChildDialog*>(box)) return;
    // A box answered by its button's letter closes after the button's click animation: the
    // same box is not answered twice meanwhile (an answer that did nothing is tried again).
    if (box == lastBox_ && sinceAnswer_.isValid() && !sinceAnswer_.hasExpired(500)) return;
    ++asked;
    answer(box);
    lastBox_ = box;
    sinceAnswer_.start();
  });
  timer_.start(5);
}

AnswerBox::AnswerBox(Qt::Key key)
    : AnswerBox([key](QWidget* box) { QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, key); }) {}

void copyShippedFiles(const QString& appPath) {
  for (const char* shipped : {"LNG", "icons", "Help"})
    corvane::copyTreeKeepExisting(QStringLiteral(JEX_SOURCE_DIR "/data/") + QLatin1String(shipped),
                                  QDir(appPath).filePath(QLatin1String(shipped)));
}

void press(QWidget* w, Qt::Key k) {
  w->setFocus();
  QTest::keyClick(w, k);
}

Qt::Key changeKey(QWidget* w, bool listsOnly) {
  const auto step = [](int row, int rows) { return row + 1 < rows ? Qt::Key_Down : Qt::Key_Up; };
  if (auto* c = qobject_cast<QComboBox*>(w)) return step(c->currentIndex(), c->count());
  if (auto* v = qobject_cast<QAbstractItemView*>(w))
    return v->model() ? step(v->currentIndex().row(), v->model()->rowCount(v->rootIndex())) : Qt::Key_unknown;
  if (listsOnly) return Qt::Key_unknown;
  if (qobject_cast<QCheckBox*>(w)) return Qt::Key_Space;
  if (qobject_cast<QAbstractSlider*>(w) || qobject_cast<QAbstractSpinBox*>(w)) return Qt::Key_Up;
  if (auto* e = qobject_cast<QLineEdit*>(w); e && !e->isReadOnly()) return Qt::Key_Up;  // a value field steps
  return Qt::Key_unknown;
}

Change changeASetting(ChildDialog* dialog, bool listsOnly, const std::function<void(QWidget*)>& beforeKey) {
  Change change;
  for (QWidget* w : ui::readingOrder(dialog)) {
    const Qt::Key k = changeKey(w, listsOnly);
    // A user switch written at once is no setting that OK stores or Escape takes back.
    if (k == Qt::Key_unknown || !w->isVisible() || ChildDialog::isStoredAtOnce(w)) continue;
    if (beforeKey) beforeKey(w);
    press(w, k);
    if (dialog->changed()) {
      change.control = w;
      break;
    }
    change.onTheWay.append({w, k});
  }
  return change;
}

void choose(QComboBox* c, const QString& text) {
  c->setFocus();
  QTest::keyClick(c, Qt::Key_Home);
  for (int i = 0; i < c->count() && c->currentText() != text; ++i) QTest::keyClick(c, Qt::Key_Down);
  EXPECT_EQ(c->currentText(), text);
}

void MainWindowTest::SetUp() {
  gGlobal().AppTitle = QStringLiteral("Halda 4.10");
  gGlobal().ParkMouse = 0;
  QDir().mkpath(dir.filePath(QStringLiteral("LNG/1031")));
  // The registry of the tests' own machine: a fresh one, nothing installed.
  platform::Registry::setMachinePath(appPath() + QStringLiteral("registry.json"));
  languageFiles();
  frmLocalizer().setLNG(QStringLiteral("1031"));
  frmMDI::setQuitter([this] { ++quits; });
  mdi = std::make_unique<frmMDI>();
  mdi->registerSink();
  mdi->installHook();
}

void MainWindowTest::TearDown() {
  mdi.reset();
  frmMDI::setQuitter([] {});
  resetLocalizer();
  platform::Registry::setMachinePath({});
}

void MainWindowTest::languageFiles() { copyShippedFiles(appPath()); }

void MainWindowTest::showByKey() {
  core.foreground = QStringLiteral("WINWORD");
  mdi->TOGGMEN();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(mdi.get()));
  mdi->activateWindow();
  core.foreground = QStringLiteral("JEXUI");
  // The core tells JexUI that it has the focus now, as it does on the task switch.
  if (JexNotifier* n = mdi->jexNotifier()) emit n->UIGotFocusEvent();
}

void MainWindowTest::key(Qt::Key k, Qt::KeyboardModifiers m) {
  QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : mdi.get(), k, m);
}

bool MainWindowTest::drained() {
  return QTest::qWaitFor([&] { return mdi->commandQueue().isEmpty() && !mdi->commandQueue().tmrCMD()->isActive(); },
                         5000);
}

void MainWindowTest::command(const char* name) {
  mdi->commandQueue().add(QString::fromLatin1(name));
  ASSERT_TRUE(drained());
}

void DialogTest::SetUp() {
  core.routeQueued = true;  // a command JexUI hands the core comes back as the running core sends it
  MainWindowTest::SetUp();
  registerForms();
  if (!gGlobal().UserProfile) gGlobal().UserProfile = CreateCurrUser();
}

ChildDialog* DialogTest::open(const QString& name) {
  const std::optional<Opener> how = opener(name);
  if (!how) {
    ADD_FAILURE() << "no command or menu entry opens " << name.toStdString();
    return nullptr;
  }
  // A window of its own that just closed hands the main window the focus back on its way.
  if (!mdi->isActiveWindow() && !(mdi->isVisible() && QTest::qWaitForWindowActive(mdi.get(), 500))) showByKey();
  if (!how->command.isEmpty()) {
    command(qPrintable(how->command));
  } else if (QAction* entry = mdi->menuEntry(how->menuEntry)) {
    entry->trigger();
  } else {
    ADD_FAILURE() << "the main window has no menu entry " << how->menuEntry.toStdString();
  }
  ChildDialog* d = ChildDialog::find(name);
  if (!d || !d->isVisible()) {
    ADD_FAILURE() << name.toStdString() << " did not open";
    return nullptr;
  }
  // A window of its own is in front once the window system has activated it.
  if (d->isOwnWindow() && !QTest::qWaitForWindowActive(d)) ADD_FAILURE() << name.toStdString() << " is not in front";
  return d;
}

void DialogTest::language(const char* lng) {
  frmLocalizer().setLNG(QLatin1String(lng));
  iNotify(QStringLiteral("UI_LNGCHANGE"));
}

QString DialogTest::stored(const QString& section, const QString& key) const { return core.store.value(section, key); }

DialogTest::Files DialogTest::files() const {
  Files all;
  const QString log = appPath() + QStringLiteral("jexui.log");
  for (QDirIterator it(dir.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
    const QString path = it.next();
    QFile f(path);
    // The empty lock files that writing an INI file leaves beside it hold no setting.
    if (path.endsWith(QStringLiteral(".lock")) && QFileInfo(path).size() == 0) continue;
    if (path != log && f.open(QIODevice::ReadOnly)) all.insert(path.mid(appPath().size()), f.readAll());
  }
  return all;
}

QStringList DialogTest::changedSince(const Files& before) const {
  const Files now = files();
  QStringList changed;
  for (auto it = now.cbegin(); it != now.cend(); ++it)
    if (before.value(it.key()) != it.value() || !before.contains(it.key())) changed << it.key();
  for (auto it = before.cbegin(); it != before.cend(); ++it)
    if (!now.contains(it.key())) changed << it.key();
  return changed;
}

}  // namespace jex::test
