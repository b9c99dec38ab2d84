#include "corvane/engine/speechsets.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include "base/error.h"
#include "base/log.h"
#include "corvane/engine/automationnames.h"
#include "corvane/engine/settingsstore.h"
#include "corvane/engine/speechobjects.h"

namespace corvane {

namespace {

const QString kProfile = QStringLiteral("Profile");
QString voiceSection(const QString& internalName) { return QStringLiteral("Voice.") + internalName; }
QString quoted(const QString& v) { return u'"' + v + u'"'; }
bool reserved(const QString& voice) {
  return voice == QLatin1String(kNoVoice) || voice.compare(QLatin1String(kSystemVoice), Qt::CaseInsensitive) == 0;
}

// A set as the core's root hands it out: its number and Info of its own, the rest is the
// profile object's.
class SetObject : public Dispatchable {
 public:
  SetObject(int nr, Obj profile, std::function<QString()> info)
      : Dispatchable(QStringLiteral("SpeechProfile")), profile_(std::move(profile)) {
    property(
        QStringLiteral("nr"), [nr] { return QVariant(nr); }, {}, QStringLiteral("number of the set, 1 to 9"));
    property(
        QStringLiteral("Info"), [info] { return QVariant(info()); }, {},
        QStringLiteral("the voices the set uses; empty for an empty slot"));
  }
  QVariant invoke(const QString& member, jex::automation::CallKind kind, QVariantList& args) override {
    for (const auto& m : members())
      if (m.name.compare(member, Qt::CaseInsensitive) == 0) return Dispatchable::invoke(member, kind, args);
    return profile_.target()->invoke(member, kind, args);
  }

 private:
  Obj profile_;
};

}  // namespace

SpeechSets::SpeechSets(QString appPath, SpeechSettings& settings) : appPath_(std::move(appPath)), settings_(settings) {
  auto list = std::make_shared<Collection>();
  for (int nr = 1; nr <= kSpeechSetCount; ++nr) {
    read(nr);
    ProfileActions a;
    a.data = [this, nr]() -> ProfileData& { return sets_[size_t(nr - 1)].data; };
    a.getActValues = [this, nr] { take(nr); };
    a.activate = [this, nr] { activate(nr); };
    a.save = [this, nr] { return save(nr); };
    list->add(fromObj(Obj(
        std::make_shared<SetObject>(nr, makeSpeechProfile(settings_, std::move(a)), [this, nr] { return info(nr); }))));
  }
  collection_ = Obj(list);
}

QString SpeechSets::file(int nr) const { return appPath_ + QStringLiteral("speechsets/SPSET%1.INI").arg(nr); }

QString SpeechSets::name(int nr) const { return filled(nr) ? sets_[size_t(nr - 1)].data.name : QString(); }

bool SpeechSets::filled(int nr) const { return nr >= 1 && nr <= kSpeechSetCount && sets_[size_t(nr - 1)].filled; }

QString SpeechSets::info(int nr) const {
  const Set& s = sets_[size_t(nr - 1)];
  if (!s.filled) return {};
  QStringList names;
  for (auto it = s.voices.cbegin(); it != s.voices.cend(); ++it) names << it.key() + u'=' + it->friendlyName;
  names.sort();
  return s.data.info() + (names.isEmpty() ? QString() : QStringLiteral(" (") + names.join(QStringLiteral(", ")) + u')');
}

void SpeechSets::read(int nr) {
  jex::trap("SpeechSets.read", [&] {
    Set& s = sets_[size_t(nr - 1)];
    s = Set();
    const QString f = file(nr);
    if (!QFileInfo::exists(f)) return;
    std::optional<ProfileData> p = SpeechSettings::readProfile(f, kProfile);
    if (!p) {
      jex::WriteErrorLog(
          QStringLiteral("speech set %1: %2 has no usable voice assignment; the slot is empty").arg(nr).arg(f));
      return;
    }
    s.data = *p;
    s.filled = true;
    const std::unique_ptr<SettingsStore> ini = openSettings(f);
    for (const SourceAssignment& a : s.data.sources) {
      if (reserved(a.voice) || s.voices.contains(a.voice)) continue;
      const QString section = voiceSection(a.voice);
      VoiceData v;
      v.internalName = a.voice;
      v.mode = ini->value(section, QStringLiteral("Mode"));
      v.friendlyName = ini->value(section, QStringLiteral("FriendlyName"));
      v.speed = voiceNumber(VoiceNumber::Speed, ini->value(section, QStringLiteral("Speed"), QStringLiteral("175")), f,
                            section);
      v.pitch = voiceNumber(VoiceNumber::Pitch, ini->value(section, QStringLiteral("Pitch"), QStringLiteral("50")), f,
                            section);
      v.volume = voiceNumber(VoiceNumber::Volume,
                             ini->value(section, QStringLiteral("Volume"), QStringLiteral("32768")), f, section);
      s.voices.insert(a.voice, v);
    }
  });
}

void SpeechSets::take(int nr) {
  Set& s = sets_[size_t(nr - 1)];
  s.data.sources = settings_.profile().sources;
  s.voices.clear();
  for (const SourceAssignment& a : s.data.sources)
    if (!reserved(a.voice))
      if (const VoiceData* v = settings_.voice(a.voice)) s.voices.insert(a.voice, *v);
  s.filled = true;
}

bool SpeechSets::save(int nr) {
  return jex::trapped("SpeechSets.save", false, [&] {
    const Set& s = sets_[size_t(nr - 1)];
    if (!s.filled) {
      jex::WriteErrorLog(QStringLiteral("speech set %1: nothing taken to save").arg(nr));
      return false;
    }
    QStringList lines{u'[' + kProfile + u']', QStringLiteral("Name=") + quoted(s.data.name),
                      QStringLiteral("Info=") + quoted(info(nr))};
    for (int i = 1; i <= kSpeechSources; ++i) {
      const SourceAssignment& a = s.data.sources[size_t(i - 1)];
      lines << sourceInternalName(i) + u'=' + a.voice
            << sourceInternalName(i) + QStringLiteral("Table=") + quoted(a.table);
    }
    for (auto it = s.voices.cbegin(); it != s.voices.cend(); ++it)
      lines << QString() << u'[' + voiceSection(it.key()) + u']' << QStringLiteral("Mode=") + quoted(it->mode)
            << QStringLiteral("FriendlyName=") + quoted(it->friendlyName) << QStringLiteral("Speed=%1").arg(it->speed)
            << QStringLiteral("Pitch=%1").arg(it->pitch) << QStringLiteral("Volume=%1").arg(it->volume);
    const QString f = file(nr);
    QDir().mkpath(QFileInfo(f).absolutePath());
    // The whole file at once: a crash leaves the old set or the new one.
    QSaveFile out(f);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8()) < 0 || !out.commit()) {
      jex::WriteErrorLog(QStringLiteral("speech set %1: cannot write %2: %3").arg(nr).arg(f, out.errorString()));
      return false;
    }
    jex::WriteLog(QStringLiteral("speech set %1 saved: ").arg(nr) + s.data.name, jex::kTraffic);
    return true;
  });
}

