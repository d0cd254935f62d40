// The classic test volumes of isosurfacing, computed voxel by voxel as they
// are read: something to mesh, view and benchmark without a scan at hand.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "volume/volume.h"

namespace mcubes::internal {

struct SampleVolume {
  const char* name;
  const char* summary;  // one line: what it holds and a level that shows it
  // The sample with `size` voxels along each axis.
  std::unique_ptr<VolumeReader> (*open)(std::int64_t size);
};

// Every sample, in the order the tool lists them.
const std::vector<SampleVolume>& sampleVolumes();

// Smallest and largest number of voxels along each axis of a sample.
constexpr std::int64_t minSampleSize = 2;
constexpr std::int64_t maxSampleSize = 1024;

// The sample `name` with `size` voxels along each axis (minSampleSize to
// maxSampleSize), its values those of its stored type; nullptr for a name
// that is no sample's. Slices are computed as they are read, so memory
// stays at one slice whatever the size.
std::unique_ptr<VolumeReader> openSampleVolume(const std::string& name, std::int64_t size);

}  // namespace mcubes::internal
