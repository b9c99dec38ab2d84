#include "corvane/engine/speechobjects.h"

#include <QFileInfo>

#include "base/error.h"
#include "base/log.h"
#include "corvane/engine/automationnames.h"
#include "corvane/engine/speechsettings.h"

namespace corvane {

namespace {

const QString kProduct = QStringLiteral("eSpeak NG");
const QString kCompany = QStringLiteral("The eSpeak NG contributors");

[[noreturn]] void refuse(const QString& what) {
  jex::WriteErrorLog(what);
  throw jex::Error(jex::err::InvalidCall, what);
}

int itemIndex(Args& a, int count, const QString& collection) {
  const int i = a.i32(0);
  if (i < 1 || i > count)
    throw jex::Error(jex::err::SubscriptOutOfRange,
                     QStringLiteral("%1: no item %2 (1 to %3)").arg(collection).arg(i).arg(count));
  return i;
}

// The mode a voice speaks with (none for "--").
const SpeechMode* modeOfVoice(SpeechSettings& s, const VoiceData& v) {
  return v.internalName == QLatin1String(kSystemVoice) ? s.systemMode() : SpeechSettings::mode(v.mode);
}

class ModeObject : public Dispatchable {
 public:
  ModeObject(SpeechSettings& s, int index) : Dispatchable(QStringLiteral("SpeechMode")) {
    const SpeechMode* m = SpeechSettings::mode(index);
    const SpeechMode mode = m ? *m : SpeechMode{};
    property(
        QStringLiteral("Mode"), [mode] { return QVariant(mode.name); }, {},
        QStringLiteral("\"eSpeak:\" + the espeak voice's name"));
    property(QStringLiteral("Name"), [mode] { return QVariant(mode.name); });
    property(QStringLiteral("ProductName"), [] { return QVariant(kProduct); });
    property(
        QStringLiteral("LanguageID"), [mode] { return QVariant(mode.lcid); }, {},
        QStringLiteral("decimal locale number"));
    property(QStringLiteral("Dialect"), [mode] { return QVariant(mode.language); });
    property(
        QStringLiteral("Gender"), [mode] { return QVariant(mode.gender); }, {}, QStringLiteral("1 female, 0 male"));
    property(QStringLiteral("Speaker"), [mode] {
      return QVariant(mode.variant + (mode.gender == 1 ? QStringLiteral(" F") : QStringLiteral(" M")));
    });
    property(QStringLiteral("Index"), [mode] { return QVariant(mode.index); });
    method(
        QStringLiteral("PrepareModeVoice"), 0, 0,
        [&s, mode](Args&) {
          s.prepareModeVoice(mode.index);
          return QVariant();
        },
        QStringLiteral("makes the mode speakable as the voice \"m\" + Index"));
    defaultMember(QStringLiteral("Mode"));
  }
};

class ModesObject : public Dispatchable {
 public:
  explicit ModesObject(SpeechSettings& s) : Dispatchable(QStringLiteral("SpeechModes")) {
    property(QStringLiteral("Count"), [] { return QVariant(int(SpeechSettings::modes().size())); });
    const auto item = [&s](Args& a) {
      const int i = itemIndex(a, int(SpeechSettings::modes().size()), QStringLiteral("SpeechModes"));
      return fromObj(Obj(std::make_shared<ModeObject>(s, i)));
    };
    method(QStringLiteral("ItemByIndex"), 1, 1, item);
    method(QStringLiteral("Item"), 1, 1, item);
    method(
        QStringLiteral("ItemByName"), 1, 1,
        [&s](Args& a) {
          const SpeechMode* m = SpeechSettings::mode(a.str(0));
          return fromObj(m ? Obj(std::make_shared<ModeObject>(s, m->index)) : Obj());
        },
        QStringLiteral("the mode of that name, or Nothing"));
    // Reading a few hundred modes field by field takes over a thousand round trips on the bus.
    method(
        QStringLiteral("GetModeList"), 0, 0,
        [](Args&) {
          QVariantList rows;
          rows.reserve(qsizetype(SpeechSettings::modes().size()));
          for (const SpeechMode& m : SpeechSettings::modes())
            rows.append(QStringList{m.name, m.lcid, kProduct, QString::number(m.gender)});
          return QVariant(rows);
        },
        QStringLiteral("every mode as {Mode, LanguageID, ProductName, Gender}, in one call"));
    defaultMember(QStringLiteral("Item"));
  }
};

class VoiceObject : public Dispatchable {
 public:
  VoiceObject(SpeechSettings& s, QString name)
      : Dispatchable(QStringLiteral("SpeechVoice")), s_(s), name_(std::move(name)) {
    property(QStringLiteral("InternalName"), [this] { return QVariant(data().internalName); });
    property(
        QStringLiteral("FriendlyName"), [this] { return QVariant(data().friendlyName); },
        [this](const QVariant& v) {
          const QString text = toStr(v);
          if (text.contains(u'\n') || text.contains(u'\r') || text.contains(QChar(0)))
            refuse(QStringLiteral("FriendlyName of %1: a name has no line breaks").arg(name_));
          data().friendlyName = text;
        });
    property(QStringLiteral("SapiMode"), [this] { return QVariant(mode().name); });
    property(QStringLiteral("Mode"), [this] { return QVariant(mode().name); });
    property(
        QStringLiteral("speed"), [this] { return QVariant(data().speed); },
        [this](const QVariant& v) { change(data().speed, v, kSpeedMin, kSpeedMax, QStringLiteral("speed")); },
        QStringLiteral("words per minute, 80 to 500"));
    property(
        QStringLiteral("Pitch"), [this] { return QVariant(data().pitch); },
        [this](const QVariant& v) { change(data().pitch, v, kPitchMin, kPitchMax, QStringLiteral("Pitch")); },
        QStringLiteral("0 to 100, as PitchRanges"));
    property(
        QStringLiteral("volume"), [this] { return QVariant(data().volume); },
        [this](const QVariant& v) { change(data().volume, v, 0, kVolumeMax, QStringLiteral("volume")); },
        QStringLiteral("low word 0 to 65535"));
    method(
        QStringLiteral("PitchRanges"), 2, 2,
        [](Args& a) {
          a.set(0, kPitchMin);
          a.set(1, kPitchMax);
          return QVariant();
        },
        QStringLiteral("the lowest and highest Pitch, by reference"));
    property(
        QStringLiteral("Speaker"),
        [this] {
          const SpeechMode m = mode();
          return QVariant(m.name.isEmpty() ? QString()
                                           : m.variant + (m.gender == 1 ? QStringLiteral(" F") : QStringLiteral(" M")));
        },
        {}, QStringLiteral("the variant and the gender letter"));
    property(QStringLiteral("Age"), [this] {
      const SpeechMode m = mode();
      return QVariant(m.age > 0 ? QString::number(m.age) : QStringLiteral("--"));
    });
    property(QStringLiteral("ProductName"), [this] { return QVariant(mode().name.isEmpty() ? QString() : kProduct); });
    property(QStringLiteral("Dialect"), [this] { return QVariant(mode().language); });
    property(QStringLiteral("LanguageID"), [this] { return QVariant(mode().lcid); });
    property(QStringLiteral("CompanyName"), [this] { return QVariant(mode().name.isEmpty() ? QString() : kCompany); });
    defaultMember(QStringLiteral("FriendlyName"));
  }

