// Otsu's level: the iso level that splits a volume's finite values into the
// two classes of the largest between-class variance (Otsu 1979), for a
// surface between the darker and the brighter part of a scan when the user
// names no level. Read slice by slice: memory beside one slice is the
// histogram's, at most 65,536 bins.
//
// The histogram: for integer voxels of up to 16 bits that the header does
// not scale, one bin per value (exact); for every other type 4096 bins of
// equal width over the finite values' range, which a first pass over the
// volume finds. The classes are split between two bins; the level lies
// between the largest value of the lower class and the least of the upper:
// for integer voxels (unscaled) half a unit above the former (e.g. 412.5),
// otherwise halfway between them. Either way no voxel has the level's value,
// so the surface never passes through a voxel.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>

#include "volume/volume.h"

namespace mcubes::internal {

struct OtsuLevel {
  // The level; NaN where no level splits the finite values (there are none,
  // or they are all the same).
  double level = std::numeric_limits<double>::quiet_NaN();
  double least = std::numeric_limits<double>::infinity();  // of the finite values
  double most = -std::numeric_limits<double>::infinity();
  std::int64_t finiteVoxels = 0;
  std::int64_t below = 0;  // finite voxels below the level, the lower class
  double meanBelow = std::numeric_limits<double>::quiet_NaN();  // the classes' means
  double meanAbove = std::numeric_limits<double>::quiet_NaN();
  int bins = 0;        // of the histogram
  bool exact = false;  // one bin per value
};

// Opens the volume afresh at its first slice; throws VolumeError where it
// cannot.
using VolumeOpener = std::function<std::unique_ptr<VolumeReader>()>;

// Otsu's level of the volume that `open` opens: once where the histogram is
// exact, twice otherwise (the range, then the histogram). A caller that
// meshes the volume afterwards opens it once more. Throws VolumeError where
// reading fails.
OtsuLevel otsuLevel(const VolumeOpener& open);

// The same of a volume held in memory, `header` its reader's (i fastest,
// then j, then k).
OtsuLevel otsuLevel(const VolumeHeader& header, const double* values);

}  // namespace mcubes::internal
