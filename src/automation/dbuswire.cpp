#include "automation/dbuswire.h"

#include <QDBusMetaType>
#include <QDBusVariant>
#include <cstring>
#include <limits>
#include <mutex>

namespace jex::automation {
QDBusArgument& operator<<(QDBusArgument& a, const ParamInfo& p) {
  a.beginStructure();
  a << p.name << p.type << p.flags;
  a.endStructure();
  return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, ParamInfo& p) {
  a.beginStructure();
  a >> p.name >> p.type >> p.flags;
  a.endStructure();
  return a;
}
QDBusArgument& operator<<(QDBusArgument& a, const MemberInfo& m) {
  a.beginStructure();
  a << m.name << int(m.kind) << m.readable << m.writable << m.minArgs << m.maxArgs << m.help << m.resultType;
  a.beginArray(QMetaType::fromType<ParamInfo>());
  for (const ParamInfo& p : m.params) a << p;
  a.endArray();
  a.endStructure();
  return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, MemberInfo& m) {
  int kind = 0;
  a.beginStructure();
  a >> m.name >> kind >> m.readable >> m.writable >> m.minArgs >> m.maxArgs >> m.help >> m.resultType;
  m.params.clear();
  a.beginArray();
  while (!a.atEnd()) {
    ParamInfo p;
    a >> p;
    m.params.append(p);
  }
  a.endArray();
  a.endStructure();
  m.kind = CallKind(kind);
  return a;
}
}  // namespace jex::automation

