#include "volume/metaimage_header.h"

#include <map>
#include <optional>

#include "volume/data_files.h"
#include "volume/header_text.h"
#include "volume/read_failure.h"
#include "volume/volume_layout.h"
#include "volume/voxel_decoding.h"

namespace {

constexpr std::int64_t MostAxes = 16;

const char* const FixHeader = "correct the MetaImage header";

struct Fields {
  std::map<std::string, std::string_view> values;  // by lower-case key
  std::vector<std::string_view> dataFileList;      // the lines after ElementDataFile = LIST
};

// MetaIO's other names for the same fields.
std::string canonicalKey(std::string key) {
  if (key == "origin" || key == "position") return "offset";
  if (key == "rotation" || key == "orientation") return "transformmatrix";
  if (key == "elementbyteordermsb") return "binarydatabyteordermsb";
  return key;
}

Fields readFields(std::string_view text, const std::string& file) {
  Fields fields;
  const std::vector<std::string_view> all = lines(text);
  for (std::size_t n = 0; n < all.size(); ++n) {
    if (trimmed(all[n]).empty()) continue;
    const std::size_t equals = all[n].find('=');
    if (equals == std::string_view::npos) {
      failVolume(file,
                 "line " + std::to_string(n + 1) + " " + shown(all[n]) + " is no 'Key = Value'",
                 "check that the file is MetaImage");
    }
    const std::string key = canonicalKey(lowered(trimmed(all[n].substr(0, equals))));
    const std::string_view value = trimmed(all[n].substr(equals + 1));
    if (!fields.values.emplace(key, value).second) {
      failVolume(file, "the key " + shown(key) + " is given twice", FixHeader);
    }
    if (key == "elementdatafile") {
      // The last field: only a list of files may follow.
      if (!value.empty() && words(value)[0] == "LIST") {
        for (++n; n < all.size(); ++n) {
          if (!trimmed(all[n]).empty()) fields.dataFileList.push_back(trimmed(all[n]));
        }
      }
      return fields;
    }
  }
  failVolume(file, "its header has no ElementDataFile line", FixHeader);
}

std::optional<VoxelType> voxelType(std::string_view name) {
  static const std::map<std::string, VoxelType, std::less<>> types = {
      {"MET_UCHAR", VoxelType::Uint8},   {"MET_CHAR", VoxelType::Int8},
      {"MET_USHORT", VoxelType::Uint16}, {"MET_SHORT", VoxelType::Int16},
      {"MET_UINT", VoxelType::Uint32},   {"MET_INT", VoxelType::Int32},
      {"MET_FLOAT", VoxelType::Float32}, {"MET_DOUBLE", VoxelType::Float64}};
  const auto found = types.find(name);
  if (found == types.end()) return std::nullopt;
  return found->second;
}

}  // namespace

