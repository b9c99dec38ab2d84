#include "corvane/engine/optionobjects.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <optional>

#include "base/codepages.h"
#include "base/error.h"
#include "base/log.h"
#include "corvane/engine/automationnames.h"
#include "corvane/engine/coremodel.h"
#include "corvane/engine/settingsstore.h"
#include "platform/opener.h"

namespace corvane {

namespace {

const QString kMixed = QStringLiteral("MIXED");
const QString kGlobal = QStringLiteral("Global");
const QString kUsers = QStringLiteral("Users");
constexpr int kFromDefault = 1;
constexpr int kFromGlobal = 2;
constexpr int kFromApplication = 8;

[[noreturn]] void refuse(const QString& text) { throw jex::Error(jex::err::InvalidCall, text); }

void store(SettingsStore& s, const QString& section, const QString& key, const QString& value) {
  if (!s.setValue(section, key, value)) throw jex::Error(jex::err::FileError, QStringLiteral("cannot store ") + key);
}

QString defaultOf(const QString& name) {
  for (const SettingDefault& d : globalSettingDefaults())
    if (name.compare(QLatin1String(d.name), Qt::CaseInsensitive) == 0) return QString::fromLatin1(d.value);
  return {};
}

// A value of the file; nullopt when its key is missing (an empty value is there).
std::optional<QString> lookup(const SettingsStore& file, const QString& section, const QString& key) {
  static const QString absent = QStringLiteral("\x01absent\x01");
  const QString v = file.value(section, key, absent);
  if (v == absent) return std::nullopt;
  return v;
}

// A setting's name as a key of the file: letters, digits and "_" only.
QString settingName(const QString& raw) {
  const QString n = raw.trimmed();
  if (n.isEmpty() || n.size() > 64) refuse(QStringLiteral("GlobalSettings: no setting name"));
  for (const QChar c : n)
    if (!c.isLetterOrNumber() && c != u'_') refuse(QStringLiteral("GlobalSettings: not a setting name: ") + n);
  return n;
}

// An application as a section name: a task name, upper case; empty for the global values
// (no application, or "DEFAULT").
QString sectionOfApp(const QString& raw) {
  const QString a = raw.trimmed().toUpper();
  if (a.isEmpty() || a == u"DEFAULT") return {};
  if (a.contains(u']') || a.contains(u'[') || a.contains(u'\n') || a.contains(u'\r') ||
      a.compare(kGlobal, Qt::CaseInsensitive) == 0)
    refuse(QStringLiteral("GlobalSettings: not an application: ") + raw);
  return a;
}

// The settings of users: GLOBALSETTINGS.INI in each user's directory.
class GlobalSettings : public Dispatchable {
 public:
  explicit GlobalSettings(CoreModel& model) : Dispatchable(QStringLiteral("GlobalSettings")), model_(model) {
    method(
        QStringLiteral("GetValue"), 2, 3,
        [this](Args& a) {
          const QString name = settingName(a.str(0));
          const auto file = settingsOf(a.str(2));
          const std::optional<QString> global = lookup(*file, kGlobal, name);
          a.set(1, global ? *global : defaultOf(name));
          return QVariant(global ? kFromGlobal : kFromDefault);
        },
        QStringLiteral("the user's global value: name, value (by reference), user; 1 default, 2 the user's"));
    method(
        QStringLiteral("ActiveValue"), 4, 4,
        [this](Args& a) {
          const QString name = settingName(a.str(0));
          const auto file = settingsOf(a.str(2));
          const QString app = sectionOfApp(a.str(3));
          if (!app.isEmpty()) {
            if (const std::optional<QString> own = lookup(*file, app, name)) {
              a.set(1, *own);
              return QVariant(kFromApplication);
            }
          }
          const std::optional<QString> global = lookup(*file, kGlobal, name);
          a.set(1, global ? *global : defaultOf(name));
          return QVariant(global ? kFromGlobal : kFromDefault);
        },
        QStringLiteral("the value in force for an application: name, value (by reference), user, application; "
                       "1 default, 2 the user's global, 8 the application's own"));
    method(
        QStringLiteral("SetValue"), 3, 4,
        [this](Args& a) {
          const QString name = settingName(a.str(0));
          const auto file = settingsOf(a.str(2));
          const QString app = a.has(3) ? sectionOfApp(a.str(3)) : QString();
          const QString section = app.isEmpty() ? kGlobal : app;
          QString value;  // null: dropped
          if (a.has(1)) {
            value = a.str(1).trimmed();
            if (value.contains(u'\n') || value.contains(u'\r') || value.size() > 1024)
              refuse(QStringLiteral("GlobalSettings: not a value for ") + name);
            if (value.isNull()) value = QStringLiteral("");
          }
          store(*file, section, name, value);
          jex::WriteLog(QStringLiteral("GlobalSettings: [%1] %2 %3")
                            .arg(section, name, value.isNull() ? QStringLiteral("dropped") : value),
                        jex::kDetail);
          return QVariant();
        },
        QStringLiteral("stores a value: name, value, user[, application]; value omitted: the application's own "
                       "value is dropped"));
  }