namespace jex::automation::dbus::wire {

QDBusArgument& operator<<(QDBusArgument& a, const ObjRef& r) {
  a.beginStructure();
  a << r.bus << r.path;
  a.endStructure();
  return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, ObjRef& r) {
  a.beginStructure();
  a >> r.bus >> r.path;
  a.endStructure();
  return a;
}
QDBusArgument& operator<<(QDBusArgument& a, const StringBlock& b) {
  a.beginStructure();
  a << b.bytes;
  a.endStructure();
  return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, StringBlock& b) {
  a.beginStructure();
  a >> b.bytes;
  a.endStructure();
  return a;
}
QDBusArgument& operator<<(QDBusArgument& a, const Marker& m) {
  a.beginStructure();
  a << m.kind;
  a.endStructure();
  return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, Marker& m) {
  a.beginStructure();
  a >> m.kind;
  a.endStructure();
  return a;
}

void registerTypes() {
  static std::once_flag once;
  std::call_once(once, [] {
    qDBusRegisterMetaType<ObjRef>();
    qDBusRegisterMetaType<Marker>();
    qDBusRegisterMetaType<StringBlock>();
    qDBusRegisterMetaType<ParamInfo>();
    qDBusRegisterMetaType<MemberInfo>();
    qDBusRegisterMetaType<QList<MemberInfo>>();
  });
}

namespace {

[[noreturn]] void malformed(const QString& what) {
  throw Error(err::TypeMismatch, QStringLiteral("Type mismatch: ") + what);
}

void checkCount(qsizetype n) {
  if (n > kMaxItems)
    throw Error(err::InvalidCall,
                QStringLiteral("Invalid procedure call or argument: more than %1 items").arg(kMaxItems));
}

// Reads the elements of an array with read(); the array is closed again also when read()
// throws (Qt's reader of the enclosing value would be lost otherwise).
template <class F>
void readArray(const QDBusArgument& arg, F&& read) {
  arg.beginArray();
  try {
    for (qsizetype n = 0; !arg.atEnd(); ++n) {
      checkCount(n + 1);
      read();
    }
  } catch (...) {
    arg.endArray();
    throw;
  }
  arg.endArray();
}

const QString& checked(const QString& s) {
  if (s.size() > kMaxChars)
    throw Error(err::InvalidCall,
                QStringLiteral("Invalid procedure call or argument: a string of %1 characters").arg(s.size()));
  return s;
}

QVariant fromRef(const ObjRef& r, const Decoder::Import& import) {
  if (r.bus.isEmpty()) return fromObj(Obj());
  if (!r.bus.startsWith(QLatin1Char(':'))) malformed(QStringLiteral("an object of ") + r.bus.left(64));
  return fromObj(import(r));
}

QVariant fromMarker(const Marker& m) {
  if (m.kind > 1) malformed(QStringLiteral("marker %1").arg(m.kind));
  return m.kind == 1 ? missing() : QVariant();
}

}  // namespace

QVariant packStrings(const QStringList& list) {
  QByteArray bytes;
  qsizetype size = 0;
  for (const QString& s : list) size += s.size() + 1;
  bytes.reserve(size + size / 4);
  for (const QString& s : list) {
    if (s.contains(QChar(0))) return list;
    bytes += s.toUtf8();
    bytes += '\0';
  }
  return QVariant::fromValue(StringBlock{bytes});
}

QVariant unpackStrings(const QByteArray& bytes) {
  QStringList out;
  const char* p = bytes.constData();
  const char* end = p + bytes.size();
  while (p < end) {
    const char* nul = static_cast<const char*>(std::memchr(p, 0, size_t(end - p)));
    if (!nul) nul = end;  // a block without its last NUL: take the rest as the last string
    checkCount(out.size() + 1);
    out.append(QString::fromUtf8(p, nul - p));
    p = nul + 1;
  }
  return out;
}

QVariant Decoder::value(const QVariant& v, int depth) const {
  if (depth > kMaxDepth) malformed(QStringLiteral("values nested more than %1 deep").arg(kMaxDepth));
  const QMetaType t = v.metaType();
  switch (t.id()) {
    case QMetaType::QString:
      checked(*static_cast<const QString*>(v.constData()));
      return v;
    case QMetaType::Int:
    case QMetaType::Bool:
    case QMetaType::Double:
      return v;
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
      return v.toInt();
    case QMetaType::UInt:
    case QMetaType::LongLong: {
      const qlonglong l = v.toLongLong();
      if (l >= std::numeric_limits<qint32>::min() && l <= std::numeric_limits<qint32>::max()) return int(l);
      return double(l);
    }
    case QMetaType::ULongLong: {
      const qulonglong u = v.toULongLong();
      return u <= qulonglong(std::numeric_limits<qint32>::max()) ? QVariant(int(u)) : QVariant(double(u));
    }
    case QMetaType::QStringList: {
      const QStringList list = v.toStringList();
      checkCount(list.size());
      for (const QString& s : list) checked(s);
      return list;
    }
    case QMetaType::QVariantList:
      return QVariant(list(v, depth));
    default:
      break;
  }
  if (t == QMetaType::fromType<QDBusVariant>()) return value(v.value<QDBusVariant>().variant(), depth + 1);
  if (t == QMetaType::fromType<QDBusArgument>()) return argument(v.value<QDBusArgument>(), depth);
  // Values of a call delivered inside this process, which Qt passes on without marshalling.
  if (t == QMetaType::fromType<ObjRef>()) return fromRef(v.value<ObjRef>(), import_);
  if (t == QMetaType::fromType<Marker>()) return fromMarker(v.value<Marker>());
  if (t == QMetaType::fromType<StringBlock>()) return unpackStrings(v.value<StringBlock>().bytes);
  malformed(QStringLiteral("a value of type %1 cannot be passed").arg(QString::fromLatin1(t.name())));
}

QVariant Decoder::argument(const QDBusArgument& arg, int depth) const {
  // The signature tells the whole type before anything is read: the struct readers below and
  // QDBusVariant extraction must never meet another type.
  const QString sig = arg.currentSignature();
  if (sig == QLatin1String("(so)")) {
    ObjRef r;
    arg >> r;
    return fromRef(r, import_);
  }
  if (sig == QLatin1String("(ay)")) {
    StringBlock b;
    arg >> b;
    return unpackStrings(b.bytes);
  }
  if (sig == QLatin1String("(y)")) {
    Marker m;
    arg >> m;
    return fromMarker(m);
  }
  if (sig == QLatin1String("av")) {
    QVariantList out;
    readArray(arg, [&] {
      QDBusVariant element;
      arg >> element;
      out.append(value(element.variant(), depth + 1));
    });
    return out;
  }
  malformed(QStringLiteral("unexpected value of signature ") + sig.left(64));
}

QVariantList Decoder::list(const QVariant& v, int depth) const {
  if (v.metaType().id() == QMetaType::QVariantList) {  // delivered without marshalling
    const QVariantList in = v.toList();
    checkCount(in.size());
    QVariantList out;
    out.reserve(in.size());
    for (const QVariant& e : in) out.append(value(e, depth + 1));
    return out;
  }
  if (v.metaType().id() == QMetaType::QStringList) return value(v, depth).toList();
  if (v.metaType() == QMetaType::fromType<QDBusArgument>()) {
    const QDBusArgument arg = v.value<QDBusArgument>();
    if (arg.currentSignature() == QLatin1String("av")) return argument(arg, depth).toList();
  }
  malformed(QStringLiteral("a list was expected"));
}

Call decodeCall(const QDBusMessage& msg, const Decoder& decoder) {
  const QList<QVariant> in = msg.arguments();
  if (msg.signature() != QLatin1String("siav") || in.size() != 3)
    throw Error(err::InvalidCall, QStringLiteral("Invalid procedure call or argument: Invoke takes (siav), not (%1)")
                                      .arg(msg.signature().left(64)));
  Call call;
  call.member = checked(in[0].toString());
  const int kind = in[1].toInt();
  if (kind != int(CallKind::Get) && kind != int(CallKind::Method) && kind != int(CallKind::Put))
    throw Error(err::InvalidCall, QStringLiteral("Invalid procedure call or argument: call kind %1").arg(kind));
  call.kind = CallKind(kind);
  call.args = decoder.list(in[2]);
  return call;
}

Reply decodeReply(const QDBusMessage& reply, const Decoder& decoder, bool withArgs) {
  const QList<QVariant> out = reply.arguments();
  if (reply.signature() != QLatin1String("vav") || out.size() != 2)
    throw Error(err::InvalidCall, QStringLiteral("Invalid procedure call or argument: a reply of (%1) instead of (vav)")
                                      .arg(reply.signature().left(64)));
  Reply r;
  r.result = decoder.value(out[0]);
  if (withArgs) r.args = decoder.list(out[1]);
  return r;
}

std::pair<QString, QList<MemberInfo>> decodeDescription(const QDBusMessage& reply) {
  const QList<QVariant> out = reply.arguments();
  if (reply.signature() != QLatin1String("sa(sibbiisia(sii))") || out.size() != 2)
    throw Error(
        err::InvalidCall,
        QStringLiteral("Invalid procedure call or argument: a description of (%1)").arg(reply.signature().left(64)));
  std::pair<QString, QList<MemberInfo>> d{checked(out[0].toString()), {}};
  if (out[1].metaType() == QMetaType::fromType<QList<MemberInfo>>()) {  // delivered without marshalling
    d.second = out[1].value<QList<MemberInfo>>();
    return d;
  }
  if (out[1].metaType() != QMetaType::fromType<QDBusArgument>())
    malformed(QStringLiteral("a member table was expected"));
  const QDBusArgument arg = out[1].value<QDBusArgument>();
  readArray(arg, [&] {
    MemberInfo m;
    arg >> m;
    d.second.append(m);
  });
  return d;
}

int decodeCount(const QDBusMessage& msg) {
  if (msg.signature() != QLatin1String("i")) return 0;
  return msg.arguments().value(0).toInt();
}

}  // namespace jex::automation::dbus::wire
