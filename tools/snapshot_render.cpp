#include "tools/snapshot_render.h"

#include <cstring>

#include "engine/engine.h"

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

  // The headless surface keeps what was drawn after the swap; GL hands the
  // rows back bottom first, so they are flipped on the way out.
  const std::size_t rowBytes = static_cast<std::size_t>(width_) * 3;
  bottomFirst_.resize(rowBytes * static_cast<std::size_t>(height_));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, bottomFirst_.data());
  const GLenum glError = glGetError();
  if (glError != GL_NO_ERROR) {
    error = "reading the picture back failed (GL error " + std::to_string(glError) + ")";
    return false;
  }

  rgb.resize(bottomFirst_.size());
  for (int row = 0; row < height_; ++row) {
    std::memcpy(&rgb[static_cast<std::size_t>(row) * rowBytes],
                &bottomFirst_[static_cast<std::size_t>(height_ - 1 - row) * rowBytes], rowBytes);
  }
  return true;
}

bool renderSnapshot(std::int32_t tick, int width, int height, std::vector<unsigned char>& rgb,
                    std::string& error) {
  SnapshotRenderer renderer;
  return renderer.open(width, height, error) && renderer.render(tick, rgb, error);
}
