#pragma once
// Ordered list whose positions count from 1, as every list of the program does.
#include <cstddef>
#include <stdexcept>
#include <utility>
#include <vector>

namespace murmuro {

template <class T>
class OneBasedList {
 public:
  OneBasedList() = default;
  OneBasedList(std::initializer_list<T> items) : items_(items) {}

  std::size_t Count() const noexcept { return items_.size(); }
  bool Empty() const noexcept { return items_.empty(); }

  const T& Item(std::size_t position) const { return items_.at(Index(position)); }
  T& Item(std::size_t position) { return items_.at(Index(position)); }

  void Add(T item) { items_.push_back(std::move(item)); }
  // Inserts so that the new item takes `position`; Count()+1 appends.
  void Insert(std::size_t position, T item) {
    if (position < 1 || position > items_.size() + 1) throw std::out_of_range("list position");
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(position - 1), std::move(item));
  }
  void Remove(std::size_t position) {
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(Index(position)));
  }
  void Clear() noexcept { items_.clear(); }

  auto begin() const noexcept { return items_.begin(); }
  auto end() const noexcept { return items_.end(); }
  auto begin() noexcept { return items_.begin(); }
  auto end() noexcept { return items_.end(); }

  bool operator==(const OneBasedList&) const = default;

 private:
  std::size_t Index(std::size_t position) const {
    if (position < 1 || position > items_.size()) throw std::out_of_range("list position");
    return position - 1;
  }
  std::vector<T> items_;
};

}  // namespace murmuro
