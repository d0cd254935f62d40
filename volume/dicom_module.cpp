// The entry of libmcubes-dicom.so, the module that holds GDCM's table for
// the binaries that load it on their first DICOM series (dicom_library.h).
#include "volume/dicom_library.h"

extern "C" __attribute__((visibility("default"))) const mcubes::internal::DicomLibrary*
mcubes_dicom_library() {
  return &mcubes::internal::gdcmDicomLibrary;
}
