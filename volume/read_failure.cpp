#include "volume/read_failure.h"

void failVolume(const std::string& file, const std::string& problem, const std::string& remedy) {
  throw VolumeError(file + ": " + problem + "; " + remedy);
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
