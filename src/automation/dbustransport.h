// Automation objects between processes over D-Bus.
//
// The bus name is the programmatic identifier: the core owns "corvane.application", JexUI owns
// "JexUI.UI_Application"; each serves its root object at path "/". Every exported object
// answers one generic interface, "org.jexui.Automation1":
//
//   Invoke(s member, i kind, av args) -> (v result, av argsOut)   kind as CallKind; argsOut
//                                       carries the by-reference values back (method calls)
//   Describe() -> (s className, a(sibbiisia(sii)) members)               the member table with help
//   Release(i count), AddRef(i count)                             no reply; reference counts
//   Share(s peer, i count)                                        no reply; a holder passes the
//                                       object on to a third peer, which then holds count references
//
// Values travel as variants: s, i, b, d, av (lists), (ay) for a whole string list in one call
// (UTF-8, each string ended by NUL; a list whose strings hold NUL characters goes as as),
// (so) for an object (bus unique name, path; "" for Nothing) and (y) for Empty (0) and Missing
// (1). An Obj passed as an argument or returned is exported by the sending side at "/obj/<n>"
// (the same object keeps its path) and arrives as a proxy; a proxy that comes home arrives as
// the original local object. The exporting side keeps a strong reference while a peer holds
// a proxy; proxies send Release when they die, and a peer that leaves the bus loses its
// references. The root object answers everybody; an object at "/obj/<n>" answers only the peers
// it has been handed to (directly or shared by a holder), any other peer gets UnknownObject, as
// for a path that was never served, and cannot name it in a call either.
//
// Everything a peer sends is checked before it is read (dbuswire.h): a malformed call gets
// "org.jexui.Automation.Error" back and a line in the log, a malformed reply fails the call.
//
// Errors of the remote object travel as the D-Bus error "org.jexui.Automation.Error" with the
// message "<number>\n<description>" and are rethrown as jex::Error with the same number. A
// vanished peer gives Error 462, a call that does not return in time err::Timeout.
//
// Calls block the calling (user-interface) thread for at most callTimeout() ms
// (kDefaultCallTimeoutMs unless set) and keep serving incoming calls meanwhile, but no user input: the other side may
// call back during the wait (the core raises the sink's HandleCmd while JexUI calls the core)
// without deadlock, like a single-threaded apartment.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <functional>

#include "automation/automation.h"

namespace jex::automation::dbus {

inline constexpr char kInterface[] = "org.jexui.Automation1";
inline constexpr char kErrorName[] = "org.jexui.Automation.Error";

// Serves root at "/" of conn and requests busName. False when the name is already owned
// (another instance runs) or the connection is not usable.
bool publish(const QString& busName, TargetPtr root, QDBusConnection conn = QDBusConnection::sessionBus());
// Gives the name up and stops serving the root object.
void unpublish(const QString& busName, QDBusConnection conn = QDBusConnection::sessionBus());
bool isNameOwned(const QString& busName, QDBusConnection conn = QDBusConnection::sessionBus());
// The root object of the owner of busName. Throws Error 429 when nobody owns the name.
Obj connect(const QString& busName, QDBusConnection conn = QDBusConnection::sessionBus());

// Drops all the transport holds on conn: its exported objects, its root, the peer watching
// and the references that keep the connection open; proxies on it fail with Error 462 from
// then on. Call it before QDBusConnection::disconnectFromBus() so the connection really closes.
void detach(QDBusConnection conn);

// Decides whether peer (a unique bus name) may use the objects served on conn: a refused Invoke
// or Describe gets Error 70 and a line in the log, its AddRef and Share are dropped. Without a
// gate every peer may call the root object. An empty gate removes it.
using CallerGate = std::function<bool(const QString& peer)>;
void setCallerGate(CallerGate gate, QDBusConnection conn = QDBusConnection::sessionBus());
// True when peer owns one of names on conn right now (asks the bus daemon).
bool ownsOneOf(const QDBusConnection& conn, const QString& peer, const QStringList& names);
// The gate of a program that serves only the owners of names (JexUI serves the core). A peer
// found owning one stays served for its life on the bus (unique names are never reused); any
// other is looked up again at each call, so a new owner is served from its first call.
CallerGate ownersOf(QStringList names, QDBusConnection conn);

// Most objects one peer may hold at a time on a connection (the root not counted). A call whose
// result or arguments would hand that peer one more fails with Error 7, and the log says so
// once until the peer holds fewer again.
inline constexpr int kDefaultObjectsPerPeer = 4096;
void setObjectsPerPeer(int n);  // 0 or less sets it back
int objectsPerPeer();

// Time-out of every call in milliseconds: kDefaultCallTimeoutMs until set; 0 or less sets it back.
inline constexpr int kDefaultCallTimeoutMs = 3000;
void setCallTimeout(int ms);
int callTimeout();

// How many calls of this thread wait for their reply right now. While one waits, incoming
// calls are served in its event loop; code that must not start new work in the middle of a
// call (the command queue) asks this first.
int callsWaiting();

// The unique bus name of the peer whose call this thread is answering right now; empty when the
// running code does not answer a call over the bus (in-process calls, timers, the console).
QString currentCaller();
// True when the call being answered comes from the owner of busName, or comes from this process
// itself (no current caller). Asks the bus daemon; meant for the rare calls that need it.
bool callerOwns(const QString& busName);

// Process-wide notices of the transport.
class Bridge : public QObject {
  Q_OBJECT
 public:
  static Bridge& instance();

  // Number of objects this process currently exports on conn (root objects included).
  int exportedCount(const QDBusConnection& conn) const;

 signals:
  // The owner of a name that connect() reached has left the bus (busName as passed to
  // connect(); the unique name when a peer was reached only through passed objects).
  void peerVanished(const QString& busName);

 private:
  Bridge() = default;
};

}  // namespace jex::automation::dbus
