// The core's speech settings: the synthesizer modes (espeak-ng's language voices, each plain
// and as a female variant), the voices made from them (at most nine beside the two reserved
// entries), the speech profile (a voice and a character table for each of the eight speech
// sources) and the character tables.
//
// Files below AppPath:
//   speech/voices.ini    [Voices] Count and one section per voice (v1..v9): Mode, FriendlyName,
//                        Speed, Pitch, Volume
//   speech/profile.ini   [Profile] Name, and per source <InternalName>=voice, <InternalName>Table
//   speech/defaults.ini  what a missing or unusable file is replaced with (shipped)
//   speech/tables/<LCID>/<digit><name>.tab   characters a source speaks by name
// Voice and profile files are written whole and atomically; a file that cannot be read keeps
// the defaults, with a log line.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <array>
#include <functional>
#include <optional>

namespace corvane {

inline constexpr int kSpeechSources = 8;
inline constexpr int kMaxVoices = 9;  // besides the reserved entries "--" and "v0"
inline constexpr const char* kNoVoice = "--";
inline constexpr const char* kSystemVoice = "v0";

// Value ranges of a voice.
inline constexpr int kSpeedMin = 80, kSpeedMax = 500;  // words per minute
inline constexpr int kPitchMin = 0, kPitchMax = 100;
inline constexpr int kVolumeMax = 65535;  // onto espeak's 0..200

struct SpeechMode {
  int index = 0;        // 1-based, as in SpeechModes
  QString name;         // "eSpeak:German", "eSpeak:German female"
  QString espeakVoice;  // what espeak selects it by: "gmw/de", "gmw/de+f2"
  QString language;     // espeak's language tag, "de"
  QString lcid;         // decimal locale number, "1031"; "4096" when there is none
  int gender = 0;       // 1 female, else male
  int age = 0;          // 0: not known
  QString variant;      // "standard" or the female variant's name
};

struct VoiceData {
  QString internalName;  // "--", "v0", "v1".."v9"
  QString friendlyName;
  QString mode;  // a mode name; empty for the reserved entries
  int speed = 175;
  int pitch = 50;
  int volume = 32768;
};

struct SourceAssignment {
  QString voice = QString::fromLatin1(kNoVoice);
  QString table;  // a table file's name, "1einige.tab"
};

// A voice assignment of every source; the speech sets keep these too.
struct ProfileData {
  QString name;
  std::array<SourceAssignment, kSpeechSources> sources;
  // The voices it uses, by source: "Focus=v1; Navigation=v2; ..."
  QString info() const;
};

struct CharTable {
  QString lcid;      // the language it belongs to
  QString fileName;  // absolute path
};

// How one utterance is to be spoken.
struct VoiceChoice {
  QString name;           // the voice's internal name, or "m" + mode index
  QString espeakVoice;    // empty: not to be spoken ("--" or a voice that is gone)
  int rate = 175;         // words per minute
  int pitch = 50;         // 0..100
  int volume = 100;       // espeak's 0..200
  QString punctuation;    // characters spoken by name
  QString label() const;  // "v1 gmw/de" for the monitor and the speech log
};

// espeak's scale of a stored volume (0..65535).
int espeakVolume(int volume);
// A voice's Speed, Pitch or Volume as stored in file (voices.ini, defaults.ini, a speech set):
// text that is no whole number (empty, "abc", "NaN", "1e3", "99999999999") takes the value's
// default, and a number outside the value's range its nearest bound, each with a log line
// naming file, section, key and text.
enum class VoiceNumber { Speed, Pitch, Volume };
int voiceNumber(VoiceNumber which, const QString& text, const QString& file, const QString& section);
// The decimal locale number of a language tag ("de" 1031, "en-gb" 2057); "4096" for none.
QString lcidOfLanguage(const QString& tag);
// The source's internal name (1..8: "Focus" ... "Scripts") and its name in a language.
QString sourceInternalName(int source);
QString sourceLocalizedName(int source, const QString& lcid);

class SpeechSettings {
 public:
  // defaultLng: the core's language now (corvane.ini DefaultLng).
  SpeechSettings(QString appPath, std::function<QString()> defaultLng);

