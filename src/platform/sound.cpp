#include "platform/sound.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMediaDevices>
#include <QPointer>
#include <QSoundEffect>
#include <QUrl>

namespace jex::platform {

namespace {

struct Player {
  // Created on the first sound that has a device; owned by the application object so that it
  // ends before the multimedia back end does.
  QPointer<QSoundEffect> effect;
  QString lastRequest;
  int requests = 0;
};

Player& player() {
  static Player p;
  return p;
}

}  // namespace

SoundResult playWave(const QString& file) {
  Player& p = player();
  p.lastRequest = file;
  ++p.requests;
  if (p.effect) p.effect->stop();
  if (file.isEmpty() || !QFileInfo(file).isFile()) return SoundResult::Silent;
  if (QMediaDevices::audioOutputs().isEmpty()) return SoundResult::NoDevice;
  if (!p.effect) p.effect = new QSoundEffect(QCoreApplication::instance());
  p.effect->setSource(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
  p.effect->play();
  return SoundResult::Playing;
}

QString lastWaveRequest() { return player().lastRequest; }
int waveRequestCount() { return player().requests; }

}  // namespace jex::platform
