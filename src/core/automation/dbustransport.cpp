#include "core/automation/dbustransport.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVirtualObject>
#include <QEventLoop>
#include <QHash>
#include <QSet>
#include <cstring>
#include <limits>
#include <mutex>

namespace jex::automation::dbus::wire {

// An object on the wire: the unique bus name of its owner and its path ("" for Nothing).
struct ObjRef {
  QString bus;
  QDBusObjectPath path;
};
// Empty (0) and Missing (1), which a D-Bus variant cannot hold otherwise.
struct Marker {
  uchar kind = 0;
};
// A list of strings as one block of UTF-8, each string ended by a NUL byte. A byte array
// travels as one piece: the bus daemon neither validates nor copies it string by string, which
// makes long lists (binding sets, names) several times cheaper than an array of strings.
// Lists whose strings themselves hold NUL characters go as an array of strings.
struct StringBlock {
  QByteArray bytes;
};

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

}  // namespace jex::automation::dbus::wire

namespace jex::automation {
QDBusArgument& operator<<(QDBusArgument& a, const MemberInfo& m) {
  a.beginStructure();
  a << m.name << int(m.kind) << m.readable << m.writable << m.minArgs << m.maxArgs << m.help;
  a.endStructure();
  return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, MemberInfo& m) {
  int kind = 0;
  a.beginStructure();
  a >> m.name >> kind >> m.readable >> m.writable >> m.minArgs >> m.maxArgs >> m.help;
  a.endStructure();
  m.kind = CallKind(kind);
  return a;
}
}  // namespace jex::automation

Q_DECLARE_METATYPE(jex::automation::dbus::wire::ObjRef)
Q_DECLARE_METATYPE(jex::automation::dbus::wire::Marker)
Q_DECLARE_METATYPE(jex::automation::dbus::wire::StringBlock)
Q_DECLARE_METATYPE(jex::automation::MemberInfo)

namespace jex::automation::dbus {

namespace {

using wire::Marker;
using wire::ObjRef;
using wire::StringBlock;

const QString kRootPath = QStringLiteral("/");
const QString kObjPath = QStringLiteral("/obj");
const QString kAddRef = QStringLiteral("AddRef");
const QString kRelease = QStringLiteral("Release");

int g_timeout = 3000;
thread_local int g_waiting = 0;

void registerTypes() {
  static std::once_flag once;
  std::call_once(once, [] {
    qDBusRegisterMetaType<ObjRef>();
    qDBusRegisterMetaType<Marker>();
    qDBusRegisterMetaType<StringBlock>();
    qDBusRegisterMetaType<MemberInfo>();
    qDBusRegisterMetaType<QList<MemberInfo>>();
  });
}

[[noreturn]] void vanished(const QString& detail) {
  throw Error(err::ServerUnavailable, QStringLiteral("The remote server is not available (%1)").arg(detail));
}

class Proxy;

// The transport's state on one connection: the objects it exports, the proxies it holds and
// the peers it watches. Serves "/" (when published) and every path below "/obj".
class Endpoint : public QDBusVirtualObject, public std::enable_shared_from_this<Endpoint> {
 public:
  explicit Endpoint(const QDBusConnection& c);

  QDBusConnection conn;
  QString self;  // our unique name

  bool handleMessage(const QDBusMessage& msg, const QDBusConnection& connection) override;
  QString introspect(const QString& path) const override;

  QVariant encode(const QVariant& v, const QString& peer);
  QVariantList encodeList(const QVariantList& list, const QString& peer);
  static QVariant packStrings(const QStringList& list);
  static QVariant unpackStrings(const QByteArray& bytes);
  QVariant decode(const QVariant& v, const QString& peer);
  QVariantList decodeList(const QVariant& v, const QString& peer);

  bool publishRoot(const QString& busName, const TargetPtr& root);
  void unpublishRoot(const QString& busName);
  Obj connectTo(const QString& busName, const QString& owner);
  int exportedCount() const { return int(exports_.size()); }
  void forgetProxy(const QString& service, const QString& path);
  void detach();

 private:
  struct Export {
    TargetPtr target;
    QHash<QString, int> refs;  // peer unique name -> references it holds
    bool pinned = false;       // the published root
  };

