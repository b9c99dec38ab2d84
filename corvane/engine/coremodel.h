// What the automation objects ask of the running core. CorvaneApp implements it; tests can
// put a small fake behind the objects.
#pragma once

#include <QRect>
#include <QString>
#include <functional>
#include <memory>

namespace corvane {

class EventHub;
class KeyEcho;
class SettingsStore;

// What the output and the logs write in place of typed text: its length, never its characters.
inline QString typedNote(const QString& typed) { return QStringLiteral("[typed, %1 characters]").arg(typed.size()); }

// What "READEDITCUR" says when the focused field cannot be read: the program in front and
// the word for a field.
inline QString fieldWords(const QString& app) {
  return app.isEmpty() ? QStringLiteral("Eingabefeld") : app + QStringLiteral(" Eingabefeld");
}

class CoreModel {
 public:
  virtual ~CoreModel() = default;
  virtual QString appPath() const = 0;  // with a trailing "/"
  virtual SettingsStore& settings() = 0;
  virtual EventHub& events() = 0;
  virtual QString foregroundApp() const = 0;
  // The window system's handle of the active window; 0 where it cannot be told.
  virtual qint64 foregroundWindow() const { return 0; }
  virtual void queueCommand(const QString& command) = 0;
  virtual void speak(const QString& text, int source) = 0;
  // Speaks text after what is being said now instead of interrupting it (a model without a
  // queue speaks it at once).
  virtual void speakAppended(const QString& text, int source) { speak(text, source); }
  // Speaks what the user typed (characters, words, a pasted text) as it is, while the core's
  // output and its logs give only its length (typedNote()).
  virtual void speakTyped(const QString& text, int source, bool append) {
    append ? speakAppended(text, source) : speak(text, source);
  }
  // Speaks text as it is, while the output and the logs give logged instead (a field's focus
  // utterance with the field's text by its length).
  virtual void speakLogged(const QString& text, const QString& logged, int source) {
    Q_UNUSED(logged);
    speak(text, source);
  }
  virtual void stopSpeech() = 0;
  // The short tone of a move of the focus ([MIXED] NavBeep).
  virtual void navigationTone() { report(QStringLiteral("TONE: navigation")); }
  // A voice's short sample after one of its values changed, cutting off the sample before.
  virtual void speakSample(const QString& text, const QString& voice) {
    report(QStringLiteral("SAMPLE: ") + voice + QStringLiteral(": ") + text);
  }
  virtual bool monitorVisible() const = 0;
  // The monitor window's frame on the screen while it is shown, else a null rectangle.
  virtual QRect monitorRect() const { return {}; }
  virtual void setMonitorVisible(bool visible) = 0;
  virtual bool useSpeech() const = 0;
  virtual void setUseSpeech(bool on) = 0;
  virtual void setLanguage(const QString& lcid) = 0;
  // A line for the monitor window and standard output.
  virtual void report(const QString& line) = 0;
  // The key echo's settings and its handler of typed keys (keyecho.h), made on first use.
  KeyEcho& keyEcho();
  // The screen reader's reading of the focused field from its caret ("READEDITCUR"): the
  // reader sets it while it listens to the accessibility bus. True when the request was taken
  // (it is read a moment later); false without the bus.
  void setFocusedTextReader(std::function<bool()> reader) { focusedTextReader_ = std::move(reader); }
  bool readFocusedText() { return focusedTextReader_ && focusedTextReader_(); }

 private:
  std::function<bool()> focusedTextReader_;
  std::shared_ptr<KeyEcho> keyEcho_;
};

// corvane.ini sections and keys.
namespace ini {
inline const QString General = QStringLiteral("General");
inline const QString Braille = QStringLiteral("Braille");
inline const QString DefaultLng = QStringLiteral("DefaultLng");
inline const QString MeridanLoaded = QStringLiteral("MeridanLoaded");
inline const QString UseSpeech = QStringLiteral("UseSpeech");
inline const QString ActiveBraillePort = QStringLiteral("ActiveBraillePort");
}  // namespace ini

}  // namespace corvane
