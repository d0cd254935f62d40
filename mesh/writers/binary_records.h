// Little-endian binary records for the mesh writers, whatever the host's
// byte order, gathered into large writes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "iso/cell_types.h"

namespace mcubes::internal {

inline void putLittleEndian32(unsigned char* bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

inline void putLittleEndian64(unsigned char* bytes, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

inline void putFloat(unsigned char* bytes, float value) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::memcpy(bytes, &value, sizeof value);
#else
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  putLittleEndian32(bytes, bits);
#endif
}

// Three floats; returns the byte after them.
inline unsigned char* putPoint(unsigned char* bytes, const Point3& p) {
  putFloat(bytes, p.x);
  putFloat(bytes + 4, p.y);
  putFloat(bytes + 8, p.z);
  return bytes + 12;
}

// Records gathered into large writes: one call per record costs more than
// forming it.
class RecordWriter {
 public:
  // Takes a batch of records; false where the write failed.
  using Sink = std::function<bool(const unsigned char* bytes, std::size_t size)>;

  RecordWriter(Sink write, std::size_t recordBytes)
      : write_(std::move(write)),
        bytes_(recordBytes),
        batch_(std::max<std::size_t>(1, BatchBytes / recordBytes)),
        buffer_(recordBytes * batch_, 0) {}
  RecordWriter(std::FILE* out, std::size_t recordBytes)
      : RecordWriter([out](const unsigned char* bytes,
                           std::size_t size) { return std::fwrite(bytes, size, 1, out) == 1; },
                     recordBytes) {}
  ~RecordWriter() { finish(); }
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  // Room for the next record.
  unsigned char* next() {
    if (held_ == batch_) flush();
    return buffer_.data() + bytes_ * held_++;
  }
  // False if a write failed.
  bool finish() {
    flush();
    return ok_;
  }

 private:
  // Small enough to stay in the core's cache between its filling and its
  // copy into the file's pages.
  static constexpr std::size_t BatchBytes = std::size_t{128} << 10;

  void flush() {
    const std::size_t held = held_;
    held_ = 0;  // a sink that throws leaves nothing to flush again
    ok_ = (held == 0 || write_(buffer_.data(), bytes_ * held)) && ok_;
  }

  Sink write_;
  std::size_t bytes_, batch_;
  std::vector<unsigned char> buffer_;
  std::size_t held_ = 0;
  bool ok_ = true;
};

}  // namespace mcubes::internal
