#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "math/scalar.h"

namespace {

TEST(SineTable, HoldsSinOfHundredthsToEightSignificantDigits) {
  for (int i = 0; i < 629; ++i) {
    char text[32];
    std::snprintf(text, sizeof text, "%.8g", std::sin(i / 100.0));
    EXPECT_EQ(std::strtod(text, nullptr), SineTable[i]) << "entry " << i;
  }
}

TEST(SineTable, KnownEntries) {
  EXPECT_EQ(0.0, SineTable[0]);
  EXPECT_EQ(0.0099998333, SineTable[1]);
  EXPECT_EQ(0.0299955, SineTable[3]);
  EXPECT_EQ(0.11971221, SineTable[12]);
  EXPECT_EQ(0.99999968, SineTable[157]);
  EXPECT_EQ(0.0015926529, SineTable[314]);
  EXPECT_EQ(-0.99999715, SineTable[471]);
  EXPECT_EQ(-0.0031853018, SineTable[628]);
}

}  // namespace
