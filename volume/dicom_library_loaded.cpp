// GDCM's table loaded from libmcubes-dicom.so on the first DICOM series: the
// module beside the binary that holds this code (the build's tools/ folder,
// an install's bin/ or lib/), then in the lib/mcubes/ folder of the install
// around it, then where this build installs it.
#include <dlfcn.h>

#include <filesystem>
#include <mutex>
#include <vector>

#include "volume/dicom_library.h"
#include "volume/read_failure.h"

#ifndef MC_DICOM_MODULE_DIR
#error "MC_DICOM_MODULE_DIR: the folder the build installs libmcubes-dicom.so into"
#endif

namespace mcubes::internal {

namespace {

namespace fs = std::filesystem;

// Where the module may be, in the order looked at.
std::vector<fs::path> candidates() {
  std::vector<fs::path> places;
  Dl_info self;
  if (::dladdr(reinterpret_cast<void*>(&candidates), &self) != 0 && self.dli_fname != nullptr) {
    std::error_code error;
    const fs::path binary = fs::canonical(self.dli_fname, error);
    if (!error) {
      places.push_back(binary.parent_path() / DicomModuleName);
      places.push_back(binary.parent_path().parent_path() / "lib" / "mcubes" / DicomModuleName);
    }
  }
  const fs::path installed = fs::path(MC_DICOM_MODULE_DIR) / DicomModuleName;
  bool known = false;
  for (const fs::path& place : places) known = known || place == installed;
  if (!known) places.push_back(installed);
  return places;
}

// The module's table, or null with what went wrong at each place in
// `tried`.
const DicomLibrary* load(std::string& tried) {
  for (const fs::path& place : candidates()) {
    std::error_code error;
    std::string why;
    if (!fs::exists(place, error)) {
      why = "no such file";
    } else if (void* module = ::dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL)) {
      using Entry = const DicomLibrary* (*)();
      const auto entry = reinterpret_cast<Entry>(::dlsym(module, DicomModuleEntry));
      const DicomLibrary* table = entry ? entry() : nullptr;
      if (table != nullptr && table->layout == DicomLibraryLayout) return table;
      why = table ? "from another build of mcubes" : "not mcubes' DICOM module";
      ::dlclose(module);
    } else {
      why = ::dlerror();
    }
    tried += (tried.empty() ? "" : "; ") + printableName(place.string()) + ": " + why;
  }
  return nullptr;
}

}  // namespace

const DicomLibrary& dicomLibrary(const std::string& file) {
  static std::once_flag once;
  static const DicomLibrary* table = nullptr;
  static std::string tried;
  std::call_once(once, [] { table = load(tried); });
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
