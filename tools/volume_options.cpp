#include "tools/volume_options.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "library/mesh_run.h"
#include "mcubes/error.h"
#include "tools/cli_support.h"
#include "tools/cli_words.h"
#include "volume/data_files.h"
#include "volume/hdf5_name.h"
#include "volume/voxel_decoding.h"

using namespace mcubes::internal;

namespace {

// "A,B,C": exactly three numbers, parsed whole.
template <typename T>
bool parseTriple(const std::string& text, T (&out)[3]) {
  std::size_t start = 0;
  for (int n = 0; n < 3; ++n) {
    const std::size_t comma = n < 2 ? text.find(',', start) : text.size();
    if (comma == std::string::npos) return false;
    const std::string field = text.substr(start, comma - start);
    if (field.empty()) return false;
    if constexpr (std::is_floating_point_v<T>) {
      std::size_t used = 0;
      try {
        out[n] = std::stod(field, &used);
      } catch (const std::exception&) {
        return false;
      }
      if (used != field.size() || !std::isfinite(out[n])) return false;
    } else {
      const auto result = std::from_chars(field.data(), field.data() + field.size(), out[n]);
      if (result.ec != std::errc() || result.ptr != field.data() + field.size()) return false;
    }
    start = comma + 1;
  }
  return true;
}

// --spacing and --origin: where raw voxels and HDF5 datasets lie.
VoxelPlacement placement(const VolumeOptions& options) {
  VoxelPlacement placement;
  if (!options.spacing.empty() &&
      (!parseTriple(options.spacing, placement.spacing) || !(placement.spacing[0] > 0) ||
       !(placement.spacing[1] > 0) || !(placement.spacing[2] > 0))) {
    failCommand("--spacing '" + options.spacing + "' is not three positive numbers (SX,SY,SZ)");
  }
  placement.spacingGiven = !options.spacing.empty();
  if (!options.origin.empty() && !parseTriple(options.origin, placement.origin)) {
    failCommand("--origin '" + options.origin + "' is not three numbers (OX,OY,OZ)");
  }
  return placement;
}

std::optional<RawLayout> rawLayout(const VolumeOptions& options) {
  const bool any = !options.dims.empty() || !options.type.empty() || !options.endian.empty() ||
                   !options.spacing.empty() || !options.origin.empty();
  if (!any) return std::nullopt;
  if (options.dims.empty() || options.type.empty()) {
    failCommand(
        "a raw volume needs both --dims X,Y,Z and --type (e.g. --dims 256,256,128 "
        "--type uint8)");
  }
  RawLayout layout;
  if (!parseTriple(options.dims, layout.dims) || layout.dims[0] < 1 || layout.dims[1] < 1 ||
      layout.dims[2] < 1) {
    failCommand("--dims '" + options.dims + "' is not three whole numbers of 1 or more (X,Y,Z)");
  }
  const std::optional<VoxelType> type = voxelTypeNamed(options.type);
  if (!type) {
    failCommand("--type '" + options.type +
                "' is not one of uint8, int8, uint16, int16, uint32, int32, float32, float64");
  }
  layout.type = *type;
  if (!options.endian.empty() && options.endian != "little" && options.endian != "big") {
    failCommand("--endian '" + options.endian + "' is neither little nor big");
  }
  layout.bigEndian = options.endian == "big";
  layout.placement = placement(options);
  return layout;
}

}  // namespace

std::vector<std::string> volumeArguments(const VolumeOptions& options) {
  std::vector<std::string> arguments;
  const std::pair<const char*, const std::string*> named[] = {
      {"--volume", &options.path},  {"--series", &options.series}, {"--dims", &options.dims},
      {"--type", &options.type},    {"--endian", &options.endian}, {"--spacing", &options.spacing},
      {"--origin", &options.origin}};
  for (const auto& [name, value] : named) {
    if (!value->empty()) arguments.insert(arguments.end(), {name, *value});
  }
  if (options.outsideReferences) arguments.push_back("--allow-outside-references");
  return arguments;
}

