// The nine speech sets: stored voice assignments the user saves and brings back.
//
//   SpeechProfiles    Count, Item/ItemByIndex(nr)                  -> set
//     set             nr, Name, Info (empty for an empty slot), GetActValues, Save, Activate,
//                     and a profile's members (Count, ItemByIndex(source) ...)
//
// A set is the file AppPath + "speechsets/SPSET<nr>.INI", written whole and atomically by Save:
// [Profile] Name, Info and per source the voice and its character table (the keys of
// speech/profile.ini), and one section [Voice.<internal name>] per voice used (Mode,
// FriendlyName, Speed, Pitch, Volume), so that a voice deleted since can be made again.
// GetActValues takes the active assignment and its voices' values; Activate makes the set the
// active profile (stored as such): a voice gone since is made again from its mode, or the source
// is left without a voice ("--") with a log line. A set that is missing or cannot be read is an
// empty slot; activating it logs and changes nothing.
#pragma once

#include <QHash>
#include <QString>
#include <array>

#include "automation/automation.h"
#include "corvane/engine/speechsettings.h"

namespace corvane {

inline constexpr int kSpeechSetCount = 9;

class SpeechSets {
 public:
  SpeechSets(QString appPath, SpeechSettings& settings);

  // The SpeechProfiles collection.
  jex::automation::Obj collection() const { return collection_; }
  QString file(int nr) const;
  // Activates set nr; false (and a log line) for a number outside 1..9 or an empty set.
  bool activate(int nr);
  // The set's name; empty for an empty slot.
  QString name(int nr) const;
  bool filled(int nr) const;

 private:
  struct Set {
    ProfileData data;
    QHash<QString, VoiceData> voices;  // by internal name
    bool filled = false;
  };
  void read(int nr);
  void take(int nr);
  bool save(int nr);
  QString info(int nr) const;

  QString appPath_;
  SpeechSettings& settings_;
  std::array<Set, kSpeechSetCount> sets_;
  jex::automation::Obj collection_;
};

}  // namespace corvane