 private:
  VoiceData& data() {
    VoiceData* v = s_.voice(name_);
    if (!v) throw jex::Error(jex::err::InvalidCall, QStringLiteral("the voice %1 has been removed").arg(name_));
    return *v;
  }
  SpeechMode mode() {
    const SpeechMode* m = modeOfVoice(s_, data());
    return m ? *m : SpeechMode{};
  }
  // A changed value is heard at once: the voice says it.
  void change(int& field, const QVariant& v, int low, int high, const QString& what) {
    const int wanted = toI32(v);
    const int value = qBound(low, wanted, high);
    if (value != wanted)
      jex::WriteErrorLog(QStringLiteral("%1 of %2: %3 is outside %4 to %5, set to %6")
                             .arg(what, name_)
                             .arg(wanted)
                             .arg(low)
                             .arg(high)
                             .arg(value));
    if (data().internalName == QLatin1String(kNoVoice)) return;  // no voice has no values
    field = value;
    jex::WriteLog(QStringLiteral("%1 of %2 = %3").arg(what, name_).arg(value), jex::kDetail);
    s_.valueChanged(name_, QString::number(value));
  }

  SpeechSettings& s_;
  QString name_;
};

Obj voiceObject(SpeechSettings& s, const QString& name) { return Obj(std::make_shared<VoiceObject>(s, name)); }

// Members of objects as one row of text, read through the objects themselves so that a row says
// exactly what the members say.
QStringList rowOf(const Obj& o, const QStringList& members) {
  QStringList row;
  for (const QVariant& v : o.getEach(members)) row.append(toStr(v));
  return row;
}

const QStringList kVoiceRow{
    QStringLiteral("InternalName"), QStringLiteral("FriendlyName"), QStringLiteral("SapiMode"),
    QStringLiteral("speed"),        QStringLiteral("Pitch"),        QStringLiteral("volume"),
    QStringLiteral("Speaker"),      QStringLiteral("Age"),          QStringLiteral("ProductName"),
    QStringLiteral("Dialect"),      QStringLiteral("LanguageID"),   QStringLiteral("CompanyName")};
const QStringList kSourceRow{QStringLiteral("VoiceName"), QStringLiteral("TableName"), QStringLiteral("InternalName")};

class VoicesObject : public Dispatchable {
 public:
  explicit VoicesObject(SpeechSettings& s) : Dispatchable(QStringLiteral("SpeechVoices")) {
    property(QStringLiteral("Count"), [&s] { return QVariant(int(s.voices().size())); });
    const auto item = [&s](Args& a) {
      const int i = itemIndex(a, int(s.voices().size()), QStringLiteral("SpeechVoices"));
      return fromObj(voiceObject(s, s.voiceAt(i)->internalName));
    };
    method(QStringLiteral("ItemByIndex"), 1, 1, item);
    method(QStringLiteral("Item"), 1, 1, item);
    // The voices dialog shows every voice at once: one read instead of a dozen per voice.
    property(
        QStringLiteral("VoiceList"),
        [&s] {
          QVariantList rows;
          for (int i = 1; i <= int(s.voices().size()); ++i) {
            QStringList row = rowOf(voiceObject(s, s.voiceAt(i)->internalName), kVoiceRow);
            row << QString::number(kPitchMin) << QString::number(kPitchMax);
            rows.append(row);
          }
          return QVariant(rows);
        },
        {},
        QStringLiteral("every voice in index order as text: InternalName, FriendlyName, SapiMode, speed, Pitch, "
                       "volume, Speaker, Age, ProductName, Dialect, LanguageID, CompanyName and its PitchRanges"));
    method(
        QStringLiteral("ItemByName"), 1, 1,
        [&s](Args& a) {
          const VoiceData* v = s.voice(a.str(0));
          return fromObj(v ? voiceObject(s, v->internalName) : Obj());
        },
        QStringLiteral("the voice of that internal name, or Nothing"));
    method(
        QStringLiteral("CreateVoice"), 1, 1, [&s](Args& a) { return QVariant(s.createVoice(a.str(0))); },
        QStringLiteral("a new voice of a mode: its internal name, or \"\" when there are nine"));
    method(QStringLiteral("RemoveByIndex"), 1, 1, [&s](Args& a) {
      const int i = a.i32(0);
      if (!s.removeVoice(i)) refuse(QStringLiteral("RemoveByIndex: %1 cannot be removed").arg(i));
      return QVariant();
    });
    method(
        QStringLiteral("SaveVoices"), 0, 0,
        [&s](Args&) {
          if (!s.saveVoices())
            throw jex::Error(jex::err::FileError, QStringLiteral("SaveVoices: the voices could not be stored"));
          return QVariant();
        },
        QStringLiteral("stores the voices and the active profile"));
    method(
        QStringLiteral("LoadVoices"), 0, 0,
        [&s](Args&) {
          s.loadVoices();
          return QVariant();
        },
        QStringLiteral("reads the stored voices again"));
    defaultMember(QStringLiteral("Item"));
  }
};

class SourceObject : public Dispatchable {
 public:
  SourceObject(SpeechSettings& s, std::function<ProfileData&()> data, int source)
      : Dispatchable(QStringLiteral("SpeechSource")), data_(std::move(data)), source_(source) {
    property(QStringLiteral("InternalName"), [source] { return QVariant(sourceInternalName(source)); });
    property(
        QStringLiteral("VoiceName"), [this] { return QVariant(entry().voice); },
        [this, &s](const QVariant& v) {
          const QString name = toStr(v).trimmed();
          if (name != QLatin1String(kNoVoice) && !s.voice(name))
            refuse(QStringLiteral("VoiceName of %1: there is no voice %2").arg(sourceInternalName(source_), name));
          entry().voice = name == QLatin1String(kNoVoice) ? name : s.voice(name)->internalName;
        },
        QStringLiteral("internal name of the voice; \"--\" none"));
    property(QStringLiteral("Voice"), [this, &s] {
      const VoiceData* v = s.voice(entry().voice);
      return fromObj(voiceObject(s, v ? v->internalName : QString::fromLatin1(kNoVoice)));
    });
    property(
        QStringLiteral("TableName"), [this] { return QVariant(entry().table); },
        [this](const QVariant& v) {
          const QString name = toStr(v).trimmed();
          if (name.contains(u'/') || name.contains(u'\\') || name.contains(u'\n') || name.contains(u'"'))
            refuse(QStringLiteral("TableName of %1: not a table file name: %2").arg(sourceInternalName(source_), name));
          entry().table = name;
        },
        QStringLiteral("character table file, \"1einige.tab\""));
    method(QStringLiteral("LocalizedName"), 0, 1,
           [source](Args& a) { return QVariant(sourceLocalizedName(source, a.str(0, QStringLiteral("1031")))); });
    defaultMember(QStringLiteral("VoiceName"));
  }

