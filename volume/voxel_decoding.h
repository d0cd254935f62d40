// Stored voxels to values: the eight voxel types in either byte order,
// converted exactly to double whatever the byte order of the machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "volume/volume.h"

namespace mcubes::internal {

int voxelBytes(VoxelType type);
// "uint8", "int16", "float32", ... as the raw options spell them.
const char* voxelTypeName(VoxelType type);
// The type that voxelTypeName spells `name`; none for another name.
std::optional<VoxelType> voxelTypeNamed(const std::string& name);

// The form that holds the values of voxels of `type` exactly, `scaled` or
// not (a slope or offset other than 1 and 0).
ValueForm exactValueForm(VoxelType type, bool scaled);

// Decodes `count` voxels of `type` stored at `bytes` into `out`: as doubles,
// or in the form exactValueForm gives for the type (narrower forms would
// round).
void decodeVoxels(VoxelType type, bool bigEndian, const unsigned char* bytes, std::size_t count,
                  double* out);
void decodeVoxels(VoxelType type, bool bigEndian, const unsigned char* bytes, std::size_t count,
                  float* out);
void decodeVoxels(VoxelType type, bool bigEndian, const unsigned char* bytes, std::size_t count,
                  std::uint8_t* out);

}  // namespace mcubes::internal
