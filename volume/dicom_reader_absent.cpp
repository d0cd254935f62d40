// The build without GDCM (the Windows and browser builds).
#include "volume/read_failure.h"
#include "volume/volume_readers.h"

namespace mcubes::internal {

std::unique_ptr<VolumeReader> openDicom(const std::string& path, const std::string&) {
  failVolume(path, "this build cannot read DICOM (built without GDCM)",
             "convert the series to NIfTI or NRRD (e.g. with dcm2niix), or use a build with GDCM");
}

}  // namespace mcubes::internal
