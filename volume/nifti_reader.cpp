#include <filesystem>

#include "volume/binary_header.h"
#include "volume/nifti_header.h"
#include "volume/streamed_volume.h"
#include "volume/volume_readers.h"

namespace mcubes::internal {

namespace {

NiftiHeader readHeader(const std::string& path, bool gzip, bool pair) {
  const std::vector<unsigned char> bytes = binaryHeader(path, gzip, NiftiHeaderBytes);
  return parseNiftiHeader(bytes.data(), bytes.size(), pair, path);
}

std::unique_ptr<VolumeReader> streamed(const NiftiHeader& header, const std::string& headerFile,
                                       const std::string& dataFile, bool gzip) {
  DataLayout layout;
  layout.headerFile = headerFile;
  layout.files = {dataFile};
  layout.byteSkip = header.dataOffset;
  layout.compressed = gzip;
  layout.bytesPerFile = header.bytes;
  return std::make_unique<StreamedVolume>(header.volume, header.bigEndian, std::move(layout));
}

}  // namespace

std::unique_ptr<VolumeReader> openNifti(const std::string& path, bool gzip) {
  return streamed(readHeader(path, gzip, false), path, path, gzip);
}

std::unique_ptr<VolumeReader> openNiftiPair(const std::string& path) {
  const NiftiHeader header = readHeader(path, false, true);
  // The voxels lie beside the header in .img or, compressed, .img.gz, the
  // extension in the header's case.
  const bool upper = path.back() == 'R';
  const std::string image = path.substr(0, path.size() - 4) + (upper ? ".IMG" : ".img");
  const std::string compressed = image + (upper ? ".GZ" : ".gz");
  if (!std::filesystem::exists(image) && std::filesystem::exists(compressed)) {
    return streamed(header, path, compressed, true);
  }
  return streamed(header, path, image, false);
}

}  // namespace mcubes::internal
