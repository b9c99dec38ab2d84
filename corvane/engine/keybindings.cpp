#include "corvane/engine/keybindings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "base/error.h"
#include "base/log.h"

namespace corvane {

namespace {

constexpr qint64 kMaxFileBytes = 32 * 1024 * 1024;  // more is no binding file
constexpr int kLoggedProblems = 20;                 // per file; the rest are counted

bool allowed(const QString& s, int maxLength, const char* extra) {
  if (s.isEmpty() || s.size() > maxLength) return false;
  for (const QChar c : s) {
    const ushort u = c.unicode();
    const bool alnum = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9');
    if (!alnum && (u > 127 || !std::strchr(extra, char(u)))) return false;
  }
  return true;
}

QString fold(const QString& s) { return s.toCaseFolded(); }

const QString& kindSuffix(BindingKind kind) {
  static const QString kbd = QStringLiteral(".KBD"), brl = QStringLiteral(".BRL");
  return kind == BindingKind::Braille ? brl : kbd;
}

// Counts a file's problems: the first ones are logged, the rest summed up at the end.
struct Problems {
  QString label;
  int count = 0;
  void operator()(const QString& what) {
    if (++count <= kLoggedProblems)
      jex::WriteLog(QStringLiteral("BINDINGS ") + label + QStringLiteral(": ") + what, jex::kFirstRun);
  }
  ~Problems() {
    if (count > kLoggedProblems)
      jex::WriteLog(QStringLiteral("BINDINGS %1: %2 more problems").arg(label).arg(count - kLoggedProblems),
                    jex::kFirstRun);
  }
};

}  // namespace

bool isKeyCode(const QString& code) { return allowed(code, 48, "_|+-*/.#"); }
bool isCommandName(const QString& command) { return allowed(command, 80, "_.-!:$"); }

QString bindingAppName(const QString& app) {
  const QString name = app.trimmed();
  if (name.isEmpty() || name == u"." || name == u".." || !allowed(name, 64, "_.-+ $#()"))
    throw jex::Error(jex::err::InvalidCall, QStringLiteral("not an application name: \"") + app.left(80) + u'"');
  return name.toUpper();
}

// --- BindingSetData ---------------------------------------------------------------------------

void BindingSetData::parse(const QByteArray& text, const QString& label) {
  lines_.clear();
  rebuildIndex();
  Problems problem{label};
  int lineNr = 0;
  for (qsizetype from = 0; from < text.size();) {
    qsizetype end = text.indexOf('\n', from);
    if (end < 0) end = text.size();
    QByteArray bytes = text.mid(from, end - from);
    from = end + 1;
    ++lineNr;
    if (bytes.endsWith('\r')) bytes.chop(1);
    const QString line = QString::fromUtf8(bytes).trimmed();
    if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) continue;
    const qsizetype eq = line.indexOf(u'=');
    const QString command = eq < 0 ? QString() : line.left(eq).trimmed();
    if (eq < 0 || !isCommandName(command) || bytes.contains('\0')) {
      problem(QStringLiteral("line %1 is no binding line, left out").arg(lineNr));
      continue;
    }
    QStringList codes;
    for (const QString& code : line.mid(eq + 1).split(u' ', Qt::SkipEmptyParts)) {
      const QString c = code.trimmed();
      if (isKeyCode(c)) codes << c;
      else problem(QStringLiteral("line %1: \"%2\" is no key code, left out").arg(lineNr).arg(c.left(48)));
    }
    for (const QString& c : std::as_const(codes)) {
      const QString owner = commandOf(c);
      if (!owner.isEmpty() && fold(owner) != fold(command))
        problem(QStringLiteral("line %1: %2 is bound to %3 already, not to %4").arg(lineNr).arg(c, owner, command));
    }
    add(command, codes, label, lineNr);
  }
}

void BindingSetData::add(const QString& command, const QStringList& codes, const QString&, int) {
  int line = byCommand_.value(fold(command), -1);
  for (const QString& c : codes) {
    if (byCode_.contains(fold(c))) continue;  // the first command keeps its code
    if (line < 0) {
      line = int(lines_.size());
      lines_.append({command, {}});
      byCommand_.insert(fold(command), line);
    }
    lines_[line].codes << c;
    byCode_.insert(fold(c), line);
    flat_.clear();
  }
}

const QStringList& BindingSetData::flat() const {
  if (flat_.isEmpty())
    for (const Line& l : lines_)
      for (const QString& code : l.codes) flat_ << code << l.command;
  return flat_;
}

void BindingSetData::rebuildIndex() {
  flat_.clear();
  byCode_.clear();
  byCommand_.clear();
  for (int i = 0; i < lines_.size(); ++i) {
    byCommand_.insert(fold(lines_[i].command), i);
    for (const QString& c : lines_[i].codes) byCode_.insert(fold(c), i);
  }
}

