#include "volume/nrrd_header.h"

#include <array>
#include <map>
#include <optional>

#include "volume/header_fields.h"
#include "volume/header_text.h"
#include "volume/read_failure.h"
#include "volume/volume_layout.h"
#include "volume/voxel_decoding.h"

namespace mcubes::internal {

namespace {

const char* const FixHeader = "correct the NRRD header";

// How the messages show a field.
std::string fieldNamed(const std::string& name) { return shown(name) + " field"; }

// Alternative spellings teem accepts, taken to one name.
std::string canonicalField(std::string name) {
  if (name == "lineskip") return "line skip";
  if (name == "byteskip") return "byte skip";
  if (name == "datafile") return "data file";
  return name;
}

HeaderFields readFields(std::string_view text, const std::string& file) {
  const std::vector<std::string_view> all = lines(text);
  if (all.empty() || all[0].size() != 8 || all[0].substr(0, 7) != "NRRD000" || all[0][7] < '1' ||
      all[0][7] > '9') {
    failVolume(file, "is not a NRRD file: it does not begin with NRRD0001 to NRRD0009",
               "check that the file is NRRD, or name it by its real format's extension");
  }
  HeaderFields fields(file, FixHeader);
  for (std::size_t n = 1; n < all.size(); ++n) {
    const std::string_view line = all[n];
    if (trimmed(line).empty() || line[0] == '#') continue;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
      failVolume(file,
                 "line " + std::to_string(n + 1) + " " + shown(line) + " is no 'field: value'",
                 FixHeader);
    }
    // key:=value pairs hold what the format leaves to its users.
    if (colon + 1 < line.size() && line[colon + 1] == '=') {
      fields.keyValues.emplace_back(line.substr(0, colon), line.substr(colon + 2));
      continue;
    }
    const std::string name = canonicalField(std::string(trimmed(line.substr(0, colon))));
    const std::string_view value = trimmed(line.substr(colon + 1));
    fields.add(name, value, "field");
    if (name == "data file" && !value.empty() && words(value)[0] == "LIST") {
      for (++n; n < all.size(); ++n) {
        if (!trimmed(all[n]).empty()) fields.dataFileList.push_back(trimmed(all[n]));
      }
    }
  }
  return fields;
}

std::optional<VoxelType> voxelType(const std::string& name) {
  static const std::map<std::string, VoxelType> types = {{"signed char", VoxelType::Int8},
                                                         {"int8", VoxelType::Int8},
                                                         {"int8_t", VoxelType::Int8},
                                                         {"uchar", VoxelType::Uint8},
                                                         {"unsigned char", VoxelType::Uint8},
                                                         {"uint8", VoxelType::Uint8},
                                                         {"uint8_t", VoxelType::Uint8},
                                                         {"short", VoxelType::Int16},
                                                         {"short int", VoxelType::Int16},
                                                         {"signed short", VoxelType::Int16},
                                                         {"signed short int", VoxelType::Int16},
                                                         {"int16", VoxelType::Int16},
                                                         {"int16_t", VoxelType::Int16},
                                                         {"ushort", VoxelType::Uint16},
                                                         {"unsigned short", VoxelType::Uint16},
                                                         {"unsigned short int", VoxelType::Uint16},
                                                         {"uint16", VoxelType::Uint16},
                                                         {"uint16_t", VoxelType::Uint16},
                                                         {"int", VoxelType::Int32},
                                                         {"signed int", VoxelType::Int32},
                                                         {"int32", VoxelType::Int32},
                                                         {"int32_t", VoxelType::Int32},
                                                         {"uint", VoxelType::Uint32},
                                                         {"unsigned int", VoxelType::Uint32},
                                                         {"uint32", VoxelType::Uint32},
                                                         {"uint32_t", VoxelType::Uint32},
                                                         {"float", VoxelType::Float32},
                                                         {"double", VoxelType::Float64}};
  const auto found = types.find(name);
  if (found == types.end()) return std::nullopt;
  return found->second;
}

// The number of coordinates of the named space, 0 for a name not known.
int spaceDimension(const std::string& space) {
  static const std::map<std::string, int> spaces = {{"right-anterior-superior", 3},
                                                    {"ras", 3},
                                                    {"left-anterior-superior", 3},
                                                    {"las", 3},
                                                    {"left-posterior-superior", 3},
                                                    {"lps", 3},
                                                    {"scanner-xyz", 3},
                                                    {"3d-right-handed", 3},
                                                    {"3d-left-handed", 3},
                                                    {"right-anterior-superior-time", 4},
                                                    {"rast", 4},
                                                    {"left-anterior-superior-time", 4},
                                                    {"last", 4},
                                                    {"left-posterior-superior-time", 4},
                                                    {"lpst", 4},
                                                    {"scanner-xyz-time", 4},
                                                    {"3d-right-handed-time", 4},
                                                    {"3d-left-handed-time", 4}};
  const auto found = spaces.find(lowered(space));
  return found == spaces.end() ? 0 : found->second;
}

using Vector = std::array<double, 3>;

// "(x,y,z)" entries and "none", as space directions and space origin write
// them; nullopt stands for "none".
std::vector<std::optional<Vector>> vectors(std::string_view text, const std::string& file,
                                           const std::string& field) {
  std::vector<std::optional<Vector>> result;
  const std::string bad = "the " + field + " " + shown(text) + " are not (x,y,z) vectors or none";
  while (!(text = trimmed(text)).empty()) {
    if (text.substr(0, 4) == "none") {
      result.emplace_back();
      text.remove_prefix(4);
      continue;
    }
    const std::size_t close = text.find(')');
    if (text[0] != '(' || close == std::string_view::npos) failVolume(file, bad, FixHeader);
    const std::string_view inner = text.substr(1, close - 1);
    Vector v{};
    std::size_t from = 0;
    for (int c = 0; c < 3; ++c) {
      const std::size_t comma = c < 2 ? inner.find(',', from) : inner.size();
      const std::optional<double> number = comma == std::string_view::npos
                                               ? std::nullopt
                                               : parseNumber(inner.substr(from, comma - from));
      if (!number) {
        failVolume(file, bad + " of three coordinates", "this reader takes 3-D spaces only");
      }
      v[c] = *number;
      from = comma + 1;
    }
    result.emplace_back(v);
    text.remove_prefix(close + 1);
  }
  return result;
}

// A 3D Slicer segmentation of overlapping segments: a 4-D file whose first
// axis, a list, holds its layers, its segments each on one (SegmentN_Layer).
bool layeredSegmentation(const HeaderFields& fields, std::int64_t dimension) {
  if (dimension != 4) return false;
  bool layers = false;
  for (const auto& [key, value] : fields.keyValues) {
    const bool segment = key.rfind("Segment", 0) == 0;
    layers = layers || (segment && key.size() > 6 && key.compare(key.size() - 6, 6, "_Layer") == 0);
  }
  const auto kinds = fields.find("kinds");
  return layers && kinds && !words(*kinds).empty() && lowered(words(*kinds)[0]) == "list";
}

[[noreturn]] void notScalar(const std::string& file, int axis, const std::string& why) {
  failVolume(
      file,
      "axis " + std::to_string(axis) + " is " + why + ", not space: this is not a scalar volume",
      "extract one scalar component into a volume of its own");
}

}  // namespace

