#include "corvane/engine/tone.h"

#include <QDir>
#include <QSaveFile>
#include <QStandardPaths>
#include <QtEndian>
#include <cmath>
#include <numbers>

#include "base/error.h"
#include "platform/sound.h"

namespace corvane {

namespace {
constexpr int kRate = 22050;
constexpr int kHz = 1000;
constexpr int kMs = 25;
constexpr int kEdgeSamples = kRate / 1000 * 3;  // 3 ms in and out, so that it does not click

void put16(QByteArray& b, quint16 v) {
  const quint16 le = qToLittleEndian(v);
  b.append(reinterpret_cast<const char*>(&le), 2);
}
void put32(QByteArray& b, quint32 v) {
  const quint32 le = qToLittleEndian(v);
  b.append(reinterpret_cast<const char*>(&le), 4);
}
}  // namespace

QByteArray navigationToneWave() {
  constexpr int samples = kRate * kMs / 1000;
  QByteArray wave;
  wave.reserve(44 + 2 * samples);
  wave.append("RIFF");
  put32(wave, 36 + 2 * samples);
  wave.append("WAVEfmt ");
  put32(wave, 16);
  put16(wave, 1);  // PCM
  put16(wave, 1);  // mono
  put32(wave, kRate);
  put32(wave, kRate * 2);
  put16(wave, 2);
  put16(wave, 16);
  wave.append("data");
  put32(wave, 2 * samples);
  for (int i = 0; i < samples; ++i) {
    const double edge = std::min({1.0, double(i) / kEdgeSamples, double(samples - 1 - i) / kEdgeSamples});
    const double v = 0.4 * edge * std::sin(2 * std::numbers::pi * kHz * i / kRate);
    put16(wave, quint16(qint16(std::lround(v * 32767))));
  }
  return wave;
}

bool playNavigationTone() {
  return jex::trapped("corvane.playNavigationTone", false, [] {
    static QString file;
    if (file.isEmpty()) {
      QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
      if (dir.isEmpty()) dir = QDir::tempPath();
      // One name for every core of the user: each writes the same tone, whole or not at all.
      const QString name = dir + QStringLiteral("/corvane-navbeep.wav");
      QSaveFile out(name);
      if (!out.open(QIODevice::WriteOnly) || out.write(navigationToneWave()) < 0 || !out.commit()) return false;
      file = name;
    }
    return jex::platform::playWave(file) == jex::platform::SoundResult::Playing;
  });
}

}  // namespace corvane