QString BindingSetData::commandOf(const QString& code) const {
  const int line = byCode_.value(fold(code), -1);
  return line < 0 ? QString() : lines_[line].command;
}

void BindingSetData::replace(const QString& code, const QString& command) {
  const QString c = code.trimmed(), cmd = command.trimmed();
  if (!isKeyCode(c))
    throw jex::Error(jex::err::InvalidCall, QStringLiteral("ReplaceOneBinding: no key code: ") + c.left(48));
  if (!cmd.isEmpty() && !isCommandName(cmd))
    throw jex::Error(jex::err::InvalidCall, QStringLiteral("ReplaceOneBinding: no command: ") + cmd.left(80));
  const int old = byCode_.value(fold(c), -1);
  if (old >= 0) {
    QStringList& codes = lines_[old].codes;
    for (qsizetype i = codes.size() - 1; i >= 0; --i)
      if (fold(codes[i]) == fold(c)) codes.removeAt(i);
    if (codes.isEmpty()) lines_.removeAt(old);
    rebuildIndex();
  }
  if (!cmd.isEmpty()) add(cmd, {c}, {}, 0);
}

QByteArray BindingSetData::serialise() const {
  QByteArray out;
  for (const Line& l : lines_) out += (l.command + u'=' + l.codes.join(u' ')).toUtf8() + '\n';
  return out;
}

// --- BindingStore -----------------------------------------------------------------------------

BindingStore::BindingStore(QString appPath, std::function<QString()> userPath)
    : appPath_(std::move(appPath)), userPath_(std::move(userPath)) {}

QString BindingStore::shippedFile(const QString& app, BindingKind kind) const {
  return appPath_ + QStringLiteral("keys/") + bindingAppName(app) + kindSuffix(kind);
}

QString BindingStore::userFile(const QString& app, BindingKind kind) const {
  return userPath_() + QStringLiteral("/keys/") + bindingAppName(app) + kindSuffix(kind);
}

std::shared_ptr<BindingSetData> BindingStore::set(const QString& file) {
  if (auto held = sets_.value(file)) return held;
  auto data = std::make_shared<BindingSetData>();
  QFile f(file);
  if (f.exists()) {
    if (!f.open(QIODevice::ReadOnly)) {
      jex::WriteLog(QStringLiteral("BINDINGS ") + file + QStringLiteral(": cannot be read, empty"), jex::kFirstRun);
    } else {
      if (f.size() > kMaxFileBytes)
        jex::WriteLog(
            QStringLiteral("BINDINGS %1: larger than %2 bytes, the rest left out").arg(file).arg(kMaxFileBytes),
            jex::kFirstRun);
      data->parse(f.read(kMaxFileBytes), QFileInfo(file).fileName());
    }
  }
  sets_.insert(file, data);
  return data;
}

void BindingStore::save(const QString& file) {
  const auto data = set(file);
  if (!QDir().mkpath(QFileInfo(file).absolutePath()))
    throw jex::Error(jex::err::FileError, QStringLiteral("Save: cannot create the folder of ") + file);
  QSaveFile out(file);
  if (!out.open(QIODevice::WriteOnly) || out.write(data->serialise()) < 0 || !out.commit())
    throw jex::Error(jex::err::FileError,
                     QStringLiteral("Save: cannot write ") + file + QStringLiteral(": ") + out.errorString());
  jex::WriteLog(QStringLiteral("BINDINGS saved ") + file, jex::kTraffic);
}

QStringList BindingStore::configuredApps() const {
  QStringList apps{QStringLiteral("DEFAULT")};
  for (const QString& dir : {appPath_ + QStringLiteral("keys"), userPath_() + QStringLiteral("/keys")})
    for (const QString& name : QDir(dir).entryList({QStringLiteral("*.KBD"), QStringLiteral("*.BRL")}, QDir::Files)) {
      const QString app = QFileInfo(name).completeBaseName().toUpper();
      if (!apps.contains(app)) apps << app;
    }
  std::sort(apps.begin() + 1, apps.end());
  return apps;
}

// --- automation objects -----------------------------------------------------------------------

