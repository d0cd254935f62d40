// Users' scalar volumes (CT and MRI scans, simulation output, distance
// fields), read slice by slice so that a volume larger than memory can be
// meshed from disk. A slice is the X * Y voxels at one k, i fastest, then j.
//
// Values are doubles: the stored number converted exactly, then, where the
// file asks for it (NIfTI's scl_slope and scl_inter), value * slope + offset
// in double arithmetic.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace mcubes::internal {

// Bad or unreadable input: the message names the file, what is wrong with it
// and what to do about it, in one line ("FILE: PROBLEM; REMEDY"), the
// arguments it names as {name} (volume/argument_words.h). The parts are
// kept for callers that show them apart.
class VolumeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  VolumeError(std::string file, std::string problem, std::string remedy)
      : std::runtime_error(file + ": " + problem + "; " + remedy),
        file_(std::move(file)),
        problem_(std::move(problem)),
        remedy_(std::move(remedy)) {}

  const std::string& file() const { return file_; }  // empty where none is named
  const std::string& problem() const { return problem_; }
  const std::string& remedy() const { return remedy_; }

 private:
  std::string file_, problem_, remedy_;
};

// The patient space a file's world coordinates are in, where the file says:
// x toward the right or left, y anterior or posterior, z superior (NIfTI's
// and MGH's RAS; DICOM's, ITK's and MetaImage's LPS; NRRD's space field).
enum class WorldSpace { Unstated, Ras, Las, Lps };

enum class VoxelType { Uint8, Int8, Uint16, Int16, Uint32, Int32, Float32, Float64 };

// The narrowest form that holds a volume's values exactly, in which the
// sweeps then hold its slices (voxel_decoding.h, exactValueForm): bytes,
// floats or doubles, narrowest first.
enum class ValueForm { Bytes, Floats, Doubles };

// Index to world: the voxel (i, j, k) lies at origin + i * axes[0] + j *
// axes[1] + k * axes[2], in the world space the file states (no conversion
// between LPS and RAS).
struct VolumeGeometry {
  std::int64_t dims[3];  // voxels along i, j, k; each at least 1
  double origin[3];
  double axes[3][3];  // axes[a] is the world step of one voxel along index a
};

// Whether the axes are mirrored (a negative determinant): there a surface
// wound outward in index space faces inward in world space.
inline bool isMirrored(const VolumeGeometry& geometry) {
  const double(&m)[3][3] = geometry.axes;
  const double determinant = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                             m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                             m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  return determinant < 0.0;
}

// What is known about a volume before its voxels are read.
struct VolumeHeader {
  VolumeGeometry geometry;
  VoxelType type;
  double slope = 1.0;  // value = stored * slope + offset, where not 1 and 0
  double offset = 0.0;
  // Lines the reader has to say about the file and the user should see
  // (e.g. which volume of a 4-D file is meshed), empty if none.
  std::string notice;
  WorldSpace space = WorldSpace::Unstated;
  // The free key/value pairs of formats that have them (NRRD's key:=value),
  // in the file's order.
  std::vector<std::pair<std::string, std::string>> keyValues;
  // A segmentation whose voxels hold several layers of labels side by side
  // (3D Slicer's of overlapping segments): how many. The reader reads one
  // (openVolumeLayer), the first unless asked for another.
  std::int64_t layers = 1;
};

class VolumeReader {
 public:
  virtual ~VolumeReader() = default;
  virtual const VolumeHeader& header() const = 0;
  // Reads the next `count` slices as values into `out` (room for
  // dims[0] * dims[1] * count doubles). Throws VolumeError when the data
  // ends early or cannot be read or decompressed.
  virtual void readSlices(std::int64_t count, double* out) = 0;
  // The form the values can also be read in, exactly (readFloatSlices,
  // readByteSlices): doubles only, unless the reader says otherwise.
  virtual ValueForm valueForm() const { return ValueForm::Doubles; }
  // As readSlices, the same values in the form valueForm() names; only
  // where it names that form (std::logic_error otherwise).
  void readFloatSlices(std::int64_t count, float* out);
  void readByteSlices(std::int64_t count, std::uint8_t* out);
  // Passes over the next `count` slices (a process meshing a share of the
  // volume starts at its own): as reading them, where nothing faster can
  // find the slice after them.
  virtual void skipSlices(std::int64_t count);

 protected:
  // The reads of the narrower forms, for the readers that give them.
  virtual void readNarrowSlices(std::int64_t count, float* out);
  virtual void readNarrowSlices(std::int64_t count, std::uint8_t* out);
};

// Where a file states no index-to-world mapping (raw voxels, HDF5): the
// voxel size along i, j, k and the world position of voxel (0,0,0) that the
// user gives (`--spacing`, `--origin`).
struct VoxelPlacement {
  double spacing[3] = {1.0, 1.0, 1.0};
  double origin[3] = {0.0, 0.0, 0.0};
  // Whether `spacing` was given, rather than left at 1: an HDF5 dataset's
  // own element_size_um attribute spaces its voxels otherwise.
  bool spacingGiven = false;
};

// The layout of a headerless file of voxels (`--dims`, `--type`, ...).
struct RawLayout {
  std::int64_t dims[3];
  VoxelType type;
  bool bigEndian = false;
  VoxelPlacement placement = {};
};

// Opens the volume at `path`, chosen by its extension: .nrrd, .nhdr, .nii,
// .nii.gz, .hdr (beside its .img), .mha, .mhd, .mgh, .mgz, or an HDF5 file
// (.h5, .hdf5, .he5) with its dataset after a colon ("sim.h5:/group/data";
// without one, its only 3-D dataset), placed by `placement`; a folder of
// DICOM files or a DICOMDIR, its series chosen by `series` (its number in
// the listing or its UID; empty: the only one); with `raw`, any file read
// as that layout. Throws VolumeError for what cannot be read, including
// formats this build lacks.
std::unique_ptr<VolumeReader> openVolume(const std::string& path,
                                         const std::optional<RawLayout>& raw = std::nullopt,
                                         const VoxelPlacement& placement = {},
                                         const std::string& series = {});

// Layer `layer` of the layered segmentation at `path` (a .seg.nrrd whose
// header has more than one layer); openVolume reads its first.
std::unique_ptr<VolumeReader> openVolumeLayer(const std::string& path, std::int64_t layer);

}  // namespace mcubes::internal
