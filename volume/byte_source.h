// A stream of bytes read front to back: a file, or what decompressing one
// gives.
#pragma once

#include <cstddef>

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `size` bytes into `out`; fewer only where the data ends.
  virtual std::size_t read(unsigned char* out, std::size_t size) = 0;
};
