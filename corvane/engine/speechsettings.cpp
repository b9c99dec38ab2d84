#include "corvane/engine/speechsettings.h"

#include <filesystem>

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>

#include "base/error.h"
#include "base/log.h"
#include "corvane/engine/settingsstore.h"
#include "ini/privateprofile.h"
#include "platform/filestore.h"

namespace corvane {

namespace {

const QString kProduct = QStringLiteral("eSpeak NG");
const QString kModePrefix = QStringLiteral("eSpeak:");
const QString kFemaleSuffix = QStringLiteral(" female");
const QString kFemaleVariant = QStringLiteral("f2");
const QString kPlainVariant = QStringLiteral("standard");
const QString kProfileSection = QStringLiteral("Profile");

// Locale numbers of espeak's language tags, after Microsoft's list of locale identifiers. A
// tag not listed takes the number of its longest listed prefix ("en-gb-x-rp" that of "en-gb").
const QHash<QString, int>& lcidTable() {
  static const QHash<QString, int> t{
      {"af", 1078},    {"am", 1118},     {"ar", 1025},    {"as", 1101},    {"az", 1068}, {"ba", 1133},
      {"be", 1059},    {"bg", 1026},     {"bn", 1093},    {"bs", 5146},    {"ca", 1027}, {"chr", 1116},
      {"cmn", 2052},   {"cs", 1029},     {"cy", 1106},    {"da", 1030},    {"de", 1031}, {"el", 1032},
      {"en", 1033},    {"en-029", 9225}, {"en-gb", 2057}, {"en-us", 1033}, {"es", 1034}, {"es-419", 22538},
      {"et", 1061},    {"eu", 1069},     {"fa", 1065},    {"fi", 1035},    {"fr", 1036}, {"fr-be", 2060},
      {"fr-ch", 4108}, {"fr-fr", 1036},  {"ga", 2108},    {"gd", 1169},    {"gu", 1095}, {"haw", 1141},
      {"he", 1037},    {"hi", 1081},     {"hr", 1050},    {"hu", 1038},    {"hy", 1067}, {"id", 1057},
      {"is", 1039},    {"it", 1040},     {"ja", 1041},    {"ka", 1079},    {"kk", 1087}, {"kl", 1135},
      {"kn", 1099},    {"ko", 1042},     {"kok", 1111},   {"ky", 1088},    {"lb", 1134}, {"lt", 1063},
      {"lv", 1062},    {"mi", 1153},     {"mk", 1071},    {"ml", 1100},    {"mr", 1102}, {"ms", 1086},
      {"mt", 1082},    {"my", 1109},     {"nb", 1044},    {"ne", 1121},    {"nl", 1043}, {"om", 1138},
      {"or", 1096},    {"pa", 1094},     {"pap", 1145},   {"pl", 1045},    {"pt", 2070}, {"pt-br", 1046},
      {"qu", 1131},    {"quc", 1158},    {"ro", 1048},    {"ru", 1049},    {"sd", 2137}, {"si", 1115},
      {"sk", 1051},    {"sl", 1060},     {"smj", 4155},   {"sq", 1052},    {"sr", 2074}, {"sv", 1053},
      {"sw", 1089},    {"ta", 1097},     {"te", 1098},    {"th", 1054},    {"tk", 1090}, {"tn", 1074},
      {"tr", 1055},    {"tt", 1092},     {"ug", 1152},    {"uk", 1058},    {"ur", 1056}, {"uz", 1091},
      {"vi", 1066},    {"yue", 3076},    {"zh", 2052}};
  return t;
}

const char* const kSourceNames[kSpeechSources] = {"Focus",      "Navigation", "TaskSwitch", "Menu",
                                                  "CursorChar", "KeyEcho",    "Messages",   "Scripts"};
const char* const kSourcesGerman[kSpeechSources] = {"Focusstimme",     "Navigation",           "Taskwechsel",
                                                    "Menüstimme",      "Buchstaben am Cursor", "Tastenecho",
                                                    "Halda Meldungen", "Scriptausgaben"};
const char* const kSourcesEnglish[kSpeechSources] = {
    "Focus voice", "Navigation",       "Task switch",  "Menu voice", "Characters at the cursor",
    "Key echo",    "Program messages", "Script output"};

QString readValue(const QString& file, const QString& section, const QString& key, const QString& fallback = {}) {
  return IniFileStore(file).value(section, key, fallback);
}

QStringList sectionNames(const QString& file) {
  const quint32 size = jex::ini::GetPrivateProfileSectionSize({}, file);
  QString buffer;
  const quint32 n = jex::ini::GetPrivateProfileSectionNames(buffer, qMax<quint32>(size, 2), file);
  return buffer.left(n).split(QChar(0), Qt::SkipEmptyParts);
}

// A whole INI file written at once, under the lock the private-profile layer takes for it.
// Replaces file atomically with lines; the caller holds the lock of the file (or of its pair).
bool writeUnlocked(const QString& file, const QStringList& lines) {
  QDir().mkpath(QFileInfo(file).absolutePath());
  QString problem;
  jex::platform::FileReplacement out(file);
  if (!out.open(problem) ||
      !out.commit((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8(), problem)) {
    jex::WriteErrorLog(QStringLiteral("speech settings: cannot write ") + file + QStringLiteral(": ") + problem);
    return false;
  }
  jex::ini::FlushPrivateProfileCache();
  return true;
}

bool lockFile(jex::platform::FileLock& lock, const QString& file) {
  QDir().mkpath(QFileInfo(file).absolutePath());
  QString problem;
  if (lock.acquire(file + QStringLiteral(".lock"), 1000, problem)) return true;
  jex::WriteErrorLog(QStringLiteral("speech settings: ") + file + QStringLiteral(" is locked: ") + problem);
  return false;
}

constexpr auto kNewSuffix = QLatin1String(".new");

std::filesystem::path fsPath(const QString& file) {
  return std::filesystem::path(QFile::encodeName(file).toStdString());
}

// The second half of a save of the pair: each "<file>.new" still there replaces its file, then
// the journal goes. Every step may be repeated after a crash.
bool finishSave(const QString& journal, const QStringList& files) {
  bool ok = true;
  for (const QString& f : files) {
    const QString staged = f + kNewSuffix;
    QFile::remove(staged + QStringLiteral(".lock"));  // the pair's lock is held
    if (!QFileInfo::exists(staged)) continue;
    std::error_code error;
    std::filesystem::rename(fsPath(staged), fsPath(f), error);
    if (error) {
      jex::WriteErrorLog(QStringLiteral("speech settings: cannot replace ") + f + QStringLiteral(": ") +
                         QString::fromStdString(error.message()));
      ok = false;
    }
  }
  if (ok) QFile::remove(journal);
  jex::ini::FlushPrivateProfileCache();
  return ok;
}

// A value as the INI layer reads it back unchanged: in double quotes, which it takes off.
QString quoted(const QString& v) { return u'"' + v + u'"'; }

}  // namespace

int voiceNumber(VoiceNumber which, const QString& text, const QString& file, const QString& section) {
  struct Range {
    const char* key;
    int fallback, low, high;
  };
  static const Range ranges[] = {
      {"Speed", 175, kSpeedMin, kSpeedMax}, {"Pitch", 50, kPitchMin, kPitchMax}, {"Volume", 32768, 0, kVolumeMax}};
  const Range& r = ranges[int(which)];
  return jex::trapped("speechsettings.voiceNumber", r.fallback, [&] {
    const QString where = QStringLiteral("%1 [%2] %3=%4").arg(file, section, QLatin1String(r.key), text.left(64));
    bool numeric = false;
    const int value = text.trimmed().toInt(&numeric);
    if (!numeric) {
      jex::WriteErrorLog(QStringLiteral("speech settings: %1 is no number; it reads %2").arg(where).arg(r.fallback));
      return r.fallback;
    }
    const int v = qBound(r.low, value, r.high);
    if (v != value) jex::WriteLog(QStringLiteral("speech settings: %1 clamped to %2").arg(where).arg(v), jex::kTraffic);
    return v;
  });
}

int espeakVolume(int volume) {
  return int((qint64(qBound(0, volume, kVolumeMax)) * 200 + kVolumeMax / 2) / kVolumeMax);
}

QString lcidOfLanguage(const QString& tag) {
  QString t = tag.trimmed().toLower();
  while (!t.isEmpty()) {
    if (const auto it = lcidTable().constFind(t); it != lcidTable().constEnd()) return QString::number(*it);
    const int dash = t.lastIndexOf(u'-');
    if (dash < 0) break;
    t.truncate(dash);
  }
  return QStringLiteral("4096");
}

QString sourceInternalName(int source) {
  return source >= 1 && source <= kSpeechSources ? QString::fromLatin1(kSourceNames[source - 1]) : QString();
}

QString sourceLocalizedName(int source, const QString& lcid) {
  if (source < 1 || source > kSpeechSources) return {};
  // German for German and for languages without names of their own.
  const bool english = lcid.trimmed() != u"1031" && lcid.trimmed() != u"2055" && lcid.trimmed() != u"3079";
  return QString::fromUtf8(english ? kSourcesEnglish[source - 1] : kSourcesGerman[source - 1]);
}

QString ProfileData::info() const {
  QStringList parts;
  for (int i = 0; i < kSpeechSources; ++i) parts << sourceInternalName(i + 1) + u'=' + sources[size_t(i)].voice;
  return parts.join(QStringLiteral("; "));
}

QString VoiceChoice::label() const { return espeakVoice.isEmpty() ? name : name + u' ' + espeakVoice; }

// ---------------------------------------------------------------- modes

const QList<SpeechMode>& SpeechSettings::modes() {
  static QList<SpeechMode> list;
  static std::once_flag once;
  std::call_once(once, [] {
    jex::trap("SpeechSettings.modes", [] {
      espeak_ng_InitializePath(nullptr);
      const espeak_VOICE** voices = espeak_ListVoices(nullptr);
      if (!voices) {
        jex::WriteErrorLog(QStringLiteral("SpeechModes: espeak-ng lists no voices"));
        return;
      }
      QSet<QString> names;  // lower case
      for (int i = 0; voices[i]; ++i) {
        const espeak_VOICE* v = voices[i];
        if (!v->name || !v->identifier || !v->languages) continue;
        const QString language = QString::fromUtf8(v->languages + 1);  // after the priority byte
        if (language == u"variant" || QString::fromUtf8(v->identifier).startsWith(u"mb/")) continue;
        SpeechMode m;
        m.name = kModePrefix + QString::fromUtf8(v->name).trimmed();
        m.espeakVoice = QString::fromUtf8(v->identifier);
        m.language = language;
        m.lcid = lcidOfLanguage(language);
        m.age = v->age;
        m.variant = kPlainVariant;
        m.gender = 0;
        if (names.contains(m.name.toLower())) continue;  // a second voice of the same name
        names.insert(m.name.toLower());
        m.index = int(list.size()) + 1;
        list << m;
        SpeechMode f = m;
        f.name += kFemaleSuffix;
        f.espeakVoice += u'+' + kFemaleVariant;
        f.variant = kFemaleVariant;
        f.gender = 1;
        f.index = m.index + 1;
        list << f;
      }
      jex::WriteLog(QStringLiteral("SpeechModes: %1 modes").arg(list.size()), jex::kDetail);
    });
  });
  return list;
}

const SpeechMode* SpeechSettings::mode(const QString& name) {
  const QString n = name.trimmed();
  for (const SpeechMode& m : modes())
    if (m.name.compare(n, Qt::CaseInsensitive) == 0) return &m;
  return nullptr;
}

const SpeechMode* SpeechSettings::mode(int index) {
  const auto& all = modes();
  return index >= 1 && index <= all.size() ? &all[index - 1] : nullptr;
}

// ---------------------------------------------------------------- voices

SpeechSettings::SpeechSettings(QString appPath, std::function<QString()> defaultLng)
    : appPath_(std::move(appPath)), defaultLng_(std::move(defaultLng)) {
  recoverSave();
  loadVoices();
  activateProfile();
}

QString SpeechSettings::language() const {
  const QString l = defaultLng_ ? defaultLng_().trimmed() : QString();
  return l.isEmpty() ? QStringLiteral("1031") : l;
}

VoiceData* SpeechSettings::voice(const QString& internalName) {
  const QString n = internalName.trimmed();
  for (VoiceData& v : voices_)
    if (v.internalName.compare(n, Qt::CaseInsensitive) == 0) return &v;
  return nullptr;
}

VoiceData* SpeechSettings::voiceAt(int index) {
  return index >= 1 && index <= voices_.size() ? &voices_[index - 1] : nullptr;
}

void SpeechSettings::resetVoices() {
  voices_.clear();
  VoiceData none;
  none.internalName = QString::fromLatin1(kNoVoice);
  none.friendlyName = QStringLiteral("keine");
  VoiceData system;
  system.internalName = QString::fromLatin1(kSystemVoice);
  system.friendlyName = QStringLiteral("System");
  voices_ << none << system;
}

QString SpeechSettings::createVoice(const QString& modeName) {
  const SpeechMode* m = mode(modeName);
  if (!m) {
    jex::WriteLog(QStringLiteral("CreateVoice: no mode ") + modeName, jex::kTraffic);
    return {};
  }
  for (int n = 1; n <= kMaxVoices; ++n) {
    const QString name = QStringLiteral("v%1").arg(n);
    if (voice(name)) continue;
    VoiceData v;
    v.internalName = name;
    v.mode = m->name;
    voices_ << v;
    jex::WriteLog(QStringLiteral("CreateVoice: ") + name + QStringLiteral(" of ") + m->name, jex::kTraffic);
    return name;
  }
  jex::WriteLog(QStringLiteral("CreateVoice: there are %1 voices already").arg(kMaxVoices), jex::kTraffic);
  return {};
}

bool SpeechSettings::removeVoice(int index) {
  const VoiceData* v = voiceAt(index);
  if (!v || index <= 2) {
    jex::WriteLog(QStringLiteral("RemoveByIndex: %1 is no voice that can be removed").arg(index), jex::kTraffic);
    return false;
  }
  const QString name = v->internalName;
  voices_.removeAt(index - 1);
  for (SourceAssignment& s : profile_.sources)
    if (s.voice.compare(name, Qt::CaseInsensitive) == 0) s.voice = QString::fromLatin1(kNoVoice);
  return true;
}

QList<VoiceData> SpeechSettings::defaultVoices() const {
  // Two voices of the core's language: its plain voice and the female variant.
  QList<VoiceData> out;
  const SpeechMode* plain = systemMode();
  if (!plain && !modes().isEmpty()) plain = &modes().front();
  if (!plain) return out;
  const QString file = defaultsFile();
  for (int i = 1; i <= 2; ++i) {
    VoiceData v;
    v.internalName = QStringLiteral("v%1").arg(i);
    const QString section = v.internalName;
    const bool female =
        readValue(file, section, QStringLiteral("Gender"), i == 2 ? QStringLiteral("female") : QStringLiteral("male"))
            .compare(u"female", Qt::CaseInsensitive) == 0;
    v.mode = plain->name + (female ? kFemaleSuffix : QString());
    v.friendlyName = readValue(file, section, QStringLiteral("FriendlyName"));
    v.speed = voiceNumber(VoiceNumber::Speed, readValue(file, section, QStringLiteral("Speed"), QStringLiteral("175")),
                          file, section);
    v.pitch = voiceNumber(VoiceNumber::Pitch, readValue(file, section, QStringLiteral("Pitch"), QStringLiteral("50")),
                          file, section);
    v.volume = voiceNumber(VoiceNumber::Volume,
                           readValue(file, section, QStringLiteral("Volume"), QStringLiteral("32768")), file, section);
    out << v;
  }
  return out;
}

void SpeechSettings::loadVoices() {
  jex::trap("SpeechSettings.loadVoices", [&] {
    resetVoices();
    const QString file = voicesFile();
    if (!QFileInfo::exists(file)) {
      jex::WriteLog(QStringLiteral("SpeechVoices: no ") + file + QStringLiteral(", default voices"), jex::kTraffic);
      voices_ << defaultVoices();
      return;
    }
    int found = 0;
    for (const QString& section : sectionNames(file)) {
      if (!section.startsWith(u'v', Qt::CaseInsensitive)) continue;
      bool numeric = false;
      const int n = section.mid(1).toInt(&numeric);
      if (!numeric || n < 1 || n > kMaxVoices || voice(section)) continue;
      const QString modeName = readValue(file, section, QStringLiteral("Mode"));
      if (!mode(modeName)) {
        jex::WriteErrorLog(QStringLiteral("SpeechVoices: voice ") + section +
                           QStringLiteral(" names no installed mode: ") + modeName);
        continue;
      }
      VoiceData v;
      v.internalName = QStringLiteral("v%1").arg(n);
      v.mode = mode(modeName)->name;
      v.friendlyName = readValue(file, section, QStringLiteral("FriendlyName"));
      v.speed = voiceNumber(VoiceNumber::Speed,
                            readValue(file, section, QStringLiteral("Speed"), QStringLiteral("175")), file, section);
      v.pitch = voiceNumber(VoiceNumber::Pitch, readValue(file, section, QStringLiteral("Pitch"), QStringLiteral("50")),
                            file, section);
      v.volume =
          voiceNumber(VoiceNumber::Volume, readValue(file, section, QStringLiteral("Volume"), QStringLiteral("32768")),
                      file, section);
      voices_ << v;
      ++found;
    }
    if (found == 0 &&
        readValue(file, QStringLiteral("Voices"), QStringLiteral("Count"), QStringLiteral("-1")) != u"0") {
      jex::WriteErrorLog(QStringLiteral("SpeechVoices: no usable voice in ") + file +
                         QStringLiteral(", default voices"));
      voices_ << defaultVoices();
    }
    dropUnknownAssignments(profile_, QStringLiteral("SpeechVoices"));
  });
}

bool SpeechSettings::saveVoices() {
  return jex::trapped("SpeechSettings.saveVoices", false, [&] {
    QStringList lines{QStringLiteral("[Voices]"), QStringLiteral("Count=%1").arg(voices_.size() - 2)};
    for (const VoiceData& v : voices_) {
      if (v.mode.isEmpty() || v.internalName == QLatin1String(kSystemVoice)) continue;
      lines << QString() << u'[' + v.internalName + u']' << QStringLiteral("Mode=") + quoted(v.mode)
            << QStringLiteral("FriendlyName=") + quoted(v.friendlyName) << QStringLiteral("Speed=%1").arg(v.speed)
            << QStringLiteral("Pitch=%1").arg(v.pitch) << QStringLiteral("Volume=%1").arg(v.volume);
    }
    // Both files in full beside the old ones; the journal is the moment the new pair counts.
    const QString voicesNew = voicesFile() + kNewSuffix, profileNew = profileFile() + kNewSuffix;
    jex::platform::FileLock pair;  // the voices file's lock stands for the pair
    if (!lockFile(pair, voicesFile())) return false;
    QFile::remove(profileNew);
    if (QFileInfo::exists(profileFile()) && !QFile::copy(profileFile(), profileNew)) {
      jex::WriteErrorLog(QStringLiteral("speech settings: cannot copy ") + profileFile());
      return false;
    }
    const bool staged = writeUnlocked(voicesNew, lines) && writeProfile(profile_, profileNew, kProfileSection) &&
                        writeUnlocked(saveJournal(), {QStringLiteral("voices.ini"), QStringLiteral("profile.ini")});
    if (!staged) {
      QFile::remove(voicesNew);
      QFile::remove(profileNew);
      return false;
    }
    return finishSave(saveJournal(), {voicesFile(), profileFile()});
  });
}

void SpeechSettings::recoverSave() {
  jex::trap("SpeechSettings.recoverSave", [&] {
    const QStringList pair{voicesFile(), profileFile()};
    const bool cutOff = QFileInfo::exists(saveJournal()) || QFileInfo::exists(voicesFile() + kNewSuffix) ||
                        QFileInfo::exists(profileFile() + kNewSuffix);
    jex::platform::FileLock lock;
    if (cutOff && lockFile(lock, voicesFile())) {
      if (QFileInfo::exists(saveJournal())) {
        jex::WriteErrorLog(QStringLiteral("speech settings: a save of the voices was cut off; it is completed"));
        finishSave(saveJournal(), pair);
      } else {
        for (const QString& f : pair) {
          QFile::remove(f + kNewSuffix + QStringLiteral(".lock"));
          if (QFile::remove(f + kNewSuffix))
            jex::WriteErrorLog(QStringLiteral("speech settings: an unfinished ") + f + kNewSuffix +
                               QStringLiteral(" is dropped; the saved voices stay"));
        }
      }
    }
    // Temporary files of a replacement cut off: "<name>.XXXXXX" beside the files of the pair.
    const QDir dir(QFileInfo(voicesFile()).absolutePath());
    for (const QString& name : dir.entryList(
             {QStringLiteral("voices.ini.*"), QStringLiteral("profile.ini.*"), QStringLiteral("save.journal.*")},
             QDir::Files | QDir::Hidden)) {
      const QString suffix = name.mid(name.lastIndexOf(u'.') + 1);
      if (suffix.size() != 6 || suffix == QLatin1String("lock")) continue;
      if (QFile::remove(dir.filePath(name)))
        jex::WriteLog(QStringLiteral("speech settings: temporary file ") + name + QStringLiteral(" removed"),
                      jex::kTraffic);
    }
  });
}

// ---------------------------------------------------------------- profile

std::optional<ProfileData> SpeechSettings::readProfile(const QString& file, const QString& section) {
  if (!QFileInfo::exists(file) || !sectionNames(file).contains(section, Qt::CaseInsensitive)) return std::nullopt;
  ProfileData p;
  p.name = readValue(file, section, QStringLiteral("Name"));
  int assigned = 0;
  for (int i = 1; i <= kSpeechSources; ++i) {
    SourceAssignment& s = p.sources[size_t(i - 1)];
    const QString v = readValue(file, section, sourceInternalName(i));
    if (!v.isEmpty()) ++assigned;
    s.voice = v.isEmpty() ? QString::fromLatin1(kNoVoice) : v;
    s.table = readValue(file, section, sourceInternalName(i) + QStringLiteral("Table"));
  }
  if (assigned == 0) return std::nullopt;
  return p;
}

bool SpeechSettings::writeProfile(const ProfileData& p, const QString& file, const QString& section) {
  // One section replaced at once (atomically, under the file's lock); the others stay.
  QStringList lines{QStringLiteral("Name=") + quoted(p.name)};
  for (int i = 1; i <= kSpeechSources; ++i) {
    const SourceAssignment& s = p.sources[size_t(i - 1)];
    lines << sourceInternalName(i) + u'=' + s.voice
          << sourceInternalName(i) + QStringLiteral("Table=") + quoted(s.table);
  }
  QDir().mkpath(QFileInfo(file).absolutePath());
  if (jex::ini::WritePrivateProfileSection(section, lines.join(QChar(0)) + QChar(0) + QChar(0), file)) return true;
  jex::WriteErrorLog(QStringLiteral("speech settings: cannot write [") + section + QStringLiteral("] of ") + file);
  return false;
}

ProfileData SpeechSettings::defaultProfile() const {
  // defaults.ini [Profile]: a voice per source and the first digit of its table.
  ProfileData p;
  p.name = QStringLiteral("Standard");
  const QString file = defaultsFile();
  static const char* const fallback[kSpeechSources] = {"v1", "v1", "v1", "v1", "v1", "v2", "v2", "v1"};
  static const char* const tables[kSpeechSources] = {"1", "1", "1", "1", "2", "2", "1", "1"};
  for (int i = 1; i <= kSpeechSources; ++i) {
    SourceAssignment& s = p.sources[size_t(i - 1)];
    s.voice = readValue(file, kProfileSection, sourceInternalName(i), QString::fromLatin1(fallback[i - 1]));
    const QString digit = readValue(file, kProfileSection, sourceInternalName(i) + QStringLiteral("Table"),
                                    QString::fromLatin1(tables[i - 1]));
    s.table = digit;  // completed with the voice's language below
  }
  return p;
}

void SpeechSettings::dropUnknownAssignments(ProfileData& p, const QString& what) const {
  for (int i = 1; i <= kSpeechSources; ++i) {
    SourceAssignment& s = p.sources[size_t(i - 1)];
    if (s.voice == QLatin1String(kNoVoice)) continue;
    const auto known = std::any_of(voices_.begin(), voices_.end(), [&](const VoiceData& v) {
      return v.internalName.compare(s.voice, Qt::CaseInsensitive) == 0;
    });
    if (known) continue;
    jex::WriteErrorLog(
        QStringLiteral("%1: source %2 names no voice %3; it reads --").arg(what, sourceInternalName(i), s.voice));
    s.voice = QString::fromLatin1(kNoVoice);
  }
}

void SpeechSettings::activateProfile() {
  jex::trap("SpeechSettings.activateProfile", [&] {
    std::optional<ProfileData> stored = readProfile(profileFile(), kProfileSection);
    if (!stored) {
      const QString why =
          QStringLiteral("SpeechProfile: no usable profile in ") + profileFile() + QStringLiteral(", the default one");
      if (QFileInfo::exists(profileFile())) jex::WriteErrorLog(why);
      else jex::WriteLog(why, jex::kTraffic);  // a new core has none yet
      stored = defaultProfile();
      for (int i = 0; i < kSpeechSources; ++i) {
        SourceAssignment& s = stored->sources[size_t(i)];
        if (s.table.size() != 1) continue;
        const VoiceData* v = voice(s.voice);
        const SpeechMode* m = v ? mode(v->mode) : nullptr;
        const QString lcid = m ? m->lcid : language();
        QString found;
        for (const CharTable& t : tables())
          if (t.lcid == lcid && QFileInfo(t.fileName).fileName().startsWith(s.table))
            found = QFileInfo(t.fileName).fileName();
        s.table = found;
      }
    }
    profile_ = *stored;
    dropUnknownAssignments(profile_, QStringLiteral("SpeechProfile"));
  });
}

bool SpeechSettings::saveProfile() { return writeProfile(profile_, profileFile(), kProfileSection); }

// ---------------------------------------------------------------- tables

const QList<CharTable>& SpeechSettings::tables() {
  if (!tables_) {
    tables_.emplace();
    const QDir root(tableDirectory());
    for (const QString& lng : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
      bool numeric = false;
      lng.toInt(&numeric);
      if (!numeric) continue;
      for (const QString& f :
           QDir(root.filePath(lng)).entryList({QStringLiteral("*.tab")}, QDir::Files, QDir::Name | QDir::IgnoreCase))
        *tables_ << CharTable{lng, root.filePath(lng + u'/' + f)};
    }
  }
  return *tables_;
}

QString SpeechSettings::tableCharacters(const QString& lcid, const QString& tableName) {
  const QString name = QFileInfo(tableName.trimmed()).fileName();
  if (name.isEmpty()) return {};
  const QString path = tableDirectory() + lcid + u'/' + name;
  // Every utterance asks: the file is read once and again only when it has changed.
  const QFileInfo info(path);
  if (!info.isFile()) {  // missing, or a pipe or device that must not be opened
    tableCache_.remove(path);
    return {};
  }
  auto cached = tableCache_.constFind(path);
  if (cached != tableCache_.constEnd() && cached->size == info.size() && cached->modified == info.lastModified())
    return cached->characters;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QString chars;
  QSet<QChar> seen;
  for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n')) {
    if (line.startsWith(u'#')) continue;
    for (const QChar c : line)
      if (!c.isSpace() && !seen.contains(c)) {
        seen.insert(c);
        chars += c;
      }
  }
  tableCache_.insert(path, CachedTable{info.size(), info.lastModified(), chars});
  return chars;
}

// ---------------------------------------------------------------- speaking

VoiceChoice SpeechSettings::choiceFor(int source, const QString& voiceName) {
  const SourceAssignment* s = source >= 1 && source <= kSpeechSources ? &profile_.sources[size_t(source - 1)] : nullptr;
  const QString own = s ? s->voice : QString::fromLatin1(kSystemVoice);
  const QString name = voiceName.trimmed().isEmpty() ? own : voiceName.trimmed();
  VoiceChoice c = resolve(name, s);
  if (c.espeakVoice.isEmpty() && name != QLatin1String(kNoVoice) && name.compare(own, Qt::CaseInsensitive) != 0) {
    jex::WriteLog(QStringLiteral("speech: there is no voice %1; source %2 speaks with its own, %3")
                      .arg(name)
                      .arg(source)
                      .arg(own),
                  jex::kTraffic);
    c = resolve(own, s);
  }
  return c;
}

VoiceChoice SpeechSettings::resolve(const QString& name, const SourceAssignment* source) {
  VoiceChoice c;
  c.name = name;
  const SpeechMode* m = nullptr;
  if (name.size() > 1 && name.startsWith(u'm', Qt::CaseInsensitive) && name.mid(1).toInt() > 0) {
    m = mode(name.mid(1).toInt());  // a mode heard as it is, while JexUI browses them
  } else if (const VoiceData* v = voice(name); v && name != QLatin1String(kNoVoice)) {
    m = name == QLatin1String(kSystemVoice) ? systemMode() : mode(v->mode);
    c.rate = v->speed;
    c.pitch = v->pitch;
    c.volume = espeakVolume(v->volume);
  }
  if (!m) return c;  // "--", or a voice that is gone: silent
  c.espeakVoice = m->espeakVoice;
  if (source) c.punctuation = tableCharacters(m->lcid, source->table);
  return c;
}

const SpeechMode* SpeechSettings::systemMode() const {
  // The plain voice of the core's language with the shortest tag ("en-us" before "en-us-nyc").
  const SpeechMode* best = nullptr;
  const QString lcid = language();  // asked once: the core's language is a setting read from its file
  for (const SpeechMode& m : modes())
    if (m.lcid == lcid && m.gender == 0 && (!best || m.language.size() < best->language.size())) best = &m;
  return best ? best : mode(QStringLiteral("eSpeak:German"));
}

void SpeechSettings::valueChanged(const QString& internalName, const QString& sample) {
  if (sampler_) sampler_(sample, internalName);
}

}  // namespace corvane
