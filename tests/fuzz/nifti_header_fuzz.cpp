// libFuzzer harness for the NIfTI-1 header parser (our checks, then the
// reference library's interpretation): any bytes are a header.
#include <cstdint>

#include "tests/fuzz/volume_header_fuzz_check.h"
#include "volume/nifti_header.h"
#include "volume/voxel_decoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const NiftiHeader header = parseNiftiHeader(data, size, FuzzedFile);
    checkHeader(header.volume, header.volumes, header.bytes, voxelBytes(header.volume.type),
                "nifti_header_fuzz");
    check(header.dataOffset >= 352, "nifti_header_fuzz", "voxels inside the header");
  } catch (const VolumeError& error) {
    checkError(error, "nifti_header_fuzz");
  }
  return 0;
}
