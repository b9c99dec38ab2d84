#include "platform/registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <QStringDecoder>

#include "base/codepages.h"
#include "base/log.h"
#include "platform/filestore.h"

namespace jex::platform {
namespace {

const QStringList kRoots{QStringLiteral("HKEY_CLASSES_ROOT"), QStringLiteral("HKEY_CURRENT_USER"),
                         QStringLiteral("HKEY_LOCAL_MACHINE")};

QString canonicalRoot(const QString& r) {
  const QString u = r.trimmed().toUpper();
  if (u == QLatin1String("HKCR")) return kRoots[0];
  if (u == QLatin1String("HKCU")) return kRoots[1];
  if (u == QLatin1String("HKLM")) return kRoots[2];
  return kRoots.contains(u) ? u : QString();
}

QString normalisePath(QString p) {
  p.replace(QLatin1Char('/'), QLatin1Char('\\'));
  while (p.startsWith(QLatin1Char('\\'))) p.remove(0, 1);
  while (p.endsWith(QLatin1Char('\\'))) p.chop(1);
  return p;
}

// Decodes a .reg file: UTF-16 LE with BOM (version 5), UTF-8 (with or without BOM), else 1252.
QString decodeRegFile(const QByteArray& raw) {
  if (raw.startsWith("\xFF\xFE")) return QStringDecoder(QStringDecoder::Utf16LE).decode(raw.mid(2));
  return codepage::decodeText(raw);
}

// Reads a quoted .reg string starting at pos (at the opening quote); advances pos past it.
std::optional<QString> readQuoted(const QString& line, int& pos) {
  if (pos >= line.size() || line[pos] != QLatin1Char('"')) return std::nullopt;
  QString out;
  for (++pos; pos < line.size(); ++pos) {
    const QChar c = line[pos];
    if (c == QLatin1Char('\\') && pos + 1 < line.size()) {
      out += line[++pos];
    } else if (c == QLatin1Char('"')) {
      ++pos;
      return out;
    } else {
      out += c;
    }
  }
  return std::nullopt;
}

}  // namespace

Registry::Registry(QString filePath) : path_(std::move(filePath)) { load(); }

QString Registry::defaultPath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/jexui/registry.json");
}

bool Registry::splitRoot(const QString& fullKey, QString& root, QString& keyPath) {
  const QString k = normalisePath(fullKey.trimmed());
  const int slash = k.indexOf(QLatin1Char('\\'));
  root = canonicalRoot(slash < 0 ? k : k.left(slash));
  keyPath = slash < 0 ? QString() : k.mid(slash + 1);
  return !root.isEmpty();
}

QString Registry::keyId(const QString& root, const QString& keyPath) {
  return (root + QLatin1Char('\\') + normalisePath(keyPath)).toLower();
}

void Registry::load() {
  keys_.clear();
  QFile f(path_);
  if (!f.exists()) return;
  if (!f.open(QIODevice::ReadOnly)) {
    WriteErrorLog(QStringLiteral("Registry: cannot read ") + path_);
    return;
  }
  QJsonParseError pe;
  const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &pe);
  if (pe.error != QJsonParseError::NoError || !doc.isObject()) {
    WriteErrorLog(QStringLiteral("Registry: broken file ignored: ") + path_ + QStringLiteral(" (") + pe.errorString() +
                  QLatin1Char(')'));
    return;
  }
  const QJsonObject top = doc.object();
  for (auto it = top.begin(); it != top.end(); ++it) {
    Key key;
    key.name = it.key();
    const QJsonObject vals = it.value().toObject();
    for (auto v = vals.begin(); v != vals.end(); ++v) {
      QVariant value = v.value().isDouble() ? QVariant(quint32(v.value().toDouble())) : QVariant(v.value().toString());
      key.values.insert(v.key().toLower(), {v.key(), value});
    }
    keys_.insert(it.key().toLower(), key);
  }
}

bool Registry::save() const {
  QJsonObject top;
  for (const Key& k : keys_) {
    QJsonObject vals;
    for (const auto& [name, value] : k.values) {
      vals.insert(
          name, value.typeId() == QMetaType::UInt ? QJsonValue(double(value.toUInt())) : QJsonValue(value.toString()));
    }
    top.insert(k.name, vals);
  }
  QDir().mkpath(QFileInfo(path_).absolutePath());
  QSaveFile f(path_);
  if (!f.open(QIODevice::WriteOnly)) {
    WriteErrorLog(QStringLiteral("Registry: cannot write ") + path_ + QStringLiteral(": ") + f.errorString());
    return false;
  }
  f.write(QJsonDocument(top).toJson());
  if (!f.commit()) {
    WriteErrorLog(QStringLiteral("Registry: cannot write ") + path_ + QStringLiteral(": ") + f.errorString());
    return false;
  }
  return true;
}

