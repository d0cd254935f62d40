// The readers behind openVolume, one per format.
#pragma once

#include <memory>
#include <string>

#include "volume/volume.h"

std::unique_ptr<VolumeReader> openNrrd(const std::string& path);
std::unique_ptr<VolumeReader> openMetaImage(const std::string& path);
// `gzip`: the whole file is compressed (.nii.gz).
std::unique_ptr<VolumeReader> openNifti(const std::string& path, bool gzip);
std::unique_ptr<VolumeReader> openRaw(const std::string& path, const RawLayout& layout);
