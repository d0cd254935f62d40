// Where the viewer's surface comes from: the animated two-ball scene, or a
// user's volume, with its own iso steps and no clock.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "mesh/surface.h"
#include "mesh/surface_pipeline.h"
#include "viewer/view_state.h"
#include "volume/in_memory_volume.h"

// What a source is, as the view state takes it when the viewer opens; it
// stays the same for the source's life.
struct SurfaceDescription {
  // The iso level's fine step (a coarse step is ten of them).
  double fineIsoStep = 0.01;
  // Whether the surface moves with the state's clock.
  bool animated = false;
  // Whether the iso level must stay above zero.
  bool positiveIsoOnly = true;
  SurfaceGrid grid = SurfaceGrid::sceneDivisions;
  // A volume's grid as the title names it.
  std::string gridLabel;
  // The coarsest level of detail of a volume: its surface can be extracted
  // on every 1st, 2nd, 4th ... up to this many-th voxel along each axis
  // (ViewState::voxelStride).
  std::int32_t coarsestVoxelStride = 1;
};

class SurfaceSource {
 public:
  virtual ~SurfaceSource() = default;

  virtual SurfaceDescription describe() const = 0;
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

  SurfaceDescription describe() const override;
  bool extract(const ViewState& state, IndexedMesh& mesh) override;

 private:
  SurfaceOptions options_;
};

// A user's volume held in memory, extracted exactly (the literal pipeline's
// triangles over its voxels) at the state's iso level and level of detail,
// closed where it leaves the volume, welded, with normals from central
// differences, as `mcubes mesh --volume --normals` writes it. A coarser level
// of detail is a volume of its own: every s-th voxel along each axis, up to
// the last voxel on that lattice, with the axes scaled by s and the origin
// kept; it is extracted just as exactly, built the first time it is shown
// and kept. The viewer shows the volume in the scene's frame: its world
// bounding box centred on the origin and scaled so that its longest side is
// the scene's 16 units, so that the start camera, the zoom's limits and the
// projection serve every volume alike.
class VolumeSource : public SurfaceSource {
 public:
  VolumeSource(std::shared_ptr<const InMemoryVolume> volume, int threads);

  // Its fine iso step is 1 % of the range of the data's finite values (0.01
  // where they are all alike); the middle of that range.
  SurfaceDescription describe() const override;
  double middleLevel() const { return middle_; }
  bool extract(const ViewState& state, IndexedMesh& mesh) override;

  // World position to the viewer's frame: (p - centre) * scale.
  double frameScale() const { return scale_; }
  const double* frameCentre() const { return centre_; }

 private:
  // The level of detail of every `stride`-th voxel, built on first use.
  const InMemoryVolume& level(std::int32_t stride);

  std::shared_ptr<const InMemoryVolume> volume_;
  std::map<std::int32_t, std::shared_ptr<const InMemoryVolume>> levels_;  // by stride
  std::int32_t coarsestStride_ = 1;
  SurfaceOptions options_;
  double fineStep_ = 0.01;
  double middle_ = 0.0;
  double centre_[3] = {0.0, 0.0, 0.0};
  double scale_ = 1.0;
};
