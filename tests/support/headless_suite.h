// A test suite on port/'s headless display and its simulated clock, so that
// its timers and frames do not depend on real time.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "port/port.h"

class HeadlessSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    ASSERT_TRUE(port::selectDisplayBackend("headless", error)) << error;
    port::useSimulatedClock(true);
  }
  static void TearDownTestSuite() { port::useSimulatedClock(false); }
};
