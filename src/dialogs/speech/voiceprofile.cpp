#include "dialogs/speech/voiceprofile.h"

#include "base/error.h"
#include "base/log.h"
#include "global/cglobal.h"

namespace jex {
namespace {

// The members of a voice and of a source entry, in the order the structures take them.
const QStringList kVoiceMembers{
    QStringLiteral("InternalName"), QStringLiteral("FriendlyName"), QStringLiteral("SapiMode"),
    QStringLiteral("speed"),        QStringLiteral("Pitch"),        QStringLiteral("volume"),
    QStringLiteral("Speaker"),      QStringLiteral("Age"),          QStringLiteral("ProductName"),
    QStringLiteral("Dialect"),      QStringLiteral("LanguageID"),   QStringLiteral("CompanyName")};
const QStringList kSourceMembers{QStringLiteral("VoiceName"), QStringLiteral("TableName"),
                                 QStringLiteral("InternalName")};
const QStringList kTableMembers{QStringLiteral("FileLng"), QStringLiteral("FileName")};

Obj itemAt(const Obj& collection, int i) {
  return automation::toObj(collection.call(QStringLiteral("ItemByIndex"), {i}));
}

VoiceProfile::Voice voiceFrom(int index, const QVariantList& v) {
  using automation::toI32;
  using automation::toStr;
  VoiceProfile::Voice out;
  out.index = index;
  out.internalName = toStr(v.value(0));
  out.friendlyName = toStr(v.value(1));
  out.sapiMode = toStr(v.value(2));
  out.speed = toI32(v.value(3));
  out.pitch = toI32(v.value(4));
  out.volume = toI32(v.value(5));
  out.speaker = toStr(v.value(6));
  out.age = toStr(v.value(7));
  out.productName = toStr(v.value(8));
  out.dialect = toStr(v.value(9));
  out.languageId = toStr(v.value(10));
  out.companyName = toStr(v.value(11));
  return out;
}

VoiceProfile::Source sourceFrom(const QVariantList& v) {
  return {automation::toStr(v.value(0)), automation::toStr(v.value(1)), automation::toStr(v.value(2))};
}

// The rows of a list the core reads at once; each row is the members in the order above.
QList<QVariantList> rowsOf(const QVariant& list, qsizetype fields, const char* what) {
  QList<QVariantList> rows;
  for (const QVariant& row : list.toList()) {
    QVariantList values;
    for (const QString& f : row.toStringList()) values.append(f);
    if (values.size() < fields)
      throw Error(err::TypeMismatch,
                  QStringLiteral("%1: a row of %2 fields").arg(QLatin1String(what)).arg(values.size()));
    rows.append(values);
  }
  return rows;
}

QList<VoiceProfile::Voice> voicesFrom(const QVariant& list) {
  QList<VoiceProfile::Voice> out;
  for (const QVariantList& row : rowsOf(list, kVoiceMembers.size(), "VoiceList")) {
    out.append(voiceFrom(int(out.size()) + 1, row));
    if (row.size() >= kVoiceMembers.size() + 2)
      out.last().pitchRange = {automation::toI32(row[kVoiceMembers.size()]), automation::toI32(row.last())};
  }
  return out;
}

}  // namespace

qint32 VoiceProfile::Voice::value(Value which) const {
  return which == Value::Speed ? speed : which == Value::Pitch ? pitch : volume;
}

QString VoiceProfile::member(Value which) {
  return which == Value::Speed   ? QStringLiteral("speed")
         : which == Value::Pitch ? QStringLiteral("Pitch")
                                 : QStringLiteral("volume");
}

QString VoiceProfile::withoutPrefix(const QString& mode) {
  const qsizetype colon = mode.indexOf(u':');
  return (colon >= 1 ? mode.mid(colon + 1) : mode).trimmed();
}

// ---------------------------------------------------------------- reading

// A core that keeps the lists (SpeechProfile.SourceList, SpeechVoices.VoiceList) gives them with
// one wait; another is read object by object.
std::optional<QVariantList> VoiceProfile::readLists(const QStringList& paths) {
  if (!lists_) return std::nullopt;
  try {
    return Jex().getEach(paths);
  } catch (const Error& e) {
    if (e.number() != err::UnknownMember) throw;
  }
  lists_ = false;
  WriteLog(QStringLiteral("VoiceProfile: the core has no lists of sources and voices, they are read one by one"),
           kDetail);
  return std::nullopt;
}

QList<VoiceProfile::Voice> VoiceProfile::readVoiceList(QString* info) {
  QStringList paths{QStringLiteral("SpeechVoices"), QStringLiteral("SpeechVoices.VoiceList")};
  if (info) paths << QStringLiteral("SpeechProfile.Info");
  if (const std::optional<QVariantList> v = readLists(paths)) {
    voicesObj_ = automation::toObj(v->value(0));
    if (info) *info = automation::toStr(v->value(2));
    return voicesFrom(v->value(1));
  }
  if (info) *info = Jex().str(QStringLiteral("SpeechProfile.Info"));
  voicesObj_ = Jex().obj(QStringLiteral("SpeechVoices"));
  QList<Voice> out;
  const int n = voicesObj_.count();
  out.reserve(n);
  for (int i = 1; i <= n; ++i) {
    const Obj v = itemAt(voicesObj_, i);
    if (v.isNothing()) continue;
    out.append(voiceFrom(i, v.getEach(kVoiceMembers)));
    handles_.insert(out.last().internalName, v);
  }
  return out;
}

void VoiceProfile::read() {
  Jex().call(QStringLiteral("SpeechProfile.GetActValues"));
  entries_.clear();
  handles_.clear();
  sources_.clear();
  if (const std::optional<QVariantList> v =
          readLists({QStringLiteral("SpeechProfile"), QStringLiteral("SpeechVoices"),
                     QStringLiteral("SpeechProfile.SourceList"), QStringLiteral("SpeechVoices.VoiceList")})) {
    profile_ = automation::toObj(v->value(0));
    voicesObj_ = automation::toObj(v->value(1));
    for (const QVariantList& row : rowsOf(v->value(2), kSourceMembers.size(), "SourceList"))
      sources_.append(sourceFrom(row));
    voices_ = voicesFrom(v->value(3));
    return;
  }
  profile_ = Jex().obj(QStringLiteral("SpeechProfile"));
  const int n = profile_.count();
  for (int i = 1; i <= n; ++i) {
    const Obj e = itemAt(profile_, i);
    sources_.append(sourceFrom(e.getEach(kSourceMembers)));
    entries_.insert(i, e);
  }
  voices_ = readVoiceList();
}

void VoiceProfile::readVoices(const QString& noVoiceName) {
  voices_ = readVoiceList();
  for (Voice& v : voices_) {
    if (v.internalName == kNoVoice) {
      if (v.friendlyName != noVoiceName) rename(v.internalName, noVoiceName);
    } else if (v.listed() && v.friendlyName.isEmpty()) {
      rename(v.internalName, withoutPrefix(v.sapiMode));
    }
  }
}

const VoiceProfile::Voice* VoiceProfile::voiceAt(int index) const {
  for (const Voice& v : voices_)
    if (v.index == index) return &v;
  return nullptr;
}

const VoiceProfile::Voice* VoiceProfile::voiceNamed(const QString& internalName) const {
  for (const Voice& v : voices_)
    if (v.internalName.compare(internalName, Qt::CaseInsensitive) == 0) return &v;
  return nullptr;
}

VoiceProfile::Voice* VoiceProfile::find(const QString& internalName) {
  return const_cast<Voice*>(std::as_const(*this).voiceNamed(internalName));
}

const VoiceProfile::Voice* VoiceProfile::voiceOf(int source) const {
  const Voice* v = voiceNamed(this->source(source).voiceName);
  return v ? v : voiceNamed(kNoVoice);
}

VoiceProfile::Source VoiceProfile::source(int source) const {
  return source >= 1 && source <= sources_.size() ? sources_[source - 1] : Source{};
}

std::pair<qint32, qint32> VoiceProfile::pitchRange(const QString& internalName) {
  Voice* v = find(internalName);
  if (v && v->pitchRange) return *v->pitchRange;
  QVariantList range{0, 0};
  handle(internalName).call(QStringLiteral("PitchRanges"), range);
  const std::pair<qint32, qint32> r{automation::toI32(range.value(0)), automation::toI32(range.value(1))};
  if (v) v->pitchRange = r;
  return r;
}

// ---------------------------------------------------------------- writing

Obj VoiceProfile::handle(const QString& internalName) {
  auto it = handles_.find(internalName);
  if (it != handles_.end()) return *it;
  if (voicesObj_.isNothing()) voicesObj_ = Jex().obj(QStringLiteral("SpeechVoices"));
  Obj v = automation::toObj(voicesObj_.call(QStringLiteral("ItemByName"), {internalName}));
  if (v.isNothing()) throw Error(err::InvalidCall, QStringLiteral("no voice ") + internalName);
  handles_.insert(internalName, v);
  return v;
}

Obj VoiceProfile::entry(int source) {
  auto it = entries_.find(source);
  if (it != entries_.end()) return *it;
  if (profile_.isNothing()) profile_ = Jex().obj(QStringLiteral("SpeechProfile"));
  Obj e = itemAt(profile_, source);
  entries_.insert(source, e);
  return e;
}

void VoiceProfile::assign(int source, const QString& internalName) {
  entry(source).set(QStringLiteral("VoiceName"), internalName);
  if (source >= 1 && source <= sources_.size()) sources_[source - 1].voiceName = internalName;
}

void VoiceProfile::assignAll(const QString& internalName) {
  const int n = sourceCount();
  for (int i = 1; i <= n; ++i) assign(i, internalName);
}

void VoiceProfile::setTable(int source, const QString& tableName) {
  entry(source).set(QStringLiteral("TableName"), tableName);
  if (source >= 1 && source <= sources_.size()) sources_[source - 1].tableName = tableName;
}

void VoiceProfile::setValue(const QString& internalName, Value which, qint32 value) {
  handle(internalName).set(member(which), value);
  if (Voice* v = find(internalName))
    (which == Value::Speed ? v->speed : which == Value::Pitch ? v->pitch : v->volume) = value;
}

void VoiceProfile::setValueOfAllSources(Value which, qint32 value) {
  // Each voice once, however many sources speak with it: the core says every value set.
  QStringList done;
  const int n = sourceCount();
  for (int i = 1; i <= n; ++i) {
    const Voice* v = voiceOf(i);
    if (!v || done.contains(v->internalName)) continue;
    done << v->internalName;
    setValue(v->internalName, which, value);
  }
}

void VoiceProfile::rename(const QString& internalName, const QString& friendlyName) {
  handle(internalName).set(QStringLiteral("FriendlyName"), friendlyName);
  if (Voice* v = find(internalName)) v->friendlyName = friendlyName;
}

QString VoiceProfile::createVoice(const QString& modeKey, const QString& friendlyName) {
  if (voicesObj_.isNothing()) voicesObj_ = Jex().obj(QStringLiteral("SpeechVoices"));
  WriteLog(QStringLiteral("try create Voice: ") + modeKey, kDetail);
  const QString created = automation::toStr(voicesObj_.call(QStringLiteral("CreateVoice"), {modeKey}));
  WriteLog(QStringLiteral("voice created: ") + created, kDetail);
  if (!created.isEmpty()) rename(created, friendlyName);
  return created;
}

void VoiceProfile::removeVoice(int index) {
  Jex().obj(QStringLiteral("SpeechVoices")).call(QStringLiteral("RemoveByIndex"), {index});
  handles_.clear();
}

void VoiceProfile::store() {
  Jex().call(QStringLiteral("proc.SpeechStop"));
  Jex().call(QStringLiteral("SpeechVoices.SaveVoices"));
}

void VoiceProfile::revert(bool voicesChanged) {
  Jex().call(QStringLiteral("proc.SpeechStop"));
  Obj profile = Jex().obj(QStringLiteral("SpeechProfile"));
  WriteLog(QStringLiteral("LoadSettings: ") + profile.str(QStringLiteral("Info")), kDetail);
  profile.call(QStringLiteral("Activate"));
  if (voicesChanged) Jex().call(QStringLiteral("SpeechVoices.LoadVoices"));
}

// ---------------------------------------------------------------- read afresh

QList<VoiceProfile::Voice> VoiceProfile::readUsed() {
  QString info;
  voices_ = readVoiceList(&info);
  QList<Voice> used;
  for (const Voice& v : voices_)
    if (!v.internalName.isEmpty() && info.contains(v.internalName, Qt::CaseInsensitive)) used.append(v);
  return used;
}

VoiceProfile::Voice VoiceProfile::readVoiceOf(int source) {
  const Obj v = itemAt(Jex().obj(QStringLiteral("SpeechProfile")), source).obj(QStringLiteral("Voice"));
  Voice out = voiceFrom(0, v.getEach(kVoiceMembers));
  handles_.insert(out.internalName, v);
  return out;
}

int VoiceProfile::readVoiceCount() { return Jex().obj(QStringLiteral("SpeechVoices")).count(); }

VoiceProfile::Users VoiceProfile::readUsers(int index, const QString& language) {
  const Obj voice = itemAt(Jex().obj(QStringLiteral("SpeechVoices")), index);
  const QVariantList names = voice.getEach({QStringLiteral("InternalName"), QStringLiteral("FriendlyName")});
  Users out{automation::toStr(names.value(0)), automation::toStr(names.value(1)), {}, false};
  const Obj profile = Jex().obj(QStringLiteral("SpeechProfile"));
  const int n = profile.count();
  for (int i = 1; i <= n; ++i) {
    const Obj e = itemAt(profile, i);
    if (e.str(QStringLiteral("VoiceName")) != out.name) continue;
    out.sources += QStringLiteral(", ") + automation::toStr(e.call(QStringLiteral("LocalizedName"), {language}));
    if (i == 1) out.focus = true;
  }
  return out;
}

QList<VoiceProfile::Table> VoiceProfile::readTables() {
  const Obj tables = Jex().obj(QStringLiteral("SpeechCharTables"));
  QList<Table> out;
  const int n = tables.count();
  for (int i = 1; i <= n; ++i) {
    const QVariantList v = itemAt(tables, i).getEach(kTableMembers);
    out.append({automation::toStr(v.value(0)), automation::toStr(v.value(1))});
  }
  return out;
}

// Every mode in one call (GetModeList); a core that does not know that method is read mode by mode.
QList<VoiceProfile::Mode> VoiceProfile::readModes() {
  modes_ = Jex().obj(QStringLiteral("SpeechModes"));
  QList<Mode> out;
  try {
    const QVariantList rows = modes_.call(QStringLiteral("GetModeList")).toList();
    out.reserve(rows.size());
    for (const QVariant& row : rows) {
      const QStringList f = row.toStringList();
      if (f.size() < 4) throw Error(err::TypeMismatch, QStringLiteral("GetModeList: a row of %1 fields").arg(f.size()));
      out.append({f[0], f[1], f[2], f[3].trimmed() == QLatin1String("1")});
    }
    return out;
  } catch (const Error& e) {
    if (e.number() != err::UnknownMember) throw;
  }
  WriteLog(QStringLiteral("frmVoices.FillModes: the core has no GetModeList, the modes are read one by one"), kDetail);
  const int n = modes_.count();
  for (int i = 1; i <= n; ++i) {
    const QVariantList m = modes_.itemObj(i).getEach({QStringLiteral("Mode"), QStringLiteral("LanguageID"),
                                                      QStringLiteral("ProductName"), QStringLiteral("Gender")});
    out.append({automation::toStr(m.value(0)), automation::toStr(m.value(1)), automation::toStr(m.value(2)),
                automation::toI32(m.value(3)) == 1});
  }
  return out;
}

QString VoiceProfile::prepareModeVoice(const QString& modeKey) {
  if (modes_.isNothing()) modes_ = Jex().obj(QStringLiteral("SpeechModes"));
  const Obj mode = automation::toObj(modes_.call(QStringLiteral("ItemByName"), {modeKey}));
  if (mode.isNothing()) return {};
  WriteLog(QStringLiteral("PrepareModeVoice: ") + modeKey, kDetail);
  mode.call(QStringLiteral("PrepareModeVoice"));
  return QStringLiteral("m") + QString::number(mode.i32(QStringLiteral("Index")));
}

// ---------------------------------------------------------------- speech sets

QList<VoiceProfile::Set> VoiceProfile::readSets(const Obj& sets, int max) {
  QList<Set> out;
  const int count = qMin(sets.count(), max);
  for (int n = 1; n <= count; ++n) {
    const QVariantList v =
        sets.itemObj(n).getEach({QStringLiteral("nr"), QStringLiteral("Name"), QStringLiteral("Info")});
    out.append({automation::toStr(v.value(0)), automation::toStr(v.value(1)), automation::toStr(v.value(2))});
  }
  return out;
}

void VoiceProfile::saveSet(int nr, const QString& name) {
  const Obj set = Jex().obj(QStringLiteral("SpeechProfiles")).itemObj(nr);
  set.call(QStringLiteral("GetActValues"));
  set.set(QStringLiteral("Name"), name);
  set.call(QStringLiteral("Save"));
}

void VoiceProfile::loadSet(int nr) {
  Jex().obj(QStringLiteral("SpeechProfiles")).itemObj(nr).call(QStringLiteral("Activate"));
}

QString VoiceProfile::info() { return Jex().str(QStringLiteral("SpeechProfile.Info")); }

}  // namespace jex
