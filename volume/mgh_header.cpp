#include "volume/mgh_header.h"

#include <vector>

#include "volume/read_failure.h"
#include "volume/volume_layout.h"
#include "volume/voxel_decoding.h"

namespace mcubes::internal {

namespace {

const char* const Damaged = "the file is damaged, or not FreeSurfer MGH";

// `count` big-endian fields of `type` from byte `at` on.
std::vector<double> fields(const unsigned char* header, std::size_t at, VoxelType type,
                           std::size_t count) {
  std::vector<double> values(count);
  decodeVoxels(type, true, header + at, count, values.data());
  return values;
}

// The voxel types FreeSurfer's MRI_UCHAR, MRI_INT, MRI_FLOAT and MRI_SHORT.
bool voxelType(double code, VoxelType& type) {
  const std::pair<int, VoxelType> types[] = {
      {0, VoxelType::Uint8}, {1, VoxelType::Int32}, {3, VoxelType::Float32}, {4, VoxelType::Int16}};
  for (const auto& [number, named] : types) {
    if (code == number) {
      type = named;
      return true;
    }
  }
  return false;
}

}  // namespace

MghHeader parseMghHeader(const unsigned char* bytes, std::size_t size, const std::string& file) {
  if (size < MghHeaderBytes) {
    failVolume(file,
               "is too short for an MGH header (" + std::to_string(size) + " of " +
                   std::to_string(MghHeaderBytes) + " bytes)",
               Damaged);
  }
  const double version = fields(bytes, 0, VoxelType::Int32, 1)[0];
  if (version != 1) {
    failVolume(file, "its MGH version is " + std::to_string(static_cast<long>(version)) + ", not 1",
               Damaged);
  }
  const std::vector<double> dims = fields(bytes, 4, VoxelType::Int32, 4);
  const double code = fields(bytes, 20, VoxelType::Int32, 1)[0];
  MghHeader header;
  if (!voxelType(code, header.volume.type)) {
    failVolume(file,
               "its voxel type " + std::to_string(static_cast<long>(code)) + " is not supported",
               "convert it to uchar, short, int or float (mri_convert -odt)");
  }
  const std::vector<std::int64_t> sizes(dims.begin(), dims.end());  // width, height, depth, frames
  // vox2ras: FreeSurfer's scanner RAS, also by its default orientation.
  header.volume.space = WorldSpace::Ras;
  const LatticeSize lattice = firstVolume(file, sizes, header.volume);
  header.bytes = lattice.bytes;
  header.volumes = lattice.volumes;

  // Without goodRASflag the orientation fields are not set: FreeSurfer's
  // default is coronal, 1 mm voxels, centred on the origin.
  const bool oriented = fields(bytes, 28, VoxelType::Int16, 1)[0] != 0;
  std::vector<double> spacing = {1.0, 1.0, 1.0};
  std::vector<double> cosines = {-1.0, 0.0, 0.0, 0.0, 0.0, -1.0, 0.0, 1.0, 0.0};
  std::vector<double> centre = {0.0, 0.0, 0.0};
  if (oriented) {
    spacing = fields(bytes, 30, VoxelType::Float32, 3);
    cosines = fields(bytes, 42, VoxelType::Float32, 9);  // x_r x_a x_s y_r ... z_s
    centre = fields(bytes, 78, VoxelType::Float32, 3);
  } else {
    std::string& notice = header.volume.notice;
    notice += (notice.empty() ? "" : "\n") + printableName(file) +
              " states no orientation (goodRASflag 0): FreeSurfer's default, coronal with 1 mm "
              "voxels centred on the origin";
  }
  VolumeGeometry& geometry = header.volume.geometry;
  for (int b = 0; b < 3; ++b) {
    geometry.origin[b] = centre[b];
    for (int a = 0; a < 3; ++a) {
      geometry.axes[a][b] = cosines[3 * a + b] * spacing[a];
      geometry.origin[b] -= geometry.axes[a][b] * (dims[a] / 2.0);
    }
  }
  checkGeometry(file, geometry, "direction cosines (x_r ... z_s) and voxel sizes",
                "c_ras (c_r, c_a, c_s)");
  return header;
}

}  // namespace mcubes::internal
