#include "corvane/engine/speechengine.h"

#include <espeak-ng/speak_lib.h>
#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <chrono>

#include "base/error.h"
#include "base/log.h"
#include "corvane/engine/speechsettings.h"

namespace corvane {

namespace {
// espeak-ng has one synthesiser per process, so the interruption flag is process-wide too.
std::atomic<bool> cancel_{false};
std::atomic<int> pacedRate_{0};          // samples per second when unplayed speech takes its time, else 0
std::atomic<qint64> firstSamplesUs_{0};  // when the utterance's first samples came, 0 before

qint64 monotonicUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int onSamples(short*, int samples, espeak_EVENT*) {
  if (samples > 0 && firstSamplesUs_.load() == 0) firstSamplesUs_ = monotonicUs();
  // Samples are dropped (or were already played by espeak); a non-zero result aborts synthesis.
  if (const int rate = pacedRate_.load(); rate > 0 && samples > 0) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(qint64(samples) * 1000000 / rate);
    while (!cancel_.load() && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return cancel_.load() ? 1 : 0;
}
}  // namespace

qint64 monotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

SpeechEngine::SpeechEngine(bool playAudio, QObject* parent, bool paced)
    : QObject(parent), playAudio_(playAudio && audioDevicePresent()), paced_(paced), voice_(voiceForLanguage({})) {
  qRegisterMetaType<corvane::Spoken>();
  worker_ = std::thread([this] { run(); });
}

SpeechEngine::~SpeechEngine() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    pending_.clear();
    cancel_ = true;
  }
  wake_.notify_all();
  worker_.join();
}

bool SpeechEngine::audioDevicePresent() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  return QFileInfo::exists(QStringLiteral("/dev/snd")) || qEnvironmentVariableIsSet("PULSE_SERVER") ||
         (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/pulse/native")));
}

QString SpeechEngine::voiceForLanguage(const QString& language) {
  static const QHash<QString, QString> byLocale{
      {QStringLiteral("1031"), QStringLiteral("de")}, {QStringLiteral("1033"), QStringLiteral("en-us")},
      {QStringLiteral("2057"), QStringLiteral("en")}, {QStringLiteral("1036"), QStringLiteral("fr")},
      {QStringLiteral("1034"), QStringLiteral("es")}, {QStringLiteral("1040"), QStringLiteral("it")},
      {QStringLiteral("1043"), QStringLiteral("nl")}, {QStringLiteral("1045"), QStringLiteral("pl")},
      {QStringLiteral("1029"), QStringLiteral("cs")}, {QStringLiteral("1037"), QStringLiteral("he")},
      {QStringLiteral("1025"), QStringLiteral("ar")}, {QStringLiteral("1049"), QStringLiteral("ru")}};
  const QString t = language.trimmed();
  if (t.isEmpty()) return QStringLiteral("de");
  bool numeric = false;
  t.toInt(&numeric);
  if (!numeric) return t;
  return byLocale.value(t, QStringLiteral("de"));
}

int SpeechEngine::speak(const QString& text, int source, const QString& voice, bool append) {
  Spoken s;
  s.text = text;
  s.source = source;
  s.espeakVoice = voice;  // the language's voice when empty (filled under the lock)
  return enqueue(std::move(s), append);
}

int SpeechEngine::speak(const QString& text, int source, const VoiceChoice& voice, bool append) {
  Spoken s;
  s.text = text;
  s.source = source;
  s.voice = voice.label();
  s.espeakVoice = voice.espeakVoice;
  s.rate = voice.rate;
  s.pitch = voice.pitch;
  s.volume = voice.volume;
  s.punctuation = voice.punctuation;
  return enqueue(std::move(s), append);
}

int SpeechEngine::enqueue(Spoken s, bool append) {
  int id = 0;
  {
    std::lock_guard lock(mutex_);
    if (!append) pending_.clear();
    s.id = id = ++nextId_;
    if (s.espeakVoice.isEmpty()) s.espeakVoice = voice_;
    if (s.voice.isEmpty()) s.voice = s.espeakVoice;
    pending_.push_back(std::move(s));
    if (!append) cancel_ = true;  // interrupts the utterance in progress; reset by the worker
  }
  wake_.notify_all();
  return id;
}

QString SpeechEngine::languageVoice() const {
  std::lock_guard lock(mutex_);
  return voice_;
}

void SpeechEngine::stop() {
  std::lock_guard lock(mutex_);
  pending_.clear();
  cancel_ = true;
}

void SpeechEngine::setLanguage(const QString& language) {
  std::lock_guard lock(mutex_);
  voice_ = voiceForLanguage(language);
}

void SpeechEngine::run() {
  const int rate =
      espeak_Initialize(playAudio_ ? AUDIO_OUTPUT_SYNCH_PLAYBACK : AUDIO_OUTPUT_SYNCHRONOUS, 200, nullptr, 0);
  const bool ready = rate > 0;
  if (!ready) jex::WriteErrorLog(QStringLiteral("SpeechEngine: espeak-ng could not be initialised"));
  else espeak_SetSynthCallback(&onSamples);
  pacedRate_ = ready && paced_ && !playAudio_ ? rate : 0;

  QString current;  // the voice espeak has now
  for (;;) {
    Spoken s;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return quit_ || !pending_.empty(); });
      if (quit_) break;
      s = pending_.front();
      pending_.pop_front();
      cancel_ = false;
      firstSamplesUs_ = 0;
    }
    s.startMs = monotonicMs();
    emit audioStarted(s.text);
    emit started(s);
    if (ready) {
      if (s.espeakVoice != current) {
        if (espeak_SetVoiceByName(s.espeakVoice.toUtf8().constData()) == EE_OK) current = s.espeakVoice;
        else jex::WriteErrorLog(QStringLiteral("SpeechEngine: no espeak voice ") + s.espeakVoice);
      }
      espeak_SetParameter(espeakRATE, s.rate, 0);
      espeak_SetParameter(espeakPITCH, s.pitch, 0);
      espeak_SetParameter(espeakVOLUME, s.volume, 0);
      const std::wstring punctuation = s.punctuation.toStdWString();
      espeak_SetPunctuationList(punctuation.c_str());
      espeak_SetParameter(espeakPUNCTUATION, punctuation.empty() ? espeakPUNCT_NONE : espeakPUNCT_SOME, 0);
      const QByteArray utf8 = s.text.toUtf8();
      const espeak_ERROR rc = espeak_Synth(utf8.constData(), size_t(utf8.size()) + 1, 0, POS_CHARACTER, 0,
                                           espeakCHARS_UTF8, nullptr, nullptr);
      if (rc != EE_OK) jex::WriteErrorLog(QStringLiteral("SpeechEngine: espeak_Synth failed (%1)").arg(int(rc)));
    }
    s.endMs = monotonicMs();
    s.firstSamplesUs = firstSamplesUs_.load();
    s.cut = cancel_.load();
    emit audioStopped(s.text);
    emit finished(s);
  }
  if (ready) espeak_Terminate();
}

}  // namespace corvane
