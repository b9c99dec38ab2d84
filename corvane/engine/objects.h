// The core's automation objects: the root "corvane.application" with proc, BrailleInterface
// and the notification members; see eventhub.h for the two event channels.
#pragma once

#include <QHash>

#include "automation/dispatchable.h"
#include "corvane/engine/brailleinterface.h"

namespace corvane {

class BindingStore;
class CoreModel;
class KeyInput;
class SpeechSettings;
class SpeechSets;

// One spoken text, passed as O with VoiceSelect, AboutToSpeak, AudioStart and AudioStop.
// Members: SPC_Str (the text; what an AboutToSpeak handler leaves in it is spoken), Voice (the
// voice's name; what a VoiceSelect handler leaves in it is the voice used), Source (speech
// source 1 to 8), Text (the same as SPC_Str), StartMs (when its speech began, in monotonic
// milliseconds: the system's steady clock, CLOCK_MONOTONIC, which every process of the machine
// reads alike; 0 until then, so with AudioStart and AudioStop it is set).
class Utterance : public jex::automation::Dispatchable {
 public:
  Utterance(QString text, int source, QString voice = {});
  const QString& text() const { return text_; }
  const QString& voice() const { return voice_; }
  int source() const { return source_; }
  void setStartMs(qint64 ms) { startMs_ = ms; }

 private:
  QString text_;
  int source_;
  QString voice_;
  qint64 startMs_ = 0;
};

// Objects handed to the core's script engine by name (proc.iScript.ExposeObject).
class ScriptHost : public jex::automation::Dispatchable {
 public:
  explicit ScriptHost(CoreModel& model);
  jex::automation::Obj exposed(const QString& name) const;
  QStringList names() const;

 private:
  CoreModel& model_;
  QHash<QString, std::pair<QString, jex::automation::Obj>> objects_;  // lower-case key
};

class Proc : public jex::automation::Dispatchable {
 public:
  Proc(CoreModel& model, std::shared_ptr<BrailleState> braille);
  ScriptHost& scriptHost() { return *script_; }
  const std::shared_ptr<BindingStore>& bindings() const { return bindings_; }

 private:
  QVariant callBack(jex::automation::Args& a);
  CoreModel& model_;
  QString lastKey_;
  std::shared_ptr<ScriptHost> script_;
  std::shared_ptr<BrailleState> braille_;
  std::shared_ptr<BindingStore> bindings_;
};

class Root : public jex::automation::Dispatchable {
 public:
  explicit Root(CoreModel& model);
  ~Root() override;
  Proc& proc() { return *proc_; }
  BrailleState& braille() { return *brailleState_; }
  // Voices, modes, the speech profile and the character tables (SpeechVoices ...).
  SpeechSettings& speech() { return *speech_; }
  // The nine stored speech sets (SpeechProfiles).
  SpeechSets& speechSets() { return *sets_; }
  // The keys reaching the core and their capture for JexUI (HandleKeyCode ...).
  KeyInput& keys() { return *keys_; }

 private:
  CoreModel& model_;
  std::shared_ptr<BrailleState> brailleState_;
  std::shared_ptr<Proc> proc_;
  std::shared_ptr<BrailleInterface> braille_;
  std::unique_ptr<SpeechSettings> speech_;
  std::unique_ptr<SpeechSets> sets_;
  std::unique_ptr<KeyInput> keys_;
};

QString applicationName();  // "Corvane " + version

}  // namespace corvane
