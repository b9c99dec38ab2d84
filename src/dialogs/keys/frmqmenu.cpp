#include "dialogs/keys/frmqmenu.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QScreen>
#include <QSet>
#include <QThread>
#include <QTimer>

#include "automation/dispatchable.h"
#include "base/error.h"
#include "base/log.h"
#include "dialogs/childdialog.h"
#include "global/cglobal.h"
#include "global/cnotifysink.h"
#include "global/sounds.h"
#include "localisation/frmlocalizer.h"
#include "platform/foreground.h"
#include "platform/tasks.h"
#include "users/cuser.h"
#include "widgets/formservice.h"

namespace jex {
namespace {

const QString kUserMenu = QStringLiteral("UserMenu");
const QString kAppFuncs = QStringLiteral("AppFuncs");
const QString kSub = QStringLiteral(".Sub.");
const QString kOpen = QStringLiteral("UI_OPEN:");
const QString kAboutToSpeak = QStringLiteral("AboutToSpeak");
constexpr int kQMenuMs = 2;
constexpr int kGetKeysMs = 5;
constexpr int kTipMs = 100;
constexpr int kFormSize = 4;         // pixels: the form shows nothing of its own
constexpr qsizetype kHintAfter = 5;  // a "(" within the first five characters is no key hint
constexpr int kMostEscapes = 40;     // submenus deeper than this are not closed one by one

frmQMenu::StateSource& stateSource() {
  static frmQMenu::StateSource states;
  return states;
}

QString yesNo(bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); }

QLabel* hiddenLabel(QWidget* parent, const char* name, const char* text) {
  auto* l = new QLabel(QString::fromUtf8(text), parent);
  l->setObjectName(QLatin1String(name));
  l->hide();
  return l;
}

bool holds(const QMenu* menu, const QAction* action, int depth = 0) {
  if (!menu || depth > kMaxMenuDepth) return false;
  for (const QAction* a : menu->actions())
    if (a == action || (a->menu() && holds(a->menu(), action, depth + 1))) return true;
  return false;
}

// The script functions of an application ("APP:Sub.NAME" -> NAME), as the core lists them.
QStringList scriptFunctions(const QString& application) {
  const Obj scripts = Jex().obj(QStringLiteral("App_Scripts"));
  auto col = std::make_shared<automation::Collection>();
  scripts.call(QStringLiteral("AddAppFunctionsToCol"), {application, automation::fromObj(Obj(col))});
  QStringList names;
  for (const QString& f : Obj(col).strings()) {
    const qsizetype at = f.indexOf(QStringLiteral(":Sub."), 0, Qt::CaseInsensitive);
    if (at >= 0) names << f.mid(at + 5);
  }
  return names;
}

// Counts a step that calls the core while it runs.
struct Busy {
  explicit Busy(int& n) : n_(n) { ++n_; }
  ~Busy() { --n_; }
  int& n_;
};

QString foregroundApplication() { return Jex().str(QStringLiteral("proc.ForeGroundApp")).toUpper(); }

}  // namespace

frmQMenu::frmQMenu(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("frmQMenu"));
  WriteLog(QStringLiteral("frmQMenu_load"), kDetail);
  resize(kFormSize, kFormSize);
  lblTitle_ = hiddenLabel(this, "lblTitle", "Quickmenü");
  lblUserMenu_ = hiddenLabel(this, "lblUserMenu", "&Favoriten");
  lblAppFuncs_ = hiddenLabel(this, "lblAppFuncs", "An&wendungsfunktionen");
  lblReadMe_ = hiddenLabel(this, "lblReadMe", "L&iesmich");
  setWindowTitle(lblTitle_->text());
  checker_ = std::make_unique<cKeyChecker>();
  const auto timer = [this](int ms, void (frmQMenu::*tick)()) {
    auto* t = new QTimer(this);
    t->setInterval(ms);
    connect(t, &QTimer::timeout, this, tick);
    return t;
  };
  tmrQMenu_ = timer(kQMenuMs, &frmQMenu::openTick);
  tmrGetKeys_ = timer(kGetKeysMs, &frmQMenu::getKeysTick);
  tmrTip_ = timer(kTipMs, &frmQMenu::tipTick);
  tipRestart_ = new QTimer(this);
  tipRestart_->setSingleShot(true);
  connect(tipRestart_, &QTimer::timeout, this, [this] {
    if (!popupOpen_ || tipText_.isEmpty()) return;
    tipCount_ = 0;
    tmrTip_->start();
  });
}

