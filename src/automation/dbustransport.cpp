#include "automation/dbustransport.h"

#include "automation/dbuswire.h"
#include "base/log.h"

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

namespace jex::automation::dbus {

namespace {

using wire::Marker;
using wire::ObjRef;
using wire::StringBlock;

const QString kRootPath = QStringLiteral("/");
const QString kObjPath = QStringLiteral("/obj");
const QString kAddRef = QStringLiteral("AddRef");
const QString kRelease = QStringLiteral("Release");
const QString kShare = QStringLiteral("Share");

int g_timeout = kDefaultCallTimeoutMs;
int g_objectsPerPeer = kDefaultObjectsPerPeer;
thread_local int g_waiting = 0;

class Endpoint;
// The call this thread is answering right now (see callerOwns()).
struct Caller {
  const Endpoint* ep = nullptr;
  const QString* peer = nullptr;
};
thread_local Caller g_caller;

// Sets the current caller for one scope and restores the previous one.
class CallerScope {
 public:
  CallerScope(const Endpoint* ep, const QString* peer) : saved_(g_caller) { g_caller = Caller{ep, peer}; }
  ~CallerScope() { g_caller = saved_; }
  CallerScope(const CallerScope&) = delete;
  CallerScope& operator=(const CallerScope&) = delete;

 private:
  Caller saved_;
};

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
  // Decodes what peer sends; object references become proxies or our own objects.
  wire::Decoder decoder(const QString& peer) {
    return wire::Decoder([this, peer](const ObjRef& ref) { return importObject(ref, peer); });
  }

  bool publishRoot(const QString& busName, const TargetPtr& root);
  void unpublishRoot(const QString& busName);
  Obj connectTo(const QString& busName, const QString& owner);
  int exportedCount() const { return int(exports_.size()); }
  CallerGate gate;
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
  void dropHeld(const QString& peer) {
    auto h = held_.find(peer);
    if (h == held_.end()) return;
    if (--*h <= 0) held_.erase(h);
    if (held_.value(peer) < g_objectsPerPeer) atLimit_.remove(peer);
  }
  void watch(const QString& peer);
  void peerGone(const QString& peer);
  void answerInvoke(const QDBusMessage& msg, const TargetPtr& target);
  void answerDescribe(const QDBusMessage& msg, const TargetPtr& target);
  // False (after answering a call with Error 70) when the gate refuses the sender of msg.
  bool admitted(const QDBusMessage& msg);

  QHash<QString, Export> exports_;  // path -> export
  // Objects whose last remote reference was released. A reply may still name one (the peer
  // hands back an object we passed it and releases its proxy before our reply is decoded);
  // while the object lives on our side (the caller's arguments hold it) it is found here.
  // Paths are never reused, so an entry cannot name another object.
  // Only the peer whose release retired the object may still name it.
  struct Retired {
    std::weak_ptr<Target> target;
    QString peer;
  };
  QHash<QString, Retired> released_;
  void retire(const QString& path, const TargetPtr& target, const QString& peer);
  // True when peer may call or name the object at path: the root is public, every other
  // object answers only the peers it has been handed to.
  bool holds(const Export& e, const QString& peer) const { return e.pinned || e.refs.contains(peer); }
  QHash<const Target*, QString> paths_;           // exported target -> path
  QHash<QString, int> held_;                      // peer -> number of exports it holds
  QSet<QString> atLimit_;                         // peers told about the limit in the log
  QHash<QString, std::weak_ptr<Proxy>> proxies_;  // service + path -> live proxy
  QMultiHash<QString, QString> connectedNames_;   // owner unique name -> name given to connect()
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
  bool takesPaths() const override { return true; }
  bool getEach(const QStringList& members, QVariantList& values) override;
  QString className() const override;
  QList<MemberInfo> members() const override;

  const QString& service() const { return service_; }
  const QString& path() const { return path_; }
  const Endpoint* endpoint() const { return ep_.get(); }
  void addHeld(int n) { held_ += n; }

