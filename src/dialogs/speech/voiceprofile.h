// VoiceProfile: the voices and the speech profile as the core holds them, without widgets.
//
// read() takes the active profile (SpeechProfile after GetActValues: the voice and character
// table of each of the eight speech sources) and every voice of SpeechVoices with its values and
// information. The voices dialog shows them from here and writes every change through here, so
// that what it shows is what the core holds or what it has just written. The speed and volume
// commands read the voices afresh (readUsed()), since they run while the dialog is hidden.
//
// The core's lists of sources and voices (SpeechProfile.SourceList, SpeechVoices.VoiceList) are
// read together with the objects that hold them (Obj::getEach: every read is sent before the
// first answer is waited for), so that reading the profile waits twice for the core. A core
// without those lists is read object by object, each object's members at once, never one
// property at a time.
//
// Every member may throw jex::Error as the calls to the core do; the dialog's handlers trap.
#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

#include "automation/automation.h"

namespace jex {

class VoiceProfile {
 public:
  static constexpr int kSources = 8;
  // The voice name of a source without a voice, and the reserved voice that is never shown.
  static inline const QString kNoVoice = QStringLiteral("--");
  static inline const QString kHiddenVoice = QStringLiteral("v0");

  enum class Value { Speed, Pitch, Volume };

  struct Voice {
    int index = 0;  // in SpeechVoices, from 1
    QString internalName, friendlyName, sapiMode;
    qint32 speed = 0, pitch = 0, volume = 0;
    QString speaker, age, productName, dialect, languageId, companyName;
    std::optional<std::pair<qint32, qint32>> pitchRange;  // PitchRanges, once asked for

    // Neither the no-voice entry nor the hidden reserved voice.
    bool listed() const { return internalName != kNoVoice && internalName != kHiddenVoice; }
    qint32 value(Value which) const;
  };
  struct Source {
    QString voiceName;  // internal name of the voice; kNoVoice for none
    QString tableName;
    QString internalName;  // the source's own
  };
  struct Table {
    QString language;  // FileLng
    QString fileName;
  };
  struct Mode {
    QString name, lcid, product;
    bool female = false;
  };
  // A stored speech set (an element of SpeechProfiles); info is empty for an empty slot.
  struct Set {
    QString nr, name, info;
  };
  // Who uses a voice that is to be deleted.
  struct Users {
    QString name, friendlyName;
    QString sources;  // ", " + the localised name of each source using it
    bool focus = false;
  };

  // The active profile (after GetActValues) and every voice.
  void read();
  // Every voice again; an empty friendly name becomes the mode name without its prefix and the
  // no-voice entry is called noVoiceName, both written back to the core.
  void readVoices(const QString& noVoiceName);

  const QList<Voice>& voices() const { return voices_; }
  int voiceCount() const { return int(voices_.size()); }
  // The voice at index (from 1); null outside the list.
  const Voice* voiceAt(int index) const;
  const Voice* voiceNamed(const QString& internalName) const;
  // The voice source speaks with (from 1): its own, or the no-voice entry when it has none.
  const Voice* voiceOf(int source) const;
  int sourceCount() const { return int(sources_.size()); }
  // Source from 1; an empty one outside the list.
  Source source(int source) const;
  // The lowest and highest pitch of a voice (asked once per reading).
  std::pair<qint32, qint32> pitchRange(const QString& internalName);

  // Writes: each reaches the core at once.
  void assign(int source, const QString& internalName);
  void assignAll(const QString& internalName);
  void setTable(int source, const QString& tableName);
  void setValue(const QString& internalName, Value which, qint32 value);
  // The value on the voice of every source: one write per voice, however many sources share it.
  void setValueOfAllSources(Value which, qint32 value);
  void rename(const QString& internalName, const QString& friendlyName);
  // A new voice of a mode named friendlyName; its internal name, or "" when the core made none.
  QString createVoice(const QString& modeKey, const QString& friendlyName);
  void removeVoice(int index);
  // OK: the core stores the voices. No to the save question: the stored profile comes back, and
  // the stored voices when they changed.
  void store();
  void revert(bool voicesChanged);

  // Read afresh from the core, for the commands that run while the dialog is hidden.
  // The voices the profile uses (named in its Info).
  QList<Voice> readUsed();
  // The voice a source speaks with now.
  Voice readVoiceOf(int source);
  int readVoiceCount();
  Users readUsers(int index, const QString& language);

  // The character tables, the installed modes, and a mode made speakable as a voice ("m" + its
  // Index; "" when there is no such mode).
  QList<Table> readTables();
  QList<Mode> readModes();
  QString prepareModeVoice(const QString& modeKey);

  // The first max of the stored speech sets, each read at once; the active profile stored as set
  // nr under name; set nr made the active profile.
  static QList<Set> readSets(const Obj& sets, int max);
  static void saveSet(int nr, const QString& name);
  static void loadSet(int nr);

  // The profile's Info, for the log.
  QString info();
  // The member of a voice that holds the value.
  static QString member(Value which);
  // The mode name without its prefix ("eSpeak:German" gives "German").
  static QString withoutPrefix(const QString& mode);

 private:
  Obj handle(const QString& internalName);
  Obj entry(int source);
  Voice* find(const QString& internalName);
  std::optional<QVariantList> readLists(const QStringList& paths);
  // Every voice; info, when given, gets the profile's Info of the same reading.
  QList<Voice> readVoiceList(QString* info = nullptr);

  Obj profile_, voicesObj_, modes_;
  QList<Source> sources_;
  QList<Voice> voices_;
  QHash<QString, Obj> handles_;  // the core's voice objects by internal name
  QHash<int, Obj> entries_;      // the core's source entries by source
  bool lists_ = true;            // the core keeps the lists of sources and voices
};

}  // namespace jex