frmQMenu::~frmQMenu() {
  trap("frmQMenu.Form_Unload", [this] {
    if (visible_) setAboutToSpeak(false);
    WriteLog(QStringLiteral("frmQMenu_unload"), kDetail);
  });
}

void frmQMenu::setStateSource(StateSource states) { stateSource() = std::move(states); }

qint64 frmQMenu::now() const { return clock_ ? clock_() : QDateTime::currentMSecsSinceEpoch(); }

cMenu* frmQMenu::menuOf(const QString& application) const { return menus_.value(application.toUpper()).get(); }

void frmQMenu::load() {
  // The language may have changed while the form was hidden (the change localises only the
  // windows that show): its captions and the menus built from them follow it now.
  const QString lng = trapped("frmQMenu.LNG", QString(), [] { return frmLocalizer().LNG(); });
  if (!localised_ || lng != localisedLng_) {
    trap("frmQMenu.Localize", [this] { frmLocalizer().Localize(this); });
    if (localised_) DestroyMenus();
  }
  localised_ = true;
  localisedLng_ = lng;
  setWindowTitle(lblTitle_->text().remove(u'&'));
  listen();
}

// The main window's sink: its events reach the form from now on (a new sink replaces the old).
void frmQMenu::listen() {
  ChildHost* host = ChildDialog::host();
  const std::shared_ptr<cNotifySink> sink = host ? host->notificationSink() : nullptr;
  if (sink.get() == heard_.data()) return;
  if (heard_) disconnect(heard_, nullptr, this, nullptr);
  heard_ = sink.get();
  if (!sink) return;
  connect(sink.get(), &cNotifySink::AboutToSpeakEvent, this, &frmQMenu::aboutToSpeak, Qt::DirectConnection);
  connect(sink.get(), &cNotifySink::AudioStartEvent, this, &frmQMenu::audioStart);
  connect(sink.get(), &cNotifySink::AudioStopEvent, this, &frmQMenu::audioStop);
  connect(sink.get(), &cNotifySink::HandleCmdEvent, this, &frmQMenu::sinkCmd, Qt::DirectConnection);
}

void frmQMenu::sinkCmd(QString& command) {
  trap("frmQMenu.Sink_HandleCmd", [&] {
    if (command.compare(QLatin1String("UI_LNGCHANGE"), Qt::CaseInsensitive) != 0) return;  // QUICKMEN: not here
    frmLocalizer().Localize(this);
    localisedLng_ = frmLocalizer().LNG();
    setWindowTitle(lblTitle_->text().remove(u'&'));
    // The captions of the entries come from the language: the menus are built again.
    DestroyMenus();
  });
}

// ---------------------------------------------------------------- opening

void frmQMenu::ShowQuickMenu(const QVariant& args) {
  const QStringList a = args.toStringList();
  ShowQuickMenu(a.value(0), a.value(1).toInt());
}