 private:
  SourceAssignment& entry() { return data_().sources[size_t(source_ - 1)]; }
  std::function<ProfileData&()> data_;
  int source_;
};

class ProfileObject : public Dispatchable {
 public:
  ProfileObject(SpeechSettings& s, ProfileActions a) : Dispatchable(QStringLiteral("SpeechProfile")), a_(std::move(a)) {
    property(QStringLiteral("Count"), [] { return QVariant(kSpeechSources); });
    const auto item = [this, &s](Args& args) {
      const int i = itemIndex(args, kSpeechSources, QStringLiteral("SpeechProfile"));
      return fromObj(Obj(std::make_shared<SourceObject>(s, a_.data, i)));
    };
    method(QStringLiteral("ItemByIndex"), 1, 1, item);
    method(QStringLiteral("Item"), 1, 1, item);
    property(
        QStringLiteral("SourceList"),
        [this, &s] {
          QVariantList rows;
          for (int i = 1; i <= kSpeechSources; ++i)
            rows.append(rowOf(Obj(std::make_shared<SourceObject>(s, a_.data, i)), kSourceRow));
          return QVariant(rows);
        },
        {}, QStringLiteral("every source in order as text: VoiceName, TableName, InternalName"));
    property(
        QStringLiteral("Info"), [this] { return QVariant(a_.data().info()); }, {},
        QStringLiteral("the voices used, by source: \"Focus=v1; Navigation=v2; ...\""));
    property(
        QStringLiteral("Name"), [this] { return QVariant(a_.data().name); },
        [this](const QVariant& v) {
          const QString name = toStr(v);
          if (name.contains(u'\n') || name.contains(u'\r'))
            refuse(QStringLiteral("SpeechProfile.Name: a name has no line breaks"));
          a_.data().name = name;
        });
    method(QStringLiteral("GetActValues"), 0, 0, [this](Args&) {
      if (a_.getActValues) a_.getActValues();
      return QVariant();
    });
    method(QStringLiteral("Activate"), 0, 0, [this](Args&) {
      if (a_.activate) a_.activate();
      return QVariant();
    });
    method(QStringLiteral("Save"), 0, 0, [this](Args&) {
      if (a_.save && !a_.save())
        throw jex::Error(jex::err::FileError, QStringLiteral("SpeechProfile.Save: not stored"));
      return QVariant();
    });
    defaultMember(QStringLiteral("Item"));
  }

