#include "app/frmmdi.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDBusConnection>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "app/cmdqueue.h"
#include "app/corewatch.h"
#include "app/formlist.h"
#include "app/frmmain.h"
#include "app/scripting/cjexstates.h"
#include "app/scripting/funcs.h"
#include "app/systemsettings.h"
#include "app/twips.h"
#include "base/error.h"
#include "base/log.h"
#include "dialogs/keys/cmenu.h"
#include "dialogs/keys/frmqmenu.h"
#include "global/cglobal.h"
#include "global/sounds.h"
#include "localisation/frmlocalizer.h"
#include "users/cuser.h"
#include "widgets/accessibility.h"
#include "widgets/named.h"

namespace jex {
namespace {
frmMDI* g_instance = nullptr;

constexpr int kBrailleButton = 1;
constexpr int kMeridanButton = 4;
constexpr int kObjWizFeatureLevel = 4;
constexpr int kReaderInterval = 30;  // ms
constexpr int kTipInterval = 100;    // ms
constexpr int kClientWidth = 9840;   // twips
constexpr int kClientHeight = 6000;  // twips

const char* const kButtonTips[4] = {"Benutzerverwaltung, Ausführlichkeit und Halda beenden",
                                    "Einstellungen der Braillezeille und der Brailledarstellung",
                                    "Stimmeinstellungen, Satzzeichen, Tastenecho und Wörterbücher",
                                    "Belegung der Computer und Braillezeilentasten"};
// Close reason of a request from the window system (control menu, Alt+F4); the program itself
// closes the window only through Unload.
constexpr int kCloseFromControlMenu = 0;

const char* const kButtonCaptions[frmMDI::kMenuButtons] = {"Datei",   "Braille", "Sprachausgabe", "Tasten",
                                                           "Meridan", "Extras",  "Hilfe",         "schließen"};

void notYet(const char* what) { WriteLog(QString::fromUtf8(what) + QStringLiteral(" - not available yet"), kDetail); }

QString sec(const char* s) { return QString::fromLatin1(s); }

// A button of the row: it may shrink to its caption (the style's minimum width would push the
// eight buttons past the window's fixed width and clip the long captions).
class MenuButton : public QPushButton {
 public:
  MenuButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setSizePolicy(QSizePolicy::Preferred, sizePolicy().verticalPolicy());
  }
  QSize minimumSizeHint() const override {
    QStyleOptionButton option;
    initStyleOption(&option);
    const int frame = style()->pixelMetric(QStyle::PM_ButtonMargin, &option, this) +
                      2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
    const int width = fontMetrics().size(Qt::TextShowMnemonic, text()).width() + frame;
    return QSize(std::min(width, sizeHint().width()), sizeHint().height());
  }
};

cIniFil& jexuiIni() {
  if (!gGlobal().Ini) throw Error(err::ObjectRequired, QStringLiteral("JEXUI.INI is not open"));
  return *gGlobal().Ini;
}
}  // namespace

frmMDI::frmMDI(QWidget* parent) : QMainWindow(parent) {
  g_instance = this;
  setCommandHost(this);
  registerForms();
  forms::setFrame(this);
  setObjectName(QStringLiteral("frmMDI"));
  setWindowTitle(QStringLiteral("Halda - Hauptmenü"));
  setWindowFlag(Qt::WindowMaximizeButtonHint, false);
  buildControls();
  buildMenus();
  connectMenuButtons();
  ChildDialog::setHost(this);
  home_ = new frmMain(client_);
  client_->layout()->addWidget(home_);
  tmrReader_ = new QTimer(this);
  tmrReader_->setObjectName(QStringLiteral("tmrReader"));
  tmrReader_->setInterval(kReaderInterval);
  connect(tmrReader_, &QTimer::timeout, this, &frmMDI::readerTick);
  tmrTip_ = new QTimer(this);
  tmrTip_->setObjectName(QStringLiteral("tmrTip"));
  tmrTip_->setInterval(kTipInterval);
  connect(tmrTip_, &QTimer::timeout, this, &frmMDI::tipTick);
  tmrStartUp_ = new QTimer(this);
  tmrStartUp_->setObjectName(QStringLiteral("tmrStartUp"));
  tmrStartUp_->setInterval(kStartUpInterval);
  connect(tmrStartUp_, &QTimer::timeout, this, &frmMDI::startUpTick);
  wireLanguageChange();
}

