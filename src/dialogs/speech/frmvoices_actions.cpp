// frmVoices: the form's actions that work while the dialog is hidden: the speed and volume
// commands of the core (SPEEDUP ... VOLUMEMIN, SPEEDUPNOW, SPEEDDNNOW) and the script calls
// AllSpeeds / AllVolumes. Each reads the voices afresh and changes them through the profile; a
// visible dialog then shows the new values.
#include <QCoreApplication>
#include <algorithm>
#include <cmath>

#include "base/error.h"
#include "base/log.h"
#include "dialogs/speech/frmvoices.h"
#include "dialogs/speech/voicevalues.h"
#include "global/cglobal.h"

namespace jex {
namespace {
constexpr int kStep = 5;
constexpr int kVolumeFloor = 1;  // VOLUMEDN never silences a voice
using Value = VoiceProfile::Value;
using Voice = VoiceProfile::Voice;

// A script's percentage: a number clamped to 0..100; false (logged) for anything else.
bool percentOf(const QVariant& v, const char* where, qint32& out) {
  bool ok = false;
  const double d = v.toString().trimmed().toDouble(&ok);
  if (!ok) {
    WriteLog(QString::fromLatin1(where) + QStringLiteral(": not a number, nothing changed: ") + v.toString().left(80),
             kTraffic);
    return false;
  }
  out = qint32(qint16(std::nearbyint(std::clamp(d, -32768.0, 32767.0))));
  if (out < 0 || out > 100) {
    WriteLog(QString::fromLatin1(where) + QStringLiteral(": %1 clamped to 0..100").arg(out), kTraffic);
    out = std::clamp(out, 0, 100);
  }
  return true;
}

qint32 speedOf(int percent) { return PercentToValue(percent, gGlobal().SpeedMin, gGlobal().SpeedMax); }
qint32 volumeOf(int percent) { return volumeValue(PercentToValue(percent, 0, gGlobal().VolMax)); }
int speedPercent(const Voice& v) { return ValueToPercent(v.speed, gGlobal().SpeedMin, gGlobal().SpeedMax); }
int volumePercent(const Voice& v) { return ValueToPercent(volumeLevel(v.volume), 0, gGlobal().VolMax); }

qint32 speedStep(const Voice& v, int delta) { return speedOf(std::clamp(speedPercent(v) + delta, 0, 100)); }
}  // namespace

void frmVoices::changeUsedVoices(const char* where, Value which, const std::function<qint32(const Voice&)>& to) {
  trap(where, [&] {
    for (const Voice& v : model_.readUsed()) model_.setValue(v.internalName, which, to(v));
  });
}

void frmVoices::refreshAfterCommand(bool speak) {
  trap("frmVoices.RefreshAfterCommand", [&] {
    if (isVisible()) voiceSelected();
    if (speak) SpeakTestText();
  });
}

void frmVoices::SpeakTestText() {
  trap("frmVoices.SpeakTestText", [this] {
    Jex().call(QStringLiteral("proc.SpeechStop"));
    gGlobal().InDoEvents = true;
    QCoreApplication::processEvents();
    gGlobal().InDoEvents = false;
    Jex().call(QStringLiteral("proc.SpeechOutVoice"), {hiddenText("lblTestText"), 1});
  });
}

void frmVoices::SPEEDUP() {
  changeUsedVoices("frmVoices.SPEEDUP", Value::Speed, [](const Voice& v) { return speedStep(v, kStep); });
  refreshAfterCommand(true);
}

void frmVoices::SPEEDDN() {
  changeUsedVoices("frmVoices.SPEEDDN", Value::Speed, [](const Voice& v) { return speedStep(v, -kStep); });
  refreshAfterCommand(true);
}

void frmVoices::SpeedMax() {
  changeUsedVoices("frmVoices.SpeedMax", Value::Speed, [](const Voice&) { return gGlobal().SpeedMax; });
  refreshAfterCommand(true);
}

void frmVoices::SpeedMin() {
  changeUsedVoices("frmVoices.SpeedMin", Value::Speed, [](const Voice&) { return gGlobal().SpeedMin; });
  refreshAfterCommand(true);
}

void frmVoices::VOLUMEUP() {
  changeUsedVoices("frmVoices.VOLUMEUP", Value::Volume,
                   [](const Voice& v) { return volumeOf(std::min(volumePercent(v) + kStep, 100)); });
  refreshAfterCommand(true);
}

void frmVoices::VOLUMEDN() {
  changeUsedVoices("frmVoices.VOLUMEDN", Value::Volume,
                   [](const Voice& v) { return volumeOf(std::max(volumePercent(v) - kStep, kVolumeFloor)); });
  refreshAfterCommand(true);
}

void frmVoices::VOLUMEMAX() {
  changeUsedVoices("frmVoices.VOLUMEMAX", Value::Volume, [](const Voice&) { return volumeValue(gGlobal().VolMax); });
  refreshAfterCommand(true);
}

void frmVoices::VOLUMEMIN() {
  changeUsedVoices("frmVoices.VOLUMEMIN", Value::Volume, [](const Voice&) { return 0; });
  refreshAfterCommand(true);
}

void frmVoices::AllSpeeds(const QVariant& percent) {
  qint32 p = 0;
  if (!trapped("frmVoices.AllSpeeds", false, [&] { return percentOf(percent, "AllSpeeds", p); })) return;
  changeUsedVoices("frmVoices.AllSpeeds", Value::Speed, [p](const Voice&) { return speedOf(p); });
  refreshAfterCommand(false);
}

void frmVoices::AllVolumes(const QVariant& percent) {
  qint32 p = 0;
  if (!trapped("frmVoices.AllVolumes", false, [&] { return percentOf(percent, "AllVolumes", p); })) return;
  changeUsedVoices("frmVoices.AllVolumes", Value::Volume, [p](const Voice&) { return volumeOf(p); });
  refreshAfterCommand(false);
}

// Only the navigation voice (source 2); the core hears that the change is done.
void frmVoices::SPEEDUPNOW() {
  trap("frmVoices.SPEEDUPNOW", [this] {
    const Voice v = model_.readVoiceOf(2);
    model_.setValue(v.internalName, Value::Speed, speedStep(v, kStep));
  });
  queueForCore(QStringLiteral("SPEEDSETDONE"));
}

void frmVoices::SPEEDDNNOW() {
  trap("frmVoices.SPEEDDNNOW", [this] {
    const Voice v = model_.readVoiceOf(2);
    model_.setValue(v.internalName, Value::Speed, speedStep(v, -kStep));
  });
  queueForCore(QStringLiteral("SPEEDSETDONE"));
}

}  // namespace jex