 private:
  QDBusMessage callRemote(const QString& method, const QVariantList& args) const;
  QDBusMessage message(const QString& method, const QVariantList& args) const;
  // The reply, or the error it carries thrown as jex::Error.
  QDBusMessage checked(const QDBusMessage& reply, const QString& method) const;
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
  wire::registerTypes();
  conn.registerVirtualObject(kObjPath, this, QDBusConnection::SubPath);
  watcher_ = new QDBusServiceWatcher(QString(), conn, QDBusServiceWatcher::WatchForUnregistration, this);
  QObject::connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this,
                   [this](const QString& name) { peerGone(name); });
}

QVariant Endpoint::encode(const QVariant& v, const QString& peer) {
  if (!v.isValid()) return QVariant::fromValue(Marker{0});
  if (isMissing(v)) return QVariant::fromValue(Marker{1});
  switch (v.metaType().id()) {
    case QMetaType::QString:
    case QMetaType::Int:
    case QMetaType::Bool:
    case QMetaType::Double:
      return v;
    case QMetaType::QStringList:
      return wire::packStrings(v.toStringList());
    case QMetaType::Float:
      return v.toDouble();
    case QMetaType::QVariantList:
      return QVariant(encodeList(v.toList(), peer));
    default:
      break;
  }
  if (isIntegral(v.metaType())) {  // other than Int: as Int where it fits, else as Double
    bool ok = false;
    qlonglong l = v.toLongLong(&ok);
    if (ok && l >= std::numeric_limits<qint32>::min() && l <= std::numeric_limits<qint32>::max()) return int(l);
    return v.toDouble();
  }
  if (v.metaType() == QMetaType::fromType<Obj>()) {
    Obj o = v.value<Obj>();
    if (o.isNothing()) return QVariant::fromValue(ObjRef{QString(), QDBusObjectPath(kRootPath)});
    if (auto* p = dynamic_cast<Proxy*>(o.target().get()); p && p->endpoint() == this) {
      if (p->service() != peer && p->path() != kRootPath) {
        // Passed on to a third party: the owner serves it to that peer once we share it. The
        // share leaves before the message that carries the object, so it arrives first.
        QDBusMessage m = QDBusMessage::createMethodCall(p->service(), p->path(), QLatin1String(kInterface), kShare);
        m << peer << 1;
        m.setAutoStartService(false);
        conn.send(m);
      }
      return QVariant::fromValue(ObjRef{p->service(), QDBusObjectPath(p->path())});
    }
    return QVariant::fromValue(ObjRef{self, QDBusObjectPath(exportObject(o.target(), peer))});
  }
  throw Error(
      err::TypeMismatch,
      QStringLiteral("Type mismatch: a value of type %1 cannot be passed").arg(QString::fromUtf8(v.typeName())));
}

QVariantList Endpoint::encodeList(const QVariantList& list, const QString& peer) {
  QVariantList out;
  out.reserve(list.size());
  for (const QVariant& v : list) out.append(encode(v, peer));
  return out;
}

QString Endpoint::exportObject(const TargetPtr& target, const QString& peer) {
  QString path = paths_.value(target.get());
  const bool holding = !path.isEmpty() && (path == kRootPath || exports_.value(path).refs.contains(peer));
  if (!holding && held_.value(peer) >= g_objectsPerPeer) {
    if (!atLimit_.contains(peer)) {
      atLimit_.insert(peer);
      WriteErrorLog(QStringLiteral("automation: %1 holds %2 objects, no more are handed to it until it releases some")
                        .arg(peer)
                        .arg(held_.value(peer)));
    }
    throw Error(err::OutOfMemory,
                QStringLiteral("Out of memory: the caller holds %1 objects already").arg(held_.value(peer)));
  }
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
    // A peer names only objects it has been handed; any other path is not served to it.
    if (it != exports_.constEnd() && holds(*it, peer)) return Obj(it->target);
    if (auto r = released_.constFind(path); r != released_.constEnd() && r->peer == peer)
      if (TargetPtr alive = r->target.lock()) return Obj(alive);
    vanished(QStringLiteral("object %1 is no longer served").arg(path));
  }
  const QString key = proxyKey(ref.bus, path);
  std::shared_ptr<Proxy> p = proxies_.value(key).lock();
  if (!p) {
    p = std::make_shared<Proxy>(shared_from_this(), ref.bus, path);
    proxies_.insert(key, p);
    watch(ref.bus);
  }
  // An object passed on by a third party has been shared with us by it (see encode()).
  if (path != kRootPath) p->addHeld(1);
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
  const bool had = n > 0;
  n += delta;
  if (n <= 0) {
    it->refs.remove(peer);
    if (had) dropHeld(peer);
  } else {
    if (!had) ++held_[peer];
    watch(peer);
  }
  if (it->refs.isEmpty() && !it->pinned) {
    paths_.remove(it->target.get());
    retire(it.key(), it->target, peer);
    exports_.erase(it);  // the last reference of the other side is gone
  }
}

