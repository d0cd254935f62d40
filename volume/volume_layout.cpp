#include "volume/volume_layout.h"

#include <cmath>
#include <limits>

#include "volume/read_failure.h"
#include "volume/voxel_decoding.h"

namespace mcubes::internal {

std::int64_t latticeBytes(const std::string& file, const std::vector<std::int64_t>& sizes,
                          int bytesPerVoxel) {
  if (sizes.size() < 3) {
    failVolume(file, "has " + std::to_string(sizes.size()) + " axes, not the three of a volume",
               "mesh a 3-D volume");
  }
  std::int64_t bytes = bytesPerVoxel;
  for (std::size_t axis = 0; axis < sizes.size(); ++axis) {
    if (sizes[axis] < 1) {
      failVolume(file,
                 "axis " + std::to_string(axis) + " has size " + std::to_string(sizes[axis]) +
                     " (each must be at least 1)",
                 "correct the sizes in its header");
    }
    if (bytes > std::numeric_limits<std::int64_t>::max() / sizes[axis]) {
      failVolume(file, "its sizes multiply to more bytes than any file can hold",
                 "correct the sizes in its header");
    }
    bytes *= sizes[axis];
  }
  return bytes;
}

namespace {

// The length of axis a, without overflow or underflow on the way.
double axisLength(const VolumeGeometry& geometry, int a) {
  const double(&v)[3] = geometry.axes[a];
  return std::hypot(v[0], v[1], v[2]);
}

}  // namespace

double axesSpread(const VolumeGeometry& geometry) {
  double unit[3][3];
  for (int a = 0; a < 3; ++a) {
    const double length = axisLength(geometry, a);
    if (!std::isfinite(length)) return std::numeric_limits<double>::quiet_NaN();
    if (!(length > 0.0)) return 0.0;
    for (int b = 0; b < 3; ++b) unit[a][b] = geometry.axes[a][b] / length;
  }
  const double(&m)[3][3] = unit;
  return std::fabs(m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                   m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                   m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]));
}

void checkGeometry(const std::string& file, const VolumeGeometry& geometry,
                   const std::string& axesField, const std::string& originField) {
  const char* const remedy = "correct the index-to-world mapping in its header";
  for (int a = 0; a < 3; ++a) {
    if (!std::isfinite(geometry.origin[a])) {
      failVolume(file, "the origin its " + originField + " gives is not a finite number", remedy);
    }
  }
  for (int a = 0; a < 3; ++a) {
    for (int b = 0; b < 3; ++b) {
      if (!std::isfinite(geometry.axes[a][b])) {
        failVolume(file,
                   "axis " + std::to_string(a) + " of its " + axesField + " is not a finite number",
                   remedy);
      }
    }
  }
  for (int a = 0; a < 3; ++a) {
    if (!(axisLength(geometry, a) > 0.0)) {
      failVolume(file,
                 "axis " + std::to_string(a) + " of its " + axesField +
                     " has length 0: the volume is flat and its surfaces enclose nothing",
                 remedy);
    }
  }
  if (!(axesSpread(geometry) >= FlatSpread)) {
    failVolume(file,
               "the axes of its " + axesField +
                   " are parallel or lie in one plane: the volume is flat and its surfaces "
                   "enclose nothing",
               remedy);
  }
}

LatticeSize firstVolume(const std::string& file, const std::vector<std::int64_t>& sizes,
                        VolumeHeader& volume) {
  LatticeSize size{latticeBytes(file, sizes, voxelBytes(volume.type)), 1};
  for (std::size_t axis = 3; axis < sizes.size(); ++axis) size.volumes *= sizes[axis];
  for (int axis = 0; axis < 3; ++axis) volume.geometry.dims[axis] = sizes[axis];
  if (size.volumes > 1) {
    volume.notice = printableName(file) + " has " + std::to_string(size.volumes) +
                    " volumes; reading the first";
  }
  return size;
}

VolumeGeometry placedGeometry(const std::string& file, const std::int64_t (&dims)[3],
                              const VoxelPlacement& placement) {
  VolumeGeometry geometry;
  for (int a = 0; a < 3; ++a) {
    const double spacing = placement.spacing[a];
    if (!std::isfinite(spacing) || spacing == 0.0 || !std::isfinite(placement.origin[a])) {
      failVolume(file, "the spacing must be finite and not 0, the origin finite",
                 "give {spacing} and {origin} as plain numbers");
    }
    geometry.dims[a] = dims[a];
    geometry.origin[a] = placement.origin[a];
    for (int b = 0; b < 3; ++b) geometry.axes[a][b] = a == b ? spacing : 0.0;
  }
  return geometry;
}

}  // namespace mcubes::internal
