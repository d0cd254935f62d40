// NRRD files (teem's format, data attached) written from any volume.
#pragma once

#include <cstdio>

#include "volume/volume.h"

namespace mcubes::internal {

enum class NrrdEncoding { Raw, Gzip };

// Writes every slice `volume` has left as a NRRD file: its voxel type, in
// this machine's byte order, with the space directions and origin of its
// geometry, so that openVolume gives back the same values at the same
// places. The values are stored as the header's type holds them (slope and
// offset are not written). Gzip needs writesGzip() (volume/gzip_sink.h).
// False when a write failed.
bool writeNrrd(std::FILE* file, VolumeReader& volume, NrrdEncoding encoding);

}  // namespace mcubes::internal
