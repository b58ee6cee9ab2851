#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

// Values by small whole number, in number order. The program holds a handful
// at most and looks one up for every line it reads or writes: a short vector
// searched in place beats a tree's pointer chase. Offers the map operations
// that the file table uses.

namespace pat {

template <typename Value>
class NumberMap {
 public:
  using value_type = std::pair<int, Value>;
  using iterator = typename std::vector<value_type>::iterator;
  using const_iterator = typename std::vector<value_type>::const_iterator;

  iterator begin() { return entries_.begin(); }
  iterator end() { return entries_.end(); }
  const_iterator begin() const { return entries_.begin(); }
  const_iterator end() const { return entries_.end(); }
  bool empty() const { return entries_.empty(); }
  std::size_t size() const { return entries_.size(); }

  iterator find(int number) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
      if (it->first == number) return it;
    return entries_.end();
  }
  const_iterator find(int number) const {
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
      if (it->first == number) return it;
    return entries_.end();
  }
  std::size_t count(int number) const { return find(number) == end() ? 0 : 1; }

  // Like a map: a number already present keeps its value.
  std::pair<iterator, bool> emplace(int number, Value value) {
    const auto at = std::lower_bound(
        entries_.begin(), entries_.end(), number,
        [](const value_type& entry, int n) { return entry.first < n; });
    if (at != entries_.end() && at->first == number) return {at, false};
    return {entries_.emplace(at, number, std::move(value)), true};
  }

  iterator erase(iterator it) { return entries_.erase(it); }
  std::size_t erase(int number) {
    const auto it = find(number);
    if (it == entries_.end()) return 0;
    entries_.erase(it);
    return 1;
  }
  void clear() { entries_.clear(); }

 private:
  std::vector<value_type> entries_;
};

}  // namespace pat
