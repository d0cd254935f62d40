// The build without the NIfTI library (the Windows build; a browser build
// made without its sources).
#include "volume/nifti_header.h"
#include "volume/read_failure.h"

namespace mcubes::internal {

NiftiHeader parseNiftiHeader(const unsigned char*, std::size_t, bool, const std::string& file) {
  failVolume(
      file, "this build cannot read NIfTI or Analyze (built without the NIfTI library)",
      "convert it to NRRD or MetaImage, or open it with mcubes on Linux, whose build has the "
      "NIfTI library (nifti2_io)");
}

}  // namespace mcubes::internal
