// Plain values and vectors of them as bytes for another process of the
// same build on the same kind of machine, and back.
#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "mesh/surface/packed_vector.h"

namespace mcubes::internal {

class ByteWriter {
 public:
  template <typename T>
  void put(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    const char* from = reinterpret_cast<const char*>(&value);
    bytes.insert(bytes.end(), from, from + sizeof value);
  }
  template <typename T>
  void put(const std::vector<T>& values) {
    // Pairs are copied as bytes, too.
    static_assert(std::is_trivially_copy_constructible_v<T>);
    put(static_cast<std::uint64_t>(values.size()));
    const char* from = reinterpret_cast<const char*>(values.data());
    bytes.insert(bytes.end(), from, from + values.size() * sizeof(T));
  }
  template <typename Item, typename Number>
  void put(const PackedVector<Item, Number>& values) {
    put(values.numbers());
  }
  std::vector<char> bytes;
};

class ByteReader {
 public:
  explicit ByteReader(const std::vector<char>& bytes) : bytes_(bytes) {}
  template <typename T>
  void get(T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    take(&value, sizeof value);
  }
  template <typename T>
  void get(std::vector<T>& values) {
    static_assert(std::is_trivially_copy_constructible_v<T>);
    std::uint64_t size = 0;
    get(size);
    if (size > (bytes_.size() - at_) / sizeof(T))
      throw std::runtime_error("a message from another process ends early");
    values.resize(static_cast<std::size_t>(size));
    take(values.data(), values.size() * sizeof(T));
  }
  template <typename Item, typename Number>
  void get(PackedVector<Item, Number>& values) {
    get(values.numbers());
  }

 private:
  void take(void* to, std::size_t size) {
    if (size > bytes_.size() - at_)
      throw std::runtime_error("a message from another process ends early");
    if (size == 0) return;  // an empty vector's data() may be null
    std::memcpy(to, bytes_.data() + at_, size);
    at_ += size;
  }
  const std::vector<char>& bytes_;
  std::size_t at_ = 0;
};

// Fields as one message, and the message's fields read back in the same
// order.
template <typename... Fields>
std::vector<char> bytesOfFields(const Fields&... fields) {
  ByteWriter out;
  (out.put(fields), ...);
  return out.bytes;
}

template <typename... Fields>
void readFields(const std::vector<char>& bytes, Fields&... fields) {
  ByteReader in(bytes);
  (in.get(fields), ...);
}

}  // namespace mcubes::internal
