#include "volume/nrrd_header.h"

#include <array>
#include <map>
#include <optional>

#include "volume/data_files.h"
#include "volume/header_text.h"
#include "volume/read_failure.h"
#include "volume/volume_layout.h"
#include "volume/voxel_decoding.h"

namespace {

constexpr std::int64_t MostAxes = 16;  // as teem allows

const char* const FixHeader = "correct the NRRD header";

struct Fields {
  std::map<std::string, std::string_view> values;
  std::vector<std::string_view> dataFileList;  // the lines after "data file: LIST"
};

// Alternative spellings teem accepts, taken to one name.
std::string canonicalField(std::string name) {
  if (name == "lineskip") return "line skip";
  if (name == "byteskip") return "byte skip";
  if (name == "datafile") return "data file";
  return name;
}

Fields readFields(std::string_view text, const std::string& file) {
  const std::vector<std::string_view> all = lines(text);
  if (all.empty() || all[0].size() != 8 || all[0].substr(0, 7) != "NRRD000" || all[0][7] < '1' ||
      all[0][7] > '9') {
    failVolume(file, "is not a NRRD file: it does not begin with NRRD0001 to NRRD0009",
               "check that the file is NRRD, or name it by its real format's extension");
  }
  Fields fields;
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
    if (colon + 1 < line.size() && line[colon + 1] == '=') continue;
    const std::string name = canonicalField(std::string(trimmed(line.substr(0, colon))));
    const std::string_view value = trimmed(line.substr(colon + 1));
    if (!fields.values.emplace(name, value).second) {
      failVolume(file, "the field " + shown(name) + " is given twice", FixHeader);
    }
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

[[noreturn]] void notScalar(const std::string& file, int axis, const std::string& why) {
  failVolume(
      file,
      "axis " + std::to_string(axis) + " is " + why + ", not space: this is not a scalar volume",
      "extract one scalar component into a volume of its own");
}

}  // namespace

NrrdHeader parseNrrdHeader(std::string_view text, const std::string& file) {
  const Fields fields = readFields(text, file);
  const auto field = [&](const char* name) -> std::optional<std::string_view> {
    const auto found = fields.values.find(name);
    if (found == fields.values.end()) return std::nullopt;
    return found->second;
  };
  const auto required = [&](const char* name) {
    const std::optional<std::string_view> value = field(name);
    if (!value) {
      failVolume(file, std::string("the header has no '") + name + "' field", FixHeader);
    }
    return *value;
  };
  const auto integer = [&](const char* name, std::string_view value) {
    const std::optional<std::int64_t> number = parseInteger(value);
    if (!number) {
      failVolume(file, std::string("the ") + name + " " + shown(value) + " is no whole number",
                 FixHeader);
    }
    return *number;
  };

  NrrdHeader header;
  const std::int64_t dimension = integer("dimension", required("dimension"));
  if (dimension < 3 || dimension > MostAxes) {
    failVolume(file,
               "has dimension " + std::to_string(dimension) +
                   ": a volume has 3 axes (or more, of which the first volume is meshed)",
               "mesh a volume of 3 to 16 axes");
  }
  const std::string typeName(required("type"));
  const std::optional<VoxelType> type = voxelType(typeName);
  if (!type) {
    failVolume(file, "the voxel type " + shown(typeName) + " is not supported",
               "convert it to one of: uchar, signed char, ushort, short, uint, int, float, double");
  }
  header.volume.type = *type;

  const std::vector<std::string_view> sizeWords = words(required("sizes"));
  if (static_cast<std::int64_t>(sizeWords.size()) != dimension) {
    failVolume(file,
               "gives " + std::to_string(sizeWords.size()) + " sizes for dimension " +
                   std::to_string(dimension),
               FixHeader);
  }
  std::vector<std::int64_t> sizes;
  for (const std::string_view size : sizeWords) sizes.push_back(integer("size", size));
  header.bytes = latticeBytes(file, sizes, voxelBytes(*type));
  for (std::int64_t axis = 3; axis < dimension; ++axis) header.volumes *= sizes[axis];
  for (int axis = 0; axis < 3; ++axis) header.volume.geometry.dims[axis] = sizes[axis];
  if (header.volumes > 1) header.volume.notice = firstVolumeNotice(file, header.volumes);

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
      failVolume(file, "the endian " + shown(endian) + " is neither little nor big", FixHeader);
    }
    header.bigEndian = endian == "big";
  }

  if (const auto kinds = field("kinds")) {
    const std::vector<std::string_view> kindWords = words(*kinds);
    if (static_cast<std::int64_t>(kindWords.size()) != dimension) {
      failVolume(file,
                 "gives " + std::to_string(kindWords.size()) + " kinds for dimension " +
                     std::to_string(dimension),
                 FixHeader);
    }
    for (int axis = 0; axis < 3; ++axis) {
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
  if (const auto name = field("space")) {
    space = spaceDimension(std::string(*name));
    if (space == 0) {
      failVolume(file, "the space " + shown(*name) + " is not one NRRD defines", FixHeader);
    }
  }
  if (const auto count = field("space dimension")) space = integer("space dimension", *count);
  if (space != 0 && space != 3) {
    failVolume(file, "its space has " + std::to_string(space) + " coordinates",
               "this reader takes 3-D spaces only");
  }
  if (const auto directions = field("space directions")) {
    const auto steps = vectors(*directions, file, "space directions");
    if (static_cast<std::int64_t>(steps.size()) != dimension) {
      failVolume(file,
                 "gives " + std::to_string(steps.size()) + " space directions for dimension " +
                     std::to_string(dimension),
                 FixHeader);
    }
    for (int a = 0; a < 3; ++a) {
      if (!steps[a]) notScalar(file, a, "marked none in the space directions");
      for (int b = 0; b < 3; ++b) geometry.axes[a][b] = (*steps[a])[b];
    }
  } else if (const auto spacings = field("spacings")) {
    const std::vector<std::string_view> steps = words(*spacings);
    if (static_cast<std::int64_t>(steps.size()) != dimension) {
      failVolume(file,
                 "gives " + std::to_string(steps.size()) + " spacings for dimension " +
                     std::to_string(dimension),
                 FixHeader);
    }
    for (int a = 0; a < 3; ++a) {
      const std::optional<double> step = parseNumber(steps[a]);
      if (!step) failVolume(file, "the spacing " + shown(steps[a]) + " is no number", FixHeader);
      // NaN: no spacing known; one unit then.
      geometry.axes[a][a] = *step == *step ? *step : 1.0;
    }
  }
  if (const auto origin = field("space origin")) {
    const auto point = vectors(*origin, file, "space origin");
    if (point.size() != 1 || !point[0]) {
      failVolume(file, "the space origin " + shown(*origin) + " is not one (x,y,z)", FixHeader);
    }
    for (int a = 0; a < 3; ++a) geometry.origin[a] = (*point[0])[a];
  }
  checkGeometry(file, geometry);

  if (const auto lineSkip = field("line skip")) header.lineSkip = integer("line skip", *lineSkip);
  if (const auto byteSkip = field("byte skip")) header.byteSkip = integer("byte skip", *byteSkip);
  if (header.lineSkip < 0 || header.byteSkip < -1 || (header.byteSkip == -1 && header.gzip)) {
    failVolume(file, "its line skip or byte skip is out of range",
               "skip 0 or more lines and bytes (byte skip -1 only with the raw encoding)");
  }

  if (const auto dataFile = field("data file")) {
    const std::vector<std::string_view> parts = words(*dataFile);
    if (parts.empty()) failVolume(file, "its 'data file' field names no file", FixHeader);
    std::int64_t subdim = dimension;
    if (!parts.empty() && parts[0] == "LIST") {
      subdim = parts.size() > 1 ? integer("data file subdimension", parts[1]) : dimension - 1;
      for (const std::string_view name : fields.dataFileList) {
        header.dataFiles.push_back(besideHeader(file, name));
      }
    } else if ((parts.size() == 4 || parts.size() == 5) &&
               parts[0].find('%') != std::string_view::npos) {
      subdim = parts.size() == 5 ? integer("data file subdimension", parts[4]) : dimension - 1;
      header.dataFiles =
          numberedFiles(file, parts[0], integer("first number", parts[1]),
                        integer("last number", parts[2]), integer("number step", parts[3]));
    } else {
      header.dataFiles.push_back(besideHeader(file, *dataFile));
    }
    if (subdim < 1 || subdim > dimension) {
      failVolume(file, "its data files' subdimension " + std::to_string(subdim) + " is no axis",
                 FixHeader);
    }
    std::int64_t files = 1;
    for (std::int64_t axis = subdim; axis < dimension; ++axis) files *= sizes[axis];
    if (files != static_cast<std::int64_t>(header.dataFiles.size())) {
      failVolume(file,
                 "names " + std::to_string(header.dataFiles.size()) + " data files where its " +
                     "sizes ask for " + std::to_string(files),
                 FixHeader);
    }
  }
  return header;
}
