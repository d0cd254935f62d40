// NIfTI-1, NIfTI-2 and Analyze 7.5 headers (.nii, .nii.gz; .hdr beside its
// .img): the 348 or 540 bytes in, meaning out. The reference library
// (nifti2_io, which reads all three) interprets the header: byte order, the
// qform's quaternion, the sform, the scaling. Builds without it refuse these
// files (nifti_header_absent.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "volume/volume.h"

namespace mcubes::internal {

// The longest header: NIfTI-2's (NIfTI-1's and Analyze's are 348 bytes).
constexpr std::size_t NiftiHeaderBytes = 540;

struct NiftiHeader {
  VolumeHeader volume;          // the first three axes; the notice for more
  std::int64_t volumes = 1;     // the product of the sizes past the third axis
  std::int64_t bytes = 0;       // the stored voxels of every volume
  std::int64_t dataOffset = 0;  // vox_offset: where the voxels start
  bool bigEndian = false;
};

// Reads the header at `bytes` (`size` of them, the whole header when at
// least the length its sizeof_hdr gives); `pair`: the header of a .hdr/.img
// pair (NIfTI's magic ni1 or ni2, or Analyze's, which has none), else of a
// single .nii file (n+1 or n+2). Every failure names `file`.
NiftiHeader parseNiftiHeader(const unsigned char* bytes, std::size_t size, bool pair,
                             const std::string& file);

}  // namespace mcubes::internal
