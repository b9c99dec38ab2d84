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
#include <array>

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QPushButton;
class QTimer;

namespace jex {

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
