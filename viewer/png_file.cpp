#include "viewer/png_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// The largest stored deflate block.
constexpr std::size_t MaxStoredBlock = 65535;

void appendBigEndian(std::vector<unsigned char>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<unsigned char>(value >> shift));
  }
}

// Length, type, data and the CRC of type and data.
void appendChunk(std::vector<unsigned char>& out, const char type[5],
                 const std::vector<unsigned char>& data) {
  appendBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  appendBigEndian(out, crc32Of(&out[typeAt], out.size() - typeAt));
}

// A zlib stream of stored blocks: header (deflate, 32 KiB window, no
// dictionary, check bits making it a multiple of 31), blocks, Adler-32.
std::vector<unsigned char> storedZlib(const std::vector<unsigned char>& raw) {
  std::vector<unsigned char> out{0x78, 0x01};
  std::size_t at = 0;
  do {
    const std::size_t size = std::min(MaxStoredBlock, raw.size() - at);
    const bool last = at + size == raw.size();
    out.push_back(last ? 1 : 0);
    const auto length = static_cast<std::uint16_t>(size);
    const auto complement = static_cast<std::uint16_t>(~length);
    out.insert(
        out.end(),
        {static_cast<unsigned char>(length), static_cast<unsigned char>(length >> 8),
         static_cast<unsigned char>(complement), static_cast<unsigned char>(complement >> 8)});
    out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
               raw.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
  } while (at < raw.size());
  appendBigEndian(out, adler32Of(raw.data(), raw.size()));
  return out;
}

}  // namespace

std::uint32_t crc32Of(const unsigned char* data, std::size_t size, std::uint32_t crc) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> entries{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int bit = 0; bit < 8; ++bit) {
        c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      }
      entries[n] = c;
    }
    return entries;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) {
    crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  }
  return ~crc;
}

std::uint32_t adler32Of(const unsigned char* data, std::size_t size) {
  constexpr std::uint32_t Modulus = 65521;
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (std::size_t i = 0; i < size; ++i) {
    a = (a + data[i]) % Modulus;
    b = (b + a) % Modulus;
  }
  return (b << 16) | a;
}

std::vector<unsigned char> pngFileBytes(int width, int height,
                                        const std::vector<unsigned char>& rgb) {
  const auto rowBytes = static_cast<std::size_t>(width) * 3;
  // Each row behind filter type 0 (none).
  std::vector<unsigned char> raw;
  raw.reserve((rowBytes + 1) * static_cast<std::size_t>(height));
  for (int row = 0; row < height; ++row) {
    raw.push_back(0);
    const auto from = rgb.begin() + static_cast<std::ptrdiff_t>(row * rowBytes);
    raw.insert(raw.end(), from, from + static_cast<std::ptrdiff_t>(rowBytes));
  }
  std::vector<unsigned char> header;
  appendBigEndian(header, static_cast<std::uint32_t>(width));
  appendBigEndian(header, static_cast<std::uint32_t>(height));
  // 8 bits per channel, RGB, deflate, adaptive filtering, not interlaced.
  header.insert(header.end(), {8, 2, 0, 0, 0});

  std::vector<unsigned char> file{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  appendChunk(file, "IHDR", header);
  appendChunk(file, "IDAT", storedZlib(raw));
  appendChunk(file, "IEND", {});
  return file;
}

std::string writePngFile(const std::string& path, int width, int height,
                         const std::vector<unsigned char>& rgb) {
  const std::vector<unsigned char> bytes = pngFileBytes(width, height, rgb);
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    return "cannot write " + path + ": " + std::strerror(errno);
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  if (std::fclose(out) != 0 || !written) {
    std::remove(path.c_str());
    return "cannot write " + path + ": the disk may be full";
  }
  return {};
}
