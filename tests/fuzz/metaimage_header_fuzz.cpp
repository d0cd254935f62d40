// libFuzzer harness for the MetaImage header parser: any text is a header.
#include <cstdint>
#include <string_view>

#include "tests/fuzz/volume_header_fuzz_check.h"
#include "volume/metaimage_header.h"
#include "volume/voxel_decoding.h"

using namespace mcubes::internal;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const MetaImageHeader header = parseMetaImageHeader(text, FuzzedFile);
    checkHeader(header.volume, header.volumes, header.bytes, voxelBytes(header.volume.type),
                "metaimage_header_fuzz");
    check(header.headerSize >= -1, "metaimage_header_fuzz", "a negative header size");
    if (!header.dataFiles.empty()) {
      check(header.bytes % static_cast<std::int64_t>(header.dataFiles.size()) == 0,
            "metaimage_header_fuzz", "data files that do not share the bytes evenly");
    }
  } catch (const VolumeError& error) {
    checkError(error, "metaimage_header_fuzz");
  }
  return 0;
}
