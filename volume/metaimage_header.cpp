#include "volume/metaimage_header.h"

#include <map>
#include <optional>

#include "volume/header_fields.h"
#include "volume/header_text.h"
#include "volume/read_failure.h"
#include "volume/volume_layout.h"
#include "volume/voxel_decoding.h"

namespace mcubes::internal {

namespace {

const char* const FixHeader = "correct the MetaImage header";

// MetaIO's other names for the same fields.
std::string canonicalKey(std::string key) {
  if (key == "origin" || key == "position") return "offset";
  if (key == "rotation" || key == "orientation") return "transformmatrix";
  if (key == "elementbyteordermsb") return "binarydatabyteordermsb";
  return key;
}

// The fields by lower-case key.
HeaderFields readFields(std::string_view text, const std::string& file) {
  HeaderFields fields(file, FixHeader);
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
    fields.add(key, value, "key");
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
  fields.fail("its header has no ElementDataFile line");
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
  const HeaderFields fields = readFields(text, file);
  const auto flag = [&](const char* key, const char* name, bool otherwise) {
    const std::optional<std::string_view> value = fields.find(key);
    if (!value) return otherwise;
    const std::string word = lowered(*value);
    if (word != "true" && word != "false" && word != "1" && word != "0") {
      fields.fail("its " + std::string(name) + " " + shown(*value) + " is neither True nor False");
    }
    return word == "true" || word == "1";
  };
  // `count` numbers, or none when the field is absent.
  const auto numbers = [&](const char* key, const char* name, std::int64_t count) {
    const std::optional<std::string_view> value = fields.find(key);
    return value ? fields.numbers(*value, name, name, count) : std::vector<double>{};
  };

  MetaImageHeader header;
  if (const auto object = fields.find("objecttype"); object && lowered(*object) != "image") {
    failVolume(file, "holds a MetaIO " + shown(*object) + ", not an Image", "name an image file");
  }
  const std::int64_t dimension = fields.dimension("NDims", fields.required("ndims", "NDims"));
  const std::string_view typeName = fields.required("elementtype", "ElementType");
  const std::optional<VoxelType> type = voxelType(typeName);
  if (!type) {
    failVolume(file, "the ElementType " + shown(typeName) + " is not supported",
               "convert it to one of MET_UCHAR, MET_CHAR, MET_USHORT, MET_SHORT, MET_UINT, "
               "MET_INT, MET_FLOAT, MET_DOUBLE");
  }
  header.volume.type = *type;
  if (const auto channels = fields.find("elementnumberofchannels");
      channels && fields.integer("ElementNumberOfChannels", *channels) != 1) {
    failVolume(file, "has " + std::string(*channels) + " values per voxel, not one",
               "extract one channel into a volume of its own");
  }
  if (!flag("binarydata", "BinaryData", true)) {
    failVolume(file, "holds its voxels as text (BinaryData = False)", "save it with binary data");
  }
  header.bigEndian = flag("binarydatabyteordermsb", "BinaryDataByteOrderMSB", false);
  header.compressed = flag("compresseddata", "CompressedData", false);

  const std::vector<std::int64_t> sizes =
      fields.sizes(fields.required("dimsize", "DimSize"), "DimSize", "DimSize", dimension);
  // ITK, which writes MetaImage, places images in LPS.
  header.volume.space = WorldSpace::Lps;
  const LatticeSize lattice = firstVolume(file, sizes, header.volume);
  header.bytes = lattice.bytes;
  header.volumes = lattice.volumes;

  // Index to world: Offset + sum over a of index[a] * spacing[a] *
  // direction[a], where the TransformMatrix lists direction[0], then
  // direction[1], ...: the columns of ITK's direction matrix one after the
  // other, as ITK's MetaImageIO writes and reads them.
  std::vector<double> spacing = numbers("elementspacing", "ElementSpacing", dimension);
  std::string spacingName = "ElementSpacing";
  if (spacing.empty()) {
    spacing = numbers("elementsize", "ElementSize", dimension);
    spacingName = "ElementSize";
  }
  const bool spaced = !spacing.empty();
  if (!spaced) spacing.assign(dimension, 1.0);
  std::vector<double> offset = numbers("offset", "Offset", dimension);
  if (offset.empty()) offset.assign(dimension, 0.0);
  std::vector<double> transform =
      numbers("transformmatrix", "TransformMatrix", dimension * dimension);
  VolumeGeometry& geometry = header.volume.geometry;
  for (int a = 0; a < 3; ++a) {
    geometry.origin[a] = offset[a];
    for (int b = 0; b < 3; ++b) {
      const double direction =
          transform.empty() ? (a == b ? 1.0 : 0.0) : transform[a * dimension + b];
      geometry.axes[a][b] = spacing[a] * direction;
    }
  }
  // The fields that gave the axes, for the messages.
  const std::string axesFields = transform.empty() ? spacingName
                                 : spaced          ? "TransformMatrix and " + spacingName
                                                   : "TransformMatrix";
  checkGeometry(file, geometry, axesFields, "Offset");

  if (const auto size = fields.find("headersize")) {
    header.headerSize = fields.integer("HeaderSize", *size);
    if (header.headerSize < -1 || (header.headerSize == -1 && header.compressed)) {
      failVolume(file, "its HeaderSize " + std::to_string(header.headerSize) + " is out of range",
                 "give 0 or more bytes, or -1 for uncompressed data at the file's end");
    }
  }
  const std::string_view dataFile = fields.required("elementdatafile", "ElementDataFile");
  if (dataFile != "LOCAL") header.dataFiles = fields.dataFiles(dataFile, "ElementDataFile", sizes);
  return header;
}

}  // namespace mcubes::internal
