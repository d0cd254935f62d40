// An initialised engine on a hidden 800x600 window of the headless backend,
// with the context made current the way the demo's shell makes it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/engine.h"
#include "tools/offscreen_window.h"

class OffscreenEngineTest : public ::testing::Test {
 protected:
  static constexpr int width = 800;
  static constexpr int height = 600;

  void SetUp() override {
    std::string error;
    ASSERT_TRUE(openOffscreenWindow(width, height, offscreen, error)) << error;
    engine.init(offscreen.window, offscreen.deviceContext);
  }
  void TearDown() override { closeOffscreenWindow(offscreen); }

  OffscreenWindow offscreen;
  Engine engine{};
};
