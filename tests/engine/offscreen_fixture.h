// An initialised engine on a hidden 800x600 window of the headless display,
// with the context made current by the demo's own context set-up.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/offscreen_window.h"
#include "engine/engine.h"
#include "port/port.h"

class OffscreenEngineTest : public ::testing::Test {
 protected:
  static constexpr int width = 800;
  static constexpr int height = 600;

  void SetUp() override {
    std::string error;
    ASSERT_TRUE(port::selectDisplayBackend("headless", error)) << error;
    ASSERT_TRUE(openOffscreenWindow(width, height, offscreen, error)) << error;
    engine.init(offscreen.window, offscreen.rendering.deviceContext);
  }
  void TearDown() override { closeOffscreenWindow(offscreen); }

  OffscreenWindow offscreen;
  Engine engine{};
};
