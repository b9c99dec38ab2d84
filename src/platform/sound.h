// Wave sound playback for the interface sounds.
//
// playWave() returns at once; the sound plays asynchronously. A new request ends the sound that
// was playing. An empty name or a file that does not exist is silent (no system default sound)
// and only ends the playing sound. Without any audio output device nothing is played and
// nothing is reported: the interface sounds are a courtesy, never an error.
#pragma once

#include <QString>

namespace jex::platform {

enum class SoundResult { Playing, Silent, NoDevice };

SoundResult playWave(const QString& file);

// Observation points for tests: the file of the last request and the number of requests.
QString lastWaveRequest();
int waveRequestCount();

}  // namespace jex::platform
