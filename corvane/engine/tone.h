// The short tone the reader plays on each move of the focus when [MIXED] NavBeep is 1.
//
// The core's only other sound is espeak's speech, which espeak plays itself; the tone is a wave
// made once (a 1 kHz sine of 25 ms with soft edges, 16-bit mono at 22,050 Hz) in the core's
// runtime folder and played through the platform's wave playback, which cuts the tone before
// it when the focus moves on quickly.
#pragma once

#include <QByteArray>
#include <QString>

namespace corvane {

// The tone as a complete RIFF wave file.
QByteArray navigationToneWave();

// Plays the tone; the file is written on the first call. False when it cannot be written or
// no audio output is there (nothing is reported: the tone is a courtesy, never an error).
bool playNavigationTone();

}  // namespace corvane
