// The HDF5 library's table loaded from libmcubes-hdf5.so on the first HDF5
// file (module_loading.h says where it is looked for).
#include <mutex>

#include "volume/hdf5_library.h"
#include "volume/module_loading.h"
#include "volume/read_failure.h"

namespace mcubes::internal {

const Hdf5Library& hdf5Library(const std::string& file) {
  static std::once_flag once;
  static const Hdf5Library* table = nullptr;
  static std::string tried;
  std::call_once(once, [] {
    table = static_cast<const Hdf5Library*>(
        loadModule(Hdf5ModuleName, Hdf5ModuleEntry, Hdf5LibraryLayout, tried));
  });
  if (table == nullptr) {
    failVolume(file,
               std::string("cannot be read: mcubes reads HDF5 with its module ") + Hdf5ModuleName +
                   ", which cannot be loaded (" + tried + ")",
               "reinstall mcubes with its lib/mcubes folder, or write the dataset as NRRD or "
               "raw voxels");
  }
  return *table;
}

}  // namespace mcubes::internal
