// GDCM's table loaded from libmcubes-dicom.so on the first DICOM series
// (module_loading.h says where it is looked for).
#include <mutex>

#include "volume/dicom_library.h"
#include "volume/module_loading.h"
#include "volume/read_failure.h"

namespace mcubes::internal {

const DicomLibrary& dicomLibrary(const std::string& file) {
  static std::once_flag once;
  static const DicomLibrary* table = nullptr;
  static std::string tried;
  std::call_once(once, [] {
    table = static_cast<const DicomLibrary*>(
        loadModule(DicomModuleName, DicomModuleEntry, DicomLibraryLayout, tried));
  });
  if (table == nullptr) {
    failVolume(file,
               std::string("cannot be read: mcubes reads DICOM with its module ") +
                   DicomModuleName + ", which cannot be loaded (" + tried + ")",
               "reinstall mcubes with its lib/mcubes folder, or convert the series to NIfTI or "
               "NRRD (e.g. with dcm2niix)");
  }
  return *table;
}

}  // namespace mcubes::internal