MetaImageHeader parseMetaImageHeader(std::string_view text, const std::string& file) {
  const Fields fields = readFields(text, file);
  const auto field = [&](const char* key) -> std::optional<std::string_view> {
    const auto found = fields.values.find(key);
    if (found == fields.values.end()) return std::nullopt;
    return found->second;
  };
  const auto required = [&](const char* key, const char* name) {
    const std::optional<std::string_view> value = field(key);
    if (!value) failVolume(file, std::string("its header has no ") + name, FixHeader);
    return *value;
  };
  const auto integer = [&](const char* name, std::string_view value) {
    const std::optional<std::int64_t> number = parseInteger(value);
    if (!number) {
      failVolume(file, std::string("its ") + name + " " + shown(value) + " is no whole number",
                 FixHeader);
    }
    return *number;
  };
  const auto flag = [&](const char* key, bool otherwise) {
    const std::optional<std::string_view> value = field(key);
    if (!value) return otherwise;
    const std::string word = lowered(*value);
    if (word != "true" && word != "false" && word != "1" && word != "0") {
      failVolume(file,
                 "its " + std::string(key) + " " + shown(*value) + " is neither True nor False",
                 FixHeader);
    }
    return word == "true" || word == "1";
  };
  // `count` numbers, or none when the field is absent.
  const auto numbers = [&](const char* key, std::int64_t count) {
    std::vector<double> result;
    const std::optional<std::string_view> value = field(key);
    if (!value) return result;
    for (const std::string_view word : words(*value)) {
      const std::optional<double> number = parseNumber(word);
      if (!number) failVolume(file, "its " + std::string(key) + " has " + shown(word), FixHeader);
      result.push_back(*number);
    }
    if (static_cast<std::int64_t>(result.size()) != count) {
      failVolume(file,
                 "its " + std::string(key) + " has " + std::to_string(result.size()) +
                     " numbers where " + std::to_string(count) + " are needed",
                 FixHeader);
    }
    return result;
  };

  MetaImageHeader header;
  if (const auto object = field("objecttype"); object && lowered(*object) != "image") {
    failVolume(file, "holds a MetaIO " + shown(*object) + ", not an Image", "name an image file");
  }
  const std::int64_t dimension = integer("NDims", required("ndims", "NDims"));
  if (dimension < 3 || dimension > MostAxes) {
    failVolume(file,
               "has NDims " + std::to_string(dimension) +
                   ": a volume has 3 axes (or more, of which the first volume is meshed)",
               "mesh a volume of 3 to 16 axes");
  }
  const std::string_view typeName = required("elementtype", "ElementType");
  const std::optional<VoxelType> type = voxelType(typeName);
  if (!type) {
    failVolume(file, "the ElementType " + shown(typeName) + " is not supported",
               "convert it to one of MET_UCHAR, MET_CHAR, MET_USHORT, MET_SHORT, MET_UINT, "
               "MET_INT, MET_FLOAT, MET_DOUBLE");
  }
  header.volume.type = *type;
  if (const auto channels = field("elementnumberofchannels");
      channels && integer("ElementNumberOfChannels", *channels) != 1) {
    failVolume(file, "has " + std::string(*channels) + " values per voxel, not one",
               "extract one channel into a volume of its own");
  }
  if (!flag("binarydata", true)) {
    failVolume(file, "holds its voxels as text (BinaryData = False)", "save it with binary data");
  }
  header.bigEndian = flag("binarydatabyteordermsb", false);
  header.compressed = flag("compresseddata", false);

  std::vector<std::int64_t> sizes;
  for (const std::string_view word : words(required("dimsize", "DimSize"))) {
    sizes.push_back(integer("DimSize", word));
  }
  if (static_cast<std::int64_t>(sizes.size()) != dimension) {
    failVolume(file,
               "its DimSize has " + std::to_string(sizes.size()) + " sizes for NDims " +
                   std::to_string(dimension),
               FixHeader);
  }
  header.bytes = latticeBytes(file, sizes, voxelBytes(*type));
  for (std::int64_t axis = 3; axis < dimension; ++axis) header.volumes *= sizes[axis];
  for (int axis = 0; axis < 3; ++axis) header.volume.geometry.dims[axis] = sizes[axis];
  if (header.volumes > 1) header.volume.notice = firstVolumeNotice(file, header.volumes);

  // Index to world: Offset + sum over a of index[a] * spacing[a] *
  // direction[a], where the TransformMatrix lists direction[0], then
  // direction[1], ...: the columns of ITK's direction matrix one after the
  // other, as ITK's MetaImageIO writes and reads them.
  std::vector<double> spacing = numbers("elementspacing", dimension);
  if (spacing.empty()) spacing = numbers("elementsize", dimension);
  if (spacing.empty()) spacing.assign(dimension, 1.0);
  std::vector<double> offset = numbers("offset", dimension);
  if (offset.empty()) offset.assign(dimension, 0.0);
  std::vector<double> transform = numbers("transformmatrix", dimension * dimension);
  VolumeGeometry& geometry = header.volume.geometry;
  for (int a = 0; a < 3; ++a) {
    geometry.origin[a] = offset[a];
    for (int b = 0; b < 3; ++b) {
      const double direction =
          transform.empty() ? (a == b ? 1.0 : 0.0) : transform[a * dimension + b];
      geometry.axes[a][b] = spacing[a] * direction;
    }
  }
  checkGeometry(file, geometry);

  if (const auto size = field("headersize")) {
    header.headerSize = integer("HeaderSize", *size);
    if (header.headerSize < -1 || (header.headerSize == -1 && header.compressed)) {
      failVolume(file, "its HeaderSize " + std::to_string(header.headerSize) + " is out of range",
                 "give 0 or more bytes, or -1 for uncompressed data at the file's end");
    }
  }
  const std::string_view dataFile = required("elementdatafile", "ElementDataFile");
  const std::vector<std::string_view> parts = words(dataFile);
  if (parts.empty()) failVolume(file, "its ElementDataFile names no file", FixHeader);
  std::int64_t subdim = dimension;
  if (dataFile == "LOCAL") {
    return header;
  } else if (!parts.empty() && parts[0] == "LIST") {
    // "LIST 2D": one slice a file; without a number, one axis less than all.
    subdim = dimension - 1;
    if (parts.size() > 1)
      subdim = integer("LIST dimension", parts[1].substr(0, parts[1].find_first_of("Dd")));
    for (const std::string_view name : fields.dataFileList) {
      header.dataFiles.push_back(besideHeader(file, name));
    }
  } else if ((parts.size() == 4 || parts.size() == 5) &&
             parts[0].find('%') != std::string_view::npos) {
    subdim = parts.size() == 5 ? integer("file dimension", parts[4]) : dimension - 1;
    header.dataFiles =
        numberedFiles(file, parts[0], integer("first number", parts[1]),
                      integer("last number", parts[2]), integer("number step", parts[3]));
  } else {
    header.dataFiles.push_back(besideHeader(file, dataFile));
  }
  if (subdim < 1 || subdim > dimension) {
    failVolume(file, "its data files' dimension " + std::to_string(subdim) + " is no axis",
               FixHeader);
  }
  std::int64_t files = 1;
  for (std::int64_t axis = subdim; axis < dimension; ++axis) files *= sizes[axis];
  if (files != static_cast<std::int64_t>(header.dataFiles.size())) {
    failVolume(file,
               "names " + std::to_string(header.dataFiles.size()) +
                   " data files where its DimSize asks for " + std::to_string(files),
               FixHeader);
  }
  return header;
}
