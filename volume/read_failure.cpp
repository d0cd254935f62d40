#include "volume/read_failure.h"

#include <stdexcept>

void failVolume(const std::string& file, const std::string& problem, const std::string& remedy) {
  throw VolumeError(file + ": " + problem + "; " + remedy);
}

void checkSlicesLeft(std::int64_t count, std::int64_t next, std::int64_t slices) {
  if (count < 0 || count > slices - next) {
    throw std::out_of_range("asked for " + std::to_string(count) + " slices where the volume has " +
                            std::to_string(slices - next) + " left");
  }
}

std::string shown(std::string_view text) {
  constexpr std::size_t Longest = 40;
  std::string result = "'";
  for (std::size_t i = 0; i < text.size() && i < Longest; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    result += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
  }
  if (text.size() > Longest) result += "...";
  return result + "'";
}