NrrdHeader parseNrrdHeader(std::string_view text, const std::string& file) {
  const HeaderFields fields = readFields(text, file);
  const auto required = [&](const char* name) { return fields.required(name, fieldNamed(name)); };

  NrrdHeader header;
  header.volume.keyValues = fields.keyValues;
  const std::int64_t dimension = fields.dimension("dimension", required("dimension"));
  const std::string typeName(required("type"));
  const std::optional<VoxelType> type = voxelType(typeName);
  if (!type) {
    failVolume(file, "the voxel type " + shown(typeName) + " is not supported",
               "convert it to one of: uchar, signed char, ushort, short, uint, int, float, double");
  }
  header.volume.type = *type;

  const std::vector<std::int64_t> sizes =
      fields.sizes(required("sizes"), "size", fieldNamed("sizes"), dimension);
  // The axes of space: past the layers of a layered segmentation.
  const int first = layeredSegmentation(fields, dimension) ? 1 : 0;
  const LatticeSize lattice = firstVolume(
      file, std::vector<std::int64_t>(sizes.begin() + first, sizes.end()), header.volume);
  header.bytes = first ? latticeBytes(file, sizes, voxelBytes(*type)) : lattice.bytes;
  header.volumes = lattice.volumes;
  header.volume.layers = first ? sizes[0] : 1;
  if (header.volume.layers > 1) {
    header.volume.notice = printableName(file) + " is a segmentation of " +
                           std::to_string(sizes[0]) +
                           " layers; reading the first ({labels} meshes each segment from its own)";
  }

  const std::string encoding = lowered(required("encoding"));
  if (encoding == "gzip" || encoding == "gz") {
    header.gzip = true;
  } else if (encoding != "raw") {
    failVolume(file, "the encoding " + shown(encoding) + " is not supported",
               "save the volume with the raw or gzip encoding");
  }
  if (voxelBytes(*type) > 1) {
    const std::string endian = lowered(required("endian"));
    if (endian != "little" && endian != "big") {
      fields.fail("the endian " + shown(endian) + " is neither little nor big");
    }
    header.bigEndian = endian == "big";
  }

  if (const auto kinds = fields.find("kinds")) {
    const std::vector<std::string_view> kindWords = words(*kinds);
    fields.checkCount(fieldNamed("kinds"), kindWords.size(), "kinds", dimension);
    for (int axis = first; axis < first + 3; ++axis) {
      const std::string kind = lowered(kindWords[axis]);
      if (kind != "domain" && kind != "space" && kind != "time" && kind != "???" &&
          kind != "none") {
        notScalar(file, axis, "of kind " + shown(kindWords[axis]));
      }
    }
  }

  VolumeGeometry& geometry = header.volume.geometry;
  for (int a = 0; a < 3; ++a) {
    geometry.origin[a] = 0.0;
    for (int b = 0; b < 3; ++b) geometry.axes[a][b] = a == b ? 1.0 : 0.0;
  }
  std::int64_t space = 0;
  if (const auto name = fields.find("space")) {
    space = spaceDimension(std::string(*name));
    if (space == 0) fields.fail("the space " + shown(*name) + " is not one NRRD defines");
    const std::string named = lowered(std::string(*name));
    if (named == "ras" || named == "right-anterior-superior") header.volume.space = WorldSpace::Ras;
    if (named == "las" || named == "left-anterior-superior") header.volume.space = WorldSpace::Las;
    if (named == "lps" || named == "left-posterior-superior") header.volume.space = WorldSpace::Lps;
  }
  if (const auto count = fields.find("space dimension")) {
    space = fields.integer("space dimension", *count);
  }
  if (space != 0 && space != 3) {
    failVolume(file, "its space has " + std::to_string(space) + " coordinates",
               "this reader takes 3-D spaces only");
  }
  std::string axesField = fieldNamed("space directions");
  if (const auto directions = fields.find("space directions")) {
    const auto steps = vectors(*directions, file, "space directions");
    fields.checkCount(fieldNamed("space directions"), steps.size(), "entries", dimension);
    for (int a = 0; a < 3; ++a) {
      if (!steps[a + first]) notScalar(file, a + first, "marked none in the space directions");
      for (int b = 0; b < 3; ++b) geometry.axes[a][b] = (*steps[a + first])[b];
    }
  } else if (const auto spacings = fields.find("spacings")) {
    const std::vector<double> steps =
        fields.numbers(*spacings, "spacing", fieldNamed("spacings"), dimension);
    // NaN: no spacing known; one unit then.
    for (int a = 0; a < 3; ++a) {
      const double step = steps[a + first];
      geometry.axes[a][a] = step == step ? step : 1.0;
    }
    axesField = fieldNamed("spacings");
  }
  if (const auto origin = fields.find("space origin")) {
    const auto point = vectors(*origin, file, "space origin");
    if (point.size() != 1 || !point[0]) {
      fields.fail("the space origin " + shown(*origin) + " is not one (x,y,z)");
    }
    for (int a = 0; a < 3; ++a) geometry.origin[a] = (*point[0])[a];
  }
  checkGeometry(file, geometry, axesField, fieldNamed("space origin"));

  if (const auto lineSkip = fields.find("line skip")) {
    header.lineSkip = fields.integer("line skip", *lineSkip);
  }
  if (const auto byteSkip = fields.find("byte skip")) {
    header.byteSkip = fields.integer("byte skip", *byteSkip);
  }
  if (header.lineSkip < 0 || header.byteSkip < -1 || (header.byteSkip == -1 && header.gzip)) {
    failVolume(file, "its line skip or byte skip is out of range",
               "skip 0 or more lines and bytes (byte skip -1 only with the raw encoding)");
  }

  if (const auto dataFile = fields.find("data file")) {
    header.dataFiles = fields.dataFiles(*dataFile, fieldNamed("data file"), sizes);
  }
  return header;
}

}  // namespace mcubes::internal
