#include "viewer/png_file.h"

#include <array>
#include <cerrno>
#include <cstring>

#include "viewer/png_deflate.h"

namespace {

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
  appendChunk(file, "IDAT", zlibStream(raw));
  appendChunk(file, "IEND", {});
  return file;
}

bool writePng(std::FILE* out, int width, int height, const std::vector<unsigned char>& rgb) {
  const std::vector<unsigned char> bytes = pngFileBytes(width, height, rgb);
  return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

std::string writePngFile(const std::string& path, int width, int height,
                         const std::vector<unsigned char>& rgb) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    return "cannot write " + path + ": " + std::strerror(errno);
  }
  const bool written = writePng(out, width, height, rgb);
  if (std::fclose(out) != 0 || !written) {
    std::remove(path.c_str());
    return "cannot write " + path + ": the disk may be full";
  }
  return {};
}
