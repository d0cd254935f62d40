// A table from 64-bit keys (edge keys, lattice point indices) to values, in
// one block of slots found by linear probing. A node-based map takes a
// fresh allocation per key, and on the virtual machines this was measured
// on every fresh page of them costs a fault of 10 to 40 microseconds: the
// caps of a noisy volume spent 50 ms so. Here the slots come in whole
// (makeRoom), and a key costs a probe or two in memory already touched.
// Keys are never removed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "mesh/surface/surface.h"

namespace mcubes::internal {

template <typename Value>
class KeyTable {
 public:
  // The key no slot holds: slots holding it are free.
  static constexpr std::uint64_t Free = ~std::uint64_t{0};

  std::size_t size() const { return size_; }

  // Each key held and its value, in no particular order.
  template <typename Each>
  void forEach(Each&& each) const {
    for (const Slot& slot : slots_) {
      if (slot.key != Free) each(slot.key, slot.value);
    }
  }

  // Room for `count` keys without growing.
  void reserve(std::size_t count) {
    if (2 * count > slots_.size()) rehash(2 * count);
  }

  // The value of `key` (which must not be Free), made as Value{} where the
  // table had none, and whether it was made; valid until the next key is
  // made.
  std::pair<Value*, bool> tryEmplace(std::uint64_t key) {
    if (2 * (size_ + 1) > slots_.size()) rehash(2 * (size_ + 1));
    for (std::size_t at = home(key);; at = (at + 1) & mask_) {
      Slot& slot = slots_[at];
      if (slot.key == key) return {&slot.value, false};
      if (slot.key == Free) {
        slot.key = key;
        ++size_;
        return {&slot.value, true};
      }
    }
  }

 private:
  struct Slot {
    std::uint64_t key = Free;
    Value value{};
  };

  // Fibonacci hashing: the high bits of the product, which mix every bit
  // of the key (neighbouring edges differ in their low bits).
  std::size_t home(std::uint64_t key) const {
    return static_cast<std::size_t>((key * 0x9e3779b97f4a7c15ull) >> shift_);
  }

  // At least `least` slots, a power of two, the keys held moved over.
  void rehash(std::size_t least) {
    int bits = 4;
    while ((std::size_t{1} << bits) < least) ++bits;
    std::vector<Slot> old;
    old.swap(slots_);
    assignGrown(slots_, std::size_t{1} << bits, Slot{});
    mask_ = slots_.size() - 1;
    shift_ = 64 - bits;
    for (const Slot& slot : old) {
      if (slot.key == Free) continue;
      std::size_t at = home(slot.key);
      while (slots_[at].key != Free) at = (at + 1) & mask_;
      slots_[at] = slot;
    }
  }

  std::vector<Slot> slots_;
  std::size_t size_ = 0;
  std::size_t mask_ = 0;
  int shift_ = 64;
};

}  // namespace mcubes::internal
