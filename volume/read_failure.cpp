#include "volume/read_failure.h"

#include <stdexcept>

namespace mcubes::internal {

void failVolume(const std::string& file, const std::string& problem, const std::string& remedy) {
  throw VolumeError(printableName(file), problem, remedy);
}

std::string printableName(std::string_view name) {
  std::string result;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7f) {
      result += c;
      continue;
    }
    const char* const digits = "0123456789abcdef";
    result += "\\x";
    result += digits[byte >> 4];
    result += digits[byte & 0xf];
  }
  return result;
}

void checkSlicesLeft(std::int64_t count, std::int64_t next, std::int64_t slices) {
  if (count < 0 || count > slices - next) {
    throw std::out_of_range("asked for " + std::to_string(count) + " slices where the volume has " +
                            std::to_string(slices - next) + " left");
  }
}

std::string shown(std::string_view text) {
  constexpr std::size_t Longest = 40;
  return "'" + printableName(text.substr(0, Longest)) + (text.size() > Longest ? "...'" : "'");
}

}  // namespace mcubes::internal
