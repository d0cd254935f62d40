// The surfaces of a label map's labels from one pass over the volume. A
// label's surface is the one its indicator volume (1 where a voxel holds
// the label, 0 elsewhere) has at 0.5, extracted and welded exactly as any
// level of any volume is (mesh/volume/volume_extract.h). Each slab is swept
// once for all labels (mesh/labels/label_sweep.h), so the cost is that of
// the boundaries, not of the number of labels; with normals, which need each
// indicator's gradient, the indicator is made for the slices the label's
// voxels are in and only their layers are swept.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "mesh/volume/volume_caps.h"
#include "mesh/volume/volume_extract.h"
#include "mesh/volume/volume_weld.h"

namespace mcubes::internal {

struct LabelWeld {
  std::int64_t label;
  bool found = false;  // some voxel holds it
  std::unique_ptr<VolumeWeld> weld;
};

struct LabelWelds {
  // In the order asked; every label found, ascending, where none was asked.
  std::vector<LabelWeld> labels;
  VolumeBoundary boundary;  // the voxels on the volume's faces
};

// The iso level of the settings is not used (the indicators' is 0.5).
// `labels` empty: every value other than 0 that the volume holds. Throws
// VolumeError where a voxel holds anything but an integer (naming the
// voxel) or where reading fails.
LabelWelds weldLabels(VolumeReader& reader, const std::vector<std::int64_t>& labels,
                      const VolumeExtractionSettings& settings, const LayerProgress& progress = {});

// The level between a label's voxels (1) and the rest (0).
constexpr double IndicatorLevel = 0.5;

}  // namespace mcubes::internal
