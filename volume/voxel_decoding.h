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

// The narrowest form that holds the values of voxels of `type` exactly,
// stored * slope + offset: bytes for uint8 as stored; floats for int8,
// 16-bit integers and float32 as stored, and for 8- and 16-bit integers
// scaled by integers within float's integers (a CT's intercept of -1024);
// else doubles.
ValueForm exactValueForm(VoxelType type, double slope = 1.0, double offset = 0.0);

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
