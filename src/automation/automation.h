// Late-bound access to objects of the other side ("automation objects").
//
// The screen-reader core and JexUI reach each other's objects only by member name, as
// scripts do: property read and write (also indexed), method calls whose arguments may come
// back changed (by reference), objects and collections returned as new handles, and the
// default member of an object (its value when it is used as text).
//
//   Obj core = createObject("corvane.application");
//   QString path = core.str("proc.AppPath");
//   core.set("JEX_UI_Notification_Sink_Event_Enable", {"HandleCmd"}, true);
//   QVariantList a{0, 0};  core.call("PitchRanges", a);   // a[0], a[1] now hold the ranges
//   Obj dev = core.obj("BrailleInterface.Devices").item(1);  QString name = dev.toString();
//
// Dotted paths read every segment but the last as an object-valued property. An object of the
// other side gets the rest of the path in one call and walks it on its own side, so that
// "proc.ForeGroundApp" costs one round trip, not two (invokePath()).
//
// Values that travel: invalid QVariant (Empty), QString, int (32 bit), bool, double,
// QStringList (a whole list of strings in one call), QVariantList of those, and Obj (an
// object of either side). Missing (below) marks an omitted optional argument in the middle
// of an argument list; omitted trailing arguments are simply not passed.
//
// Every failing call (unknown member, wrong arguments, type mismatch, vanished peer,
// time-out) throws jex::Error; callers trap it with jex::trap() (base/error.h).
//
// Two transports give the same behaviour: in-process (the Obj holds the Target itself; used
// by unit tests and for objects of one's own side) and D-Bus (the Obj holds a proxy; see
// dbustransport.h).
#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <initializer_list>
#include <memory>

#include "base/error.h"

namespace jex::automation {

enum class CallKind { Get = 1, Method = 2, Put = 4 };

// How many objects deep the default member of an object is followed: its value when it is used
// as text or number, or the target of arguments given to an object-valued property.
inline constexpr int kMaxDefaultDepth = 8;

// Documentation of one member, used for introspection ("type library").
// A declared parameter: its name, its variant type number (3 Long, 8 String, 11 Boolean,
// 12 Variant, 9 Object ...) and its flags as type libraries write them (1 in, 2 out, 0x10
// optional).
struct ParamInfo {
  QString name;
  int type = 12;
  int flags = 1;
  bool operator==(const ParamInfo&) const = default;
};

struct MemberInfo {
  QString name;
  CallKind kind = CallKind::Method;  // Get for read-only properties, Put for write-only ones
  bool readable = true;
  bool writable = false;
  int minArgs = 0;
  int maxArgs = 0;
  QString help;
  // Declared by the object (Dispatchable::declare); undeclared ones are Variant. A method's
  // result 24 (void) makes it a Sub. params: the arguments (the index of a property), without
  // the value a property is given.
  int resultType = 12;
  QList<ParamInfo> params;
};

// Anything that answers late-bound calls. Implement it through Dispatchable (dispatchable.h).
class Target {
 public:
  virtual ~Target() = default;
  // member "" is the default member. args may be changed by the callee (by reference).
  // For CallKind::Put the value to assign is the last element of args; the elements before
  // it are the index arguments. Throws jex::Error.
  virtual QVariant invoke(const QString& member, CallKind kind, QVariantList& args) = 0;
  virtual QString className() const { return {}; }
  virtual QList<MemberInfo> members() const { return {}; }
  // True for an object of another process: invoke() then takes a dotted path as its member.
  virtual bool takesPaths() const { return false; }
  // A remote object reads several properties or dotted paths (no index arguments) with one
  // wait: it sends every read before it waits for the first answer, fills values in order,
  // throws the first failure and returns true. Others return false and are read one by one.
  virtual bool getEach(const QStringList& /*paths*/, QVariantList& /*values*/) { return false; }
};
using TargetPtr = std::shared_ptr<Target>;

// Marker for an omitted optional argument.
struct Missing {
  bool operator==(const Missing&) const { return true; }
};
bool isMissing(const QVariant& v);
QVariant missing();

// A handle on an object of either side. Copies share the object; a default Obj is Nothing.
class Obj {
 public:
  Obj() = default;
  explicit Obj(TargetPtr target) : target_(std::move(target)) {}

  bool isNothing() const { return !target_; }
  explicit operator bool() const { return bool(target_); }
  const TargetPtr& target() const { return target_; }
  bool operator==(const Obj& o) const { return target_ == o.target_; }

  // Property read; index arguments for indexed properties.
  QVariant get(const QString& path, QVariantList index = {}) const;
  // Property write; indexed write with index arguments.
  void set(const QString& path, const QVariant& value) const;
  void set(const QString& path, QVariantList index, const QVariant& value) const;
  // Method call with arguments by reference: changed values come back in args.
  QVariant call(const QString& path, QVariantList& args) const;
  // Method call with arguments by value.
  QVariant call(const QString& path, std::initializer_list<QVariant> args = {}) const;

  // Several properties (or dotted paths) read at once, in order (Target::getEach()).
  QVariantList getEach(const QStringList& members) const;

  // Typed reads with script-like conversions (throw Error 13 on a type mismatch).
  Obj obj(const QString& path) const;  // Error 424 when the value is no object
  QString str(const QString& path) const;
  qint32 i32(const QString& path) const;
  bool boolean(const QString& path) const;

  // The object's default member converted to text (a device object gives its DeviceName).
  QString toString() const;

  // Collections: Count, Item(i) 1-based, and all items as strings in one call ("Items").
  int count() const;
  QVariant item(const QVariant& indexOrKey) const;
  Obj itemObj(const QVariant& indexOrKey) const;
  QStringList strings() const;

 private:
  // Resolves all but the last segment of path; returns the object and the last segment.
  std::pair<Obj, QString> walk(const QString& path) const;
  friend QVariant invokePath(const TargetPtr&, const QString&, CallKind, QVariantList&);
  TargetPtr target_;
};

// True for the integer types a travelling value may hold (Int, UInt, LongLong, Short, Char and
// their kin).
bool isIntegral(QMetaType t);

// Script-like conversions of travelling values; throw Error 13 (type mismatch).
QString toStr(const QVariant& v);
qint32 toI32(const QVariant& v);
bool toBool(const QVariant& v);
Obj toObj(const QVariant& v);  // Error 424 when v holds no object
QVariant fromObj(const Obj& o);

// Creates an object by its programmatic identifier ("corvane.application", "JexUI.UI_Application").
// Classes registered in this process are created in-process; any other identifier is looked
// up on the session bus (dbustransport.h: the bus name is the identifier). Throws Error 429.
Obj createObject(const QString& progId);
// Calls the last segment of a dotted path on the object the other segments lead to (Obj::get,
// set and call; the D-Bus transport for a path it receives).
QVariant invokePath(const TargetPtr& target, const QString& path, CallKind kind, QVariantList& args);
using Factory = std::function<TargetPtr()>;
void registerClass(const QString& progId, Factory factory);  // in-process class
void unregisterClass(const QString& progId);

}  // namespace jex::automation

Q_DECLARE_METATYPE(jex::automation::Obj)
Q_DECLARE_METATYPE(jex::automation::Missing)

namespace jex {
using automation::Obj;
}
