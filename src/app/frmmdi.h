// frmMDI: the one top-level window of JexUI, a frame for the dialogs, titled
// "Halda - Hauptmenü". This file holds the window's controls, its load handler (the last part
// of the start-up), its unload (the orderly shutdown) and the close request that only hides it.
//
// The load runs these steps, each under its own error trap (the profile activation only logs
// that it is not available):
//   buildHelpLinks        help menu link entries from the language file
//   initUserProfile       the current user profile object and the status bar panel "profile"
//   localise              the window's captions through the localiser
//   registerSink          the sink registered with the core, and its events enabled
//   installHook           the hook library's notifier (and removeHook at unload)
//   activateProfile       the update step's profile activation
//   exposeFuncs           the Funcs object handed to the core's scripts (and releaseFuncs)
//   hideAsToggMen         hiding the window as the command TOGGMEN does
// The background preloading creates, one step per tick, the forms registered with that step
// (widgets/formservice.h).
//
// Control arrays: element i of cmdMenu carries the object name "cmdMenu(i)".
//
// The window is also the frame of the dialogs (ChildHost): exactly one child is visible at a
// time, the home child frmMain when no other is open. The menus and their actions are built in
// frmmdi_menus.cpp, the child switch and TOGGMEN in frmmdi_children.cpp.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

#include "app/cmdqueue.h"
#include "dialogs/childdialog.h"
#include "widgets/formservice.h"

class QAction;
class QDBusConnection;
class QLabel;
class QMenu;
class QMouseEvent;
class QPushButton;
class QTimer;

namespace jex {

class CommandQueue;
class CoreWatch;
class cNotifySink;
class JexNotifier;

class frmMain;

class frmMDI : public QMainWindow, public ChildHost, public forms::Frame, public CommandHost {
  Q_OBJECT
 public:
  static constexpr int kMenuButtons = 8;
  static constexpr int kStartUpInterval = 50;  // ms per preloading step
  static constexpr int kStartUpSteps = 13;     // preloading steps 0 .. 12

  explicit frmMDI(QWidget* parent = nullptr);
  ~frmMDI() override;  // the final release: logs "MDI_Terminate"

  // The main window of this process; nullptr before start-up and after shutdown.
  static frmMDI* instance();

  // The load handler: skipped when cGlobal.Quitting is set. Each of its steps traps its own
  // errors, so one failing step (logged) does not keep the later ones from running.
  void Load();
  // The orderly shutdown: position saved, INI file released, the core told to drop the sink,
  // notifier, core object and user profile released. Runs once; the window is closed after it.
  void Unload();
  bool isUnloaded() const { return unloaded_; }

  QPushButton* cmdMenu(int index) const;
  QLabel* lblAppTitle() const { return lblAppTitle_; }
  QMenu* mnuBraille() const { return mnuBraille_; }
  QMenu* mnuExtras() const { return mnuExtras_; }
  QMenu* mnuHelpWWW() const { return mnuHelpWWW_; }
  QAction* mnuExtrasSep() const { return mnuExtrasSep_; }
  QAction* mnuExtrasObjWiz() const { return mnuExtrasObjWiz_; }
  QMenu* menu(const QString& name) const;
  QAction* menuEntry(const QString& name) const;
  QTimer* tmrStartUp() const { return tmrStartUp_; }
  QTimer* tmrReader() const { return tmrReader_; }
  QTimer* tmrTip() const { return tmrTip_; }
  QWidget* client() const { return client_; }
  QLabel* statusPanel(const QString& key) const;  // "profile" or "tip"
  jex::frmMain* homeChild() const { return home_; }

  // --- menu buttons and the status bar
  // Where button index's popup opens, in screen coordinates.
  QPoint popupPosition(int index) const;
  void ColorButtons(int index);
  int markedButton() const { return marked_; }
  void LastMenuBtn();
  // Writes text into the panel "tip"; a text that is not empty becomes the pending tip, spoken
  // by tmrTip after cGlobal.TipDelay ticks.
  void StatusTip(const QString& text);
  bool tipPending() const { return tipPending_; }
  // The clock of the tool tips in milliseconds (replaceable; default: the system's).
  void setClock(std::function<qint64()> now) { clock_ = std::move(now); }
  // A tip is spoken again after speech only this long after it was requested.
  static constexpr qint64 kTipAfterSpeechMs = 501;

  // --- the child switch
  void TOGGMEN();
  void StoreLastForeApp();
  void SetMainCaption(const QString& text);
  // Runs before a dialog is shown: asks the active child to hide through the notification sink.
  // True when newForm may be shown; null newForm: a form that is not a loaded dialog.
  bool QueryHideChild(ChildDialog* newForm);
  // The child switch followed by showing the dialog; false when the active one stayed.
  bool showChild(ChildDialog& form);
  void Child_Activates(ChildDialog& form) override;
  void Child_Closed(ChildDialog& form) override;
  // The visible dialog other than the home child; null when only frmMain (or nothing) shows.
  ChildDialog* activeChild() const override;
  QWidget* lastControl() const { return lastCtl_; }

