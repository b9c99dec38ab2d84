// Speech output through espeak-ng.
//
// Synthesis runs on one worker thread in espeak's synchronous mode: with an audio device the
// samples are played by espeak itself (synchronous playback), without one they go to a
// callback that drops them. Either way every utterance is framed by audioStarted() and
// audioStopped(), delivered on the thread that owns the engine (the UI thread). A new
// utterance or stop() interrupts the one being spoken, unless it is appended to the queue.
#pragma once

#include <QObject>
#include <QString>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace corvane {

struct VoiceChoice;

// One utterance as the engine spoke it. Times are monotonic milliseconds (steady clock).
struct Spoken {
  int id = 0;
  QString text;
  int source = 1;
  QString voice;        // the voice it was spoken with, as the monitor and the speech log show it
  QString espeakVoice;  // what espeak selected ("gmw/de+f2")
  int rate = 175;       // words per minute
  int pitch = 50;       // 0..100
  int volume = 100;     // 0..200
  QString punctuation;  // characters spoken by name
  qint64 startMs = 0;
  qint64 endMs = 0;
  bool cut = false;  // interrupted by the next utterance or stopped
  // Steady-clock microseconds when espeak handed over the first samples (0: none came, or
  // espeak played them itself).
  qint64 firstSamplesUs = 0;
};

qint64 monotonicMs();

class SpeechEngine : public QObject {
  Q_OBJECT
 public:
  // playAudio false: synthesise to nowhere. The real device is used only when one seems present.
  // paced: speech that is not played still takes its playing time (interruptible), as a user
  // would hear it.
  explicit SpeechEngine(bool playAudio, QObject* parent = nullptr, bool paced = false);
  ~SpeechEngine() override;

  // Interrupts what is being spoken and speaks text; voice empty: the language's voice.
  // append: text waits in the queue behind what is being spoken and what waits already.
  // Returns the utterance's id (as in started() and finished()).
  int speak(const QString& text, int source = 1, const QString& voice = {}, bool append = false);
  // The same with a voice of the speech settings: espeak voice, rate, pitch, volume and the
  // characters spoken by name.
  int speak(const QString& text, int source, const VoiceChoice& voice, bool append = false);
  // The voice speak() uses when none is given.
  QString languageVoice() const;
  void stop();
  // Language as a Windows locale number ("1031") or an espeak voice name ("de").
  void setLanguage(const QString& language);
  bool playsAudio() const { return playAudio_; }
  // Utterances started so far (for the monitor and tests).

  static bool audioDevicePresent();
  static QString voiceForLanguage(const QString& language);

 signals:
  void audioStarted(const QString& text);
  void audioStopped(const QString& text);
  // The same, with the utterance's id, source, voice and times.
  void started(const corvane::Spoken& s);
  void finished(const corvane::Spoken& s);

 private:
  void run();
  int enqueue(Spoken s, bool append);

  bool playAudio_;
  bool paced_;
  std::thread worker_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Spoken> pending_;
  QString voice_;  // the language's voice
  int nextId_ = 0;
  bool quit_ = false;
};

}  // namespace corvane

Q_DECLARE_METATYPE(corvane::Spoken)
