#include "volume/volume_layout.h"

#include <cmath>
#include <limits>

#include "volume/read_failure.h"
#include "volume/voxel_decoding.h"

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

void checkGeometry(const std::string& file, const VolumeGeometry& geometry) {
  bool finite = true;
  for (int a = 0; a < 3; ++a) {
    finite = finite && std::isfinite(geometry.origin[a]);
    for (int b = 0; b < 3; ++b) finite = finite && std::isfinite(geometry.axes[a][b]);
  }
  if (!finite) {
    failVolume(file, "its origin or voxel spacing is not a finite number",
               "correct the index-to-world mapping in its header");
  }
}

LatticeSize firstVolume(const std::string& file, const std::vector<std::int64_t>& sizes,
                        VolumeHeader& volume) {
  LatticeSize size{latticeBytes(file, sizes, voxelBytes(volume.type)), 1};
  for (std::size_t axis = 3; axis < sizes.size(); ++axis) size.volumes *= sizes[axis];
  for (int axis = 0; axis < 3; ++axis) volume.geometry.dims[axis] = sizes[axis];
  if (size.volumes > 1) {
    volume.notice = file + " has " + std::to_string(size.volumes) + " volumes; meshing the first";
  }
  return size;
}