  // --- forms by name through the form service (frmmdi_forms.cpp)
  // The child switch, then the form called name is shown and action run on it: a dialog (loaded,
  // or created now from its registration) is shown here ("Show" with a control's name focuses
  // that control), another form by its registered action. False when the active child stayed
  // or the form is not available.
  bool openForm(const QString& name, const QString& action = QStringLiteral("Show"),
                const QStringList& args = {}) override;
  // Runs an operation of the form without showing it (forms::run).
  void formAction(const QString& name, const QString& action, const QStringList& args = {});
  // Where a command or menu entry leads (forms::command, forms::menuEntry): openForm, or
  // formAction for a route that does not show the form. False when the form did not come.
  bool openTarget(forms::Target target);  // a copy: the form may register anew while it runs
  // A form the service created: a dialog runs its load (ChildLoad) and joins the frame hidden.
  void adopt(QWidget& form) override;
  int startUpStep() const { return startUpStep_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // ChildHost
  QWidget* childFrame() override { return client_; }
  std::shared_ptr<cNotifySink> notificationSink() const override;
  void queueCommand(const QString& command) override { iAdd2MyCmdQ(command); }
  void storeLastForeApp() override { StoreLastForeApp(); }

 private:
  void wireLanguageChange();
  void buildControls();
  void buildMenus();
  void connectMenuButtons();
  void callOnActiveChild(const char* operation, int index = -1);
  void toggleSpeech();
  void toggleNumPad();
  void showHome();
  void readerTick();
  void tipTick();
  void clearTip();
  qint64 now() const;
  void watchMenu(QMenu* menu);
  void menuHovered(QAction* entry);
  void statusGesture(QMouseEvent* event);
  bool buttonRowKey(int key);
  void closeForeignModal();
  bool quickMenuOpen() const;
  void closeQuickMenu();
  // load steps
  void placeWindow();
  void applyFeatures();
  void applyCoreState();
  void storeAppTitle();
  void checkUpdate();
  void startBackgroundLoading();
  void startUpTick();
  void applyBrailleState();
  void applySystemSettings();
  void watchSessionCore();
  // unload steps
  void saveWindowPosition();
  void clearCoreSink();
  // seams
  void buildHelpLinks();
  void initUserProfile();
  void localise();
  void activateProfile();
  void exposeFuncs();
  void releaseFuncs();
  void hideAsToggMen();

 public:
  // ---- commands and notifications (frmmdi_commands.cpp)
  // Executes one command (the main window's operations by name, the voices dialog's commands,
  // "UI_HELP:" and "UI_OPEN:" files). An unknown operation ends in the error trap.
  void HandleCmd(const QString& command);
  // The notification sink the dialogs listen to; nullptr outside load..unload.
  cNotifySink* Notifier() const override { return sink_.get(); }
  JexNotifier* jexNotifier() const { return notifier_; }
  // JexUI's own command queue with its timer tmrCMD.
  CommandQueue& commandQueue() override;
  // How the process ends (replaceable; default: leaving the application's event loop). Files
  // and links open through the desktop's opener (platform/opener.h).
  static void setQuitter(std::function<void()> quit);
  // The load and unload steps for the two channels: the sink created and handed to the core
  // with its events enabled; the notifier installed for this window; both released.
  void registerSink();
  void installHook();
  void removeHook();
  // Watches that the core keeps hearing JexUI (CoreWatch on conn); when it no longer holds the
  // sink, or a new core took the bus name over, sink and notifier are registered again.
  void watchCore(const QDBusConnection& conn);
  CoreWatch* coreWatch() const { return coreWatch_; }
  void registerAgain();
  // Ends the event loops, as the command QUIT does after the unload (see setQuitter).
  static void quitApplication();
  // The main window's operations: the handlers of the command table (commandfilter.h).
  struct Operations;

 private:
  friend struct Operations;
  void notifierCmd(QString& s);
  void gotFocus();
  void lostFocus();
  void audioStart();
  void audioStop();
  void taskSwitch();
  std::shared_ptr<cNotifySink> sink_;
  JexNotifier* notifier_ = nullptr;  // child object of the window
  CommandQueue* commandQueue_ = nullptr;
  CoreWatch* coreWatch_ = nullptr;
  bool exitQuestionOpen_ = false;  // EXITHALDA's question is on the screen

  std::array<QPushButton*, kMenuButtons> cmdMenu_{};
  QLabel* lblAppTitle_ = nullptr;
  QLabel* lblAsk2Quit_ = nullptr;
  QWidget* client_ = nullptr;
  jex::frmMain* home_ = nullptr;
  QPointer<QWidget> lastCtl_;
  int marked_ = -1;
  int tipTicks_ = 0;
  qint64 tipRequested_ = 0;
  bool tipPending_ = false;
  bool noActiveForm_ = false;  // "no active Form" is logged once per stretch, not every tick
  std::function<qint64()> clock_;
  bool switching_ = false;
  QTimer* tmrReader_ = nullptr;
  QTimer* tmrTip_ = nullptr;
  QMenu* mnuFile_ = nullptr;
  QMenu* mnuBraille_ = nullptr;
  QMenu* mnuSpeech_ = nullptr;
  QMenu* mnuKeys_ = nullptr;
  QMenu* mnuExtras_ = nullptr;
  QMenu* mnuHelp_ = nullptr;
  QMenu* mnuHelpWWW_ = nullptr;
  QAction* mnuHelpEmail_ = nullptr;
  QList<QAction*> mnuHelpLink_;
  std::array<QMenu*, kMenuButtons> popups_{};  // the popup of each button (null: no popup)
  QAction* mnuExtrasSep_ = nullptr;
  QAction* mnuExtrasObjWiz_ = nullptr;
  QTimer* tmrStartUp_ = nullptr;
  int startUpStep_ = 0;
  bool unloading_ = false;
  bool unloaded_ = false;
};

}  // namespace jex