bool Registry::openKey(const QString& root, const QString& keyPath) {
  const QString r = canonicalRoot(root);
  if (r.isEmpty()) return false;
  const QString id = keyId(r, keyPath);
  if (!keys_.contains(id)) {
    Key k;
    k.name = r + QLatin1Char('\\') + normalisePath(keyPath);
    keys_.insert(id, k);
  }
  return true;
}

bool Registry::setString(const QString& root, const QString& keyPath, const QString& name, const QString& value) {
  if (!openKey(root, keyPath)) return false;
  keys_[keyId(canonicalRoot(root), keyPath)].values.insert(name.toLower(), {name, QVariant(value)});
  return save();
}

bool Registry::setDword(const QString& root, const QString& keyPath, const QString& name, quint32 value) {
  if (!openKey(root, keyPath)) return false;
  keys_[keyId(canonicalRoot(root), keyPath)].values.insert(name.toLower(), {name, QVariant(value)});
  return save();
}

QVariant Registry::value(const QString& root, const QString& keyPath, const QString& name) const {
  const QString r = canonicalRoot(root);
  if (r.isEmpty()) return {};
  const auto k = keys_.constFind(keyId(r, keyPath));
  if (k == keys_.cend()) return {};
  const auto v = k->values.constFind(name.toLower());
  return v == k->values.cend() ? QVariant() : v->second;
}

QStringList Registry::subKeys(const QString& root, const QString& keyPath) const {
  const QString r = canonicalRoot(root);
  if (r.isEmpty()) return {};
  const QString prefix = keyId(r, keyPath) + u'\\';
  QStringList names;
  QSet<QString> seen;
  for (auto it = keys_.cbegin(); it != keys_.cend(); ++it) {
    if (!it.key().startsWith(prefix)) continue;
    // The display name's part below keyPath, up to the next separator.
    const QString rest = it->name.mid(prefix.size());
    const QString child = rest.section(u'\\', 0, 0);
    if (!child.isEmpty() && !seen.contains(child.toLower())) {
      seen.insert(child.toLower());
      names << child;
    }
  }
  names.sort(Qt::CaseInsensitive);
  return names;
}

bool Registry::update(const QString& filePath, const std::function<bool(Registry&)>& change) {
  QDir().mkpath(QFileInfo(filePath).absolutePath());
  FileLock lock;
  QString problem;
  if (!lock.acquire(filePath + QStringLiteral(".lock"), 5000, problem)) {
    WriteErrorLog(QStringLiteral("Registry: no lock on ") + filePath + QStringLiteral(": ") + problem);
    return false;
  }
  Registry reg(filePath);
  return change(reg);
}

bool Registry::deleteKey(const QString& root, const QString& keyPath) {
  const QString r = canonicalRoot(root);
  if (r.isEmpty()) return false;
  const QString id = keyId(r, keyPath);
  bool any = false;
  for (auto it = keys_.begin(); it != keys_.end();) {
    if (it.key() == id || it.key().startsWith(id + QLatin1Char('\\'))) {
      it = keys_.erase(it);
      any = true;
    } else {
      ++it;
    }
  }
  return any ? save() : true;
}