  QString exportObject(const TargetPtr& target, const QString& peer);
  Obj importObject(const ObjRef& ref, const QString& peer);
  void changeRefs(const QString& path, const QString& peer, int delta);
  void watch(const QString& peer);
  void peerGone(const QString& peer);
  void answerInvoke(const QDBusMessage& msg, const TargetPtr& target);
  void answerDescribe(const QDBusMessage& msg, const TargetPtr& target);

  QHash<QString, Export> exports_;                 // path -> export
  // Objects whose last remote reference was released. A reply may still name one (the peer
  // hands back an object we passed it and releases its proxy before our reply is decoded);
  // while the object lives on our side (the caller's arguments hold it) it is found here.
  // Paths are never reused, so an entry cannot name another object.
  QHash<QString, std::weak_ptr<Target>> released_;
  void retire(const QString& path, const TargetPtr& target);
  QHash<const Target*, QString> paths_;            // exported target -> path
  QHash<QString, std::weak_ptr<Proxy>> proxies_;   // service + path -> live proxy
  QMultiHash<QString, QString> connectedNames_;    // owner unique name -> name given to connect()
  QSet<QString> rootNames_;
  QSet<QString> watched_;
  QDBusServiceWatcher* watcher_;
  quint64 nextId_ = 0;
};

// An object of the other side.
class Proxy : public Target {
 public:
  Proxy(std::shared_ptr<Endpoint> ep, QString service, QString path)
      : ep_(std::move(ep)), service_(std::move(service)), path_(std::move(path)) {}
  ~Proxy() override;

  QVariant invoke(const QString& member, CallKind kind, QVariantList& args) override;
  QString className() const override;
  QList<MemberInfo> members() const override;

  const QString& service() const { return service_; }
  const QString& path() const { return path_; }
  const Endpoint* endpoint() const { return ep_.get(); }
  void addHeld(int n) { held_ += n; }

 private:
  QDBusMessage callRemote(const QString& method, const QVariantList& args) const;
  void describe() const;

