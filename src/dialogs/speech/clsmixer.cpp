#include "dialogs/speech/clsmixer.h"

#include <cmath>

#include "base/error.h"
#include "base/log.h"

namespace jex {
namespace {
using platform::MixerLine;

const char* const kNames[clsMixer::kLines] = {"Main", "Mic", "Wave", "Line", "Cd", "Midi"};
const char* const kMuteNames[clsMixer::kLines] = {"Main", "Micro", "Wave", "Line", "Cd", "Midi"};
constexpr MixerLine kDeviceLines[clsMixer::kLines] = {MixerLine::Main, MixerLine::Microphone, MixerLine::Wave,
                                                      MixerLine::Line, MixerLine::CD,         MixerLine::Midi};

QString where(const char* what, int line) {
  return QStringLiteral("clsMixer.") + QLatin1String(kNames[line]) + QLatin1String(what);
}
}  // namespace

clsMixer::clsMixer()
    : clsMixer(
          trapped("clsMixer.Initialize", std::unique_ptr<platform::Mixer>(), [] { return platform::openMixer(); })) {}

clsMixer::clsMixer(std::unique_ptr<platform::Mixer> device)
    : Dispatchable(QStringLiteral("JexUI.clsMixer")), device_(std::move(device)) {
  trap("clsMixer.Initialize", [this] { build(); });
  members();
}

clsMixer::~clsMixer() = default;

void clsMixer::build() {
  if (!device_) {
    WriteLog(QStringLiteral("clsMixer: no mixer device"), kTraffic);
    return;
  }
  for (int i = 0; i < kLines; ++i) {
    Control& c = controls_[size_t(i)];
    c.line = kDeviceLines[i];
    // The auxiliary input stands in for a missing line input.
    if (i == LineIn && !device_->hasVolume(c.line) && device_->hasVolume(MixerLine::Aux)) c.line = MixerLine::Aux;
    c.volume = device_->hasVolume(c.line) && device_->volumeRange(c.line, c.min, c.max);
    if (!c.volume) continue;  // no mute lookup without a volume control
    volumeMask_ |= 1 << i;
    c.mute = device_->hasMute(c.line);
    if (c.mute) muteMask_ |= 1 << i;
  }
  WriteLog(QStringLiteral("clsMixer: volume mask %1, mute mask %2").arg(volumeMask_).arg(muteMask_), kDetail);
}

qint32 clsMixer::volume(Line line) const {
  return trapped(qPrintable(where("Vol", line)), qint32(0), [&] {
    const Control& c = controls_[size_t(line)];
    long raw = 0;
    if (!c.volume || !device_->volume(c.line, raw)) return qint32(0);
    const double s = step(c);
    if (s == 0) return qint32(0);
    return qint32(std::nearbyint(double(raw - c.min) / s));
  });
}

void clsMixer::setVolume(Line line, const QVariant& level) {
  trap(qPrintable(where("Vol", line)), [&] {
    const Control& c = controls_[size_t(line)];
    qint32 v = automation::toI32(level);
    if (v < 0 || v > kMaxLevel) {
      WriteLog(where("Vol", line) + QStringLiteral(": %1 clamped to 0..255").arg(v), kTraffic);
      v = std::clamp(v, 0, kMaxLevel);
    }
    if (!c.volume) {
      WriteLog(where("Vol", line) + QStringLiteral(": no such control, %1 not written").arg(v), kTraffic);
      return;
    }
    const long raw = c.min + long(std::nearbyint(v * step(c)));
    if (!device_->setVolume(c.line, raw))
      WriteLog(where("Vol", line) + QStringLiteral(": the device refused %1").arg(raw), kTraffic);
  });
}

bool clsMixer::mute(Line line) const {
  return trapped(qPrintable(where("Mute", line)), false, [&] {
    const Control& c = controls_[size_t(line)];
    bool on = false;
    return c.mute && device_->muted(c.line, on) && on;
  });
}

void clsMixer::setMute(Line line, bool on) {
  trap(qPrintable(where("Mute", line)), [&] {
    const Control& c = controls_[size_t(line)];
    if (!c.mute || !device_->setMuted(c.line, on))
      WriteLog(where("Mute", line) + QStringLiteral(": not written (no mute control)"), kTraffic);
  });
}

void clsMixer::muteToggle(Line line) { setMute(line, !mute(line)); }

bool clsMixer::HasCtrl(qint32 index) const { return index >= 0 && index < 31 && (muteMask_ >> index) & 1; }

void clsMixer::members() {
  for (int i = 0; i < kLines; ++i) {
    const auto line = Line(i);
    property(
        QLatin1String(kNames[i]) + QStringLiteral("Vol"), [this, line] { return QVariant(volume(line)); },
        [this, line](const QVariant& v) { setVolume(line, v); }, QStringLiteral("level 0 to 255"));
    const QString mute = QLatin1String(kMuteNames[i]) + QStringLiteral("Mute");
    property(
        mute, [this, line] { return QVariant(clsMixer::mute(line)); },
        [this, line, mute](const QVariant& v) {
          trap(qPrintable(QStringLiteral("clsMixer.") + mute), [&] { setMute(line, automation::toBool(v)); });
        });
    method(mute + QStringLiteral("Toggle"), 0, 0, [this, line](automation::Args&) {
      muteToggle(line);
      return QVariant();
    });
  }
  method(
      QStringLiteral("HasCtrl"), 1, 1,
      [this](automation::Args& a) {
        return QVariant(trapped("clsMixer.HasCtrl", false, [&] { return HasCtrl(a.i32(0)); }));
      },
      QStringLiteral("True when the line has a mute control: 0 main, 1 microphone, 2 wave, 3 line, 4 CD, 5 MIDI"));
}

}  // namespace jex
