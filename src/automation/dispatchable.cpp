#include "automation/dispatchable.h"

namespace jex::automation {

namespace {

[[noreturn]] void unknownMember(const QString& name) {
  throw Error(err::UnknownMember, QStringLiteral("Object doesn't support this property or method: ") + name);
}

[[noreturn]] void wrongArguments(const QString& name) {
  throw Error(err::WrongArguments, QStringLiteral("Wrong number of arguments or invalid property assignment: ") + name);
}

}  // namespace

// --- Args ------------------------------------------------------------------------------------

bool Args::has(int i) const { return i >= 0 && i < size() && !isMissing(list_[i]); }

QString Args::str(int i, const QString& fallback) const { return has(i) ? toStr(list_[i]) : fallback; }

qint32 Args::i32(int i, qint32 fallback) const { return has(i) ? toI32(list_[i]) : fallback; }

bool Args::boolean(int i, bool fallback) const { return has(i) ? toBool(list_[i]) : fallback; }

Obj Args::obj(int i) const { return has(i) ? toObj(list_[i]) : Obj(); }

void Args::set(int i, const QVariant& value) {
  if (i >= 0 && i < size()) list_[i] = value;
}

// --- Dispatchable ----------------------------------------------------------------------------

void Dispatchable::property(const QString& name, Getter get, Putter put, const QString& help) {
  Entry e;
  e.info.name = name;
  e.info.readable = bool(get);
  e.info.writable = bool(put);
  e.info.kind = get ? CallKind::Get : CallKind::Put;
  e.info.help = help;
  e.get = std::move(get);
  e.put = std::move(put);
  add(std::move(e));
}

void Dispatchable::indexed(const QString& name, int indexCount, IndexedGetter get, IndexedPutter put,
                           const QString& help) {
  Entry e;
  e.info.name = name;
  e.info.readable = bool(get);
  e.info.writable = bool(put);
  e.info.kind = get ? CallKind::Get : CallKind::Put;
  e.info.minArgs = e.info.maxArgs = indexCount;
  e.info.help = help;
  e.iget = std::move(get);
  e.iput = std::move(put);
  e.indexCount = indexCount;
  add(std::move(e));
}

void Dispatchable::method(const QString& name, int minArgs, int maxArgs, Method fn, const QString& help) {
  Entry e;
  e.info.name = name;
  e.info.kind = CallKind::Method;
  e.info.readable = true;
  e.info.minArgs = minArgs;
  e.info.maxArgs = maxArgs;
  e.info.help = help;
  e.call = std::move(fn);
  add(std::move(e));
}

void Dispatchable::procedure(const QString& name, std::function<void()> fn, const QString& help) {
  method(
      name, 0, 0,
      [fn = std::move(fn)](Args&) {
        fn();
        return QVariant();
      },
      help);
}

void Dispatchable::add(Entry e) {
  const QString key = e.info.name.toLower();
  auto it = byName_.constFind(key);
  if (it != byName_.constEnd()) {
    entries_[*it] = std::move(e);  // a later definition replaces an earlier one
    return;
  }
  byName_.insert(key, int(entries_.size()));
  entries_.append(std::move(e));
}

void Dispatchable::declare(const QString& name, QList<ParamInfo> params, int resultType) {
  auto it = byName_.constFind(name.toLower());
  if (it == byName_.constEnd()) return;
  MemberInfo& info = entries_[*it].info;
  info.params = std::move(params);
  info.resultType = resultType;
}

QList<MemberInfo> Dispatchable::members() const {
  QList<MemberInfo> out;
  out.reserve(entries_.size());
  for (const Entry& e : entries_) out.append(e.info);
  return out;
}

QVariant Dispatchable::invoke(const QString& member, CallKind kind, QVariantList& args) {
  const QString& name = member.isEmpty() ? default_ : member;
  if (name.isEmpty()) unknownMember(QStringLiteral("(default member of %1)").arg(className_));
  auto it = byName_.constFind(name.toLower());
  if (it == byName_.constEnd()) unknownMember(name);
  const Entry& e = entries_[*it];
  const int n = int(args.size());

  if (kind == CallKind::Put) {
    if (e.put && n == 1) {
      e.put(args.front());
      return {};
    }
    if (e.iput && n == e.indexCount + 1) {
      QVariantList index = args.mid(0, n - 1);
      Args a(index);
      e.iput(a, args.back());
      return {};
    }
    wrongArguments(name);
  }

  // Reading and calling are interchangeable, as in scripts: a method may be read like a
  // property and a property called like a method.
  if (e.call) {
    if (n < e.info.minArgs || (e.info.maxArgs >= 0 && n > e.info.maxArgs)) wrongArguments(name);
    Args a(args);
    return e.call(a);
  }
  if (e.iget) {
    if (n != e.indexCount) wrongArguments(name);
    Args a(args);
    return e.iget(a);
  }
  if (e.get) {
    QVariant v = e.get();
    if (n == 0) return v;
    // Arguments after an object-valued property go to that object's default member
    // ("Devices(1)" is "Devices.Item(1)").
    if (v.metaType() == QMetaType::fromType<Obj>()) {
      Obj o = v.value<Obj>();
      if (o) {
        // A default member that is such a property again leads on, but not without end.
        thread_local int forwarded = 0;
        if (forwarded >= kMaxDefaultDepth)
          throw Error(err::OutOfStack,
                      QStringLiteral("Out of stack space: the default member of %1 gives objects more than %2 deep")
                          .arg(className_)
                          .arg(kMaxDefaultDepth));
        ++forwarded;
        struct Leave {
          ~Leave() { --forwarded; }
        } leave;
        return o.target()->invoke(QString(), kind, args);
      }
    }
  }
  wrongArguments(name);
}

// --- Collection ------------------------------------------------------------------------------

Collection::Collection() : Dispatchable(QStringLiteral("Collection")) {
  property(
      QStringLiteral("Count"), [this] { return QVariant(size()); }, {}, QStringLiteral("Number of items."));
  method(
      QStringLiteral("Item"), 1, 1, [this](Args& a) { return items_.at(position(a.at(0))); },
      QStringLiteral("The item by its position (from 1) or by its key (any case)."));
  method(
      QStringLiteral("ItemByIndex"), 1, 1, [this](Args& a) { return items_.at(position(QVariant(a.i32(0)))); },
      QStringLiteral("The item by its position, from 1."));
  property(
      QStringLiteral("Items"),
      [this] {
        QStringList all;
        all.reserve(items_.size());
        for (const QVariant& v : items_) all.append(toStr(v));
        return QVariant(all);
      },
      {}, QStringLiteral("All items as text, in one list."));
  method(
      QStringLiteral("Add"), 1, 2,
      [this](Args& a) {
        add(a.at(0), a.str(1));
        return QVariant();
      },
      QStringLiteral("Appends an item, with a key when one is given (Error 457 when the key is there)."));
  defaultMember(QStringLiteral("Item"));
}

void Collection::add(const QVariant& item, const QString& key) {
  if (!key.isEmpty() && keys_.contains(key.toLower()))
    throw Error(err::DuplicateKey,
                QStringLiteral("This key is already associated with an element of this collection: ") + key);
  items_.append(item);
  keys_.append(key.toLower());
}

void Collection::clear() {
  items_.clear();
  keys_.clear();
}

int Collection::position(const QVariant& indexOrKey) const {
  if (indexOrKey.metaType().id() == QMetaType::QString) {
    qsizetype i = keys_.indexOf(indexOrKey.toString().toLower());
    if (i < 0 || indexOrKey.toString().isEmpty())
      throw Error(err::InvalidCall,
                  QStringLiteral("Invalid procedure call or argument: no item with key ") + indexOrKey.toString());
    return int(i);
  }
  qint32 i = toI32(indexOrKey);
  if (i < 1 || i > size())
    throw Error(err::InvalidCall, QStringLiteral("Invalid procedure call or argument: no item %1").arg(i));
  return i - 1;
}

}  // namespace jex::automation
