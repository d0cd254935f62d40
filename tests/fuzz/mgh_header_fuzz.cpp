// libFuzzer harness for the MGH header parser: any bytes are a header.
#include <cstdint>

#include "tests/fuzz/volume_header_fuzz_check.h"
#include "volume/mgh_header.h"
#include "volume/voxel_decoding.h"

using namespace mcubes::internal;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const MghHeader header = parseMghHeader(data, size, FuzzedFile);
    // A header without goodRASflag says so whatever its frames.
    checkHeader(header.volume, header.volumes, header.bytes, voxelBytes(header.volume.type),
                "mgh_header_fuzz", size >= 30 && data[28] == 0 && data[29] == 0);
  } catch (const VolumeError& error) {
    checkError(error, "mgh_header_fuzz");
  }
  return 0;
}
