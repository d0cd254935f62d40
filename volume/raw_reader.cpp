#include "volume/file_source.h"
#include "volume/read_failure.h"
#include "volume/streamed_volume.h"
#include "volume/volume_layout.h"
#include "volume/volume_readers.h"
#include "volume/voxel_decoding.h"

namespace mcubes::internal {

namespace {

std::string triple(const std::int64_t (&values)[3]) {
  return std::to_string(values[0]) + " x " + std::to_string(values[1]) + " x " +
         std::to_string(values[2]);
}

}  // namespace

std::unique_ptr<VolumeReader> openRaw(const std::string& path, const RawLayout& raw) {
  const std::int64_t fileBytes = fileSize(path);
  const std::vector<std::int64_t> sizes(raw.dims, raw.dims + 3);
  for (const std::int64_t size : sizes) {
    if (size < 1) {
      failVolume(path, "the raw layout's sizes " + triple(raw.dims) + " hold one below 1",
                 "give three sizes of at least 1 with {dims}");
    }
  }
  const std::int64_t bytes = latticeBytes(path, sizes, voxelBytes(raw.type));
  VolumeHeader header;
  header.type = raw.type;
  header.geometry = placedGeometry(path, raw.dims, raw.placement);
  if (fileBytes != bytes) {
    failVolume(path,
               "holds " + std::to_string(fileBytes) + " bytes where " + triple(raw.dims) +
                   " voxels of " + voxelTypeName(raw.type) + " make " + std::to_string(bytes),
               "check {dims} and {type} (the file must hold the voxels and nothing else)");
  }
  DataLayout layout;
  layout.headerFile = path;
  layout.files = {path};
  layout.bytesPerFile = bytes;
  return std::make_unique<StreamedVolume>(header, raw.bigEndian, std::move(layout));
}

}  // namespace mcubes::internal