bool SpeechSets::activate(int nr) {
  return jex::trapped("SpeechSets.activate", false, [&] {
    if (nr < 1 || nr > kSpeechSetCount) {
      jex::WriteErrorLog(QStringLiteral("invalid SpeechSet NR: %1").arg(nr));
      return false;
    }
    read(nr);  // the set as stored
    const Set& s = sets_[size_t(nr - 1)];
    if (!s.filled) {
      jex::WriteErrorLog(QStringLiteral("speech set %1 is empty: nothing activated").arg(nr));
      return false;
    }
    ProfileData p = s.data;
    bool voicesChanged = false;
    QHash<QString, QString> madeAgain;  // stored internal name -> the voice made for it now
    for (int i = 0; i < kSpeechSources; ++i) {
      SourceAssignment& a = p.sources[size_t(i)];
      if (reserved(a.voice)) continue;
      if (madeAgain.contains(a.voice)) {
        a.voice = madeAgain.value(a.voice);
        continue;
      }
      const VoiceData stored = s.voices.value(a.voice);
      VoiceData* live = settings_.voice(a.voice);
      if (live && (stored.mode.isEmpty() || live->mode.compare(stored.mode, Qt::CaseInsensitive) == 0)) {
        if (!stored.mode.isEmpty() &&
            (live->speed != stored.speed || live->pitch != stored.pitch || live->volume != stored.volume)) {
          live->speed = stored.speed, live->pitch = stored.pitch, live->volume = stored.volume;
          voicesChanged = true;
        }
        continue;
      }
      const QString made = stored.mode.isEmpty() ? QString() : settings_.createVoice(stored.mode);
      if (VoiceData* v = made.isEmpty() ? nullptr : settings_.voice(made)) {
        v->friendlyName = stored.friendlyName.isEmpty() ? v->friendlyName : stored.friendlyName;
        v->speed = stored.speed, v->pitch = stored.pitch, v->volume = stored.volume;
        jex::WriteLog(
            QStringLiteral("speech set %1: voice %2 made again as %3 (%4)").arg(nr).arg(a.voice, made, stored.mode),
            jex::kTraffic);
        madeAgain.insert(a.voice, made);
        a.voice = made;
        voicesChanged = true;
        continue;
      }
      jex::WriteErrorLog(QStringLiteral("speech set %1: voice %2 is gone and cannot be made again; %3 has no voice")
                             .arg(nr)
                             .arg(a.voice, sourceInternalName(i + 1)));
      a.voice = QString::fromLatin1(kNoVoice);
    }
    settings_.profile() = p;
    if (voicesChanged) settings_.saveVoices();
    settings_.saveProfile();
    jex::WriteLog(QStringLiteral("speech set %1 activated: ").arg(nr) + p.name, jex::kTraffic);
    return true;
  });
}

}  // namespace corvane
