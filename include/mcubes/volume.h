// Volumes to mesh: a file in any format mcubes reads, opened and read slice
// by slice, or voxels in the caller's memory, read in place.
//
// A volume's voxel (i, j, k) has i fastest in memory, then j, then k: a
// C-ordered array of shape (nz, ny, nx) indexed [k][j][i].
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace mcubes::internal {
class VolumeReader;
}

namespace mcubes {

enum class VoxelType { Uint8, Int8, Uint16, Int16, Uint32, Int32, Float32, Float64 };

// Index to world: voxel (i, j, k) lies at origin + i * axes[0] + j * axes[1]
// + k * axes[2], in the world space the file states.
struct Geometry {
  std::int64_t dims[3];  // voxels along i, j, k
  double origin[3];
  double axes[3][3];
};

// Where voxel (0, 0, 0) lies and the voxel size along i, j, k, for volumes
// whose files state no placement (raw voxels, HDF5) and arrays.
struct Placement {
  double spacing[3] = {1.0, 1.0, 1.0};
  double origin[3] = {0.0, 0.0, 0.0};
};

// The geometry of `dims` voxels on the grid of `placement`. Throws
// ArgumentError for a size below 1, or a spacing or origin that is not
// finite (a spacing of 0 included).
Geometry gridGeometry(const std::int64_t (&dims)[3], const Placement& placement);

// A headerless file of voxels: its size and type.
struct RawLayout {
  std::int64_t dims[3];
  VoxelType type;
  bool bigEndian = false;
};

// Voxels in the caller's memory: voxel (i, j, k) at data + i * strides[0] +
// j * strides[1] + k * strides[2] bytes (any sign), in the machine's byte
// order. The memory must stay valid and unchanged while it is meshed.
struct ArrayView {
  const void* data;
  VoxelType type;
  std::int64_t dims[3];
  std::int64_t strides[3];
};

// The strides of a packed array of `dims` voxels of `type`, i fastest.
ArrayView packedArray(const void* data, VoxelType type, const std::int64_t (&dims)[3]);

// A volume file, read front to back once: the formats of `mcubes mesh
// --volume` (.nrrd, .nhdr, .nii, .nii.gz, .hdr/.img, .mha, .mhd, .mgh, .mgz,
// .h5/.hdf5/.he5 with "file.h5:/dataset"), or any file as `raw` voxels.
class Volume {
 public:
  // Throws FileError with the reader's message.
  explicit Volume(const std::string& path, const std::optional<RawLayout>& raw = std::nullopt,
                  const Placement& placement = {});
  ~Volume();
  Volume(Volume&&) noexcept;
  Volume& operator=(Volume&&) noexcept;

  const Geometry& geometry() const { return geometry_; }
  VoxelType storedType() const;
  // Whether values are the stored numbers scaled (NIfTI's scl_slope and
  // scl_inter): then they need doubles.
  bool scaled() const;
  // What the reader says about the file (which volume of a 4-D file is
  // read), empty if nothing.
  const std::string& notice() const;

  // The next `count` slices (nx * ny values each, i fastest) as doubles.
  // Throws FileError where the data ends early or cannot be decoded.
  void readSlices(std::int64_t count, double* out);
  // Every slice not yet read, converted to `type` (exactly where it is
  // storedType() and the volume is not scaled) into `out`, which holds them.
  void readRest(VoxelType type, void* out);

 private:
  friend class VolumeAccess;
  std::unique_ptr<mcubes::internal::VolumeReader> reader_;
  Geometry geometry_;
  std::int64_t nextSlice_ = 0;
};

}  // namespace mcubes