void Endpoint::retire(const QString& path, const TargetPtr& target, const QString& peer) {
  if (released_.size() >= 64) {
    for (auto r = released_.begin(); r != released_.end();) r = r->target.expired() ? released_.erase(r) : std::next(r);
  }
  released_.insert(path, Retired{target, peer});
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
  held_.remove(peer);
  atLimit_.remove(peer);
  for (auto it = exports_.begin(); it != exports_.end();) {
    it->refs.remove(peer);
    if (it->refs.isEmpty() && !it->pinned) {
      paths_.remove(it->target.get());
      retire(it.key(), it->target, peer);
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
  held_.clear();
  atLimit_.clear();
  gate = nullptr;
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
  const QString peer = msg.service();
  if (member != kRelease && !admitted(msg)) return true;
  auto it = exports_.constFind(msg.path());
  // An object that was never handed to this peer answers it as if it did not exist.
  if (it == exports_.constEnd() || !holds(*it, peer)) {
    if (member == kRelease || member == kAddRef || member == kShare) return true;  // already gone
    conn.send(msg.createErrorReply(QDBusError::UnknownObject, QStringLiteral("No object at ") + msg.path()));
    return true;
  }
  TargetPtr target = it->target;  // stays alive while the call runs, even if released meanwhile
  if (member == QLatin1String("Invoke")) {
    answerInvoke(msg, target);
  } else if (member == QLatin1String("Describe")) {
    answerDescribe(msg, target);
  } else if (member == kRelease || member == kAddRef) {
    const int n = wire::decodeCount(msg);
    if (msg.path() != kRootPath && n > 0) changeRefs(msg.path(), peer, member == kRelease ? -n : n);
  } else if (member == kShare) {
    const QList<QVariant> in = msg.arguments();
    const QString to = in.value(0).toString();
    if (msg.signature() == QLatin1String("si") && msg.path() != kRootPath && to.startsWith(QLatin1Char(':')) &&
        in.value(1).toInt() == 1)
      changeRefs(msg.path(), to, 1);
  } else {
    return false;
  }
  return true;
}

bool Endpoint::admitted(const QDBusMessage& msg) {
  if (!gate || msg.service() == self) return true;
  bool ok = false;
  trap("automation.gate", [&] { ok = gate(msg.service()); });
  if (ok) return true;
  const QString& member = msg.member();
  if (member == kAddRef || member == kShare) return false;  // no reply is expected
  const QString what = member == QLatin1String("Invoke") ? msg.arguments().value(0).toString() : member;
  WriteErrorLog(QStringLiteral("automation: refused %1 of %2 from %3, a caller this program does not serve")
                    .arg(what.left(80), msg.path(), msg.service()));
  conn.send(msg.createErrorReply(QLatin1String(kErrorName),
                                 QString::number(err::PermissionDenied) + QStringLiteral("\nPermission denied")));
  return false;
}

void Endpoint::answerInvoke(const QDBusMessage& msg, const TargetPtr& target) {
  const QString peer = msg.service();
  QDBusMessage reply;
  // The decoded arguments and the result live until the reply is sent: dropping a proxy sends
  // its Release, which must not overtake the reply that may still name the object.
  wire::Call call;
  QVariant result;
  try {
    try {
      call = wire::decodeCall(msg, decoder(peer));
    } catch (const Error& e) {
      // A peer that sends what no endpoint sends: it gets the error, the log names it.
      WriteErrorLog(QStringLiteral("automation.Invoke: ") + QString::number(e.number()) +
                    QStringLiteral(" malformed call of ") + msg.path() + QStringLiteral(" from ") + peer +
                    QStringLiteral(": ") + e.description());
      throw;
    }
    {
      CallerScope caller(this, &peer);
      result = invokePath(target, call.member, call.kind, call.args);
    }
    QVariantList out = call.kind == CallKind::Method ? encodeList(call.args, peer) : QVariantList();
    reply = msg.createReply(QList<QVariant>{QVariant::fromValue(QDBusVariant(encode(result, peer))), QVariant(out)});
  } catch (const Error& e) {
    reply = msg.createErrorReply(QLatin1String(kErrorName),
                                 QString::number(e.number()) + QLatin1Char('\n') + e.description());
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
                    "<arg name=\"result\" type=\"v\" direction=\"out\"/><arg name=\"argsOut\" type=\"av\" "
                    "direction=\"out\"/></method>\n"
                    "    <method name=\"Describe\"><arg name=\"className\" type=\"s\" direction=\"out\"/>"
                    "<arg name=\"members\" type=\"a(sibbiisia(sii))\" direction=\"out\"/></method>\n"
                    "    <method name=\"Release\"><arg name=\"count\" type=\"i\" direction=\"in\"/>"
                    "<annotation name=\"org.freedesktop.DBus.Method.NoReply\" value=\"true\"/></method>\n"
                    "    <method name=\"AddRef\"><arg name=\"count\" type=\"i\" direction=\"in\"/>"
                    "<annotation name=\"org.freedesktop.DBus.Method.NoReply\" value=\"true\"/></method>\n"
                    "    <method name=\"Share\"><arg name=\"peer\" type=\"s\" direction=\"in\"/>"
                    "<arg name=\"count\" type=\"i\" direction=\"in\"/>"
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

// Waits for the reply to m, serving incoming calls meanwhile but no user input.
// Qt's own wait of this kind (QDBus::BlockWithGui) looks at the pending call before it hooks
// onto its end, so a reply that comes in between is missed and the wait never ends (not even
// at the time-out, which has then already been handled); a burst of commands met that about
// once in 50,000 calls. A watcher that is created first cannot miss the end: it reports a call
// that has already ended, and the time-out ends the call like a reply.
QDBusMessage waitServing(QDBusPendingCall pending, const QDBusMessage& m, int timeoutMs) {
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

QDBusMessage Proxy::message(const QString& method, const QVariantList& args) const {
  QDBusMessage m = QDBusMessage::createMethodCall(service_, path_, QLatin1String(kInterface), method);
  m.setArguments(args);
  m.setAutoStartService(false);
  return m;
}

QDBusMessage Proxy::callRemote(const QString& method, const QVariantList& args) const {
  const QDBusMessage m = message(method, args);
  QDBusMessage reply;
  {
    CallerScope none(nullptr, nullptr);  // calls served meanwhile have callers of their own
    ++g_waiting;
    reply = waitServing(ep_->conn.asyncCall(m, g_timeout), m, g_timeout);
    --g_waiting;
  }
  return checked(reply, method);
}

QDBusMessage Proxy::checked(const QDBusMessage& reply, const QString& method) const {
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
        throw Error(err::Timeout,
                    QStringLiteral("The call of %1 did not return within %2 ms").arg(method).arg(g_timeout));
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
  QDBusMessage reply =
      callRemote(QStringLiteral("Invoke"), {member, int(kind), QVariant(ep->encodeList(args, service_))});
  wire::Reply r = wire::decodeReply(reply, ep->decoder(service_), kind == CallKind::Method);
  for (qsizetype i = 0; i < args.size() && i < r.args.size(); ++i) args[i] = r.args[i];
  return r.result;
}

// Every read is on its way before the first answer is waited for: the other side answers them
// one after the other, and the round trips overlap.
bool Proxy::getEach(const QStringList& members, QVariantList& values) {
  std::shared_ptr<Endpoint> ep = ep_;  // keeps the state alive across nested calls
  const QString method = QStringLiteral("Invoke");
  const QVariant noArgs = QVariant(ep->encodeList({}, service_));
  std::vector<std::pair<QDBusMessage, QDBusPendingCall>> sent;
  sent.reserve(size_t(members.size()));
  for (const QString& member : members) {
    QDBusMessage m = message(method, {member, int(CallKind::Get), noArgs});
    sent.emplace_back(m, ep->conn.asyncCall(m, g_timeout));
  }
  QList<QDBusMessage> replies;
  {
    CallerScope none(nullptr, nullptr);
    ++g_waiting;
    for (auto& [m, pending] : sent) replies.append(waitServing(pending, m, g_timeout));
    --g_waiting;
  }
  for (const QDBusMessage& reply : replies)
    values.append(wire::decodeReply(checked(reply, method), ep->decoder(service_), false).result);
  return true;
}

void Proxy::describe() const {
  if (described_) return;
  trap("automation.Describe", [&] {
    auto [name, members] = wire::decodeDescription(callRemote(QStringLiteral("Describe"), {}));
    className_ = name;
    members_ = members;
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
    throw Error(
        err::CannotCreateObject,
        QStringLiteral("Cannot create object %1: no session bus (%2)").arg(busName, conn.lastError().message()));
  QDBusReply<QString> owner = conn.interface()->serviceOwner(busName);
  if (!owner.isValid() || owner.value().isEmpty())
    throw Error(err::CannotCreateObject, QStringLiteral("Cannot create object %1: it is not running").arg(busName));
  return endpointFor(conn)->connectTo(busName, owner.value());
}

void setCallerGate(CallerGate gate, QDBusConnection conn) {
  if (conn.isConnected()) endpointFor(conn)->gate = std::move(gate);
}

bool ownsOneOf(const QDBusConnection& conn, const QString& peer, const QStringList& names) {
  if (peer.isEmpty() || !conn.isConnected() || !conn.interface()) return false;
  for (const QString& name : names) {
    const QDBusReply<QString> owner = conn.interface()->serviceOwner(name);
    if (owner.isValid() && owner.value() == peer) return true;
  }
  return false;
}

CallerGate ownersOf(QStringList names, QDBusConnection conn) {
  auto served = std::make_shared<QSet<QString>>();
  return [names = std::move(names), conn = std::move(conn), served](const QString& peer) {
    if (served->contains(peer)) return true;
    if (!ownsOneOf(conn, peer, names)) return false;
    served->insert(peer);
    return true;
  };
}

void setObjectsPerPeer(int n) { g_objectsPerPeer = n > 0 ? n : kDefaultObjectsPerPeer; }
int objectsPerPeer() { return g_objectsPerPeer; }

void setCallTimeout(int ms) { g_timeout = ms > 0 ? ms : kDefaultCallTimeoutMs; }
int callTimeout() { return g_timeout; }
int callsWaiting() { return g_waiting; }

QString currentCaller() { return g_caller.peer ? *g_caller.peer : QString(); }

bool callerOwns(const QString& busName) {
  if (!g_caller.peer) return true;  // not answering a call over the bus: this process itself
  const QDBusConnection& conn = g_caller.ep->conn;
  if (!conn.isConnected() || !conn.interface()) return false;
  const QDBusReply<QString> owner = conn.interface()->serviceOwner(busName);
  return owner.isValid() && owner.value() == *g_caller.peer;
}

Bridge& Bridge::instance() {
  static auto* b = new Bridge;  // left alive until the process ends, like the endpoints
  return *b;
}

int Bridge::exportedCount(const QDBusConnection& conn) const {
  auto it = endpoints().constFind(conn.name());
  return it == endpoints().constEnd() ? 0 : (*it)->exportedCount();
}

}  // namespace jex::automation::dbus
