// 1-based arrays as the settings code uses them: a one-dimensional (1 To n) array and a
// two-dimensional (1 To rows, 1 To columns) one. An erased array has no elements and no bounds
// (isErased() is true, ubound() is lbound() - 1 = 0); an index outside the bounds throws
// jex::Error 9 "Subscript out of range".
#pragma once

#include "base/error.h"

#include <vector>

namespace jex {

[[noreturn]] inline void throwSubscriptOutOfRange() {
  throw Error(err::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
}

template <class T>
class Array1 {
 public:
  Array1() = default;
  explicit Array1(int count) { redim(count); }

  bool isErased() const { return items_.empty(); }
  int lbound() const { return 1; }
  int ubound() const { return static_cast<int>(items_.size()); }
  int count() const { return static_cast<int>(items_.size()); }

  T& operator()(int i) { return items_.at(check(i)); }
  const T& operator()(int i) const { return items_.at(check(i)); }

  // ReDim: count elements, all empty (count <= 0 erases).
  void redim(int count) { items_.assign(count > 0 ? static_cast<size_t>(count) : 0, T{}); }
  // ReDim Preserve: keeps the first elements.
  void redimPreserve(int count) { items_.resize(count > 0 ? static_cast<size_t>(count) : 0); }
  void erase() { items_.clear(); }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  size_t check(int i) const {
    if (i < 1 || i > count()) throwSubscriptOutOfRange();
    return static_cast<size_t>(i - 1);
  }
  std::vector<T> items_;
};

template <class T>
class Array2 {
 public:
  Array2() = default;
  Array2(int rows, int columns) { redim(rows, columns); }

  bool isErased() const { return items_.empty(); }
  int lbound(int dimension = 1) const { return 1; }
  // ubound(1): rows, ubound(2): columns.
  int ubound(int dimension = 1) const { return isErased() ? 0 : (dimension == 1 ? rows_ : columns_); }

  T& operator()(int row, int column) { return items_.at(index(row, column)); }
  const T& operator()(int row, int column) const { return items_.at(index(row, column)); }

  void redim(int rows, int columns) {
    if (rows <= 0 || columns <= 0) return erase();
    rows_ = rows;
    columns_ = columns;
    items_.assign(static_cast<size_t>(rows) * static_cast<size_t>(columns), T{});
  }
  // ReDim Preserve: only the last dimension may change.
  void redimPreserve(int columns) {
    if (columns <= 0) return erase();
    items_.resize(static_cast<size_t>(rows_) * static_cast<size_t>(columns));
    columns_ = columns;
  }
  void erase() {
    items_.clear();
    rows_ = columns_ = 0;
  }

 private:
  // Stored column by column, so that keeping columns keeps their contents.
  size_t index(int row, int column) const {
    if (row < 1 || row > rows_ || column < 1 || column > columns_) throwSubscriptOutOfRange();
    return static_cast<size_t>(column - 1) * static_cast<size_t>(rows_) + static_cast<size_t>(row - 1);
  }
  int rows_ = 0;
  int columns_ = 0;
  std::vector<T> items_;
};

}  // namespace jex
