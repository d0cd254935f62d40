// NIfTI-1 headers (.nii, .nii.gz): the 348 bytes in, meaning out. The
// reference library (libniftiio) interprets the header: byte order, the
// qform's quaternion, the sform, the scaling. Builds without it refuse
// NIfTI (nifti_header_absent.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "volume/volume.h"

constexpr std::size_t NiftiHeaderBytes = 348;

struct NiftiHeader {
  VolumeHeader volume;          // the first three axes; the notice for more
  std::int64_t volumes = 1;     // the product of the sizes past the third axis
  std::int64_t bytes = 0;       // the stored voxels of every volume
  std::int64_t dataOffset = 0;  // vox_offset: where the voxels start
  bool bigEndian = false;
};

// Reads the header at `bytes` (`size` of them, the whole header when at
// least NiftiHeaderBytes); every failure names `file`.
NiftiHeader parseNiftiHeader(const unsigned char* bytes, std::size_t size, const std::string& file);
