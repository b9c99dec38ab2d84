// The running core: its directory and settings, speech, the automation objects on the bus,
// the event channels to JexUI, the command queue, the console and the monitor window.
#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <memory>
#include <optional>

#include "corvane/engine/coremodel.h"
#include "corvane/engine/keyinput.h"
#include "corvane/engine/options.h"

class QTimer;

namespace corvane {

class CallerPolicy;
class CommandRouter;
class EventHub;
class ForegroundWatcher;
class KeyboardListener;
class MonitorWindow;
class Root;
class SpeechEngine;
class SpeechLog;
class StdinReader;
class Utterance;
struct Spoken;

inline constexpr const char* kBusName = "corvane.application";
inline constexpr const char* kJexUiBusName = "JexUI.UI_Application";
inline constexpr int kJexUiRestartsPerMinute = 3;

class CorvaneApp : public QObject, public CoreModel {
  Q_OBJECT
 public:
  CorvaneApp(Options options, QString shippedDataDir, QObject* parent = nullptr);
  ~CorvaneApp() override;

  // Prepares everything and publishes the root object. Returns -1 when the core runs (enter
  // the event loop), else the exit code (1: the bus name is taken or AppPath is unusable).
  int start();
  // Writes the IDL of the core's objects (the root and proc) to file, without a bus or a
  // window; the exit code.
  int writeIdl(const QString& file);
  // The core's type library, "corvane", and where the build puts it (beside the program).
  static QString typeLibraryFile();

  // CoreModel
  QString appPath() const override { return appPath_; }
  SettingsStore& settings() override { return *settings_; }
  EventHub& events() override { return *hub_; }
  QString foregroundApp() const override { return foreground_; }
  qint64 foregroundWindow() const override;
  void queueCommand(const QString& command) override;
  void speak(const QString& text, int source) override;
  void speakAppended(const QString& text, int source) override;
  void speakTyped(const QString& text, int source, bool append) override;
  void speakLogged(const QString& text, const QString& logged, int source) override;
  void stopSpeech() override;
  void navigationTone() override;
  void speakSample(const QString& text, const QString& voice) override;
  bool monitorVisible() const override;
  QRect monitorRect() const override;
  void setMonitorVisible(bool visible) override;
  bool useSpeech() const override;
  void setUseSpeech(bool on) override;
  void setLanguage(const QString& lcid) override;
  void report(const QString& line) override;

  // A switch of the foreground application (from the window system or the console).
  void switchTask(const QString& oldTask, const QString& newTask);
  // Ends the core: QUIT to JexUI, wait up to 3 s for JexUI's bus name to vanish, exit.
  void beginExit();
  void handleConsoleLine(const QString& line);

 private:
  void registerOwnCommands();
  void spoken(const Spoken& s);
  // logged: what the output and the logs give instead of text, which holds what the user typed
  // (typedNote() of a text typed, a field's focus with the field's text by its length).
  void say(const QString& text, int source, bool append, const std::optional<QString>& logged = std::nullopt);
  void startJexUi();
  // JexUI's name has left the bus: started again when JexUI went without QUIT (still holding
  // its sink), at most kJexUiRestartsPerMinute times a minute.
  void jexUiGone();
  // UI_RELOAD: waits up to 5 s for JexUI to leave the bus, then starts it.
  void reloadJexUi();
  void finishExit();
  // A key of the display's keyboard (KeyboardListener) or a code from the monitor window.
  void keyboardKey(const QString& key, bool pressed);
  void keyboardCode(const QString& code);
  // A window other than JexUI's came to the front: NEWFGWIN! is offered to JexUI, which may
  // give back the command to run there (the quick menu's choice).
  void windowInFront(quint32 window, const QString& task);
  void readNewWindow();
  // ".SUB.NAME" and "APP.SUB.NAME" (scriptrun.h): the outcome, nullopt when not one or the
  // function is not there (the reason is reported).
  std::optional<QString> runScriptCommand(const QString& command);

  Options options_;
  QString dataDir_;
  QString appPath_;
  QString foreground_;
  int lastSource_ = 1;
  // The sample waiting to be said: values set one after the other (the same value for every
  // voice in use) are heard once, for the last.
  QTimer* sampleTimer_ = nullptr;
  // A new window in front is read once it has been there this long (inside JexUI's windows of
  // 0.1 or 0.2 to 1.0 s after it showed a text).
  static constexpr int kNewWindowReadMs = 300;
  QTimer* readTimer_ = nullptr;
  quint32 newWindow_ = 0;
  QString sampleText_, sampleVoice_;
  bool exiting_ = false;
  bool jexUiAttached_ = false;   // JexUI's sink is registered and was not cleared by JexUI
  QList<qint64> jexUiRestarts_;  // monotonic ms of the restarts within the last minute
  std::unique_ptr<CallerPolicy> callers_;
  std::unique_ptr<SettingsStore> settings_;
  EventHub* hub_ = nullptr;
  CommandRouter* router_ = nullptr;
  SpeechEngine* speech_ = nullptr;
  StdinReader* stdin_ = nullptr;
  ForegroundWatcher* watcher_ = nullptr;
  KeyboardListener* keyboard_ = nullptr;  // while keys are captured: the display's keyboard
  KeyChords chords_;
  std::unique_ptr<MonitorWindow> monitor_;
  std::unique_ptr<SpeechLog> speechLog_;
  QHash<int, std::shared_ptr<Utterance>> live_;  // O of each utterance until it has ended
  QHash<int, QString> loggedAs_;                 // utterances with typed text: what the logs give
  std::shared_ptr<Root> root_;
};

// One line on standard output, flushed at once (tests and scripts read these).
void printLine(const QString& line);

}  // namespace corvane
