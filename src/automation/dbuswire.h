// What travels on the bus between two automation endpoints (see dbustransport.h), and the
// decoding of what a peer sends: the arguments of an incoming call and the reply to an outgoing
// one. A peer is never trusted: every value is checked for its D-Bus type before it is read,
// nesting and sizes are limited, and anything unexpected becomes jex::Error (a call gets it back
// as its error reply) instead of reaching Qt's demarshaller with the wrong type.
#pragma once

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <functional>

#include "automation/automation.h"

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

QDBusArgument& operator<<(QDBusArgument& a, const ObjRef& r);
const QDBusArgument& operator>>(const QDBusArgument& a, ObjRef& r);
QDBusArgument& operator<<(QDBusArgument& a, const StringBlock& b);
const QDBusArgument& operator>>(const QDBusArgument& a, StringBlock& b);
QDBusArgument& operator<<(QDBusArgument& a, const Marker& m);
const QDBusArgument& operator>>(const QDBusArgument& a, Marker& m);

// Registers the wire types with Qt D-Bus (once per process).
void registerTypes();

// Limits on what a peer may send. Lists nest at most kMaxDepth deep; a list or a string block
// holds at most kMaxItems entries; a string at most kMaxChars characters.
inline constexpr int kMaxDepth = 16;
inline constexpr qsizetype kMaxItems = 1 << 20;
inline constexpr qsizetype kMaxChars = 16 << 20;

QVariant packStrings(const QStringList& list);
// Throws Error 5 for a block of more than kMaxItems strings.
QVariant unpackStrings(const QByteArray& bytes);

// Turns received values into travelling values (automation.h). Object references are handed to
// importObject, which gives the proxy or the local object; the decoder checks only their form.
class Decoder {
 public:
  using Import = std::function<Obj(const ObjRef&)>;
  explicit Decoder(Import importObject) : import_(std::move(importObject)) {}
  QVariant value(const QVariant& v, int depth = 0) const;
  QVariantList list(const QVariant& v, int depth = 0) const;

 private:
  QVariant argument(const QDBusArgument& arg, int depth) const;
  Import import_;
};

// Invoke(s member, i kind, av args).
struct Call {
  QString member;
  CallKind kind = CallKind::Get;
  QVariantList args;
};
Call decodeCall(const QDBusMessage& msg, const Decoder& decoder);
// The reply (v result, av argsOut) to Invoke; argsOut is decoded only when withArgs.
struct Reply {
  QVariant result;
  QVariantList args;
};
Reply decodeReply(const QDBusMessage& reply, const Decoder& decoder, bool withArgs);
// The reply (s className, a(sibbiisia(sii)) members) to Describe.
std::pair<QString, QList<MemberInfo>> decodeDescription(const QDBusMessage& reply);
// The count of AddRef and Release; 0 when the message does not carry one.
int decodeCount(const QDBusMessage& msg);

}  // namespace jex::automation::dbus::wire

Q_DECLARE_METATYPE(jex::automation::dbus::wire::ObjRef)
Q_DECLARE_METATYPE(jex::automation::dbus::wire::Marker)
Q_DECLARE_METATYPE(jex::automation::dbus::wire::StringBlock)
Q_DECLARE_METATYPE(jex::automation::ParamInfo)
Q_DECLARE_METATYPE(jex::automation::MemberInfo)
