// The fixed-length binary header at the front of a file (NIfTI, Analyze,
// MGH), read whole before its parser sees it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace mcubes::internal {

// The first `size` bytes of the file at `path`, of what decompressing it
// gives where `gzip`; fewer where it is shorter. Fails naming the file where
// it is missing or its compressed data is corrupt.
std::vector<unsigned char> binaryHeader(const std::string& path, bool gzip, std::size_t size);

}  // namespace mcubes::internal
