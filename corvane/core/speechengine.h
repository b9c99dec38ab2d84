// Speech output through espeak-ng.
//
// Synthesis runs on one worker thread in espeak's synchronous mode: with an audio device the
// samples are played by espeak itself (synchronous playback), without one they go to a
// callback that drops them. Either way every utterance is framed by audioStarted() and
// audioStopped(), delivered on the thread that owns the engine (the UI thread). A new
// utterance or stop() interrupts the one being spoken.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace corvane {

class SpeechEngine : public QObject {
  Q_OBJECT
 public:
  // playAudio false: synthesise to nowhere. The real device is used only when one seems present.
  explicit SpeechEngine(bool playAudio, QObject* parent = nullptr);
  ~SpeechEngine() override;

  // Interrupts what is being spoken and speaks text.
  void speak(const QString& text);
  void stop();
  // Language as a Windows locale number ("1031") or an espeak voice name ("de").
  void setLanguage(const QString& language);
  bool playsAudio() const { return playAudio_; }
  // Utterances started so far (for the monitor and tests).
  int utteranceCount() const { return count_.load(); }

  static bool audioDevicePresent();
  static QString voiceForLanguage(const QString& language);

 signals:
  void audioStarted(const QString& text);
  void audioStopped(const QString& text);

 private:
  void run();

  bool playAudio_;
  std::thread worker_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<QString> pending_;
  QString voice_;
  bool voiceChanged_ = false;
  bool quit_ = false;
  std::atomic<int> count_{0};
};

}  // namespace corvane
