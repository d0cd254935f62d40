// libFuzzer harness for the NIfTI-1, NIfTI-2 and Analyze header parser (our
// checks, then the reference library's interpretation): any bytes are a
// header, of a single file or of a pair as the first bit of the last says.
#include <cstdint>

#include "tests/fuzz/volume_header_fuzz_check.h"
#include "volume/nifti_header.h"
#include "volume/voxel_decoding.h"

using namespace mcubes::internal;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const bool pair = size > 0 && (data[size - 1] & 1) != 0;
    const NiftiHeader header = parseNiftiHeader(data, size, pair, FuzzedFile);
    const bool analyze = header.volume.notice.find("Analyze") != std::string::npos;
    checkHeader(header.volume, header.volumes, header.bytes, voxelBytes(header.volume.type),
                "nifti_header_fuzz", analyze);
    check(pair || header.dataOffset >= 352, "nifti_header_fuzz", "voxels inside the header");
  } catch (const VolumeError& error) {
    checkError(error, "nifti_header_fuzz");
  }
  return 0;
}
