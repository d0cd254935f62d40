#include <zlib.h>

#include <new>

#include "viewer/png_deflate.h"

std::vector<unsigned char> zlibStream(const std::vector<unsigned char>& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::vector<unsigned char> out(size);
  // The bound leaves room for any data, so only memory can run out.
  if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()),
                Z_DEFAULT_COMPRESSION) != Z_OK) {
    throw std::bad_alloc();
  }
  out.resize(size);
  return out;
}
