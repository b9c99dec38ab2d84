#include "platform/mixer.h"

#include <alsa/asoundlib.h>

#include <array>
#include <vector>

namespace jex::platform {
namespace {

// The element names tried for each line, in MixerLine order.
const std::array<std::vector<const char*>, kMixerLines> kNames{{
    {"Master", "Speaker", "Headphone", "PCM"},
    {"Mic", "Capture", "Internal Mic"},
    {"PCM", "Wave"},
    {"Line", "Line In"},
    {"CD"},
    {"Synth", "MIDI"},
    {"Aux"},
}};

struct Element {
  snd_mixer_elem_t* elem = nullptr;
  bool capture = false;  // volume and switch are the capture ones
};

class AlsaMixer final : public Mixer {
 public:
  explicit AlsaMixer(snd_mixer_t* handle) : handle_(handle) {
    for (int i = 0; i < kMixerLines; ++i) lines_[size_t(i)] = find(kNames[size_t(i)]);
  }
  ~AlsaMixer() override { snd_mixer_close(handle_); }

  bool hasVolume(MixerLine line) const override { return el(line).elem != nullptr; }
  bool hasMute(MixerLine line) const override {
    const Element& e = el(line);
    if (!e.elem) return false;
    return e.capture ? snd_mixer_selem_has_capture_switch(e.elem) : snd_mixer_selem_has_playback_switch(e.elem);
  }
  bool volumeRange(MixerLine line, long& min, long& max) const override {
    const Element& e = el(line);
    if (!e.elem) return false;
    const int rc = e.capture ? snd_mixer_selem_get_capture_volume_range(e.elem, &min, &max)
                             : snd_mixer_selem_get_playback_volume_range(e.elem, &min, &max);
    return rc == 0;
  }
  bool volume(MixerLine line, long& raw) const override {
    const Element& e = el(line);
    if (!e.elem) return false;
    snd_mixer_handle_events(handle_);
    long sum = 0;
    int n = 0;
    for (int ch = 0; ch <= SND_MIXER_SCHN_LAST; ++ch) {
      const auto c = snd_mixer_selem_channel_id_t(ch);
      const bool has =
          e.capture ? snd_mixer_selem_has_capture_channel(e.elem, c) : snd_mixer_selem_has_playback_channel(e.elem, c);
      if (!has) continue;
      long v = 0;
      const int rc = e.capture ? snd_mixer_selem_get_capture_volume(e.elem, c, &v)
                               : snd_mixer_selem_get_playback_volume(e.elem, c, &v);
      if (rc == 0) {
        sum += v;
        ++n;
      }
    }
    if (n == 0) return false;
    raw = sum / n;
    return true;
  }
  bool setVolume(MixerLine line, long raw) override {
    const Element& e = el(line);
    if (!e.elem) return false;
    return (e.capture ? snd_mixer_selem_set_capture_volume_all(e.elem, raw)
                      : snd_mixer_selem_set_playback_volume_all(e.elem, raw)) == 0;
  }
  bool muted(MixerLine line, bool& on) const override {
    if (!hasMute(line)) return false;
    const Element& e = el(line);
    snd_mixer_handle_events(handle_);
    int sw = 1;  // switch on = sound passes
    const int rc = e.capture ? snd_mixer_selem_get_capture_switch(e.elem, SND_MIXER_SCHN_FRONT_LEFT, &sw)
                             : snd_mixer_selem_get_playback_switch(e.elem, SND_MIXER_SCHN_FRONT_LEFT, &sw);
    if (rc != 0) return false;
    on = sw == 0;
    return true;
  }
  bool setMuted(MixerLine line, bool on) override {
    if (!hasMute(line)) return false;
    const Element& e = el(line);
    return (e.capture ? snd_mixer_selem_set_capture_switch_all(e.elem, on ? 0 : 1)
                      : snd_mixer_selem_set_playback_switch_all(e.elem, on ? 0 : 1)) == 0;
  }

 private:
  const Element& el(MixerLine line) const { return lines_[size_t(line)]; }

  Element find(const std::vector<const char*>& names) const {
    for (const char* name : names) {
      snd_mixer_selem_id_t* id = nullptr;
      snd_mixer_selem_id_alloca(&id);
      snd_mixer_selem_id_set_index(id, 0);
      snd_mixer_selem_id_set_name(id, name);
      snd_mixer_elem_t* elem = snd_mixer_find_selem(handle_, id);
      if (!elem) continue;
      if (snd_mixer_selem_has_playback_volume(elem)) return {elem, false};
      if (snd_mixer_selem_has_capture_volume(elem)) return {elem, true};
    }
    return {};
  }

  snd_mixer_t* handle_;
  std::array<Element, kMixerLines> lines_{};
};

MixerOpener& opener() {
  static MixerOpener o;
  return o;
}

// ALSA reports missing cards on stderr by itself; the caller logs the outcome.
void quietErrors(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

std::unique_ptr<Mixer> openSystemMixer() {
  snd_lib_error_set_handler(&quietErrors);
  snd_mixer_t* handle = nullptr;
  if (snd_mixer_open(&handle, 0) != 0) return nullptr;
  if (snd_mixer_attach(handle, "default") != 0 || snd_mixer_selem_register(handle, nullptr, nullptr) != 0 ||
      snd_mixer_load(handle) != 0) {
    snd_mixer_close(handle);
    return nullptr;
  }
  return std::make_unique<AlsaMixer>(handle);
}

void setMixerOpener(MixerOpener o) { opener() = std::move(o); }

std::unique_ptr<Mixer> openMixer() { return opener() ? opener()() : openSystemMixer(); }

}  // namespace jex::platform
