// Decompression of gzip and zlib data (NRRD's gzip encoding, .nii.gz,
// MetaImage's CompressedData), streamed: only a small window is held.
// Builds without zlib have a version that refuses (gzip_source_absent.cpp).
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "volume/byte_source.h"

namespace mcubes::internal {

// Whether this build inflates (false where it has neither zlib nor ISA-L).
extern const bool InflatesGzip;

// The bytes that decompressing `compressed` gives, gzip or zlib as its first
// bytes say; concatenated gzip members read as one stream. Corrupt or
// truncated data fails naming `file`.
std::unique_ptr<ByteSource> inflatingSource(std::unique_ptr<ByteSource> compressed,
                                            const std::string& file);

// Inflates the one gzip or zlib stream that the `size` bytes at `in` hold
// into `out`, in one call: for many small streams (an HDF5 dataset's
// chunks), which a streamed source's buffers would cost more than their
// inflating. True where it is whole, its check value right, and inflates to
// exactly `bytes` bytes; false for any other data (and in builds that do not
// inflate).
bool inflateWhole(const unsigned char* in, std::size_t size, unsigned char* out, std::size_t bytes);

}  // namespace mcubes::internal
