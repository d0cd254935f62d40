// A stream of bytes read front to back: a file, or what decompressing one
// gives.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mcubes::internal {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `size` bytes into `out`; fewer only where the data ends.
  virtual std::size_t read(unsigned char* out, std::size_t size) = 0;
  // Passes over `count` bytes (read and dropped, unless the source can
  // seek); false where the data ends first.
  virtual bool skip(std::int64_t count);
  // Decompresses what is left of the current compressed stream, dropping
  // it, so that its check value (gzip's CRC and length, zlib's Adler-32) is
  // verified where the voxels end before the stream does; fails as read
  // does. Nothing for bytes that are not compressed.
  virtual void verifyRest() {}
};

}  // namespace mcubes::internal
