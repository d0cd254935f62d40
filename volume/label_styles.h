// The names and colours of a label map's labels: those a label table gives
// (volume/label_table.h), else those a 3D Slicer segmentation (.seg.nrrd)
// gives its segments, else "label N" in a fixed palette. A layered
// segmentation's segments (VolumeHeader::layers) are numbered: each by its
// label value, but one whose value a segment before it in the file already
// has, on another layer, after the largest value, in the file's order.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "volume/volume.h"

namespace mcubes::internal {

struct LabelStyle {
  std::string name;
  std::array<std::uint8_t, 3> colour;  // sRGB
};

// A segment of a layered segmentation: its number, its layer and the value
// its voxels hold there.
struct LayeredSegment {
  std::int64_t number, layer, value;
};

class LabelStyles {
 public:
  // Reads a segmentation's SegmentN_LabelValue, SegmentN_Name,
  // SegmentN_Color (three numbers from 0 to 1) and SegmentN_Layer keys; a
  // segment without a label value, or on a layer the volume does not have,
  // is not the volume's. Keys that do not parse are passed over.
  // `table`'s labels take the place of the segmentation's.
  explicit LabelStyles(const VolumeHeader& header,
                       const std::map<std::int64_t, LabelStyle>& table = {});

  LabelStyle operator()(std::int64_t label) const;

  // The label named `name` (letter case aside), if one is.
  std::optional<std::int64_t> labelNamed(const std::string& name) const;

  // A layered segmentation's segments, in the file's order; empty for a
  // volume of one layer.
  const std::vector<LayeredSegment>& layered() const { return layered_; }

 private:
  std::map<std::int64_t, LabelStyle> segments_;
  std::vector<LayeredSegment> layered_;
};

}  // namespace mcubes::internal