// A language change reaches the program through the queues: the dialogs hear UI_LNGCHANGE from the
// sink and the main window is localised with them, the core gets its commands in its queue, and
// the quit runs as the next command of JexUI's own queue, after the change has returned.
void frmMDI::wireLanguageChange() {
  auto& hooks = frmLocalizer().hooks();
  hooks.notify = [](const QString& command) {
    iNotify(command);
    if (command == QLatin1String("UI_LNGCHANGE") && instance())
      trap("frmMDI.UI_LNGCHANGE", [] { frmLocalizer().Localize(instance()); });
  };
  hooks.sendToCore = [](const QString& command) { iAdd2JexCmdQ(command); };
  hooks.quit = [] { iAdd2MyCmdQ(QStringLiteral("QUIT")); };
}

frmMDI::~frmMDI() {
  if (g_instance == this) g_instance = nullptr;
  if (commandHost() == this) setCommandHost(nullptr);
  if (ChildDialog::host() == this) ChildDialog::setHost(nullptr);
  if (forms::frame() == this) forms::setFrame(nullptr);
  WriteLog(QStringLiteral("MDI_Terminate"), kDetail);
}

frmMDI* frmMDI::instance() { return g_instance; }

QPushButton* frmMDI::cmdMenu(int index) const {
  return index >= 0 && index < kMenuButtons ? cmdMenu_[size_t(index)] : nullptr;
}

void frmMDI::buildControls() {
  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  auto* picMenu = named<QWidget>(central, "picMenu");
  auto* row = new QHBoxLayout(picMenu);
  row->setContentsMargins(0, 0, 0, 0);
  for (int i = 0; i < kMenuButtons; ++i) {
    auto* b = new MenuButton(QString::fromUtf8(kButtonCaptions[i]), picMenu);
    b->setObjectName(QStringLiteral("cmdMenu(%1)").arg(i));
    if (i < 4) ui::setTip(b, QString::fromUtf8(kButtonTips[i]));
    b->installEventFilter(this);
    row->addWidget(b);
    cmdMenu_[size_t(i)] = b;
  }
  lblAppTitle_ = named<QLabel>(central, "lblAppTitle", QStringLiteral("Halda"));
  lblAppTitle_->setVisible(false);  // carries the program title, shown in the caption
  lblAsk2Quit_ = named<QLabel>(central, "lblAsk2Quit", QStringLiteral("wollen Sie Halda wirklich beenden ?"));
  lblAsk2Quit_->setVisible(false);
  client_ = named<QWidget>(central, "MDIClient");
  new QVBoxLayout(client_);
  client_->layout()->setContentsMargins(0, 0, 0, 0);
  column->addWidget(picMenu);
  column->addWidget(lblAppTitle_);
  column->addWidget(lblAsk2Quit_);
  column->addWidget(client_, 1);
  setCentralWidget(central);

  QStatusBar* status = statusBar();
  status->setObjectName(QStringLiteral("Status"));
  for (const char* panel : {"profile", "tip"}) {
    status->addWidget(named<QLabel>(status, panel), panel[0] == 't' ? 1 : 0);
  }
  status->installEventFilter(this);
  // A fixed size: the client area is kClientWidth x kClientHeight twips (see changeEvent).
  central->setFixedHeight(twipsToPixelsY(kClientHeight));
  setFixedWidth(twipsToPixelsX(kClientWidth));
}

// Mouse gestures on the status bar: the right button released with Ctrl runs DLGRESWIZ, with
// Ctrl+Shift QUIT, both through JexUI's command queue.
void frmMDI::statusGesture(QMouseEvent* event) {
  if (event->button() != Qt::RightButton) return;
  const Qt::KeyboardModifiers held = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  if (held == Qt::ControlModifier) commandQueue().add(QStringLiteral("DLGRESWIZ"));
  else if (held == (Qt::ControlModifier | Qt::ShiftModifier)) commandQueue().add(QStringLiteral("QUIT"));
}

// In the normal state every resize gives back the fixed size: the width is fixed, the height is
// the client area's plus the button row's and the status bar's.
void frmMDI::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) return;
  if (const int height = minimumSizeHint().height(); this->height() != height) resize(width(), height);
}

// A maximised window goes back to the normal state; a minimised one is left alone.
void frmMDI::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized))
    setWindowState(windowState() & ~Qt::WindowMaximized);
}