bool namesVolume(const VolumeOptions& options) {
  return !options.path.empty() || !options.series.empty() || !options.dims.empty() ||
         !options.type.empty() || !options.endian.empty() || !options.spacing.empty() ||
         !options.origin.empty();
}

void addVolumeOptions(CLI::App& command, VolumeOptions& options) {
  command.add_option("--volume", options.path,
                     "A scalar volume to mesh instead of the scene: .nrrd, .nhdr, .nii, .nii.gz, "
                     ".hdr (Analyze, NIfTI pair), .mha, .mhd, .mgh, .mgz, FILE.h5:/dataset, a "
                     "folder of DICOM files (at any depth) or a DICOMDIR, or raw bytes with "
                     "--dims and --type");
  command.add_option("--series", options.series,
                     "DICOM folder of several series: the one to read, by its number in the "
                     "listing (from 1) or its SeriesInstanceUID");
  command.add_option("--dims", options.dims, "Raw volume: voxels along i, j, k (X,Y,Z)");
  command.add_option("--type", options.type,
                     "Raw volume: uint8, int8, uint16, int16, uint32, int32, float32 or float64");
  command.add_option("--endian", options.endian, "Raw volume: little (default) or big");
  command.add_option("--spacing", options.spacing,
                     "Raw volume or HDF5 dataset: voxel size SX,SY,SZ (1,1,1; an HDF5 dataset's "
                     "element_size_um attribute, z,y,x as Fiji and ilastik write it, where it has "
                     "one)");
  command.add_option("--origin", options.origin,
                     "Raw volume or HDF5 dataset: world position of voxel (0,0,0), OX,OY,OZ "
                     "(0,0,0)");
  command.add_flag("--allow-outside-references", options.outsideReferences,
                   "Read the files a volume's file names (NRRD and MetaImage data files, HDF5 "
                   "external storage and links) wherever they lie; by default only those in or "
                   "below its folder are read (never devices or pipes)");
}

CLI::Option* addInsideOption(CLI::App& command, std::string& inside) {
  return command
      .add_option("--inside", inside,
                  "Which side of the level a volume's object lies on: above (CT, MRI, "
                  "densities, probabilities) or below (signed distance fields, negative "
                  "inside, and level sets); either way the mesh is closed and wound outward")
      ->check(CLI::IsMember({"above", "below"}))
      ->type_name("above|below")
      ->capture_default_str();
}

Inside insideNamed(const std::string& name) {
  return name == "below" ? Inside::Below : Inside::Above;
}

mcubes::FileSource fileSourceOrFail(const VolumeOptions& options) {
  // An HDF5 dataset states its sizes and type, but not where it lies.
  const bool hdf5 = hdf5Name(options.path).has_value();
  if (hdf5 && (!options.dims.empty() || !options.type.empty() || !options.endian.empty())) {
    failCommand("an HDF5 dataset states its sizes and type: give it only --spacing and --origin");
  }
  const std::optional<RawLayout> raw = hdf5 ? std::nullopt : rawLayout(options);
  if (options.path.empty()) {
    failCommand(options.series.empty() ? "the raw layout options need --volume FILE"
                                       : "--series needs --volume DIR, a folder of DICOM files");
  }
  mcubes::FileSource source;
  source.path = options.path;
  const VoxelPlacement place = placement(options);
  std::copy(place.spacing, place.spacing + 3, source.placement.spacing);
  std::copy(place.origin, place.origin + 3, source.placement.origin);
  source.spacingGiven = place.spacingGiven;
  if (raw) {
    source.raw = mcubes::RawLayout{{raw->dims[0], raw->dims[1], raw->dims[2]},
                                   static_cast<mcubes::VoxelType>(raw->type),
                                   raw->bigEndian};
  }
  source.series = options.series;
  source.outsideReferences = options.outsideReferences;
  return source;
}

std::unique_ptr<VolumeReader> openVolumeOrFail(const VolumeOptions& options) {
  mcubes::MeshRequest request;
  request.source = fileSourceOrFail(options);
  try {
    return mcubes::openSource(request);
  } catch (const mcubes::Error& error) {
    failCommand(error.worded(commandLineWord));
  }
}
