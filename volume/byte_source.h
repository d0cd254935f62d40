// A stream of bytes read front to back: a file, or what decompressing one
// gives.
#pragma once

#include <cstddef>
#include <cstdint>

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `size` bytes into `out`; fewer only where the data ends.
  virtual std::size_t read(unsigned char* out, std::size_t size) = 0;
  // Passes over `count` bytes (read and dropped, unless the source can
  // seek); false where the data ends first.
  virtual bool skip(std::int64_t count);
};
