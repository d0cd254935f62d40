// FreeSurfer's MGH headers (.mgh; .mgz is the whole file gzip-compressed):
// 284 big-endian bytes in, meaning out. The voxels follow them, big-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "volume/volume.h"

namespace mcubes::internal {

constexpr std::size_t MghHeaderBytes = 284;

struct MghHeader {
  VolumeHeader volume;       // the first frame; the notice for more
  std::int64_t volumes = 1;  // frames
  std::int64_t bytes = 0;    // the stored voxels of every frame
};

// Reads the header at `bytes` (`size` of them, the whole header when at
// least MghHeaderBytes); every failure names `file`. The index-to-world
// mapping is FreeSurfer's vox2ras: axis a is column a of the direction
// cosines times its voxel size, and the volume's centre (voxel dims / 2,
// halves included) lies at c_ras.
MghHeader parseMghHeader(const unsigned char* bytes, std::size_t size, const std::string& file);

}  // namespace mcubes::internal
