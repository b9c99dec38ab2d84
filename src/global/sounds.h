// The interface sounds of the current user profile.
#pragma once

#include <QString>

namespace jex {

// Plays the current profile's sound Name ("MenuOn", "MenuOff", a "NAV:" name) asynchronously
// when the profile's UseSounds switch is on. The file is the profile directory + "sounds/" +
// Name + ".wav"; a missing file or an empty name is silent and ends the playing sound.
void PlaySound(const QString& Name);

}  // namespace jex