Registry::ImportResult Registry::importRegFile(const QString& regFile) {
  ImportResult res;
  QFile f(regFile);
  if (!f.open(QIODevice::ReadOnly)) {
    res.problems << QStringLiteral("cannot read ") + regFile;
    return res;
  }
  const QString text = decodeRegFile(f.readAll());
  QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
  // Join continuation lines (a trailing backslash continues hex data on the next line).
  QStringList joined;
  for (const QString& raw : lines) {
    QString l = raw.trimmed();
    if (!joined.isEmpty() && joined.last().endsWith(QLatin1Char('\\')) && !joined.last().startsWith(QLatin1Char('['))) {
      joined.last().chop(1);
      joined.last() += l;
    } else {
      joined << l;
    }
  }
  int first = 0;
  while (first < joined.size() && joined[first].isEmpty()) ++first;
  const QString header = first < joined.size() ? joined[first] : QString();
  if (header != QLatin1String("REGEDIT4") && header != QLatin1String("Windows Registry Editor Version 5.00")) {
    res.problems << QStringLiteral("not a registry file (header \"") + header.left(60) + QStringLiteral("\")");
    return res;
  }
  res.ok = true;
  QString root, keyPath;
  bool haveKey = false;
  bool dirty = false;
  for (int i = first + 1; i < joined.size(); ++i) {
    const QString& l = joined[i];
    if (l.isEmpty() || l.startsWith(QLatin1Char(';'))) continue;
    if (l.startsWith(QLatin1Char('['))) {
      if (!l.endsWith(QLatin1Char(']'))) {
        res.problems << QStringLiteral("line %1: broken key line").arg(i + 1);
        res.ok = false;
        haveKey = false;
        continue;
      }
      QString k = l.mid(1, l.size() - 2);
      const bool del = k.startsWith(QLatin1Char('-'));
      if (del) k.remove(0, 1);
      haveKey = splitRoot(k, root, keyPath);
      if (!haveKey) {
        res.problems << QStringLiteral("line %1: unknown root in [%2]").arg(i + 1).arg(k);
        res.ok = false;
        continue;
      }
      if (del) {
        deleteKey(root, keyPath);
        haveKey = false;
        ++res.values;
      } else {
        openKey(root, keyPath);
        dirty = true;
      }
      continue;
    }
    if (!haveKey) {
      res.problems << QStringLiteral("line %1: value outside a key").arg(i + 1);
      res.ok = false;
      continue;
    }
    int pos = 0;
    QString name;
    if (l.startsWith(QLatin1Char('@'))) {
      pos = 1;
    } else {
      auto n = readQuoted(l, pos);
      if (!n) {
        res.problems << QStringLiteral("line %1: broken value name").arg(i + 1);
        res.ok = false;
        continue;
      }
      name = *n;
    }
    while (pos < l.size() && l[pos].isSpace()) ++pos;
    if (pos >= l.size() || l[pos] != QLatin1Char('=')) {
      res.problems << QStringLiteral("line %1: \"=\" missing").arg(i + 1);
      res.ok = false;
      continue;
    }
    ++pos;
    while (pos < l.size() && l[pos].isSpace()) ++pos;
    const QString rest = l.mid(pos);
    const QString id = keyId(root, keyPath);
    if (rest == QLatin1String("-")) {
      keys_[id].values.remove(name.toLower());
      ++res.values;
      dirty = true;
    } else if (rest.startsWith(QLatin1Char('"'))) {
      int p = 0;
      auto v = readQuoted(rest, p);
      if (!v) {
        res.problems << QStringLiteral("line %1: unterminated string").arg(i + 1);
        res.ok = false;
        continue;
      }
      keys_[id].values.insert(name.toLower(), {name, QVariant(*v)});
      ++res.values;
      dirty = true;
    } else if (rest.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
      bool ok = false;
      const quint32 v = rest.mid(6).trimmed().toUInt(&ok, 16);
      if (!ok || rest.mid(6).trimmed().size() > 8) {
        res.problems << QStringLiteral("line %1: broken dword").arg(i + 1);
        res.ok = false;
        continue;
      }
      keys_[id].values.insert(name.toLower(), {name, QVariant(v)});
      ++res.values;
      dirty = true;
    } else {
      res.problems << QStringLiteral("line %1: value type not supported, skipped").arg(i + 1);
    }
  }
  if (dirty && !save()) res.ok = false;
  return res;
}

namespace {
QString g_machinePath;
const QString kHklm = QStringLiteral("HKEY_LOCAL_MACHINE");
const QString kHkcr = QStringLiteral("HKEY_CLASSES_ROOT");
const QString kStart = QStringLiteral("Start");

// The classes each known server file serves: ProgID and class id.
struct ServedClass {
  const char* file;
  const char* progId;
  const char* clsid;
};
constexpr ServedClass kServedClasses[] = {
    {"pagecast.dll", "webview.viewsource", "{6F1D3C2A-52B4-4E0B-9A11-3C5E2B7D4A90}"},
};

QList<const ServedClass*> classesOf(const QString& file) {
  QList<const ServedClass*> out;
  const QString name = QFileInfo(QString(file).replace(u'\\', u'/')).fileName();
  for (const ServedClass& c : kServedClasses)
    if (name.compare(QLatin1String(c.file), Qt::CaseInsensitive) == 0) out << &c;
  return out;
}
}  // namespace

QString Registry::machinePath() { return g_machinePath.isEmpty() ? defaultPath() : g_machinePath; }

void Registry::setMachinePath(const QString& path) { g_machinePath = path; }

bool Registry::hasKey(const QString& root, const QString& keyPath) const {
  const QString r = canonicalRoot(root);
  if (r.isEmpty()) return false;
  const QString id = keyId(r, keyPath);
  if (keys_.contains(id)) return true;
  // A key is there as the parent of a key that is.
  for (auto it = keys_.cbegin(); it != keys_.cend(); ++it)
    if (it.key().startsWith(id + QLatin1Char('\\'))) return true;
  return false;
}