void frmQMenu::ShowQuickMenu(const QString& application, int mode) {
  const Busy busy(busy_);
  trap("frmQMenu.ShowQuickMenu", [&] {
    WriteLog(QStringLiteral("ShowQ, visible: ") + yesNo(visible_), kDetail);
    if (visible_) {
      WriteLog(QStringLiteral("QMenu visible - exit"), kDetail);
      CloseQuickMenu();
      return;
    }
    load();
    PlaySound(QStringLiteral("QmenuOn"));
    application_ = application.trimmed().toUpper();
    CheckAppMenu(application_);
    if (!current_) return;
    foreWnd_ = trapped("frmQMenu.GetRealForegroundWindow", qint64(0),
                       [] { return Jex().get(QStringLiteral("System.GetRealForegroundWindow")).toLongLong(); });
    const QScreen* screen = QGuiApplication::primaryScreen();
    QPoint at = screen ? screen->geometry().topLeft() : QPoint();
    if (mode != 0) {
      at = QCursor::pos();
    }
    // The check marks first: the monitor window's toggle says whether it shows.
    const QHash<QString, bool> states = refreshChecks(*current_);
    const auto monitor = states.constFind(QStringLiteral("MONWINTOGGLE"));
    if (mode == 0 && (monitor != states.constEnd() ? *monitor : trapped("frmQMenu.IsMonWinVisible", false, [] {
          return Jex().boolean(QStringLiteral("proc.IsMonWinVisible"));
        }))) {
      // Below the core's monitor window; a core without GetSimRect leaves the menu at the top.
      trap("frmQMenu.GetSimRect", [&] { at.setY(Jex().i32(QStringLiteral("proc.GetSimRect.Bottom"))); });
    }
    move(at);
    openLevel_ = QThread::currentThread()->loopLevel();
    visible_ = true;
    show();
    platform::ForceForeground(this, gGlobal().UseForceForeGround);
    tmrQMenu_->start();
  });
}

// The states come from the core in one call, not one call per entry; they are returned.
QHash<QString, bool> frmQMenu::refreshChecks(cMenu& menu) {
  QHash<QString, bool> states;
  trap("frmQMenu.RefreshChecks", [&] {
    const StateSource& source = stateSource();
    if (!source) return;
    states = source();
    for (cMenuItem* item : menu.Items()) {
      if (item->Key().isEmpty()) continue;
      const auto on = states.constFind(item->Key().toUpper());
      if (on != states.constEnd()) item->setChecked(*on);
    }
  });
  return states;
}

// The entry chosen last for the application (the top-level entry that leads to it), else the
// first entry that can be chosen.
QAction* frmQMenu::entryToOpenOn(cMenu& menu) const {
  QMenu* top = menu.menu();
  if (!top) return nullptr;
  if (cMenuItem* last = menu.ItemByKey(lastChosen_.value(menu.Tag)); last && last->Action())
    for (QAction* a : top->actions())
      if (a == last->Action() || (a->menu() && holds(a->menu(), last->Action()))) return a;
  for (QAction* a : top->actions())
    if (!a->isSeparator() && a->isEnabled() && a->isVisible()) return a;
  return nullptr;
}

void frmQMenu::openTick() {
  trap("frmQMenu.tmrQMenu_Timer", [this] {
    tmrQMenu_->stop();
    if (!visible_) return;
    // A call to the core waits in an event loop of its own, where this timer can come up: the
    // menu (a loop of its own again) opens once the opening and the key hints are complete, in
    // the loop that called it up, so that the commands that follow (a second QUICKMEN, TOGGMEN)
    // are not held up behind a call that waits for the menu to close.
    if (busy_ > 0 || QThread::currentThread()->loopLevel() > openLevel_) {
      tmrQMenu_->start();
      return;
    }
    if (!current_) return finish(QString());
    // The hints are in the captions before the first entry is read.
    if (tmrGetKeys_->isActive()) getKeysTick();
    tipText_.clear();
    tipCount_ = 0;
    tmrTip_->start();
    setAboutToSpeak(true);
    platform::ForceForeground(this, gGlobal().UseForceForeGround);
    QPointer<QMenu> top = current_->menu();
    QPointer<QAction> first = entryToOpenOn(*current_);
    // Selected once the menu shows, so that the reader hears the entry at once. A submenu's
    // entry lets go of its submenu meanwhile: selected with it, the submenu would open.
    QTimer::singleShot(0, top, [top, first] {
      if (!top || !first || !top->isVisible() || top->activeAction()) return;
      const QPointer<QMenu> sub = first->menu();
      if (sub) first->setMenu(static_cast<QMenu*>(nullptr));
      top->setActiveAction(first);
      if (sub) first->setMenu(sub.data());
    });
    popupOpen_ = true;
    const QString key = current_->PopUp(this, cMenu::kReturnCmd, true, pos().x(), pos().y());
    popupOpen_ = false;
    finish(key);
  });
}

