// Where the viewer's surface comes from. The animated two-ball scene is the
// one source today; a user's volume would be another, with its own iso steps
// and no clock.
#pragma once

#include "mesh/extract.h"
#include "mesh/weld.h"
#include "viewer/view_state.h"

class SurfaceSource {
 public:
  virtual ~SurfaceSource() = default;

  // The iso level's fine step (a coarse step is ten of them).
  virtual double fineIsoStep() const = 0;
  // Whether the surface moves with the state's clock.
  virtual bool animated() const = 0;
  // The welded surface for the state's clock, divisions and iso level, faces
  // wound outward, with one outward unit normal per vertex. Returns true
  // only when the surface is certainly closed (every edge between two
  // faces), so that no face can be seen from behind.
  virtual bool extract(const ViewState& state, IndexedMesh& mesh) = 0;
};

// The demo's two balls at any number of divisions, extracted exactly (the
// literal pipeline's triangles), with normals from the field's gradient.
class SceneSource : public SurfaceSource {
 public:
  // The extraction runs on `threads` threads; the surface does not depend on
  // how many.
  explicit SceneSource(int threads);

  double fineIsoStep() const override { return 0.01; }
  bool animated() const override { return true; }
  bool extract(const ViewState& state, IndexedMesh& mesh) override;

 private:
  ExtractionSettings settings_;
  // Kept between frames so that its memory is reused.
  ExtractedSurface extracted_;
};
