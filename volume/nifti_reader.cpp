#include "volume/file_source.h"
#include "volume/gzip_source.h"
#include "volume/nifti_header.h"
#include "volume/streamed_volume.h"
#include "volume/volume_readers.h"

std::unique_ptr<VolumeReader> openNifti(const std::string& path, bool gzip) {
  std::unique_ptr<ByteSource> source = std::make_unique<FileSource>(path);
  if (gzip) source = inflatingSource(std::move(source), path);
  unsigned char bytes[NiftiHeaderBytes];
  std::size_t got = 0;
  while (got < sizeof bytes) {
    const std::size_t more = source->read(bytes + got, sizeof bytes - got);
    if (more == 0) break;
    got += more;
  }
  const NiftiHeader header = parseNiftiHeader(bytes, got, path);
  DataLayout layout;
  layout.headerFile = path;
  layout.files = {path};
  layout.byteSkip = header.dataOffset;
  layout.compressed = gzip;
  layout.bytesPerFile = header.bytes;
  return std::make_unique<StreamedVolume>(header.volume, header.bigEndian, std::move(layout));
}
