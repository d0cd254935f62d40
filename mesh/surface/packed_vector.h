// A vector of small fixed-size items (a point of three floats, a face of
// three vertex numbers) held as the plain vector of their numbers. The
// meshes' arrays are made this way so that they can leave as they are:
// the library hands a mesh's numbers to its callers (and on to numpy)
// without copying them into another vector, which on a large mesh cost as
// much as making it (fresh pages for a copy the size of the mesh).
//
// The items are viewed in place over the numbers: an item is exactly its
// numbers, packed, with their alignment (checked below), and the items are
// trivially copyable, so reading and writing an item reads and writes its
// numbers.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <type_traits>
#include <utility>
#include <vector>

namespace mcubes::internal {

template <typename Item, typename Number>
class PackedVector {
  static_assert(std::is_trivially_copyable_v<Item> && std::is_trivially_copyable_v<Number>);
  static_assert(sizeof(Item) % sizeof(Number) == 0 && alignof(Item) == alignof(Number),
                "an item is its numbers, packed");

 public:
  static constexpr std::size_t Numbers = sizeof(Item) / sizeof(Number);
  using value_type = Item;
  using size_type = std::size_t;
  using reference = Item&;
  using const_reference = const Item&;
  using iterator = Item*;
  using const_iterator = const Item*;

  PackedVector() = default;
  explicit PackedVector(std::size_t count) : numbers_(count * Numbers) {}
  PackedVector(std::size_t count, const Item& item) { assign(count, item); }
  PackedVector(std::initializer_list<Item> items) { assign(items.begin(), items.end()); }

  std::size_t size() const { return numbers_.size() / Numbers; }
  bool empty() const { return numbers_.empty(); }
  std::size_t capacity() const { return numbers_.capacity() / Numbers; }
  void reserve(std::size_t count) { numbers_.reserve(count * Numbers); }
  void resize(std::size_t count) { numbers_.resize(count * Numbers); }
  void resize(std::size_t count, const Item& item) {
    const std::size_t had = size();
    resize(count);
    for (std::size_t n = had; n < count; ++n) (*this)[n] = item;
  }
  void clear() { numbers_.clear(); }
  void swap(PackedVector& other) noexcept { numbers_.swap(other.numbers_); }

  Item* data() { return reinterpret_cast<Item*>(numbers_.data()); }
  const Item* data() const { return reinterpret_cast<const Item*>(numbers_.data()); }
  Item& operator[](std::size_t n) { return data()[n]; }
  const Item& operator[](std::size_t n) const { return data()[n]; }
  Item* begin() { return data(); }
  Item* end() { return data() + size(); }
  const Item* begin() const { return data(); }
  const Item* end() const { return data() + size(); }

  void push_back(const Item& item) {
    // Copied out first: the item may be one of this vector's, which
    // growing moves.
    Number numbers[Numbers];
    std::memcpy(numbers, &item, sizeof item);
    // One number at a time: stores in line where there is room, where a
    // range insert copies through memmove.
    for (const Number number : numbers) numbers_.push_back(number);
  }
  template <typename... Arguments>
  Item& emplace_back(Arguments&&... arguments) {
    push_back(Item{std::forward<Arguments>(arguments)...});
    return data()[size() - 1];
  }

  void assign(std::size_t count, const Item& item) {
    clear();
    resize(count, item);
  }
  template <typename Iterator>
  void assign(Iterator first, Iterator last) {
    clear();
    insert(end(), first, last);
  }
  // Items [first, last), which must not be this vector's own, before
  // `position`.
  template <typename Iterator>
  Item* insert(const Item* position, Iterator first, Iterator last) {
    const std::size_t at = static_cast<std::size_t>(position - data());
    const auto count = static_cast<std::size_t>(std::distance(first, last));
    numbers_.insert(numbers_.begin() + static_cast<std::ptrdiff_t>(at * Numbers), count * Numbers,
                    Number{});
    Item* to = data() + at;
    if constexpr (std::is_pointer_v<Iterator> &&
                  std::is_same_v<std::remove_cv_t<std::remove_pointer_t<Iterator>>, Item>) {
      // Packed items: copied as their bytes.
      if (count != 0) std::memcpy(static_cast<void*>(to), &*first, count * sizeof(Item));
    } else {
      for (Item* item = to; first != last; ++first, ++item) *item = *first;
    }
    return to;
  }
  Item* insert(const Item* position, std::initializer_list<Item> items) {
    return insert(position, items.begin(), items.end());
  }
  // The numbers themselves, Numbers per item, to take away (leaving this
  // empty) or to read.
  std::vector<Number>& numbers() { return numbers_; }
  const std::vector<Number>& numbers() const { return numbers_; }

  friend bool operator==(const PackedVector& a, const PackedVector& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
  }
  friend bool operator!=(const PackedVector& a, const PackedVector& b) { return !(a == b); }

 private:
  std::vector<Number> numbers_;
};

}  // namespace mcubes::internal
