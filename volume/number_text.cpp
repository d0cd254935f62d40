#include "volume/number_text.h"

#include <cstdio>
#include <cstdlib>

namespace mcubes::internal {

std::string numberText(double value, int digits) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*g", digits, value);
  return text;
}

std::string exactNumber(double value) {
  std::string text;
  for (int digits = 1; digits <= 17; ++digits) {
    text = numberText(value, digits);
    if (std::strtod(text.c_str(), nullptr) == value) break;
  }
  return text;
}

}  // namespace mcubes::internal
