// The three orthogonal slices of a volume's data through the clipping
// plane's positions, as OpenGL 1.1 textures (which every target has): made
// anew only when a position changes, drawn as flat greyscale quads.
#pragma once

#include <cstdint>

#include "platform/gl.h"
#include "viewer/surface_source.h"
#include "viewer/view_state.h"

class SliceView {
 public:
  explicit SliceView(const SurfaceSource& source) : source_(source) {}

  // Brings the textures up to date while the state shows slices; needs the
  // window's GL context current.
  void update(const ViewState& state);
  // Draws the slices the source has, unlit, if the state shows them.
  void draw(const ViewState& state) const;
  // Deletes the textures, while their context is still current.
  void release();

 private:
  const SurfaceSource& source_;
  GLuint textures_[3] = {0, 0, 0};
  Point3 corners_[3][4];
  bool present_[3] = {false, false, false};
  std::int32_t at_[3] = {-1, -1, -1};  // what the textures were made for
};
