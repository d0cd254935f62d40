// The build without libniftiio (the Windows and browser builds).
#include "volume/nifti_header.h"
#include "volume/read_failure.h"

NiftiHeader parseNiftiHeader(const unsigned char*, std::size_t, const std::string& file) {
  failVolume(file, "this build cannot read NIfTI (built without libniftiio)",
             "convert it to NRRD or MetaImage, or use a build with libniftiio");
}