void frmQMenu::finish(const QString& key) {
  trap("frmQMenu.Close", [&] {
    hide();
    tmrQMenu_->stop();
    tmrTip_->stop();
    tipRestart_->stop();
    visible_ = false;
    tipText_.clear();
    if (!key.isEmpty()) {
      PlaySound(QStringLiteral("QmenuCmd"));
      WriteLog(QStringLiteral("QuickCMD: ") + key, kTraffic);
      gGlobal().NextFGWinCmd = key;
      lastChosen_.insert(application_, key);
    } else {
      PlaySound(QStringLiteral("QmenuOff"));
    }
    setAboutToSpeak(false);
    backToApplication();
    if (destroyPending_) DestroyMenus();
  });
}

void frmQMenu::setAboutToSpeak(bool on) {
  trap("frmQMenu.JEX_UI_Notification_Sink_Event_Enable",
       [&] { Jex().set(QStringLiteral("JEX_UI_Notification_Sink_Event_Enable"), {kAboutToSpeak}, on); });
}

// The application the user came from comes to the front again; the core then offers NEWFGWIN!.
void frmQMenu::backToApplication() {
  trap("frmQMenu.BackToApplication", [this] {
    const auto window = platform::tasks::WindowHandle(foreWnd_);
    if (window == 0 || platform::tasks::activeWindow() == window) return;
    WriteLog(QStringLiteral("QMenu: activate ") + QString::number(window, 16), kDetail);
    platform::tasks::activate(window, 0);
  });
}

void frmQMenu::CloseQuickMenu() {
  trap("frmQMenu.CloseQuickMenu", [this] {
    if (!popupOpen_) {
      // Not popped up yet: it never will be.
      if (visible_ && tmrQMenu_->isActive()) finish(QString());
      return;
    }
    for (int i = 0; i < kMostEscapes; ++i) {
      auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!popup || !popup->isVisible()) break;
      QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QApplication::sendEvent(popup, &esc);
    }
  });
}

void frmQMenu::DestroyMenus() {
  trap("frmQMenu.DestroyMenus", [this] {
    if (visible_) {  // the menu in use goes once it has closed
      destroyPending_ = true;
      return;
    }
    destroyPending_ = false;
    tmrGetKeys_->stop();
    current_ = nullptr;
    menus_.clear();
  });
}

// ---------------------------------------------------------------- building

void frmQMenu::CheckAppMenu(const QString& application) {
  trap("frmQMenu.CheckAppMenu", [&] {
    WriteLog(QStringLiteral("QMenu: ") + application, kDetail);
    if (const auto found = menus_.value(application)) {
      current_ = found.get();
      return;
    }
    WriteLog(QStringLiteral("building QMenu for  ") + application, kDetail);
    commands_.reset();
    functions_.clear();
    auto menu = std::make_shared<cMenu>();
    menu->Tag = application;
    menu->AppendFromFile(frmLocalizer().LngDir() + QStringLiteral("QMenu.ini"), QStringLiteral("Menu"));
    addFavourites(*menu);
    GetAppCMDs(*menu, application);
    // The reader names the menu and each submenu.
    if (QMenu* top = menu->menu()) top->setAccessibleName(lblTitle_->text().remove(u'&'));
    for (cMenuItem* item : menu->Items())
      if (item->SubMenu()) item->SubMenu()->setAccessibleName(QString(item->Caption()).remove(u'&'));
    menus_.insert(application, menu);
    current_ = menu.get();
    keysPending_ = menu->menu();
    tmrGetKeys_->start();
  });
}