  // The installed modes, read from espeak once per process.
  static const QList<SpeechMode>& modes();
  static const SpeechMode* mode(const QString& name);  // case-insensitive
  static const SpeechMode* mode(int index);            // 1-based
  // Lists espeak's voices now, before anything else in the process uses espeak.
  static void listModes() { modes(); }

  // Voices: index 1 "--", index 2 "v0", then the defined ones.
  const QList<VoiceData>& voices() const { return voices_; }
  VoiceData* voice(const QString& internalName);
  VoiceData* voiceAt(int index);  // 1-based
  // A new voice of a mode; its internal name, or "" when full or the mode is unknown.
  QString createVoice(const QString& modeName);
  // False for the reserved entries and indexes out of range.
  bool removeVoice(int index);
  bool saveVoices();
  void loadVoices();

  // The active profile: what the sources speak with now.
  ProfileData& profile() { return profile_; }
  // The stored profile made active again; Save stores the active one.
  void activateProfile();
  bool saveProfile();
  // Reads and writes a profile in an INI file section (the speech sets use these too).
  static std::optional<ProfileData> readProfile(const QString& file, const QString& section);
  static bool writeProfile(const ProfileData& p, const QString& file, const QString& section);

  // Character tables below speech/tables; read at the first call.
  const QList<CharTable>& tables();
  // The characters a table names; empty for a missing table.
  QString tableCharacters(const QString& lcid, const QString& tableName);

  // How the source speaks now; voice overrides the source's voice (a voice's internal name or
  // "m" + a mode index, as VoiceSelect may set it).
  VoiceChoice choiceFor(int source, const QString& voice = {});
  // A voice's value was changed: speak the sample (see setSampler).
  void valueChanged(const QString& internalName, const QString& sample);
  // What speaks a voice's sample, cutting off the one before.
  void setSampler(std::function<void(const QString& text, const QString& voice)> fn) { sampler_ = std::move(fn); }
  // The mode previewed as "m" + index while JexUI browses the modes.
  void prepareModeVoice(int modeIndex) { preparedMode_ = modeIndex; }
  int preparedMode() const { return preparedMode_; }

  QString voicesFile() const { return appPath_ + QStringLiteral("speech/voices.ini"); }
  // Saving the voices stores voices.ini and profile.ini together: both are written in full as
  // "<file>.new", then this journal names them, then each replaces its file and the journal goes.
  // A start that finds the journal completes the replacements; one that finds ".new" files
  // without it drops them (the old pair stays), and temporary files of a write cut off are removed.
  QString saveJournal() const { return appPath_ + QStringLiteral("speech/save.journal"); }
  QString profileFile() const { return appPath_ + QStringLiteral("speech/profile.ini"); }
  QString defaultsFile() const { return appPath_ + QStringLiteral("speech/defaults.ini"); }
  QString tableDirectory() const { return appPath_ + QStringLiteral("speech/tables/"); }
  QString language() const;
  // The plain mode of the core's language: what "v0" speaks with.
  const SpeechMode* systemMode() const;

 private:
  VoiceChoice resolve(const QString& name, const SourceAssignment* source);
  void resetVoices();
  // Completes or rolls back a save of the pair cut off by a crash (see saveJournal).
  void recoverSave();
  QList<VoiceData> defaultVoices() const;
  ProfileData defaultProfile() const;
  // Sources naming a voice that does not exist read "--".
  void dropUnknownAssignments(ProfileData& p, const QString& what) const;

  QString appPath_;
  std::function<QString()> defaultLng_;
  QList<VoiceData> voices_;
  ProfileData profile_;
  std::optional<QList<CharTable>> tables_;
  struct CachedTable {
    qint64 size = 0;
    QDateTime modified;
    QString characters;
  };
  QHash<QString, CachedTable> tableCache_;  // file -> its characters as last read
  std::function<void(const QString&, const QString&)> sampler_;
  int preparedMode_ = 0;
};

}  // namespace corvane
