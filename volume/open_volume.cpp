#include <algorithm>
#include <filesystem>
#include <vector>

#include "volume/file_source.h"
#include "volume/hdf5_name.h"
#include "volume/read_failure.h"
#include "volume/volume_readers.h"

namespace mcubes::internal {

namespace {

bool endsWith(const std::string& text, const std::string& ending) {
  return text.size() >= ending.size() &&
         std::equal(ending.rbegin(), ending.rend(), text.rbegin(), [](char wanted, char c) {
           return (c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c) == wanted;
         });
}

}  // namespace

void VolumeReader::skipSlices(std::int64_t count) {
  const std::int64_t* dims = header().geometry.dims;
  std::vector<double> slice(static_cast<std::size_t>(dims[0] * dims[1]));
  for (std::int64_t k = 0; k < count; ++k) readSlices(1, slice.data());
}

void VolumeReader::readFloatSlices(std::int64_t count, float* out) {
  if (valueForm() != ValueForm::Floats) {
    throw std::logic_error("a volume was asked for its values as floats, which do not hold them");
  }
  readNarrowSlices(count, out);
}

void VolumeReader::readByteSlices(std::int64_t count, std::uint8_t* out) {
  if (valueForm() != ValueForm::Bytes) {
    throw std::logic_error("a volume was asked for its values as bytes, which do not hold them");
  }
  readNarrowSlices(count, out);
}

void VolumeReader::readNarrowSlices(std::int64_t, float*) {
  throw std::logic_error("a volume that gives its values as floats does not read them so");
}

void VolumeReader::readNarrowSlices(std::int64_t, std::uint8_t*) {
  throw std::logic_error("a volume that gives its values as bytes does not read them so");
}

std::unique_ptr<VolumeReader> openVolume(const std::string& path,
                                         const std::optional<RawLayout>& raw,
                                         const VoxelPlacement& placement,
                                         const std::string& series) {
  std::error_code error;
  const std::string name = std::filesystem::path(path).filename().string();
  const bool dicom = std::filesystem::is_directory(path, error) ||
                     (name.size() == 8 && endsWith(name, "dicomdir"));
  if (!series.empty() && (raw || !dicom)) {
    failVolume(path, "is no DICOM folder or DICOMDIR, so it has no series to choose",
               "leave out {series}, or name a folder of DICOM files");
  }
  if (raw) return openRaw(path, *raw);
  if (dicom) return openDicom(path, series);
  if (const std::optional<Hdf5Name> hdf5 = hdf5Name(path)) {
    return openHdf5(hdf5->file, hdf5->dataset, placement);
  }
  if (endsWith(path, ".nrrd") || endsWith(path, ".nhdr")) return openNrrd(path);
  if (endsWith(path, ".mha") || endsWith(path, ".mhd")) return openMetaImage(path);
  if (endsWith(path, ".nii")) return openNifti(path, false);
  if (endsWith(path, ".nii.gz")) return openNifti(path, true);
  if (endsWith(path, ".hdr")) return openNiftiPair(path);
  if (endsWith(path, ".mgh")) return openMgh(path, false);
  if (endsWith(path, ".mgz")) return openMgh(path, true);
  fileSize(path);  // a missing file is named as such first
  failVolume(path, "its extension names no volume format known here",
             "name a .nrrd, .nhdr, .nii, .nii.gz, .hdr, .mha, .mhd, .mgh, .mgz, .h5, .hdf5 or .he5 "
             "file, a folder of DICOM files or a DICOMDIR, or read it as raw voxels "
             "with {dims} and {type} (and {endian}, {spacing}, {origin})");
}

std::unique_ptr<VolumeReader> openVolumeLayer(const std::string& path, std::int64_t layer) {
  if (!endsWith(path, ".nrrd") && !endsWith(path, ".nhdr")) {
    failVolume(path, "is no NRRD file, so it has no layers of segments",
               "name a layered segmentation (.seg.nrrd)");
  }
  return openNrrd(path, layer);
}

}  // namespace mcubes::internal
