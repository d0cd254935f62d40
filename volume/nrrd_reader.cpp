#include "volume/file_source.h"
#include "volume/layer_volume.h"
#include "volume/nrrd_header.h"
#include "volume/read_failure.h"
#include "volume/streamed_volume.h"
#include "volume/volume_readers.h"

namespace mcubes::internal {

namespace {

// Far beyond any real header (a few kilobytes, or a long list of data files).
constexpr std::size_t LongestHeader = 8 << 20;
// What holds nearly every header: read first, the rest only where it does not.
constexpr std::size_t UsualHeader = 64 << 10;

}  // namespace

std::unique_ptr<VolumeReader> openNrrd(const std::string& path, std::int64_t layer) {
  std::string head = fileHead(path, UsualHeader);
  if (head.size() == UsualHeader && head.find("\n\n") == std::string::npos &&
      head.find("\n\r\n") == std::string::npos) {
    head = fileHead(path, LongestHeader);
  }
  // The header ends at the first empty line; attached data starts after it.
  std::size_t end = head.find("\n\n");
  std::size_t dataStart = end + 2;
  const std::size_t crlf = head.find("\n\r\n");
  if (crlf < end) {
    end = crlf;
    dataStart = crlf + 3;
  }
  const bool wholeFile = end == std::string::npos && fileSize(path) == std::int64_t(head.size());
  if (end == std::string::npos && !wholeFile) {
    failVolume(
        path,
        "no empty line ends its header within " + std::to_string(LongestHeader >> 20) + " MiB",
        "check that the file is NRRD");
  }
  const NrrdHeader header = parseNrrdHeader(std::string_view(head).substr(0, end), path);

  DataLayout layout;
  layout.headerFile = path;
  if (header.dataFiles.empty()) {
    if (wholeFile) {
      failVolume(path, "names no data file and holds no data after its header",
                 "add a 'data file:' field, or attach the data after an empty line");
    }
    layout.files = {path};
    layout.start = static_cast<std::int64_t>(dataStart);
  } else {
    layout.files = header.dataFiles;
  }
  layout.lineSkip = header.lineSkip;
  layout.byteSkip = header.byteSkip;
  layout.compressed = header.gzip;
  layout.bytesPerFile = header.bytes / static_cast<std::int64_t>(layout.files.size());
  if (header.volume.layers == 1) {
    return std::make_unique<StreamedVolume>(header.volume, header.bigEndian, std::move(layout));
  }
  if (layer < 0 || layer >= header.volume.layers) {
    failVolume(path,
               "has no layer " + std::to_string(layer) + " (it has " +
                   std::to_string(header.volume.layers) + ")",
               "name a layer from 0 to " + std::to_string(header.volume.layers - 1));
  }
  // The layers of a voxel lie side by side: read as a volume that many
  // times as wide, one layer taken from it.
  VolumeHeader all = header.volume;
  all.geometry.dims[0] *= all.layers;
  all.layers = 1;
  return std::make_unique<LayerVolume>(
      std::make_unique<StreamedVolume>(all, header.bigEndian, std::move(layout)), header.volume,
      layer);
}

}  // namespace mcubes::internal
