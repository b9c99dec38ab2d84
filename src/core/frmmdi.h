// frmMDI: the one top-level window of JexUI, a frame for the dialogs, titled
// "Halda - Hauptmenü". This file holds the window's controls, its load handler (the last part
// of the start-up), its unload (the orderly shutdown) and the close request that only hides it.
//
// Later pieces plug in at the named seams below (each now logs that it is not available yet):
//   buildHelpLinks        help menu link entries from the language file
//   initUserProfile       the current user profile object and the status bar panel "profile"
//   localise              the window's captions through the localiser
//   initNotificationSink  the sink registered with the core, and its events enabled
//   installNotifier       the hook library's notifier (and removeNotifier at unload)
//   activateProfile       the update step's profile activation
//   exposeFuncs           the Funcs object handed to the core's scripts (and releaseFuncs)
//   hideAsToggMen         hiding the window as the command TOGGMEN does
// The background preloading runs the loaders of core/startuploaders.h.
//
// Control arrays: element i of cmdMenu carries the object name "cmdMenu(i)".
#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QPushButton;
class QTimer;

namespace jex {

class CommandQueue;
class cNotifySink;
namespace platform {
class JexNotifier;
}

class frmMDI : public QMainWindow {
  Q_OBJECT
 public:
  static constexpr int kMenuButtons = 8;
  static constexpr int kStartUpInterval = 50;  // ms per preloading step

  explicit frmMDI(QWidget* parent = nullptr);
  ~frmMDI() override;  // the final release: logs "MDI_Terminate"

  // The main window of this process; nullptr before start-up and after shutdown.
  static frmMDI* instance();

  // The load handler: skipped when cGlobal.Quitting is set. Ends at the first error (logged).
  void Load();
  // The orderly shutdown: position saved, INI file released, the core told to drop the sink,
  // notifier, core object and user profile released. Runs once; the window is closed after it.
  void Unload();
  bool isUnloaded() const { return unloaded_; }

  QPushButton* cmdMenu(int index) const;
  QLabel* lblAppTitle() const { return lblAppTitle_; }
  QMenu* mnuBraille() const { return mnuBraille_; }
  QMenu* mnuExtras() const { return mnuExtras_; }
  QAction* mnuExtrasSep() const { return mnuExtrasSep_; }
  QAction* mnuExtrasObjWiz() const { return mnuExtrasObjWiz_; }
  QTimer* tmrStartUp() const { return tmrStartUp_; }
  QMdiArea* client() const { return client_; }
  int startUpStep() const { return startUpStep_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildControls();
  void buildMenus();
  // load steps
  void placeWindow();
  void applyFeatures();
  void applyCoreState();
  void storeAppTitle();
  void checkUpdate();
  void startBackgroundLoading();
  void startUpTick();
  // unload steps
  void saveWindowPosition();
  void clearCoreSink();
  // seams
  void buildHelpLinks();
  void initUserProfile();
  void localise();
  void initNotificationSink();
  void installNotifier();
  void removeNotifier();
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
  cNotifySink* Notifier() const { return sink_.get(); }
  platform::JexNotifier* jexNotifier() const { return notifier_; }
  // JexUI's own command queue with its timer tmrCMD.
  CommandQueue& commandQueue();
  // Forms that commands open or drive, by name ("frmVoices", "frmBraille", ...), registered by
  // the forms' own code: action is "Show" or the form operation to run ("SPEEDUP",
  // "GetValues", "ShowKeys", ...). An unregistered form is logged as not available.
  using FormAction = std::function<void(const QString& action, const QStringList& args)>;
  static void registerForm(const QString& name, FormAction action);
  static void unregisterForm(const QString& name);
  // How files are opened and how the process ends (replaceable; defaults: the shell's open verb
  // and leaving the application's event loop).
  static void setShellOpener(std::function<bool(const QString& file)> open);
  static void setQuitter(std::function<void()> quit);
  // The load and unload steps for the two channels: the sink created and handed to the core
  // with its events enabled; the notifier installed for this window; both released.
  void registerSink();
  void installHook();
  void removeHook();

 private:
  struct Operations;
  friend struct Operations;
  void notifierCmd(QString& s);
  void gotFocus();
  void lostFocus();
  void audioStart();
  void audioStop();
  void taskSwitch();
  bool askChildToHide();     // the child switch
  void toggleMainWindow();   // TOGGMEN
  std::shared_ptr<cNotifySink> sink_;
  platform::JexNotifier* notifier_ = nullptr;  // child object of the window
  CommandQueue* commandQueue_ = nullptr;

  std::array<QPushButton*, kMenuButtons> cmdMenu_{};
  QLabel* lblAppTitle_ = nullptr;
  QLabel* lblAsk2Quit_ = nullptr;
  QMdiArea* client_ = nullptr;
  QMenu* mnuFile_ = nullptr;
  QMenu* mnuBraille_ = nullptr;
  QMenu* mnuSpeech_ = nullptr;
  QMenu* mnuKeys_ = nullptr;
  QMenu* mnuExtras_ = nullptr;
  QMenu* mnuHelp_ = nullptr;
  QAction* mnuExtrasSep_ = nullptr;
  QAction* mnuExtrasObjWiz_ = nullptr;
  QTimer* tmrStartUp_ = nullptr;
  int startUpStep_ = 0;
  bool unloading_ = false;
  bool unloaded_ = false;
};

}  // namespace jex