bool Registry::deleteValue(const QString& root, const QString& keyPath, const QString& name) {
  const QString r = canonicalRoot(root);
  if (r.isEmpty()) return false;
  const auto k = keys_.find(keyId(r, keyPath));
  if (k == keys_.end() || !k->values.remove(name.toLower())) return true;
  return save();
}

namespace services {

QString keyPath(const QString& service) { return QStringLiteral("SYSTEM\\CurrentControlSet\\Services\\") + service; }

bool exists(const Registry& reg, const QString& service) { return reg.hasKey(kHklm, keyPath(service)); }

std::optional<quint32> start(const Registry& reg, const QString& service) {
  const QVariant v = reg.value(kHklm, keyPath(service), kStart);
  bool ok = false;
  const quint32 n = v.toUInt(&ok);
  if (!v.isValid() || !ok) return std::nullopt;
  return n;
}

bool setStart(Registry& reg, const QString& service, quint32 start) {
  if (!exists(reg, service)) return false;
  return reg.setDword(kHklm, keyPath(service), kStart, start);
}

}  // namespace services

namespace com {

QString serverPath(const Registry& reg, const QString& progId) {
  const QString clsid = reg.value(kHkcr, progId + QStringLiteral("\\CLSID"), QString()).toString().trimmed();
  if (clsid.isEmpty()) return {};
  for (const char* server : {"InprocServer32", "LocalServer32"}) {
    const QString path =
        reg.value(kHkcr, QStringLiteral("CLSID\\") + clsid + u'\\' + QLatin1String(server), QString()).toString();
    if (!path.trimmed().isEmpty()) return path;
  }
  return {};
}

bool registerServer(Registry& reg, const QString& file) {
  const QList<const ServedClass*> classes = classesOf(file);
  if (classes.isEmpty() || !QFileInfo(QString(file).replace(u'\\', u'/')).isFile()) {
    WriteErrorLog(QStringLiteral("COM: cannot register ") + file);
    return false;
  }
  bool ok = true;
  for (const ServedClass* c : classes) {
    const QString clsid = QLatin1String(c->clsid);
    ok = reg.setString(kHkcr, QLatin1String(c->progId) + QStringLiteral("\\CLSID"), QString(), clsid) && ok;
    ok =
        reg.setString(kHkcr, QStringLiteral("CLSID\\") + clsid + QStringLiteral("\\InprocServer32"), QString(), file) &&
        ok;
  }
  return ok;
}

bool unregisterServer(Registry& reg, const QString& file) {
  const QList<const ServedClass*> classes = classesOf(file);
  if (classes.isEmpty()) return false;
  bool ok = true;
  for (const ServedClass* c : classes) {
    ok = reg.deleteKey(kHkcr, QLatin1String(c->progId)) && ok;
    ok = reg.deleteKey(kHkcr, QStringLiteral("CLSID\\") + QLatin1String(c->clsid)) && ok;
  }
  return ok;
}

}  // namespace com

namespace typelibs {

namespace {
const QString kTypeLib = QStringLiteral("TypeLib");
}

bool registerLibrary(const QString& registryFile, const QString& guid, int major, int minor, const QString& file,
                     bool win64) {
  const QString key = kTypeLib + u'\\' + guid + u'\\' + QString::number(major, 16) + u'.' + QString::number(minor, 16) +
                      QStringLiteral("\\0\\") + (win64 ? QStringLiteral("win64") : QStringLiteral("win32"));
  return Registry::update(registryFile,
                          [&](Registry& reg) { return reg.setString("HKEY_CLASSES_ROOT", key, QString(), file); });
}

QStringList registeredFiles(const Registry& reg) {
  QStringList files;
  for (const QString& lib : reg.subKeys("HKEY_CLASSES_ROOT", kTypeLib))
    for (const QString& version : reg.subKeys("HKEY_CLASSES_ROOT", kTypeLib + u'\\' + lib))
      for (const QString& platform : {QStringLiteral("win32"), QStringLiteral("win64")}) {
        const QVariant file =
            reg.value("HKEY_CLASSES_ROOT",
                      kTypeLib + u'\\' + lib + u'\\' + version + QStringLiteral("\\0\\") + platform, QString());
        if (file.isValid() && !file.toString().isEmpty()) files << file.toString();
      }
  return files;
}

QString findByBaseName(const Registry& reg, const QString& baseName) {
  const QString wanted = QFileInfo(baseName).completeBaseName();
  for (const QString& file : registeredFiles(reg))
    if (QFileInfo(file).completeBaseName().compare(wanted, Qt::CaseInsensitive) == 0) return file;
  return {};
}

}  // namespace typelibs

}  // namespace jex::platform
