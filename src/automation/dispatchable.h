// Serving automation objects: a member table instead of hand-written invoke() switches.
//
//   class Proc : public Dispatchable {
//    public:
//     Proc() : Dispatchable("proc") {
//       property("AppPath", [this] { return appPath_; });
//       property("UseSpeech", [this] { return useSpeech_; }, [this](const QVariant& v) { useSpeech_ = toI32(v); });
//       method("AddToCMDQueue", 1, 1, [this](Args& a) { queue(a.str(0)); return QVariant(); });
//       method("PitchRanges", 2, 2, [](Args& a) { a.set(0, 0); a.set(1, 100); return QVariant(); });
//       indexed("Event_Enable", 1, getter, putter);
//       defaultMember("DeviceName");
//     }
//   };
//
// Member names are matched without regard to case. Wrong argument counts raise Error 450,
// unknown members Error 438. The table also documents the object (members()).
#pragma once

#include <QHash>

#include "automation/automation.h"

namespace jex::automation {

// The arguments of one call, by reference, 0-based. Conversions throw Error 13.
class Args {
 public:
  explicit Args(QVariantList& list) : list_(list) {}
  int size() const { return int(list_.size()); }
  // True when argument i was passed and is not Missing.
  bool has(int i) const;
  const QVariant& at(int i) const { return list_[i]; }
  QString str(int i, const QString& fallback = {}) const;
  qint32 i32(int i, qint32 fallback = 0) const;
  bool boolean(int i, bool fallback = false) const;
  Obj obj(int i) const;
  // Writes a by-reference argument back to the caller (ignored when i was not passed).
  void set(int i, const QVariant& value);
  QVariantList& list() { return list_; }

 private:
  QVariantList& list_;
};

class Dispatchable : public Target, public std::enable_shared_from_this<Dispatchable> {
 public:
  explicit Dispatchable(QString className) : className_(std::move(className)) {}

  QVariant invoke(const QString& member, CallKind kind, QVariantList& args) override;
  QString className() const override { return className_; }
  QList<MemberInfo> members() const override;

 protected:
  using Getter = std::function<QVariant()>;
  using Putter = std::function<void(const QVariant&)>;
  using Method = std::function<QVariant(Args&)>;
  using IndexedGetter = std::function<QVariant(Args& index)>;
  using IndexedPutter = std::function<void(Args& index, const QVariant& value)>;

  // Read-only property without putter; write-only without getter (pass {}).
  void property(const QString& name, Getter get, Putter put = {}, const QString& help = {});
  void indexed(const QString& name, int indexCount, IndexedGetter get, IndexedPutter put = {},
               const QString& help = {});
  // maxArgs < 0: any number of arguments from minArgs on.
  void method(const QString& name, int minArgs, int maxArgs, Method fn, const QString& help = {});
  // A method without arguments that returns nothing.
  void procedure(const QString& name, std::function<void()> fn, const QString& help = {});
  // Declares the parameters and the result type of member name, already in the table (see
  // MemberInfo); a property's params are its index.
  void declare(const QString& name, QList<ParamInfo> params, int resultType = 12);
  // The member answered for "" (the object's value).
  void defaultMember(const QString& name) { default_ = name; }

 private:
  struct Entry {
    MemberInfo info;
    Getter get;
    Putter put;
    Method call;
    IndexedGetter iget;
    IndexedPutter iput;
    int indexCount = 0;
  };
  void add(Entry e);
  QString className_;
  QString default_;
  QList<Entry> entries_;
  QHash<QString, int> byName_;  // lower-case name -> entries_ index
};

// A collection of values with Count, Item / item / ItemByIndex (1-based, or by key without
// regard to case when keys were given), Items (all items as one QStringList), Add (item and an
// optional key, so that the other side can fill a collection it was handed), and Item
// as its default member ("coll(2)" is "coll.Item(2)"). A bad position or an unknown key raises
// Error 5; adding a key twice raises Error 457.
class Collection : public Dispatchable {
 public:
  Collection();
  void add(const QVariant& item, const QString& key = {});
  void clear();
  int size() const { return int(items_.size()); }
  const QVariantList& items() const { return items_; }

 private:
  int position(const QVariant& indexOrKey) const;  // 0-based; a string is a key
  QVariantList items_;
  QStringList keys_;
};

}  // namespace jex::automation
