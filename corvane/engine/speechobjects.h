// The speech settings as automation objects of the core's root:
//   SpeechModes       Count, Item/ItemByIndex(i), ItemByName(mode)    -> mode
//                     GetModeList()  every mode's fields in one call: a list of Count rows in
//                     index order, each a text list {Mode, LanguageID, ProductName, Gender}
//                     (Gender "1" female, "0" male), as the mode objects give them
//     mode            Mode, ProductName, LanguageID, Gender, Index, Speaker, PrepareModeVoice
//   SpeechVoices      Count, Item/ItemByIndex(i), ItemByName(name), CreateVoice(mode),
//                     RemoveByIndex(i), SaveVoices, LoadVoices         -> voice
//                     VoiceList  every voice's members in one read: Count text rows in index
//                     order, {InternalName, FriendlyName, SapiMode, speed, Pitch, volume, Speaker,
//                     Age, ProductName, Dialect, LanguageID, CompanyName, lowest and highest Pitch}
//     voice           InternalName, FriendlyName, SapiMode, speed, volume, Pitch,
//                     PitchRanges(min, max), Speaker, Age, ProductName, Dialect, LanguageID,
//                     CompanyName
//   SpeechProfile     Count, Item/ItemByIndex(i), GetActValues, Info, Activate, Name, Save,
//                     SourceList  every source's {VoiceName, TableName, InternalName} as text rows
//     source entry    VoiceName, Voice, TableName, LocalizedName(lcid), InternalName
//   SpeechCharTables  Count, Item/ItemByIndex(i)                      -> FileLng, FileName
// Values out of range are clamped and logged; text that cannot be stored is refused.
#pragma once

#include <memory>

#include "automation/dispatchable.h"

namespace corvane {

class SpeechSettings;
struct ProfileData;

jex::automation::Obj makeSpeechModes(SpeechSettings& settings);
jex::automation::Obj makeSpeechVoices(SpeechSettings& settings);
jex::automation::Obj makeSpeechCharTables(SpeechSettings& settings);

// A voice assignment as an object. data gives the assignment it shows; the three actions are
// what GetActValues, Activate and Save do with it. The active profile is one; the speech sets
// can be others.
struct ProfileActions {
  std::function<ProfileData&()> data;
  std::function<void()> getActValues;
  std::function<void()> activate;
  std::function<bool()> save;
};
jex::automation::Obj makeSpeechProfile(SpeechSettings& settings, ProfileActions actions);
// The active profile of settings.
jex::automation::Obj makeActiveSpeechProfile(SpeechSettings& settings);

}  // namespace corvane