 private:
  ProfileActions a_;
};

class CharTableObject : public Dispatchable {
 public:
  explicit CharTableObject(const CharTable& t) : Dispatchable(QStringLiteral("SpeechCharTable")) {
    property(QStringLiteral("FileLng"), [t] { return QVariant(t.lcid); });
    property(QStringLiteral("FileName"), [t] { return QVariant(t.fileName); });
    property(QStringLiteral("Name"), [t] { return QVariant(QFileInfo(t.fileName).fileName()); });
    defaultMember(QStringLiteral("FileName"));
  }
};

class CharTablesObject : public Dispatchable {
 public:
  explicit CharTablesObject(SpeechSettings& s) : Dispatchable(QStringLiteral("SpeechCharTables")) {
    property(QStringLiteral("Count"), [&s] { return QVariant(int(s.tables().size())); });
    const auto item = [&s](Args& a) {
      const int i = itemIndex(a, int(s.tables().size()), QStringLiteral("SpeechCharTables"));
      return fromObj(Obj(std::make_shared<CharTableObject>(s.tables()[i - 1])));
    };
    method(QStringLiteral("ItemByIndex"), 1, 1, item);
    method(QStringLiteral("Item"), 1, 1, item);
    defaultMember(QStringLiteral("Item"));
  }
};

}  // namespace

Obj makeSpeechModes(SpeechSettings& settings) { return Obj(std::make_shared<ModesObject>(settings)); }
Obj makeSpeechVoices(SpeechSettings& settings) { return Obj(std::make_shared<VoicesObject>(settings)); }
Obj makeSpeechCharTables(SpeechSettings& settings) { return Obj(std::make_shared<CharTablesObject>(settings)); }
Obj makeSpeechProfile(SpeechSettings& settings, ProfileActions actions) {
  return Obj(std::make_shared<ProfileObject>(settings, std::move(actions)));
}

Obj makeActiveSpeechProfile(SpeechSettings& settings) {
  ProfileActions a;
  a.data = [&settings]() -> ProfileData& { return settings.profile(); };
  a.getActValues = [] {};  // the active profile holds the active values
  a.activate = [&settings] { settings.activateProfile(); };
  a.save = [&settings] { return settings.saveProfile(); };
  return makeSpeechProfile(settings, std::move(a));
}

}  // namespace corvane
