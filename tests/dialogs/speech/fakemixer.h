// A mixer device in memory for the mixer tests: lines with raw bounds, levels and mute switches.
#pragma once

#include <map>

#include "platform/mixer.h"

namespace jex::test {

class FakeMixer : public platform::Mixer {
 public:
  struct Line {
    long min = 0, max = 65535, raw = 0;
    bool hasMute = true, muted = false;
  };
  std::map<platform::MixerLine, Line> lines;

  bool hasVolume(platform::MixerLine l) const override { return lines.count(l) > 0; }
  bool hasMute(platform::MixerLine l) const override { return hasVolume(l) && lines.at(l).hasMute; }
  bool volumeRange(platform::MixerLine l, long& min, long& max) const override {
    if (!hasVolume(l)) return false;
    min = lines.at(l).min;
    max = lines.at(l).max;
    return true;
  }
  bool volume(platform::MixerLine l, long& raw) const override {
    if (!hasVolume(l)) return false;
    raw = lines.at(l).raw;
    return true;
  }
  bool setVolume(platform::MixerLine l, long raw) override {
    if (!hasVolume(l)) return false;
    lines[l].raw = raw;
    return true;
  }
  bool muted(platform::MixerLine l, bool& on) const override {
    if (!hasMute(l)) return false;
    on = lines.at(l).muted;
    return true;
  }
  bool setMuted(platform::MixerLine l, bool on) override {
    if (!hasMute(l)) return false;
    lines[l].muted = on;
    return true;
  }
};

}  // namespace jex::test