 private:
  // The file of user (the current one when empty); refused for a user without a directory.
  std::unique_ptr<SettingsStore> settingsOf(const QString& rawUser) const {
    QString user = rawUser.trimmed();
    if (user.isEmpty()) user = model_.settings().value(kUsers, QStringLiteral("Current")).trimmed();
    if (user.isEmpty()) user = QStringLiteral("DEFAULT");
    if (user.contains(u'/') || user.contains(u'\\') || user == u"." || user == u"..")
      refuse(QStringLiteral("GlobalSettings: not a user: ") + rawUser);
    const QString base = model_.appPath() + QStringLiteral("user");
    const QString dir = jex::platform::findEntryCaseless(base, user, true);
    if (dir.isEmpty()) refuse(QStringLiteral("GlobalSettings: no user ") + user);
    const QString file = jex::platform::findEntryCaseless(dir, QStringLiteral("GLOBALSETTINGS.INI"), false);
    return openSettings(file.isEmpty() ? dir + QStringLiteral("/GLOBALSETTINGS.INI") : file);
  }

  CoreModel& model_;
};

class Locale : public Dispatchable {
 public:
  explicit Locale(CoreModel& model) : Dispatchable(QStringLiteral("Locale")) {
    const QString lngDir = model.appPath() + QStringLiteral("LNG");
    QList<int> numbers;
    for (const QString& d : QDir(lngDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
      bool numeric = false;
      const int n = d.toInt(&numeric);
      if (numeric && n > 0 &&
          !jex::platform::findEntryCaseless(lngDir + u'/' + d, QStringLiteral("JEXUIDLG.INI"), false).isEmpty())
        numbers << n;
    }
    std::sort(numbers.begin(), numbers.end());
    const QString uiLng = model.settings().value(ini::General, ini::DefaultLng, QStringLiteral("1031")).trimmed();
    const QString namesFile = jex::platform::findEntryCaseless(lngDir, QStringLiteral("lngnames.ini"), false);
    const auto names = namesFile.isEmpty() ? nullptr : openSettings(namesFile);
    auto subDirs = std::make_shared<Collection>(), shown = std::make_shared<Collection>();
    for (int n : numbers) {
      const QString id = QString::number(n);
      // Each language by its own name, so that a user who cannot read the current language finds
      // theirs; else by its name in the core's language, else in English.
      QString name;
      for (const QString& in : {id, uiLng, QStringLiteral("1033")})
        if (name.isEmpty() && names) name = names->value(in, id).trimmed();
      subDirs->add(id);
      shown->add(name.isEmpty() ? id : name);
    }
    property(QStringLiteral("LngSubDirColl"), [subDirs] { return fromObj(Obj(subDirs)); });
    property(QStringLiteral("LngNamesColl"), [shown] { return fromObj(Obj(shown)); });
    property(QStringLiteral("Count"), [subDirs] { return QVariant(subDirs->size()); });
  }
};

// A 0/1 switch of [MIXED] as an object whose default member is its Value.
class Switch : public Dispatchable {
 public:
  Switch(CoreModel& model, const QString& key, int fallback) : Dispatchable(key) {
    property(
        QStringLiteral("Value"),
        [&model, key, fallback] {
          bool ok = false;
          const int v = model.settings().value(kMixed, key).trimmed().toInt(&ok);
          return QVariant(ok && (v == 0 || v == 1) ? v : fallback);
        },
        [&model, key](const QVariant& v) {
          const int n = toI32(v) != 0 ? 1 : 0;
          store(model.settings(), kMixed, key, QString::number(n));
        });
    defaultMember(QStringLiteral("Value"));
  }
};

class MixedSettingsObject : public Dispatchable {
 public:
  explicit MixedSettingsObject(std::shared_ptr<MixedValues> values) : Dispatchable(QStringLiteral("MixedSettings")) {
    for (int i = 0; i < MixedValues::kCount; ++i)
      property(
          QLatin1String(MixedValues::name(i)), [values, i] { return QVariant(values->value(i)); },
          [values, i](const QVariant& v) { values->setValue(i, toI32(v)); });
    procedure(
        QStringLiteral("SaveValues"),
        [values] {
          if (!values->save()) throw jex::Error(jex::err::FileError, QStringLiteral("MixedSettings: cannot store"));
        },
        QStringLiteral("stores the values in corvane.ini"));
    procedure(
        QStringLiteral("LoadValues"), [values] { values->load(); }, QStringLiteral("takes the stored values back"));
  }
};

}  // namespace

const QList<SettingDefault>& globalSettingDefaults() {
  static const QList<SettingDefault> d{
      {"MSAAAutoStart", "0"}, {"MSAAAutoRead", "1"}, {"MSAAMaxLineLen", "80"}, {"MSAAPageLines", "25"}};
  return d;
}

MixedValues::MixedValues(CoreModel& model) : model_(model) { load(); }

const char* MixedValues::name(int member) {
  static const char* const names[kCount] = {"SPCState", "BRLState", "READState"};
  return names[member];
}

void MixedValues::setValue(int member, int v) {
  const bool ok = member == READState ? v >= 0 && v <= 4 : v == 0 || v == 1;
  if (!ok) refuse(QStringLiteral("MixedSettings.%1: %2 is not allowed").arg(QLatin1String(name(member))).arg(v));
  values_[member] = v;
}

void MixedValues::load() {
  static const int fallback[kCount] = {0, 0, 1};
  for (int i = 0; i < kCount; ++i) {
    bool ok = false;
    const int v = model_.settings().value(kMixed, QLatin1String(name(i))).trimmed().toInt(&ok);
    values_[i] = ok && v >= 0 && v <= (i == READState ? 4 : 1) ? v : fallback[i];
  }
}

bool MixedValues::save() const {
  QList<std::pair<QString, QString>> entries;
  for (int i = 0; i < kCount; ++i) entries.append({QLatin1String(name(i)), QString::number(values_[i])});
  return model_.settings().setValues(kMixed, entries);
}

void addProcOptionMembers(const AddProperty& add, CoreModel& model) {
  const Obj settings(std::make_shared<GlobalSettings>(model));
  add(QStringLiteral("GlobalSettings"), [settings] { return fromObj(settings); }, {});
  add(QStringLiteral("Locale"), [&model] { return fromObj(Obj(std::make_shared<Locale>(model))); }, {});
  for (const auto& [key, fallback] :
       {std::pair{QStringLiteral("NavBeep"), 0}, std::pair{QStringLiteral("BadWinMsg"), 1}}) {
    const Obj sw(std::make_shared<Switch>(model, key, fallback));
    add(key, [sw] { return fromObj(sw); }, {});
  }
}

void addMixedSettings(const AddProperty& add, std::shared_ptr<MixedValues> values) {
  const Obj mixed(std::make_shared<MixedSettingsObject>(std::move(values)));
  add(QStringLiteral("MixedSettings"), [mixed] { return fromObj(mixed); }, {});
}

QString welcomeText(CoreModel& model, const QString& lng) {
  return jex::trapped("corvane.welcomeText", QString(), [&] {
    if (model.settings().value(kMixed, QStringLiteral("chkSayWelcome"), QStringLiteral("1")).trimmed() == u"0")
      return QString();
    const QString dir = jex::platform::findEntryCaseless(model.appPath() + QStringLiteral("LNG"), lng.trimmed(), true);
    const QString file =
        dir.isEmpty() ? QString() : jex::platform::findEntryCaseless(dir, QStringLiteral("welcome.txt"), false);
    QFile f(file);
    if (file.isEmpty() || !f.open(QIODevice::ReadOnly)) return QString();
    QStringList lines = jex::codepage::decodeText(f.read(4096)).split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    lines.removeAll(QString());
    return lines.mid(0, 3).join(u' ').simplified();
  });
}

}  // namespace corvane
