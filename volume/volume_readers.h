// The readers behind openVolume, one per format.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "volume/volume.h"

namespace mcubes::internal {

// `layer`: which of a layered segmentation's layers to read.
std::unique_ptr<VolumeReader> openNrrd(const std::string& path, std::int64_t layer = 0);
std::unique_ptr<VolumeReader> openMetaImage(const std::string& path);
// `gzip`: the whole file is compressed (.nii.gz).
std::unique_ptr<VolumeReader> openNifti(const std::string& path, bool gzip);
// A .hdr (NIfTI-1, NIfTI-2 or Analyze 7.5) and the .img beside it.
std::unique_ptr<VolumeReader> openNiftiPair(const std::string& path);
// `gzip`: the whole file is compressed (.mgz).
std::unique_ptr<VolumeReader> openMgh(const std::string& path, bool gzip);
// `dataset`: the path of a dataset in the file, or empty for its only 3-D
// one.
std::unique_ptr<VolumeReader> openHdf5(const std::string& path, const std::string& dataset,
                                       const VoxelPlacement& placement);
// A folder of DICOM files (at any depth) or a DICOMDIR; `series`: the
// number or UID of the series to read, or empty for the only one.
std::unique_ptr<VolumeReader> openDicom(const std::string& path, const std::string& series);
std::unique_ptr<VolumeReader> openRaw(const std::string& path, const RawLayout& layout);

}  // namespace mcubes::internal