  std::shared_ptr<Endpoint> ep_;
  QString service_;
  QString path_;
  int held_ = 0;  // references the owner counts for us
  mutable bool described_ = false;
  mutable QString className_;
  mutable QList<MemberInfo> members_;
};

QString proxyKey(const QString& service, const QString& path) { return service + QLatin1Char('\n') + path; }

// --- Endpoint --------------------------------------------------------------------------------

Endpoint::Endpoint(const QDBusConnection& c) : conn(c), self(c.baseService()) {
  registerTypes();
  conn.registerVirtualObject(kObjPath, this, QDBusConnection::SubPath);
  watcher_ = new QDBusServiceWatcher(QString(), conn, QDBusServiceWatcher::WatchForUnregistration, this);
  QObject::connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this,
                   [this](const QString& name) { peerGone(name); });
}

QVariant Endpoint::encode(const QVariant& v, const QString& peer) {
  if (!v.isValid()) return QVariant::fromValue(Marker{0});
  if (isMissing(v)) return QVariant::fromValue(Marker{1});
  switch (v.metaType().id()) {
    case QMetaType::QString: case QMetaType::Int: case QMetaType::Bool: case QMetaType::Double:
      return v;
    case QMetaType::QStringList:
      return packStrings(v.toStringList());
    case QMetaType::Float:
      return v.toDouble();
    case QMetaType::QVariantList:
      return QVariant(encodeList(v.toList(), peer));
    case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong: case QMetaType::Long:
    case QMetaType::ULong: case QMetaType::Short: case QMetaType::UShort: case QMetaType::UChar:
    case QMetaType::SChar: case QMetaType::Char: {
      bool ok = false;
      qlonglong l = v.toLongLong(&ok);
      if (ok && l >= std::numeric_limits<qint32>::min() && l <= std::numeric_limits<qint32>::max()) return int(l);
      return v.toDouble();
    }
    default:
      break;
  }
  if (v.metaType() == QMetaType::fromType<Obj>()) {
    Obj o = v.value<Obj>();
    if (o.isNothing()) return QVariant::fromValue(ObjRef{QString(), QDBusObjectPath(kRootPath)});
    if (auto* p = dynamic_cast<Proxy*>(o.target().get()); p && p->endpoint() == this)
      return QVariant::fromValue(ObjRef{p->service(), QDBusObjectPath(p->path())});
    return QVariant::fromValue(ObjRef{self, QDBusObjectPath(exportObject(o.target(), peer))});
  }
  throw Error(err::TypeMismatch, QStringLiteral("Type mismatch: a value of type %1 cannot be passed")
                                     .arg(QString::fromUtf8(v.typeName())));
}

QVariant Endpoint::packStrings(const QStringList& list) {
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

QVariant Endpoint::unpackStrings(const QByteArray& bytes) {
  QStringList out;
  const char* p = bytes.constData();
  const char* end = p + bytes.size();
  while (p < end) {
    const char* nul = static_cast<const char*>(std::memchr(p, 0, size_t(end - p)));
    if (!nul) nul = end;  // a block without its last NUL: take the rest as the last string
    out.append(QString::fromUtf8(p, nul - p));
    p = nul + 1;
  }
  return out;
}

QVariantList Endpoint::encodeList(const QVariantList& list, const QString& peer) {
  QVariantList out;
  out.reserve(list.size());
  for (const QVariant& v : list) out.append(encode(v, peer));
  return out;
}

QVariant Endpoint::decode(const QVariant& v, const QString& peer) {
  if (v.metaType() == QMetaType::fromType<QDBusVariant>()) return decode(v.value<QDBusVariant>().variant(), peer);
  if (v.metaType() == QMetaType::fromType<QDBusArgument>()) {
    const QDBusArgument arg = v.value<QDBusArgument>();
    const QString sig = arg.currentSignature();
    if (sig == QLatin1String("(so)")) {
      ObjRef r;
      arg >> r;
      return fromObj(importObject(r, peer));
    }
    if (sig == QLatin1String("(ay)")) {
      StringBlock b;
      arg >> b;
      return unpackStrings(b.bytes);
    }
    if (sig == QLatin1String("(y)")) {
      Marker m;
      arg >> m;
      return m.kind == 1 ? missing() : QVariant();
    }
    if (sig.startsWith(QLatin1String("a"))) return QVariant(decodeList(v, peer));
    throw Error(err::TypeMismatch, QStringLiteral("Type mismatch: unexpected value of signature ") + sig);
  }
  if (v.metaType() == QMetaType::fromType<ObjRef>()) return fromObj(importObject(v.value<ObjRef>(), peer));
  if (v.metaType() == QMetaType::fromType<Marker>()) return v.value<Marker>().kind == 1 ? missing() : QVariant();
  if (v.metaType() == QMetaType::fromType<StringBlock>()) return unpackStrings(v.value<StringBlock>().bytes);
  if (v.metaType().id() == QMetaType::QVariantList) return QVariant(decodeList(v, peer));
  switch (v.metaType().id()) {
    case QMetaType::UChar: case QMetaType::Short: case QMetaType::UShort:
      return v.toInt();
    case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong: {
      qlonglong l = v.toLongLong();
      if (l >= std::numeric_limits<qint32>::min() && l <= std::numeric_limits<qint32>::max()) return int(l);
      return v.toDouble();
    }
    default:
      return v;
  }
}

QVariantList Endpoint::decodeList(const QVariant& v, const QString& peer) {
  QVariantList out;
  if (v.metaType().id() == QMetaType::QVariantList) {  // delivered without marshalling
    for (const QVariant& e : v.toList()) out.append(decode(e, peer));
    return out;
  }
  if (v.metaType().id() == QMetaType::QStringList) {
    for (const QString& s : v.toStringList()) out.append(s);
    return out;
  }
  if (v.metaType() != QMetaType::fromType<QDBusArgument>())
    throw Error(err::TypeMismatch, QStringLiteral("Type mismatch: a list was expected"));
  const QDBusArgument arg = v.value<QDBusArgument>();
  arg.beginArray();
  while (!arg.atEnd()) {
    QDBusVariant element;
    arg >> element;
    out.append(decode(element.variant(), peer));
  }
  arg.endArray();
  return out;
}

QString Endpoint::exportObject(const TargetPtr& target, const QString& peer) {
  QString path = paths_.value(target.get());
  if (path.isEmpty()) {
    path = kObjPath + QLatin1Char('/') + QString::number(++nextId_);
    exports_.insert(path, Export{target, {}, false});
    paths_.insert(target.get(), path);
  }
  if (path != kRootPath) changeRefs(path, peer, +1);
  return path;
}

Obj Endpoint::importObject(const ObjRef& ref, const QString& peer) {
  const QString path = ref.path.path();
  if (ref.bus.isEmpty()) return Obj();
  if (ref.bus == self) {
    auto it = exports_.constFind(path);
    if (it != exports_.constEnd()) return Obj(it->target);
    if (TargetPtr alive = released_.value(path).lock()) return Obj(alive);
    vanished(QStringLiteral("object %1 is no longer served").arg(path));
  }
  const QString key = proxyKey(ref.bus, path);
  std::shared_ptr<Proxy> p = proxies_.value(key).lock();
  if (!p) {
    p = std::make_shared<Proxy>(shared_from_this(), ref.bus, path);
    proxies_.insert(key, p);
    watch(ref.bus);
  }
  if (path != kRootPath) {
    p->addHeld(1);
    if (ref.bus != peer) {  // passed on by a third party: the owner has not counted us yet
      QDBusMessage m = QDBusMessage::createMethodCall(ref.bus, path, QLatin1String(kInterface), kAddRef);
      m << 1;
      m.setAutoStartService(false);
      conn.send(m);
    }
  }
  return Obj(p);
}

void Endpoint::forgetProxy(const QString& service, const QString& path) {
  auto it = proxies_.find(proxyKey(service, path));
  if (it != proxies_.end() && it->expired()) proxies_.erase(it);
}

void Endpoint::changeRefs(const QString& path, const QString& peer, int delta) {
  auto it = exports_.find(path);
  if (it == exports_.end()) return;
  int& n = it->refs[peer];
  n += delta;
  if (n <= 0) it->refs.remove(peer);
  else watch(peer);
  if (it->refs.isEmpty() && !it->pinned) {
    paths_.remove(it->target.get());
    retire(it.key(), it->target);
    exports_.erase(it);  // the last reference of the other side is gone
  }
}

void Endpoint::retire(const QString& path, const TargetPtr& target) {
  if (released_.size() >= 64) {
    for (auto r = released_.begin(); r != released_.end();) r = r->expired() ? released_.erase(r) : std::next(r);
  }
  released_.insert(path, target);
}

void Endpoint::watch(const QString& peer) {
  if (!watcher_ || peer.isEmpty() || peer == self || watched_.contains(peer)) return;
  watched_.insert(peer);
  watcher_->addWatchedService(peer);
}

void Endpoint::peerGone(const QString& peer) {
  if (!peer.startsWith(QLatin1Char(':'))) return;  // only unique names identify a process
  if (!watched_.remove(peer)) return;
  watcher_->removeWatchedService(peer);
  for (auto it = exports_.begin(); it != exports_.end();) {
    it->refs.remove(peer);
    if (it->refs.isEmpty() && !it->pinned) {
      paths_.remove(it->target.get());
      retire(it.key(), it->target);
      it = exports_.erase(it);
    } else {
      ++it;
    }
  }
  QStringList names = connectedNames_.values(peer);
  connectedNames_.remove(peer);
  if (names.isEmpty()) {
    const QString prefix = peer + QLatin1Char('\n');
    for (auto it = proxies_.constBegin(); it != proxies_.constEnd(); ++it)
      if (it.key().startsWith(prefix) && !it->expired()) {
        names.append(peer);
        break;
      }
  }
  for (const QString& name : names) emit Bridge::instance().peerVanished(name);
}

void Endpoint::detach() {
  for (const QString& name : std::as_const(rootNames_)) conn.unregisterService(name);
  rootNames_.clear();
  conn.unregisterObject(kRootPath);
  conn.unregisterObject(kObjPath, QDBusConnection::UnregisterTree);
  delete watcher_;
  watcher_ = nullptr;
  watched_.clear();
  exports_.clear();
  paths_.clear();
  connectedNames_.clear();
  conn = QDBusConnection(QString());  // not connected: calls of remaining proxies fail
}

bool Endpoint::publishRoot(const QString& busName, const TargetPtr& root) {
  auto it = exports_.find(kRootPath);
  if (it != exports_.end() && it->target != root) return false;  // one root object per connection
  const bool fresh = it == exports_.end();
  if (fresh) {
    if (!conn.registerVirtualObject(kRootPath, this, QDBusConnection::SingleNode)) return false;
    exports_.insert(kRootPath, Export{root, {}, true});
    paths_.insert(root.get(), kRootPath);
  }
  if (!conn.registerService(busName)) {
    if (fresh) {
      conn.unregisterObject(kRootPath);
      exports_.remove(kRootPath);
      paths_.remove(root.get());
    }
    return false;
  }
  rootNames_.insert(busName);
  return true;
}

void Endpoint::unpublishRoot(const QString& busName) {
  if (!rootNames_.remove(busName)) return;
  conn.unregisterService(busName);
  if (!rootNames_.isEmpty()) return;
  conn.unregisterObject(kRootPath);
  auto it = exports_.find(kRootPath);
  if (it == exports_.end()) return;
  paths_.remove(it->target.get());
  exports_.erase(it);
}

Obj Endpoint::connectTo(const QString& busName, const QString& owner) {
  if (owner == self) {
    auto it = exports_.constFind(kRootPath);
    if (it != exports_.constEnd()) return Obj(it->target);
  }
  if (!connectedNames_.contains(owner, busName)) connectedNames_.insert(owner, busName);
  watch(owner);
  return importObject(ObjRef{owner, QDBusObjectPath(kRootPath)}, owner);
}

bool Endpoint::handleMessage(const QDBusMessage& msg, const QDBusConnection&) {
  if (msg.type() != QDBusMessage::MethodCallMessage) return false;
  if (!msg.interface().isEmpty() && msg.interface() != QLatin1String(kInterface)) return false;
  const QString& member = msg.member();
  auto it = exports_.constFind(msg.path());
  if (it == exports_.constEnd()) {
    if (member == kRelease || member == kAddRef) return true;  // already gone
    conn.send(msg.createErrorReply(QDBusError::UnknownObject, QStringLiteral("No object at ") + msg.path()));
    return true;
  }
  TargetPtr target = it->target;  // stays alive while the call runs, even if released meanwhile
  if (member == QLatin1String("Invoke")) {
    answerInvoke(msg, target);
  } else if (member == QLatin1String("Describe")) {
    answerDescribe(msg, target);
  } else if (member == kRelease || member == kAddRef) {
    const int n = msg.arguments().value(0).toInt();
    if (msg.path() != kRootPath && n > 0) changeRefs(msg.path(), msg.service(), member == kRelease ? -n : n);
  } else {
    return false;
  }
  return true;
}

void Endpoint::answerInvoke(const QDBusMessage& msg, const TargetPtr& target) {
  const QString peer = msg.service();
  const QList<QVariant> in = msg.arguments();
  QDBusMessage reply;
  // The decoded arguments and the result live until the reply is sent: dropping a proxy sends
  // its Release, which must not overtake the reply that may still name the object.
  QVariantList args;
  QVariant result;
  try {
    if (in.size() != 3) throw Error(err::InvalidCall, QStringLiteral("Invoke takes member, kind and arguments"));
    const auto kind = CallKind(in[1].toInt());
    args = decodeList(in[2], peer);
    result = target->invoke(in[0].toString(), kind, args);
    QVariantList out = kind == CallKind::Method ? encodeList(args, peer) : QVariantList();
    reply = msg.createReply(QList<QVariant>{QVariant::fromValue(QDBusVariant(encode(result, peer))), QVariant(out)});
  } catch (const Error& e) {
    reply = msg.createErrorReply(QLatin1String(kErrorName), QString::number(e.number()) + QLatin1Char('\n') + e.description());
  } catch (const std::exception& e) {
    reply = msg.createErrorReply(QLatin1String(kErrorName),
                                 QString::number(err::InvalidCall) + QLatin1Char('\n') + QString::fromUtf8(e.what()));
  }
  conn.send(reply);
}

void Endpoint::answerDescribe(const QDBusMessage& msg, const TargetPtr& target) {
  conn.send(msg.createReply(QList<QVariant>{target->className(), QVariant::fromValue(target->members())}));
}

QString Endpoint::introspect(const QString& path) const {
  auto it = exports_.constFind(path);
  if (it == exports_.constEnd()) return QString();
  QString xml = QStringLiteral(
      "  <interface name=\"%1\">\n"
      "    <method name=\"Invoke\"><arg name=\"member\" type=\"s\" direction=\"in\"/>"
      "<arg name=\"kind\" type=\"i\" direction=\"in\"/><arg name=\"args\" type=\"av\" direction=\"in\"/>"
      "<arg name=\"result\" type=\"v\" direction=\"out\"/><arg name=\"argsOut\" type=\"av\" direction=\"out\"/></method>\n"
      "    <method name=\"Describe\"><arg name=\"className\" type=\"s\" direction=\"out\"/>"
      "<arg name=\"members\" type=\"a(sibbiis)\" direction=\"out\"/></method>\n"
      "    <method name=\"Release\"><arg name=\"count\" type=\"i\" direction=\"in\"/>"
      "<annotation name=\"org.freedesktop.DBus.Method.NoReply\" value=\"true\"/></method>\n"
      "    <method name=\"AddRef\"><arg name=\"count\" type=\"i\" direction=\"in\"/>"
      "<annotation name=\"org.freedesktop.DBus.Method.NoReply\" value=\"true\"/></method>\n")
                    .arg(QLatin1String(kInterface));
  xml += QStringLiteral("    <annotation name=\"%1.Class\" value=\"%2\"/>\n")
             .arg(QLatin1String(kInterface), it->target->className().toHtmlEscaped());
  for (const MemberInfo& m : it->target->members())
    xml += QStringLiteral("    <annotation name=\"%1.Member.%2\" value=\"%3\"/>\n")
               .arg(QLatin1String(kInterface), m.name.toHtmlEscaped(), m.help.toHtmlEscaped());
  xml += QStringLiteral("  </interface>\n");
  return xml;
}

// --- Proxy -----------------------------------------------------------------------------------

Proxy::~Proxy() {
  ep_->forgetProxy(service_, path_);
  if (held_ > 0 && QCoreApplication::instance() && ep_->conn.isConnected()) {
    QDBusMessage m = QDBusMessage::createMethodCall(service_, path_, QLatin1String(kInterface), kRelease);
    m << held_;
    m.setAutoStartService(false);
    ep_->conn.send(m);
  }
}

// Sends m and waits for its reply, serving incoming calls meanwhile but no user input.
// Qt's own wait of this kind (QDBus::BlockWithGui) looks at the pending call before it hooks
// onto its end, so a reply that comes in between is missed and the wait never ends (not even
// at the time-out, which has then already been handled); a burst of commands met that about
// once in 50,000 calls. A watcher that is created first cannot miss the end: it reports a call
// that has already ended, and the time-out ends the call like a reply.
QDBusMessage callServing(const QDBusConnection& conn, const QDBusMessage& m, int timeoutMs) {
  QDBusPendingCall pending = conn.asyncCall(m, timeoutMs);
  if (!pending.isFinished()) {
    QDBusPendingCallWatcher watcher(pending);
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    if (!pending.isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
  }
  if (!pending.isFinished())
    return m.createErrorReply(QDBusError::Timeout, QStringLiteral("no reply within %1 ms").arg(timeoutMs));
  return pending.reply();
}

QDBusMessage Proxy::callRemote(const QString& method, const QVariantList& args) const {
  QDBusMessage m = QDBusMessage::createMethodCall(service_, path_, QLatin1String(kInterface), method);
  m.setArguments(args);
  m.setAutoStartService(false);
  ++g_waiting;
  QDBusMessage reply = callServing(ep_->conn, m, g_timeout);
  --g_waiting;
  if (reply.type() != QDBusMessage::ErrorMessage) return reply;

  if (reply.errorName() == QLatin1String(kErrorName)) {
    const QString text = reply.errorMessage();
    const qsizetype nl = text.indexOf(QLatin1Char('\n'));
    bool ok = false;
    const int number = text.left(nl).toInt(&ok);
    throw Error(ok ? number : err::InvalidCall, nl < 0 ? text : text.mid(nl + 1));
  }
  switch (QDBusError(reply).type()) {
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
      // No reply: either the peer died during the call or it is still busy.
      if (ep_->conn.isConnected() && ep_->conn.interface()->isServiceRegistered(service_).value())
        throw Error(err::Timeout, QStringLiteral("The call of %1 did not return within %2 ms").arg(method).arg(g_timeout));
      vanished(reply.errorMessage());
    case QDBusError::UnknownMethod:
    case QDBusError::UnknownInterface:
      throw Error(err::UnknownMember, QStringLiteral("Object doesn't support this property or method: ") + method);
    default:
      vanished(reply.errorMessage());
  }
}

QVariant Proxy::invoke(const QString& member, CallKind kind, QVariantList& args) {
  std::shared_ptr<Endpoint> ep = ep_;  // keeps the state alive across nested calls
  QDBusMessage reply = callRemote(QStringLiteral("Invoke"),
                                  {member, int(kind), QVariant(ep->encodeList(args, service_))});
  const QList<QVariant> out = reply.arguments();
  if (out.size() != 2) throw Error(err::InvalidCall, QStringLiteral("Malformed reply to ") + member);
  QVariant result = ep->decode(out[0], service_);
  if (kind == CallKind::Method) {
    QVariantList changed = ep->decodeList(out[1], service_);
    for (qsizetype i = 0; i < args.size() && i < changed.size(); ++i) args[i] = changed[i];
  }
  return result;
}

void Proxy::describe() const {
  if (described_) return;
  trap("automation.Describe", [&] {
    QDBusMessage reply = callRemote(QStringLiteral("Describe"), {});
    const QList<QVariant> out = reply.arguments();
    if (out.size() != 2) return;
    className_ = out[0].toString();
    members_ = qdbus_cast<QList<MemberInfo>>(out[1]);
    described_ = true;
  });
}

QString Proxy::className() const {
  describe();
  return className_;
}

QList<MemberInfo> Proxy::members() const {
  describe();
  return members_;
}

// --- endpoints per connection ----------------------------------------------------------------

// Left alive until the process ends: proxies may outlive every other object.
QHash<QString, std::shared_ptr<Endpoint>>& endpoints() {
  static auto* map = new QHash<QString, std::shared_ptr<Endpoint>>;
  return *map;
}

std::shared_ptr<Endpoint> endpointFor(const QDBusConnection& conn) {
  auto& map = endpoints();
  auto it = map.find(conn.name());
  if (it != map.end() && (*it)->self == conn.baseService() && (*it)->conn.isConnected()) return *it;
  auto ep = std::make_shared<Endpoint>(conn);
  map.insert(conn.name(), ep);
  return ep;
}

}  // namespace

bool publish(const QString& busName, TargetPtr root, QDBusConnection conn) {
  if (!root || !conn.isConnected()) return false;
  return endpointFor(conn)->publishRoot(busName, root);
}

void unpublish(const QString& busName, QDBusConnection conn) {
  auto it = endpoints().constFind(conn.name());
  if (it != endpoints().constEnd()) (*it)->unpublishRoot(busName);
}

void detach(QDBusConnection conn) {
  auto it = endpoints().find(conn.name());
  if (it == endpoints().end()) return;
  std::shared_ptr<Endpoint> ep = *it;
  endpoints().erase(it);
  ep->detach();
}

bool isNameOwned(const QString& busName, QDBusConnection conn) {
  return conn.isConnected() && conn.interface() && conn.interface()->isServiceRegistered(busName).value();
}

Obj connect(const QString& busName, QDBusConnection conn) {
  if (!conn.isConnected() || !conn.interface())
    throw Error(err::CannotCreateObject,
                QStringLiteral("Cannot create object %1: no session bus (%2)").arg(busName, conn.lastError().message()));
  QDBusReply<QString> owner = conn.interface()->serviceOwner(busName);
  if (!owner.isValid() || owner.value().isEmpty())
    throw Error(err::CannotCreateObject, QStringLiteral("Cannot create object %1: it is not running").arg(busName));
  return endpointFor(conn)->connectTo(busName, owner.value());
}

void setCallTimeout(int ms) { g_timeout = ms > 0 ? ms : 3000; }
int callTimeout() { return g_timeout; }
int callsWaiting() { return g_waiting; }

Bridge& Bridge::instance() {
  static auto* b = new Bridge;  // left alive until the process ends, like the endpoints
  return *b;
}

int Bridge::exportedCount(const QDBusConnection& conn) const {
  auto it = endpoints().constFind(conn.name());
  return it == endpoints().constEnd() ? 0 : (*it)->exportedCount();
}

}  // namespace jex::automation::dbus
