// The demo's picture at a given tick, rendered offscreen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/headless_window.h"

// The demo's picture at any number of ticks from one hidden window of the
// headless backend: the engine is initialised once and sized to the window,
// then each picture sets the clock and renders one frame.
class SnapshotRenderer {
 public:
  SnapshotRenderer() = default;
  ~SnapshotRenderer();
  SnapshotRenderer(const SnapshotRenderer&) = delete;
  SnapshotRenderer& operator=(const SnapshotRenderer&) = delete;

  // Opens the width x height window; false with a one-line reason.
  bool open(int width, int height, std::string& error);

  // renderFrame at the tick; rgb receives width x height RGB pixels, top row
  // first.
  bool render(std::int32_t tick, std::vector<unsigned char>& rgb, std::string& error);

 private:
  OffscreenWindow offscreen_;
  int width_ = 0;
  int height_ = 0;
};

// One picture: a SnapshotRenderer opened, rendered once and closed.
bool renderSnapshot(std::int32_t tick, int width, int height, std::vector<unsigned char>& rgb,
                    std::string& error);
