// Where the viewer's surface comes from: the animated two-ball scene, or a
// user's volume, with its own iso steps and no clock.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "mesh/pipeline/surface_pipeline.h"
#include "mesh/surface/surface.h"
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
  // The box the surface lies in, in the viewer's frame, and the clipping
  // plane's fine steps across it along each axis.
  double boxLow[3] = {-8.0, -8.0, -8.0};
  double boxHigh[3] = {8.0, 8.0, 8.0};
  std::int32_t clipSteps[3] = {100, 100, 100};
  // A label map's labels, all visible.
  std::vector<ShownLabel> labels;
};

// A colour in sRGB.
using Rgb = std::array<std::uint8_t, 3>;

// A slice of a volume's data as a greyscale picture on a flat quad: `grey`
// holds width x height values (row by row from the quad's first corner),
// both sides powers of two as OpenGL 1.1 wants them; the corners are in the
// viewer's frame, in the order of the picture's (0,0), (1,0), (1,1), (0,1).
struct SliceImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> grey;
  Point3 corners[4];
};

class SurfaceSource {
 public:
  virtual ~SurfaceSource() = default;

  virtual SurfaceDescription describe() const = 0;
  // The welded surface for the state's clock, divisions and iso level (a
  // label map: its visible labels; a volume: with or without caps), faces
  // wound outward, with one outward unit normal per vertex, and one colour
  // per vertex where its parts have colours of their own (else none).
  // Returns true only when the surface is certainly closed (every edge
  // between two faces), so that no face can be seen from behind. A volume's
  // (at more than one level of detail) is called from the window's thread
  // and a worker's at once.
  virtual bool extract(const ViewState& state, mcubes::internal::IndexedMesh& mesh,
                       std::vector<Rgb>& colours) = 0;
  // The slice across the frame's axis `axis` through `fraction` of the box
  // along it; false where the source has no data to slice (the scene).
  virtual bool slice(int axis, double fraction, SliceImage& image) const {
    static_cast<void>(axis);
    static_cast<void>(fraction);
    static_cast<void>(image);
    return false;
  }
};

// The demo's two balls at any number of divisions, extracted exactly (the
// literal pipeline's triangles), with normals from the field's gradient.
class SceneSource : public SurfaceSource {
 public:
  // The extraction runs on `threads` threads; the surface does not depend on
  // how many.
  explicit SceneSource(int threads);

  SurfaceDescription describe() const override;
  bool extract(const ViewState& state, mcubes::internal::IndexedMesh& mesh,
               std::vector<Rgb>& colours) override;

 private:
  mcubes::internal::SurfaceOptions options_;
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
//
// A label map shows its labels' surfaces instead (mcubes mesh --labels), each
// in its colour (volume/label_styles.h), at full detail only: extracted
// once, with caps and without as the state asks, and kept.
class VolumeSource : public SurfaceSource {
 public:
  VolumeSource(std::shared_ptr<const mcubes::internal::InMemoryVolume> volume, int threads);

  // Shows the label map's labels `asked` (empty: all but 0) from now on;
  // those found nowhere are named in `absent`. Throws VolumeError where a
  // voxel is not an integer.
  void showLabels(const std::vector<std::int64_t>& asked, std::vector<std::int64_t>& absent);

  // Which side of the level the object lies on (mesh/surface/inside.h) from now
  // on: above, as a scan's, unless this says below.
  void setInside(mcubes::internal::Inside inside) { options_.inside = inside; }
  mcubes::internal::Inside inside() const { return options_.inside; }

  // Its fine iso step is 1 % of the range of the data's finite values (0.01
  // where they are all alike).
  SurfaceDescription describe() const override;
  // The level a view starts at where the user names none, and why, in words
  // for the console: Otsu's threshold (as mcubes mesh --iso otsu chooses
  // it), which on a scan lies between the background and the body; where
  // no threshold splits the values (they are all alike), the middle of
  // their range.
  struct StartLevel {
    double level;
    std::string reason;
  };
  StartLevel startLevel() const;
  // The least and the most finite value (both 0 where there is none).
  double least() const { return least_; }
  double most() const { return most_; }
  const mcubes::internal::InMemoryVolume& volume() const { return *volume_; }
  bool extract(const ViewState& state, mcubes::internal::IndexedMesh& mesh,
               std::vector<Rgb>& colours) override;
  // Greyscale from the least finite value (black) to the most (white).
  bool slice(int axis, double fraction, SliceImage& image) const override;

  // World position to the viewer's frame: (p - centre) * scale.
  double frameScale() const { return scale_; }
  const double* frameCentre() const { return centre_; }

 private:
  struct LabelMesh {
    ShownLabel label;
    Rgb colour;
    mcubes::internal::IndexedMesh mesh;  // in the viewer's frame
  };

  // The level of detail of every `stride`-th voxel, built on first use.
  const mcubes::internal::InMemoryVolume& level(std::int32_t stride);
  // The labels' meshes with caps or without, built on first use.
  const std::vector<LabelMesh>& labelMeshes(bool caps);
  void toFrame(mcubes::internal::IndexedMesh& mesh) const;
  // The voxel axis that runs most nearly along the frame's axis `a`.
  int voxelAxisAlong(int a) const;

  std::shared_ptr<const mcubes::internal::InMemoryVolume> volume_;
  std::mutex levelsMutex_;  // the window's thread reads levels_ while a worker extracts
  std::map<std::int32_t, std::shared_ptr<const mcubes::internal::InMemoryVolume>>
      levels_;  // by stride
  std::vector<std::int64_t> labelsAsked_;
  std::vector<LabelMesh> labels_[2];  // without caps, with caps
  bool labelsBuilt_[2] = {false, false};
  bool labelMap_ = false;
  std::int32_t coarsestStride_ = 1;
  mcubes::internal::SurfaceOptions options_;
  double fineStep_ = 0.01;
  double least_ = 0.0;
  double most_ = 0.0;
  double centre_[3] = {0.0, 0.0, 0.0};
  double scale_ = 1.0;
  double frameLow_[3] = {0.0, 0.0, 0.0};
  double frameHigh_[3] = {0.0, 0.0, 0.0};
};

// The volume `reader` gives, read whole into memory (as doubles, the way the
// viewer holds it), to be shown on `threads` extraction threads. Throws
// VolumeError where it cannot be read or does not fit in memory.
std::shared_ptr<VolumeSource> loadVolumeSource(mcubes::internal::VolumeReader& reader, int threads);