QLabel* frmMDI::statusPanel(const QString& key) const { return statusBar()->findChild<QLabel*>(key); }

// ---------------------------------------------------------------- load

// Each step is a procedure of its own with its own error trap: a step that fails (a core member
// missing, a call that times out) is logged and the next step runs, so that the sink, the
// notifier and Funcs are registered whatever went wrong before them.
void frmMDI::Load() {
  if (gGlobal().Quitting) return;
  using Step = void (frmMDI::*)();
  static constexpr std::pair<const char*, Step> kSteps[] = {
      {"frmMDI.PlaceWindow", &frmMDI::placeWindow},
      {"frmMDI.ApplyFeatures", &frmMDI::applyFeatures},
      {"frmMDI.BuildHelpLinks", &frmMDI::buildHelpLinks},
      {"frmMDI.InitUser", &frmMDI::initUserProfile},
      {"frmMDI.CheckMeridan", &frmMDI::applyCoreState},
      {"frmMDI.CheckBraillePort", &frmMDI::applyBrailleState},
      {"frmMDI.Localize", &frmMDI::localise},
      {"frmMDI.SetAppTitle", &frmMDI::storeAppTitle},
      {"frmMDI.Init_Notification_Sink", &frmMDI::registerSink},
      {"frmMDI.InstallHook", &frmMDI::installHook},
      {"frmMDI.CheckUpdate", &frmMDI::checkUpdate},
      {"frmMDI.WinUsers", &frmMDI::applySystemSettings},
      {"frmMDI.ExposeFuncs", &frmMDI::exposeFuncs},
      {"frmMDI.WatchCore", &frmMDI::watchSessionCore},
      {"frmMDI.StartBgLoading", &frmMDI::startBackgroundLoading},
  };
  WriteLog(QStringLiteral("MDI_load"), kDetail);
  for (const auto& [location, step] : kSteps) {
    if (gGlobal().Quitting) return;  // the core left or QUIT came during a step
    trap(location, [this, step = step] { (this->*step)(); });
  }
}

void frmMDI::placeWindow() {
  cIniFil& ini = jexuiIni();
  const qint32 x = std::max<qint32>(0, ini.GetLong(sec("WinPos"), QStringLiteral("Main_X"), 100));
  const qint32 y = std::max<qint32>(0, ini.GetLong(sec("WinPos"), QStringLiteral("Main_Y"), 500));
  move(twipsToPixelsX(x), twipsToPixelsY(y));
}

void frmMDI::applyFeatures() {
  if (gGlobal().Features >= kObjWizFeatureLevel) return;
  mnuExtrasSep_->setVisible(false);
  mnuExtrasObjWiz_->setVisible(false);
}

void frmMDI::applyCoreState() {
  if (!Jex().boolean(QStringLiteral("proc.MeridanLoaded"))) cmdMenu_[kMeridanButton]->setEnabled(false);
}

void frmMDI::applyBrailleState() {
  if (Jex().str(QStringLiteral("BrailleInterface.ActiveBraillePort")).toUpper() == QLatin1String("COM0")) {
    cmdMenu_[kBrailleButton]->setEnabled(false);
    mnuBraille_->setEnabled(false);
    mnuBraille_->menuAction()->setEnabled(false);
  }
}

void frmMDI::applySystemSettings() { systemsettings::Apply(jexuiIni(), gGlobal().AppPath); }

void frmMDI::watchSessionCore() { watchCore(QDBusConnection::sessionBus()); }

void frmMDI::watchCore(const QDBusConnection& conn) {
  trap("frmMDI.WatchCore", [&] {
    delete coreWatch_;
    coreWatch_ = new CoreWatch(
        conn, [this] { registerAgain(); }, this);
  });
}

void frmMDI::storeAppTitle() {
  gGlobal().AppTitle =
      lblAppTitle_->text() + u' ' + QString::number(JEX_VERSION_MAJOR) + u'.' + QString::number(JEX_VERSION_MINOR);
}

void frmMDI::checkUpdate() {
  cIniFil& ini = jexuiIni();
  if (ini.GetStr(sec("General"), QStringLiteral("Update"), QString()).trimmed() != QLatin1String("4")) return;
  activateProfile();
  ini.SettingSave(sec("General"), QStringLiteral("Update"), QStringLiteral("0"));
}

