#include "automation/automation.h"

#include <QHash>
#include <QMutex>
#include <cmath>
#include <limits>

#include "automation/dbustransport.h"

namespace jex::automation {

namespace {

[[noreturn]] void typeMismatch(const QVariant& v) {
  throw Error(err::TypeMismatch, QStringLiteral("Type mismatch (%1)").arg(QString::fromUtf8(v.typeName())));
}

bool isObj(const QVariant& v) { return v.metaType() == QMetaType::fromType<Obj>(); }

// The value of an object used as a plain value: its default member, followed while it gives
// another object, but only so far: an object whose default member gives itself (or a ring of
// such objects) raises an error instead of running out of stack.
QVariant defaultValue(const QVariant& v) {
  QVariant value = v;
  for (int depth = 0; isObj(value); ++depth) {
    Obj o = value.value<Obj>();
    if (o.isNothing()) throw Error(err::ObjectRequired, QStringLiteral("Object required"));
    if (depth == kMaxDefaultDepth)
      throw Error(err::OutOfStack,
                  QStringLiteral("Out of stack space: the default member of %1 gives objects more than %2 deep")
                      .arg(o.target()->className())
                      .arg(kMaxDefaultDepth));
    QVariantList none;
    value = o.target()->invoke(QString(), CallKind::Get, none);
  }
  return value;
}

qint32 fromDouble(double d, const QVariant& original) {
  double r = std::nearbyint(d);  // rounds half to even, as scripts do
  if (!std::isfinite(r) || r < std::numeric_limits<qint32>::min() || r > std::numeric_limits<qint32>::max())
    typeMismatch(original);
  return qint32(r);
}

struct Registry {
  QMutex mutex;
  QHash<QString, Factory> classes;  // lower-case identifier -> factory
};
Registry& registry() {
  static Registry r;
  return r;
}

}  // namespace

bool isIntegral(QMetaType t) {
  switch (t.id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
      return true;
    default:
      return false;
  }
}

bool isMissing(const QVariant& v) { return v.metaType() == QMetaType::fromType<Missing>(); }
QVariant missing() { return QVariant::fromValue(Missing{}); }

QString toStr(const QVariant& v) {
  if (!v.isValid()) return QString();
  switch (v.metaType().id()) {
    case QMetaType::QString:
      return v.toString();
    case QMetaType::Bool:
      return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
    case QMetaType::Float:
      return QString::number(v.toDouble(), 'g', 15);
    default:
      break;
  }
  if (isIntegral(v.metaType())) return QString::number(v.toLongLong());
  if (isObj(v)) return toStr(defaultValue(v));
  typeMismatch(v);
}

qint32 toI32(const QVariant& v) {
  if (!v.isValid()) return 0;
  switch (v.metaType().id()) {
    case QMetaType::Int:
      return v.toInt();
    case QMetaType::Bool:
      return v.toBool() ? -1 : 0;
    case QMetaType::Double:
    case QMetaType::Float:
      return fromDouble(v.toDouble(), v);
    case QMetaType::QString: {
      QString s = v.toString().trimmed();
      bool ok = false;
      qint32 i = s.toInt(&ok);
      if (ok) return i;
      double d = s.toDouble(&ok);
      if (ok) return fromDouble(d, v);
      typeMismatch(v);
    }
    default:
      break;
  }
  if (isIntegral(v.metaType())) {
    qlonglong l = v.toLongLong();
    if (l < std::numeric_limits<qint32>::min() || l > std::numeric_limits<qint32>::max()) typeMismatch(v);
    return qint32(l);
  }
  if (isObj(v)) return toI32(defaultValue(v));
  typeMismatch(v);
}

bool toBool(const QVariant& v) {
  if (!v.isValid()) return false;
  switch (v.metaType().id()) {
    case QMetaType::Bool:
      return v.toBool();
    case QMetaType::Double:
    case QMetaType::Float:
      return v.toDouble() != 0.0;
    case QMetaType::QString: {
      QString s = v.toString().trimmed();
      if (s.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
      if (s.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return false;
      bool ok = false;
      double d = s.toDouble(&ok);
      if (ok) return d != 0.0;
      typeMismatch(v);
    }
    default:
      break;
  }
  if (isIntegral(v.metaType())) return v.toLongLong() != 0;
  if (isObj(v)) return toBool(defaultValue(v));
  typeMismatch(v);
}

Obj toObj(const QVariant& v) {
  if (!isObj(v)) throw Error(err::ObjectRequired, QStringLiteral("Object required"));
  return v.value<Obj>();
}

QVariant fromObj(const Obj& o) { return QVariant::fromValue(o); }

// --- Obj -----------------------------------------------------------------------------------

std::pair<Obj, QString> Obj::walk(const QString& path) const {
  Obj cur = *this;
  qsizetype start = 0;
  for (;;) {
    if (cur.isNothing()) throw Error(err::ObjectRequired, QStringLiteral("Object required: ") + path);
    qsizetype dot = path.indexOf(QLatin1Char('.'), start);
    if (dot < 0 || cur.target_->takesPaths()) return {cur, path.mid(start)};
    QVariantList none;
    cur = toObj(cur.target_->invoke(path.mid(start, dot - start), CallKind::Get, none));
    start = dot + 1;
  }
}

QVariant invokePath(const TargetPtr& target, const QString& path, CallKind kind, QVariantList& args) {
  auto [o, member] = Obj(target).walk(path);
  return o.target()->invoke(member, kind, args);
}

QVariantList Obj::getEach(const QStringList& members) const {
  if (isNothing()) throw Error(err::ObjectRequired, QStringLiteral("Object required: ") + members.join(u','));
  QVariantList values;
  if (target_->getEach(members, values)) return values;
  values.reserve(members.size());
  for (const QString& m : members) values.append(get(m));
  return values;
}

QVariant Obj::get(const QString& path, QVariantList index) const {
  auto [o, member] = walk(path);
  return o.target_->invoke(member, CallKind::Get, index);
}

void Obj::set(const QString& path, const QVariant& value) const { set(path, QVariantList{}, value); }

void Obj::set(const QString& path, QVariantList index, const QVariant& value) const {
  auto [o, member] = walk(path);
  index.append(value);
  o.target_->invoke(member, CallKind::Put, index);
}

QVariant Obj::call(const QString& path, QVariantList& args) const {
  auto [o, member] = walk(path);
  return o.target_->invoke(member, CallKind::Method, args);
}

QVariant Obj::call(const QString& path, std::initializer_list<QVariant> args) const {
  QVariantList list(args);
  return call(path, list);
}

Obj Obj::obj(const QString& path) const { return toObj(get(path)); }
QString Obj::str(const QString& path) const { return toStr(get(path)); }
qint32 Obj::i32(const QString& path) const { return toI32(get(path)); }
bool Obj::boolean(const QString& path) const { return toBool(get(path)); }

QString Obj::toString() const { return toStr(fromObj(*this)); }

int Obj::count() const { return i32(QStringLiteral("Count")); }

QVariant Obj::item(const QVariant& indexOrKey) const { return call(QStringLiteral("Item"), {indexOrKey}); }

Obj Obj::itemObj(const QVariant& indexOrKey) const { return toObj(item(indexOrKey)); }

QStringList Obj::strings() const {
  QVariant v = get(QStringLiteral("Items"));
  if (v.metaType().id() == QMetaType::QStringList) return v.toStringList();
  if (v.metaType().id() == QMetaType::QVariantList) {
    QStringList out;
    for (const QVariant& e : v.toList()) out.append(toStr(e));
    return out;
  }
  if (!v.isValid()) return {};
  typeMismatch(v);
}

// --- classes ---------------------------------------------------------------------------------

void registerClass(const QString& progId, Factory factory) {
  Registry& r = registry();
  QMutexLocker lock(&r.mutex);
  r.classes.insert(progId.toLower(), std::move(factory));
}

void unregisterClass(const QString& progId) {
  Registry& r = registry();
  QMutexLocker lock(&r.mutex);
  r.classes.remove(progId.toLower());
}

Obj createObject(const QString& progId) {
  Factory f;
  {
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    f = r.classes.value(progId.toLower());
  }
  if (f) {
    TargetPtr t = f();
    if (!t) throw Error(err::CannotCreateObject, QStringLiteral("Cannot create object ") + progId);
    return Obj(std::move(t));
  }
  return dbus::connect(progId);
}

}  // namespace jex::automation
