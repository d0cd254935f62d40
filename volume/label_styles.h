// The names and colours of a label map's labels: those a label table gives
// (volume/label_table.h), else those a 3D Slicer segmentation (.seg.nrrd)
// gives its segments, else "label N" in a fixed palette.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "volume/volume.h"

namespace mcubes::internal {

struct LabelStyle {
  std::string name;
  std::array<std::uint8_t, 3> colour;  // sRGB
};

class LabelStyles {
 public:
  // Reads a segmentation's SegmentN_LabelValue, SegmentN_Name,
  // SegmentN_Color (three numbers from 0 to 1) and SegmentN_Layer keys; a
  // segment on another layer than the first, or without a label value, is
  // not the volume's. Keys that do not parse are passed over.
  // `table`'s labels take the place of the segmentation's.
  explicit LabelStyles(const VolumeHeader& header,
                       const std::map<std::int64_t, LabelStyle>& table = {});

  LabelStyle operator()(std::int64_t label) const;

  // The label named `name` (letter case aside), if one is.
  std::optional<std::int64_t> labelNamed(const std::string& name) const;

 private:
  std::map<std::int64_t, LabelStyle> segments_;
};

}  // namespace mcubes::internal
