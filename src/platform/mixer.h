// The system's audio mixer: volume and mute of the main output and of the input lines.
//
// The backend is ALSA's simple mixer (libasound) on the card "default". That layer is present on
// every Linux desktop: without a sound server it drives the card's own controls, and where a
// sound server runs (PulseAudio or PipeWire) ALSA's "default" is the server's plug-in, whose
// simple elements ("Master", "Capture") set the server's levels. Talking to one particular sound
// server instead would leave the machines without it silent, and its stream model has no lines
// such as "CD" or "Line" to map the program's mixer lines onto.
//
// Each line of the program maps onto the first simple element found among a few names:
//   Main        "Master", "Speaker", "Headphone", "PCM"       (playback)
//   Microphone  "Mic", "Capture", "Internal Mic"               (capture volume when no playback)
//   Wave        "PCM", "Wave"
//   Line        "Line", "Line In"
//   CD          "CD"
//   Midi        "Synth", "MIDI"
//   Aux         "Aux"
// A line without an element has no volume and no mute; reads give 0 and false, writes do
// nothing and say so (false).
#pragma once

#include <functional>
#include <memory>

namespace jex::platform {

enum class MixerLine { Main, Microphone, Wave, Line, CD, Midi, Aux };
inline constexpr int kMixerLines = 7;

class Mixer {
 public:
  virtual ~Mixer() = default;
  virtual bool hasVolume(MixerLine line) const = 0;
  virtual bool hasMute(MixerLine line) const = 0;
  // The raw bounds of the line's volume; false without a volume control.
  virtual bool volumeRange(MixerLine line, long& min, long& max) const = 0;
  // The raw volume (the mean of the channels); false when it could not be read.
  virtual bool volume(MixerLine line, long& raw) const = 0;
  virtual bool setVolume(MixerLine line, long raw) = 0;
  virtual bool muted(MixerLine line, bool& on) const = 0;
  virtual bool setMuted(MixerLine line, bool on) = 0;
};

// The first mixer device of the system; null when there is none (no card, no server).
std::unique_ptr<Mixer> openSystemMixer();

// What openMixer() opens (tests put a mixer of their own here); an empty function restores
// the system's.
using MixerOpener = std::function<std::unique_ptr<Mixer>()>;
void setMixerOpener(MixerOpener opener);
std::unique_ptr<Mixer> openMixer();

}  // namespace jex::platform