// True unless the core says the command or script function is gone (a core that cannot say
// keeps it). Script favourites: "APP.Sub.NAME", for DEFAULT the application's script or the
// default one.
bool frmQMenu::commandExists(const QString& key) {
  static const QRegularExpression script(QStringLiteral("^(\\w*)\\.Sub\\.(\\w+)$"),
                                         QRegularExpression::CaseInsensitiveOption);
  if (key.startsWith(kOpen) || key.startsWith(QLatin1String("UI_HELP:"))) return true;
  const QRegularExpressionMatch m = script.match(key);
  if (m.hasMatch()) {
    QStringList apps{m.captured(1).isEmpty() ? application_ : m.captured(1).toUpper()};
    if (apps.first() == u"DEFAULT") apps.prepend(application_);
    bool known = false;
    for (const QString& app : apps) {
      if (!functions_.contains(app)) {
        QSet<QString> names;
        if (!trap("frmQMenu.ScriptFunctions", [&] {
              for (const QString& n : scriptFunctions(app)) names.insert(n.toUpper());
            }))
          return true;
        functions_.insert(app, names);
      }
      known = known || functions_.value(app).contains(m.captured(2).toUpper());
    }
    return known;
  }
  if (!commands_) {
    const QStringList table = trapped("frmQMenu.AllCommands", QStringList(),
                                      [] { return Jex().get(QStringLiteral("AllCommands.Table")).toStringList(); });
    QSet<QString> names;
    for (qsizetype i = 2; i < table.size(); i += 4) names.insert(table.at(i).toUpper());
    commands_ = names;
  }
  return commands_->isEmpty() || commands_->contains(key.toUpper());
}

void frmQMenu::addFavourites(cMenu& menu) {
  trap("frmQMenu.UserMenu", [&] {
    const auto user = gGlobal().UserProfile;
    const QString file = (user ? user->Path() : gGlobal().AppPath) + kUserMenu + QStringLiteral(".ini");
    if (!QFileInfo::exists(file)) {
      WriteLog(QStringLiteral("QMenu: no favourites ") + file, kDetail);
      return;
    }
    QStringList kept;
    for (const MenuLine& line : readMenuSection(file, QStringLiteral("User"), {})) {
      if (line.kind == MenuLine::Kind::Separator) {
        kept << QStringLiteral("-=-");
      } else if (line.kind != MenuLine::Kind::Entry) {
        WriteLog(QStringLiteral("QMenu: favourite left out (submenu): ") + line.caption, kDetail);
      } else if (!commandExists(line.key)) {
        WriteLog(QStringLiteral("QMenu: favourite left out, its command is gone: ") + line.key, kDetail);
      } else {
        kept << line.key + u'=' + line.caption;
      }
    }
    if (std::none_of(kept.cbegin(), kept.cend(), [](const QString& s) { return s != u"-=-"; })) {
      WriteLog(QStringLiteral("QMenu: no favourites in [User] of ") + file, kDetail);
      return;
    }
    cMenuItem* parent = menu.AddItem(lblUserMenu_->text(), kUserMenu);
    menu.AppendFromCollection(kept, parent);
  });
}

void frmQMenu::GetAppCMDs(cMenu& menu, const QString& application) {
  trap("frmQMenu.GetAppCMDs", [&] {
    cMenuItem* funcs = menu.AddItem(lblAppFuncs_->text(), kAppFuncs);
    if (!funcs) return;
    const QString readMe = readMeFile(application);
    if (!readMe.isEmpty()) menu.AddItem(lblReadMe_->text(), kOpen + readMe);
    QStringList names;
    Obj script;
    trap("frmQMenu.GetAppCMDs.Functions", [&] {
      names = scriptFunctions(application);
      script =
          automation::toObj(Jex().obj(QStringLiteral("App_Scripts")).call(QStringLiteral("GetScript"), {application}));
    });
    int count = 0;
    for (const QString& name : std::as_const(names)) {
      if (name.left(6).compare(QLatin1String("keycmd"), Qt::CaseInsensitive) == 0) continue;
      const QString text = trapped("frmQMenu.GetFunctionLong", QString(), [&] {
        return script.isNothing() ? QString() : script.call(QStringLiteral("GetFunctionLong"), {name}).toString();
      });
      menu.AddItem(text.isEmpty() ? name : text, kSub + name, funcs);
      ++count;
    }
    funcs->setEnabled(count > 0);
  });
}

QString frmQMenu::readMeFile(const QString& application) {
  return trapped("frmQMenu.ReadMe", QString(), [&] {
    if (application.isEmpty()) return QString();
    const QDir dir(gGlobal().AppPath + QStringLiteral("Help/") + frmLocalizer().LNG());
    const QString wanted = application + QStringLiteral(".rtf");
    for (const QString& f : dir.entryList({QStringLiteral("*.rtf"), QStringLiteral("*.RTF")}, QDir::Files))
      if (f.compare(wanted, Qt::CaseInsensitive) == 0) return dir.filePath(f);
    return QString();
  });
}

