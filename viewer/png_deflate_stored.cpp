// The build without zlib (the Windows and browser builds).
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "viewer/png_deflate.h"

namespace {

// The largest stored deflate block.
constexpr std::size_t MaxStoredBlock = 65535;

// The checksum that ends a zlib stream, over its uncompressed data.
std::uint32_t adler32Of(const std::vector<unsigned char>& data) {
  constexpr std::uint32_t Modulus = 65521;
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (const unsigned char byte : data) {
    a = (a + byte) % Modulus;
    b = (b + a) % Modulus;
  }
  return (b << 16) | a;
}

}  // namespace

// Header (deflate, 32 KiB window, no dictionary, check bits making it a
// multiple of 31), stored blocks, Adler-32.
std::vector<unsigned char> zlibStream(const std::vector<unsigned char>& data) {
  std::vector<unsigned char> out{0x78, 0x01};
  std::size_t at = 0;
  do {
    const std::size_t size = std::min(MaxStoredBlock, data.size() - at);
    const bool last = at + size == data.size();
    out.push_back(last ? 1 : 0);
    const auto length = static_cast<std::uint16_t>(size);
    const auto complement = static_cast<std::uint16_t>(~length);
    out.insert(
        out.end(),
        {static_cast<unsigned char>(length), static_cast<unsigned char>(length >> 8),
         static_cast<unsigned char>(complement), static_cast<unsigned char>(complement >> 8)});
    out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
               data.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
  } while (at < data.size());
  const std::uint32_t adler = adler32Of(data);
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<unsigned char>(adler >> shift));
  }
  return out;
}
