// The surfaces of a layered segmentation's segments (VolumeHeader::layers):
// each segment's the surface of its value on its own layer, the layers read
// one after another, each once for all its segments.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/pipeline/surface_pipeline.h"
#include "volume/label_styles.h"

namespace mcubes::internal {

// `first` reads the file at `path`'s first layer; the others are opened
// from `path`. `numbers` empty: every segment. Surfaces come labelled with
// the segments' numbers, in the order asked (or by number); numbers no
// segment has, or whose value no voxel of its layer holds, are named in the
// report. Throws as labelSurfaces does.
std::vector<LabelSurface> segmentSurfaces(VolumeReader& first, const std::string& path,
                                          const std::vector<LayeredSegment>& segments,
                                          const std::vector<std::int64_t>& numbers,
                                          const SurfaceOptions& options, SurfaceReport& report,
                                          const SurfaceProgress& progress = {});

}  // namespace mcubes::internal
