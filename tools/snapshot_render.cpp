#include "tools/snapshot_render.h"

#include "engine/engine.h"
#include "viewer/frame_pixels.h"

SnapshotRenderer::~SnapshotRenderer() { closeOffscreenWindow(offscreen_); }

bool SnapshotRenderer::open(int width, int height, std::string& error) {
  closeOffscreenWindow(offscreen_);
  if (!openHeadlessWindow(width, height, offscreen_, error)) {
    return false;
  }
  width_ = width;
  height_ = height;
  return true;
}

bool SnapshotRenderer::render(std::int32_t tick, std::vector<unsigned char>& rgb,
                              std::string& error) {
  Engine engine{};
  engine.init(offscreen_.window, offscreen_.rendering.deviceContext);
  engine.ticks = tick;
  engine.resize(width_, height_);
  engine.renderFrame();

  // The headless surface keeps what was drawn after the swap.
  return readFramePixels(width_, height_, rgb, error);
}

bool renderSnapshot(std::int32_t tick, int width, int height, std::vector<unsigned char>& rgb,
                    std::string& error) {
  SnapshotRenderer renderer;
  return renderer.open(width, height, error) && renderer.render(tick, rgb, error);
}
