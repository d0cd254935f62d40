// A table of a label map's names and colours, as the tools that make label
// maps write them beside or apart from the map:
// - FreeSurfer's colour table (FreeSurferColorLUT.txt, for aseg.mgz and
//   aparc+aseg.mgz) and 3D Slicer's colour table (.ctbl): "value name R G B
//   A" a line, '#' comments;
// - ITK-SNAP's label description file: value R G B A visible mesh "name";
// - a CSV or tab-separated table, as atlases come (AAL, Harvard-Oxford):
//   value, name and optionally R, G, B; a first line without a number first
//   is its heading.
// Colours are 0 to 255, or 0 to 1 where every component is written with a
// point and none exceeds 1.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "volume/label_styles.h"

namespace mcubes::internal {

// Throws VolumeError naming the line for a file it cannot read or a line
// that is none of these, or a value given twice.
std::map<std::int64_t, LabelStyle> readLabelTable(const std::string& path);

}  // namespace mcubes::internal
