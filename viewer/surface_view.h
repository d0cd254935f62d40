// The surface as the current state shows it, kept between frames: a new
// extraction only when the clock (of an animated source), the divisions, the
// level of detail, the iso level, the caps or the labels shown changed, the
// flat and wireframe arrays only while those modes are on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mesh/weld.h"
#include "viewer/surface_arrays.h"
#include "viewer/surface_source.h"
#include "viewer/view_state.h"

class SurfaceView {
 public:
  explicit SurfaceView(SurfaceSource& source)
      : source_(source), animated_(source.describe().animated) {}

  // Brings everything the state draws up to date.
  void update(const ViewState& state);

  // The mesh's vertices with their normals and its faces.
  const std::vector<ShadedVertex>& smoothVertices() const { return smooth_; }
  const ElementIndices& faceIndices() const { return faces_; }
  // Valid while flat normals are on.
  const std::vector<ShadedVertex>& flatVertices() const { return flat_; }
  // Valid while the wireframe is on: into the smooth vertices.
  const ElementIndices& edgeIndices() const { return edges_; }
  // One colour per smooth vertex, and per flat one while flat normals are
  // on; empty where the surface has one colour.
  const std::vector<Rgb>& smoothColours() const { return colours_; }
  const std::vector<Rgb>& flatColours() const { return flatColours_; }
  std::size_t triangles() const { return mesh_.faces.size(); }
  // Certainly closed: back faces never show.
  bool closed() const { return closed_; }

 private:
  SurfaceSource& source_;
  bool animated_;
  IndexedMesh mesh_;
  std::vector<ShadedVertex> smooth_;
  ElementIndices faces_;
  std::vector<ShadedVertex> flat_;
  ElementIndices edges_;
  std::vector<Rgb> colours_;
  std::vector<Rgb> flatColours_;

  // What the arrays were made for.
  bool extracted_ = false;
  bool closed_ = false;
  std::int32_t tick_ = 0;
  std::int32_t divisions_ = 0;
  std::int32_t voxelStride_ = 0;
  double iso_ = 0.0;
  bool caps_ = true;
  std::vector<bool> labelsVisible_;
  bool flatCurrent_ = false;
  bool edgesCurrent_ = false;
};
