// A keyed collection that ignores case: items indexed from 1 in the order they were added,
// each with an optional key. Adding a key that is already there (in any case) throws
// jex::Error 457; asking for a key that is not there throws 5, an index out of range 9.
#pragma once

#include "ini/arrays.h"

#include <QHash>
#include <QString>

#include <utility>
#include <vector>

namespace jex {

template <class T = QString>
class CiCollection {
 public:
  int count() const { return static_cast<int>(items_.size()); }

  void add(T item, const QString& key = QString()) {
    if (!key.isNull()) {
      const QString folded = key.toCaseFolded();
      if (index_.contains(folded))
        throw Error(err::DuplicateKey,
                    QStringLiteral("This key is already associated with an element of this collection"));
      index_.insert(folded, count());
    }
    items_.push_back({key, std::move(item)});
  }

  bool contains(const QString& key) const { return index_.contains(key.toCaseFolded()); }

  const T& item(int i) const { return items_.at(check(i)).second; }
  T& item(int i) { return items_.at(check(i)).second; }
  const T& item(const QString& key) const { return items_.at(find(key)).second; }
  T& item(const QString& key) { return items_.at(find(key)).second; }
  // The key an item was added with (null when it had none).
  const QString& key(int i) const { return items_.at(check(i)).first; }

  void remove(int i) { removeAt(check(i)); }
  void remove(const QString& key) { removeAt(find(key)); }
  void clear() {
    items_.clear();
    index_.clear();
  }

 private:
  size_t check(int i) const {
    if (i < 1 || i > count()) throwSubscriptOutOfRange();
    return static_cast<size_t>(i - 1);
  }
  size_t find(const QString& key) const {
    auto it = index_.constFind(key.toCaseFolded());
    if (it == index_.constEnd()) throw Error(err::InvalidCall, QStringLiteral("Invalid procedure call or argument"));
    return static_cast<size_t>(*it);
  }
  void removeAt(size_t pos) {
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(pos));
    index_.clear();
    for (size_t i = 0; i < items_.size(); ++i)
      if (!items_[i].first.isNull()) index_.insert(items_[i].first.toCaseFolded(), static_cast<int>(i));
  }

  std::vector<std::pair<QString, T>> items_;
  QHash<QString, int> index_;  // folded key -> position
};

}  // namespace jex
