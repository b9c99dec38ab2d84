// clsMixer: volume and mute of the main output and of five input lines of the system's first
// mixer device (platform/mixer.h), as scripts reach it: "JexUI.clsMixer".
//
// Levels are 0 to 255 whatever the device's raw range: step = (raw max - raw min) / 255, level =
// (raw - raw min) / step rounded half to even (0 when step is 0), and back raw = raw min + level
// x step. A level outside 0..255 is clamped and logged; a value that is no number changes nothing
// (logged). Members: MainVol, MainMute, MainMuteToggle and the same for Mic (MicVol, MicroMute,
// MicroMuteToggle), Wave, Line, Cd and Midi; HasCtrl(i) tells whether line i has a mute control
// (bit 0 main, 1 microphone, 2 wave, 3 line, 4 CD, 5 MIDI).
//
// The auxiliary input stands in for the line input when the device has no line input of its own.
// Without a mixer, or for a missing line, levels read 0, mutes false, HasCtrl false, and every
// write writes one log line.
#pragma once

#include <QVariant>
#include <array>
#include <memory>

#include "automation/dispatchable.h"
#include "platform/mixer.h"

namespace jex {

class clsMixer : public automation::Dispatchable {
 public:
  enum Line { Main, Mic, Wave, LineIn, Cd, Midi, kLines };
  static constexpr int kMaxLevel = 255;

  // Opens the mixer through platform::openMixer().
  clsMixer();
  explicit clsMixer(std::unique_ptr<platform::Mixer> device);
  ~clsMixer() override;

  qint32 volume(Line line) const;
  void setVolume(Line line, const QVariant& level);
  bool mute(Line line) const;
  void setMute(Line line, bool on);
  void muteToggle(Line line);
  bool HasCtrl(qint32 index) const;
  qint32 volumeMask() const { return volumeMask_; }
  qint32 muteMask() const { return muteMask_; }

 private:
  struct Control {
    platform::MixerLine line{};
    long min = 0, max = 0;
    bool volume = false, mute = false;
  };
  void build();
  void members();
  double step(const Control& c) const { return double(c.max - c.min) / kMaxLevel; }

  std::unique_ptr<platform::Mixer> device_;
  std::array<Control, kLines> controls_{};
  qint32 volumeMask_ = 0;
  qint32 muteMask_ = 0;
};

}  // namespace jex