void frmMDI::startBackgroundLoading() {
  WriteLog(QStringLiteral("start bg-loading ..."), kDetail);
  startUpStep_ = 0;
  tmrStartUp_->start();
}

void frmMDI::startUpTick() {
  trap("frmMDI.tmrStartUp_Timer", [this] {
    const int step = startUpStep_++;
    if (startUpStep_ >= kStartUpSteps) tmrStartUp_->stop();
    WriteLog(QStringLiteral("StartUp: ") + QString::number(step), kDetail);
    for (const QString& name : forms::preloadedAt(step)) forms::load(name, "frmMDI.tmrStartUp");
  });
}

// ---------------------------------------------------------------- unload

void frmMDI::Unload() {
  if (unloading_) return;
  unloading_ = true;
  tmrStartUp_->stop();
  if (coreWatch_) coreWatch_->timer()->stop();
  trap("frmMDI.MDIForm_Unload", [this] {
    WriteLog(QStringLiteral("MDI_Unload"), kDetail);
    saveWindowPosition();
    gGlobal().Ini.reset();
    releaseFuncs();
    clearCoreSink();
    removeHook();
    Jex() = Obj();
    gGlobal().UserProfile.reset();
  });
  unloaded_ = true;
  close();
}

void frmMDI::saveWindowPosition() {
  trap("frmMDI.SaveWindowPosition", [this] {
    if (!gGlobal().Ini) return;
    const double left = pixelsToTwipsX(pos().x());
    const double top = pixelsToTwipsY(pos().y());
    const auto save = [](const char* key, double twips) {
      if (twips < 0) return;
      const qint64 whole = std::llround(twips);
      if (whole > 0) gGlobal().Ini->SettingSave(sec("WinPos"), QString::fromLatin1(key), QString::number(whole));
    };
    save("Main_X", left);
    save("Main_Y", top);
  });
}

void frmMDI::clearCoreSink() {
  trap("frmMDI.Clear_JEX_UI_Notification_Sink", [] {
    if (!Jex().isNothing()) Jex().call(QStringLiteral("Clear_JEX_UI_Notification_Sink"));
  });
}

void frmMDI::closeEvent(QCloseEvent* event) {
  if (unloading_) {
    event->accept();
    return;
  }
  WriteLog(objectName() + QStringLiteral("_QueryUnload, Mode: ") + QString::number(kCloseFromControlMenu), kDetail);
  event->ignore();
  hideAsToggMen();
}

void frmMDI::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  trap("frmMDI.MDIForm_Activate", [this] {
    WriteLog(QStringLiteral("MDIForm_Activate"), kDetail);
    if (!activeChild()) showHome();
    // tmrReader runs while JexUI has the focus: the core's UIGotFocus starts it, not showing.
  });
}

// ---------------------------------------------------------------- seams

void frmMDI::initUserProfile() {
  gGlobal().UserProfile = CreateCurrUser();
  statusPanel(QStringLiteral("profile"))->setText(gGlobal().UserProfile ? gGlobal().UserProfile->Name() : QString());
}
void frmMDI::localise() {
  frmLocalizer().Localize(this);
  home_->ChildLoad();
}
void frmMDI::activateProfile() {
  WriteLog(QStringLiteral("Update => activate User "), kTraffic);
  notYet("MDI_load: profile activation");
}
void frmMDI::exposeFuncs() {
  // Menus fill their "%function%" submenus from the state object's lists.
  cMenu::setListSource([](const QString& function) { return JexStates().list(function); });
  // The quick menu's check marks: the state object's "Get_" + command.
  frmQMenu::setStateSource([] { return JexStates().all(); });
  ExposeFuncs();
}
void frmMDI::releaseFuncs() { ReleaseFuncs(); }
void frmMDI::hideAsToggMen() {
  if (ChildDialog* child = activeChild(); child && !child->querySave()) return;
  PlaySound(QStringLiteral("MenuOff"));
  lastCtl_ = QApplication::focusWidget();
  hide();
}

JEX_FORM_REGISTRATION(frmMDI, {.create = [] {
                        // The language-file check builds a second window: keep the program's own one current.
                        frmMDI* current = g_instance;
                        auto form = std::make_unique<frmMDI>();
                        if (current) {
                          g_instance = current;
                          setCommandHost(current);
                          ChildDialog::setHost(current);
                          forms::setFrame(current);
                        }
                        return std::unique_ptr<QWidget>(std::move(form));
                      }})

}  // namespace jex
