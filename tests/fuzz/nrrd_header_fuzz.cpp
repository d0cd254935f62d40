// libFuzzer harness for the NRRD header parser: any text is a header.
#include <cstdint>
#include <string_view>

#include "tests/fuzz/volume_header_fuzz_check.h"
#include "volume/nrrd_header.h"
#include "volume/voxel_decoding.h"

using namespace mcubes::internal;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const NrrdHeader header = parseNrrdHeader(text, FuzzedFile);
    checkHeader(header.volume, header.volumes, header.bytes, voxelBytes(header.volume.type),
                "nrrd_header_fuzz");
    check(header.lineSkip >= 0 && header.byteSkip >= -1, "nrrd_header_fuzz", "a negative skip");
    if (!header.dataFiles.empty()) {
      check(header.bytes % static_cast<std::int64_t>(header.dataFiles.size()) == 0,
            "nrrd_header_fuzz", "data files that do not share the bytes evenly");
    }
  } catch (const VolumeError& error) {
    checkError(error, "nrrd_header_fuzz");
  }
  return 0;
}