namespace {

class BindingSet : public Dispatchable {
 public:
  BindingSet(std::shared_ptr<BindingStore> store, QString file)
      : Dispatchable(QStringLiteral("BindingSet")), store_(std::move(store)), file_(std::move(file)) {
    property(QStringLiteral("CollA"), [this] {
      auto c = std::make_shared<Collection>();
      for (const auto& l : data()->lines())
        for (const QString& code : l.codes) c->add(l.command, code);
      return fromObj(Obj(c));
    });
    property(QStringLiteral("CollB"), [this] {
      auto c = std::make_shared<Collection>();
      for (const auto& l : data()->lines()) c->add(l.codes.join(u' '));
      return fromObj(Obj(c));
    });
    property(
        QStringLiteral("Bindings"), [this] { return QVariant(data()->flat()); }, {},
        QStringLiteral("every code of CollB in order, each followed by its command"));
    property(QStringLiteral("Count"), [this] { return QVariant(int(data()->lines().size())); });
    property(QStringLiteral("FileName"), [this] { return QVariant(file_); });
    method(
        QStringLiteral("ReplaceOneBinding"), 2, 2,
        [this](Args& a) {
          data()->replace(a.str(0), a.str(1));
          return QVariant();
        },
        QStringLiteral("binds a key code to a command in memory (\"\" removes it)"));
    procedure(
        QStringLiteral("Save"), [this] { store_->save(file_); }, QStringLiteral("writes the set to its file"));
  }

 private:
  // The set held now (a reload may have replaced the one this object was made for).
  std::shared_ptr<BindingSetData> data() const { return store_->set(file_); }
  std::shared_ptr<BindingStore> store_;
  QString file_;
};

class AppEntry : public Dispatchable {
 public:
  explicit AppEntry(QString name) : Dispatchable(QStringLiteral("App")), name_(std::move(name)) {
    property(QStringLiteral("Name"), [this] { return QVariant(name_); });
    defaultMember(QStringLiteral("Name"));
  }

 private:
  QString name_;
};

using FileOf = QString (BindingStore::*)(const QString&, BindingKind) const;

// The getters and reload calls of one level on obj.
template <class Add>
void addLevel(const Add& add, const std::shared_ptr<BindingStore>& store, FileOf fileOf, const QString& key,
              const QString& brl, bool getters) {
  for (const auto& [kind, name] : {std::pair{BindingKind::Keyboard, key}, std::pair{BindingKind::Braille, brl}}) {
    const BindingKind k = kind;
    if (getters)
      add(name, 1, 1,
          [store, fileOf, k](Args& a) { return fromObj(makeBindingSet(store, ((*store).*fileOf)(a.str(0), k))); });
    else
      add(name, 1, 1, [store, fileOf, k](Args& a) {
        store->drop(((*store).*fileOf)(a.str(0), k));
        return QVariant();
      });
  }
}

class AppDirs : public Dispatchable {
 public:
  explicit AppDirs(const std::shared_ptr<BindingStore>& store) : Dispatchable(QStringLiteral("App_Dirs")) {
    const auto add = [this](const QString& n, int lo, int hi, Method m) { method(n, lo, hi, std::move(m)); };
    addLevel(add, store, &BindingStore::shippedFile, QStringLiteral("KeyBindings"), QStringLiteral("BrlBindings"),
             true);
    addLevel(add, store, &BindingStore::shippedFile, QStringLiteral("ReloadKeyBindings"),
             QStringLiteral("ReloadBrlBindings"), false);
    property(QStringLiteral("Path"), [store] { return QVariant(store->appPath() + QStringLiteral("keys")); });
  }
};

class UserApps : public Dispatchable {
 public:
  explicit UserApps(const std::shared_ptr<BindingStore>& store) : Dispatchable(QStringLiteral("AppS")) {
    const auto add = [this](const QString& n, int lo, int hi, Method m) { method(n, lo, hi, std::move(m)); };
    addLevel(add, store, &BindingStore::userFile, QStringLiteral("ReloadKeyBindings"),
             QStringLiteral("ReloadBrlBindings"), false);
    property(QStringLiteral("C"), [store] {
      auto c = std::make_shared<Collection>();
      for (const QString& app : store->configuredApps()) c->add(fromObj(Obj(std::make_shared<AppEntry>(app))), app);
      return fromObj(Obj(c));
    });
  }
};

}  // namespace

Obj makeBindingSet(std::shared_ptr<BindingStore> store, const QString& file) {
  return Obj(std::make_shared<BindingSet>(std::move(store), file));
}

Obj makeAppDirs(std::shared_ptr<BindingStore> store) { return Obj(std::make_shared<AppDirs>(store)); }

Obj makeUserApps(std::shared_ptr<BindingStore> store) { return Obj(std::make_shared<UserApps>(store)); }

void addUserBindingMembers(const AddMethod& add, std::shared_ptr<BindingStore> store) {
  addLevel(add, store, &BindingStore::userFile, QStringLiteral("AppKeyBindings"), QStringLiteral("AppBrlBindings"),
           true);
  const Obj apps = makeUserApps(store);
  add(QStringLiteral("AppS"), 0, 0, [apps](Args&) { return fromObj(apps); });
}

}  // namespace corvane
