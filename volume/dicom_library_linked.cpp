// The binaries that link GDCM themselves (the library, the Python module,
// the tests) call its table directly.
#include "volume/dicom_library.h"

namespace mcubes::internal {

const DicomLibrary& dicomLibrary(const std::string&) { return gdcmDicomLibrary; }

}  // namespace mcubes::internal