void frmQMenu::getKeysTick() {
  const Busy busy(busy_);
  trap("frmQMenu.tmrGetKeys_Timer", [this] {
    tmrGetKeys_->stop();
    QElapsedTimer clock;
    clock.start();
    cMenu* menu = nullptr;
    for (const auto& m : std::as_const(menus_))
      if (m->menu() && m->menu() == keysPending_) menu = m.get();
    keysPending_.clear();
    if (!menu) return;
    checker_->InitForApp(menu->Tag, true);
    for (cMenuItem* item : menu->Items()) {
      QString key = item->Key();
      if (key.isEmpty()) continue;
      if (key.startsWith(kSub)) key.remove(0, 1);
      const QString keys = checker_->GetFirstKeysForFunc(key, false);
      if (!keys.isEmpty()) item->setCaption(item->Caption() + QStringLiteral("\t(") + keys + u')');
    }
    WriteLog(QStringLiteral("GetKeys2 tDiff: ") + QString::number(clock.elapsed()), kDetail);
  });
}

// ---------------------------------------------------------------- key hints

void frmQMenu::aboutToSpeak(const QVariant& o) {
  if (!popupOpen_) return;
  trap("frmQMenu.Sink_AboutToSpeak", [&] {
    const Obj utterance = automation::toObj(o);
    const QString text = utterance.str(QStringLiteral("SPC_Str"));
    const qsizetype open = text.lastIndexOf(u'(');
    const qsizetype close = text.lastIndexOf(u')');
    if (open < kHintAfter || close < open) {
      tipText_.clear();  // new speech came first: the hint of the entry before is not said
      return;
    }
    QString spoken = text.left(open);
    spoken.chop(1);  // the tab before the hint
    utterance.set(QStringLiteral("SPC_Str"), spoken + text.mid(close + 1));
    tipText_ = text.mid(open + 1, close - open - 1);
    tipCount_ = 0;
    lastSpeech_ = now();
  });
}

void frmQMenu::audioStart() {
  tmrTip_->stop();
  tipRestart_->stop();
}

void frmQMenu::audioStop() {
  trap("frmQMenu.Sink_AudioStop", [this] {
    if (!popupOpen_ || tipText_.isEmpty()) return;
    const qint64 since = now() - lastSpeech_;
    if (since <= kTipAfterSpeechMs) {
      // A short entry: the hint waits until the time has passed, unless speech starts again.
      tipRestart_->start(int(kTipAfterSpeechMs - since) + 1);
      return;
    }
    tipCount_ = 0;
    lastSpeech_ = now();
    tmrTip_->start();
  });
}

void frmQMenu::tipTick() {
  trap("frmQMenu.tmrTip_Timer", [this] {
    if (++tipCount_ <= gGlobal().TipDelay || tipText_.isEmpty()) return;
    const QString tip = tipText_;
    tipText_.clear();
    tmrTip_->stop();
    // The core asks for the voice while the call runs; the hint keeps its own.
    gGlobal().NoVoiceSelect = true;
    const struct Reset {
      ~Reset() { gGlobal().NoVoiceSelect = false; }
    } reset;
    Jex().call(QStringLiteral("proc.SpeechOutVoice"), {tip, kTipVoice});
  });
}

JEX_FORM_REGISTRATION(frmQMenu, {.create = [] { return std::make_unique<frmQMenu>(); },
                                 .commands = {{.name = QStringLiteral("QUICKMEN"),
                                               .action = QStringLiteral("ShowQuickMenu"),
                                               .args = {QStringLiteral("0")},
                                               .first = foregroundApplication,
                                               .show = false},
                                              {.name = QStringLiteral("DLGTYPELIB"),
                                               .action = QStringLiteral("ShowQuickMenu"),
                                               .args = {QStringLiteral("2")},
                                               .first = foregroundApplication,
                                               .show = false}}})

}  // namespace jex
